// `tessel objects`, `tessel rebuild` and the model fields of `tessel menu
// --json` over streams authored in the test.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "authoring/sample_disc.h"
#include "codec/ics.h"
#include "model/ig_object.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "platform/text.h"
#include "support/authored_menu.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using nlohmann::json;

using test::SAuthored;

TEST(ObjectsCommand, OnePngPerObjectInEpochFolders) {
    SAuthored a;
    const std::string out = (a.dir.Path() / "objects").string();
    auto r = test::RunCli({"objects", a.stream, out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    int total = 0;
    for (const auto& epoch : a.ig.items) {
        SCOPED_TRACE(epoch->name);
        const std::string folder = JoinPath(out, epoch->name);
        ASSERT_TRUE(PathExists(folder));
        EXPECT_EQ(ListFolder(folder, "*.png").size(), epoch->graphics.items.size());
        for (const CGraphicObject* o : epoch->graphics.List()) {
            const std::string file = JoinPath(folder, StrFormat("%04d.png", o->id + 1));
            Bitmap image, source;
            ASSERT_EQ(LoadImage(file, image).Message(), "");
            ASSERT_EQ(LoadImage(o->imageFile, source).Message(), "");
            ASSERT_EQ(image.Format(), EPixelFormat::Indexed8);
            ASSERT_EQ(image.Width(), o->width);
            ASSERT_EQ(image.Height(), o->height);
            // The authored indices come back; index 255 is transparent.
            int wrong = 0;
            for (int y = 0; y < image.Height(); ++y)
                for (int x = 0; x < image.Width(); ++x)
                    wrong += image.GetIndex(x, y) != source.GetIndex(x, y);
            EXPECT_EQ(wrong, 0) << file;
            EXPECT_EQ(ArgbAlpha(image.Palette().entries.at(255)), 0);
            ++total;
        }
    }
    EXPECT_EQ(total, 2 * 2 * 2 * 2 * 3);
    EXPECT_NE(r.out.find(StrFormat("%d image(s) written to", total)), std::string::npos) << r.out;

    // A stream that does not load writes nothing.
    const std::string bad = (a.dir.Path() / "bad.ig").string();
    const uint8_t cut[] = {'I', 'G', 0, 0, 0};  // a record cut inside its head
    ASSERT_EQ(WriteWholeFile(bad, cut, sizeof cut).Message(), "");
    const std::string none = (a.dir.Path() / "none").string();
    r = test::RunCli({"objects", bad, none});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(r.err.empty());
    EXPECT_FALSE(PathExists(none));
}

TEST(RebuildCommand, WritesStreamAndCompanionWithTheCheckLog) {
    SAuthored a;
    const std::string out = (a.dir.Path() / "again.ig").string();
    auto r = test::RunCli({"rebuild", a.stream, out, "--mui"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* line : {" Epoch#1...", " Epoch#2...", " DisplaySet#1...", "   Page#1..."})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    EXPECT_NE(r.out.find("Saved " + out + " and " + out + ".mui"), std::string::npos);

    // The rebuilt stream holds the same tree and objects.
    CIgObject back;
    ASSERT_TRUE(back.LoadStream(out));
    ASSERT_EQ(back.GetSize(), 2);
    for (int e = 0; e < 2; ++e) {
        const CEpoch& got = *back.GetAt(e);
        const CEpoch& want = *a.ig.GetAt(e);
        EXPECT_EQ(got.graphics.CountItems(), want.graphics.CountItems());
        ASSERT_EQ(got.GetSize(), 1);
        EXPECT_EQ(got.GetAt(0)->GetSize(), want.GetAt(0)->GetSize());
        EXPECT_EQ(got.GetAt(0)->GetAt(1)->AllButtons().size(), 4u);
    }
    const auto stream = test::ReadBytes(out);
    const auto mui = test::ReadBytes(out + ".mui");
    CMemorySource source(stream);
    CEpochList epochs;
    ASSERT_TRUE(ReadStream(epochs, source, false));
    size_t segments = 0;
    for (const auto& e : epochs)
        for (const auto& ds : e->items) segments += static_cast<size_t>(ds->SegmentCount());
    ASSERT_EQ(mui.size(), 4 + 14 * segments + 14);
    EXPECT_EQ(std::vector<uint8_t>(mui.begin(), mui.begin() + 4),
              (std::vector<uint8_t>{0, 0, 0, 3}));
    EXPECT_EQ(std::vector<uint8_t>(mui.end() - 14, mui.end()),
              (std::vector<uint8_t>{0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(RebuildCommand, CompleteFlagsSurviveRecomposeAndRebuildByteForByte) {
    // Every combination of the repeat and complete flags over the buttons.
    SAuthored a;
    int n = 0;
    for (const auto& epoch : a.ig)
        for (const auto& ds : *epoch)
            for (const auto& page : *ds)
                for (CBdButton* b : page->AllButtons())
                    for (int s = 0; s < 2; ++s, ++n) {
                        b->states[s].complete = (n & 1) != 0;
                        b->states[s].repeat = (n & 2) != 0;
                    }
    std::vector<uint8_t> bytes;
    ASSERT_EQ(authoring::MenuStream(a.ig, bytes).Message(), "");
    ASSERT_EQ(WriteWholeFile(a.stream, bytes.data(), bytes.size()).Message(), "");
    const std::string framed = (a.dir.Path() / "framed.ig").string();
    const std::string rebuilt = (a.dir.Path() / "rebuilt.ig").string();
    ASSERT_EQ(test::RunCli({"reframe", a.stream, framed, "--recompose"}).exitCode, 0);
    EXPECT_EQ(test::ReadBytes(framed), bytes);
    // The rebuild sets time stamps and orders objects and palettes of its
    // own; the compositions come out byte for byte.
    ASSERT_EQ(test::RunCli({"rebuild", a.stream, rebuilt}).exitCode, 0);
    auto compositions = [](const std::vector<uint8_t>& marked) {
        std::vector<std::vector<uint8_t>> out;
        for (size_t p = 0; p + 13 <= marked.size();) {
            const size_t end = p + 13 + (marked[p + 11] << 8 | marked[p + 12]);
            if (end > marked.size()) break;
            if (marked[p + 10] == kSegmentIcs)
                out.emplace_back(marked.begin() + static_cast<std::ptrdiff_t>(p) + 10,
                                 marked.begin() + static_cast<std::ptrdiff_t>(end));
            p = end;
        }
        return out;
    };
    const auto want = compositions(bytes);
    EXPECT_EQ(want.size(), 2u);
    EXPECT_EQ(compositions(test::ReadBytes(rebuilt)), want);
    CIgObject back;
    ASSERT_TRUE(back.LoadStream(rebuilt));
    std::vector<int> flags, got;
    for (CIgObject* ig : {&a.ig, &back})
        for (const auto& epoch : *ig)
            for (const auto& ds : *epoch)
                for (const auto& page : *ds)
                    for (CBdButton* b : page->AllButtons())
                        for (int s = 0; s < 2; ++s)
                            (ig == &back ? got : flags)
                                .push_back(b->states[s].complete * 2 + b->states[s].repeat);
    EXPECT_EQ(got, flags);
    const auto r = test::RunCli({"menu", a.stream, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"complete\": true"), std::string::npos);
}

TEST(RebuildCommand, FailedCheckExitsTwoAndLeavesNoFile) {
    SAuthored a;
    // The first display set's composition replaced by one page without groups.
    CEpochList epochs;
    SStreamInfo info;
    ASSERT_TRUE(ReadStreamFile(a.stream, epochs, false, &info));
    CDsData& c = *epochs.at(0)->GetAt(0);
    std::unique_ptr<CIcData> ic = ReadComposition(c);
    ASSERT_TRUE(ic);
    ic->Clear();
    ic->AddNewPage();
    ASSERT_TRUE(BuildIcsList(*ic, c, info.video.width, info.video.height, info.video.frameRate));
    CMemorySink sink;
    for (const auto& e : epochs)
        for (const auto& ds : e->items) ASSERT_TRUE(WriteDsData(*ds, sink, nullptr, false, false));
    const std::string in = (a.dir.Path() / "nogroups.ig").string();
    ASSERT_EQ(WriteWholeFile(in, sink.data.data(), sink.data.size()).Message(), "");

    const std::string out = (a.dir.Path() / "out.ig").string();
    auto r = test::RunCli({"rebuild", in, out, "--mui"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.out.find("   Error:has no buttons"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" Warning:no graphics"), std::string::npos) << r.out;
    EXPECT_FALSE(PathExists(out));
    EXPECT_FALSE(PathExists(out + ".mui"));
}

TEST(MenuCommand, JsonCarriesFrameNumberGraphicsAndPalettes) {
    SAuthored a;
    auto r = test::RunCli({"menu", a.stream, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json out = json::parse(r.out);
    ASSERT_EQ(out.size(), 2u);
    CEpochList written;
    ASSERT_TRUE(ReadStreamFile(a.stream, written, false));
    for (size_t e = 0; e < 2; ++e) {
        const json& ds = out[e];
        const CEpoch& epoch = *a.ig.GetAt(static_cast<int>(e));
        EXPECT_EQ(ds["epoch"], e + 1);
        // Multiplexed: the frame of the written presentation time + 131070.
        const uint32_t pts = written.at(e)->GetAt(0)->icsList->GetAt(0)->pts;
        EXPECT_EQ(ds["frame_number"], FrameNumberOf(uint64_t{pts} + 131070, 1));
        ASSERT_EQ(ds["graphics"].size(), epoch.graphics.items.size());
        for (const json& g : ds["graphics"]) {
            const CGraphicObject* o = epoch.graphics.FindById(g["id"].get<int>());
            ASSERT_NE(o, nullptr);
            EXPECT_EQ(g["width"], o->width);
            EXPECT_EQ(g["height"], o->height);
        }
        ASSERT_EQ(ds["palettes"].size(), 1u);
        EXPECT_EQ(ds["palettes"][0]["id"], 0);
        EXPECT_EQ(ds["palettes"][0]["entries"], epoch.palettes.GetAt(0)->GetSize());
    }
}

}  // namespace
}  // namespace tessel
