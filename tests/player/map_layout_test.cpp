// Where the nodes of a rendered map lie: Graphviz's plain layout scaled to
// the picture, checked against the picture's own pixels.
#include <gtest/gtest.h>

#include "platform/bitmap.h"
#include "platform/image_io.h"
#include "player/menu_map.h"

namespace tessel {
namespace {

const SMapNodeBox* FindBox(const std::vector<SMapNodeBox>& nodes, const std::string& name) {
    for (const SMapNodeBox& n : nodes)
        if (n.name == name) return &n;
    return nullptr;
}

TEST(MapLayout, PlainTextScaledToThePictureWithTheYAxisTurned) {
    // A 2 x 1 inch graph in a picture of twice its points plus the pad.
    const std::string plain =
        "graph 1 2 1\n"
        "node p0_b1 0.5 0.75 1 0.5 \"Play\\n(id 1)\" solid box black lightgrey\n"
        "node \"exit: Title \\\"2\\\"\" 1.5 0.25 0.5 0.5 \"Title 2\" filled ellipse black grey\n"
        "node start 1 0.5 0.05 0.05 \"\" solid point black lightgrey\n"
        "edge p0_b1 start 4 0.5 0.5 1 0.5 1 0.5 1 0.5 down 0.8 0.6 solid black\n"
        "stop\n";
    std::vector<SMapNodeBox> nodes;
    ASSERT_TRUE(ParsePlainLayout(plain, 2 * (144 + 8), 2 * (72 + 8), 4, nodes));
    ASSERT_EQ(nodes.size(), 3u);
    const SMapNodeBox& b = nodes[0];
    EXPECT_EQ(b.name, "p0_b1");
    EXPECT_EQ(b.page, 0);
    EXPECT_EQ(b.button, 1);
    EXPECT_DOUBLE_EQ(b.left, 2 * 4.0);
    EXPECT_DOUBLE_EQ(b.top, 2 * 4.0);  // the node touches the graph's top
    EXPECT_DOUBLE_EQ(b.width, 2 * 72.0);
    EXPECT_DOUBLE_EQ(b.height, 2 * 36.0);
    EXPECT_EQ(nodes[1].name, "exit: Title \"2\"");
    EXPECT_EQ(nodes[1].page, -1);
    EXPECT_DOUBLE_EQ(nodes[1].top, 2 * (36.0 + 4));
    EXPECT_EQ(nodes[2].button, -1);

    EXPECT_FALSE(ParsePlainLayout("node a 1 1 1 1\nstop\n", 100, 100, 4, nodes));
    EXPECT_TRUE(nodes.empty());
    int page = 0, button = 0;
    EXPECT_TRUE(ParseMapNodeName("p12_b300", page, button));
    EXPECT_EQ(page, 12);
    EXPECT_EQ(button, 300);
    EXPECT_FALSE(ParseMapNodeName("p1_b2x", page, button));
    EXPECT_FALSE(ParseMapNodeName("start", page, button));
}

TEST(MapLayout, BoxesLieOnTheNodesOfThePicture) {
    if (!MapPicturesAvailable()) {
        SMapPicture picture;
        const CResult rendered = RenderMapPicture("digraph { a }", picture);
        EXPECT_FALSE(rendered);
        EXPECT_FALSE(rendered.Text().empty());
        GTEST_SKIP() << "built without Graphviz";
    }
    SMenuMap map;
    map.pages = {{0, "Page#1", {{0, "Play"}, {1, "Scenes"}}}, {1, "Page#2", {{10, "Back"}}}};
    map.start = {0, 0, std::nullopt};
    map.edges = {{{0, 0, std::nullopt}, "down", {0, 1, std::nullopt}},
                 {{0, 1, std::nullopt}, "enter", {1, 10, std::nullopt}},
                 {{0, 0, std::nullopt}, "enter", {-1, -1, SMenuExit{"JumpTitle 1", "Title 1"}}}};
    SMapPicture picture;
    ASSERT_EQ(RenderMapPicture(MapToDot(map), picture).Message(), "");
    Bitmap image;
    ASSERT_EQ(DecodeImage(picture.png, image).Message(), "");
    EXPECT_EQ(image.Width(), picture.width);
    EXPECT_EQ(image.Height(), picture.height);
    for (const char* name : {"p0_b0", "p0_b1", "p1_b10", "exit: Title 1", "start"})
        EXPECT_TRUE(FindBox(picture.nodes, name)) << name;
    const SMapNodeBox* exit = FindBox(picture.nodes, "exit: Title 1");
    ASSERT_TRUE(exit);
    EXPECT_EQ(exit->page, -1);

    // The exit is filled light grey inside its box and white just outside;
    // the button boxes have a dark frame on their top edge (arrows meet the
    // sides).
    auto rgb = [&](double x, double y) {
        return image.GetPixel(static_cast<int>(x), static_cast<int>(y)) & 0xFFFFFF;
    };
    EXPECT_EQ(rgb(exit->left + exit->width / 2, exit->top + exit->height / 2), 0xD3D3D3u);
    EXPECT_EQ(rgb(exit->left + exit->width / 2, exit->top - 3), 0xFFFFFFu);
    EXPECT_EQ(rgb(exit->left - 3, exit->top + exit->height / 2), 0xFFFFFFu);
    for (const char* name : {"p0_b0", "p1_b10"}) {
        const SMapNodeBox* b = FindBox(picture.nodes, name);
        ASSERT_TRUE(b);
        EXPECT_GE(b->left, 0);
        EXPECT_LE(b->left + b->width, picture.width);
        const double midX = b->left + b->width / 2;
        int dark = 0;
        for (double y = b->top - 2; y <= b->top + 2; y += 1) dark += (rgb(midX, y) & 0xFF) < 128;
        EXPECT_GT(dark, 0) << name << ": the top edge of the box";
        EXPECT_EQ(rgb(midX, b->top - 4), 0xFFFFFFu) << name;
        EXPECT_EQ(rgb(midX, b->top + 4), 0xFFFFFFu) << name;
    }
}

}  // namespace
}  // namespace tessel
