// Pictures of the map through Graphviz's library: the DOT text laid out
// with the dot layout and rendered, and the node boxes of its plain output.
#include <algorithm>
#include <charconv>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>

#include "player/menu_map.h"

#ifdef TESSEL_HAVE_GRAPHVIZ
#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>
#endif

namespace tessel {

namespace {

uint32_t Be32At(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// Width and height from a PNG's header chunk.
bool PngSize(const std::vector<uint8_t>& png, int& width, int& height) {
    static const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 24 || !std::equal(std::begin(kSignature), std::end(kSignature), png.begin()) ||
        std::string(png.begin() + 12, png.begin() + 16) != "IHDR")
        return false;
    width = static_cast<int>(Be32At(png, 16));
    height = static_cast<int>(Be32At(png, 20));
    return width > 0 && height > 0;
}

// The words of a line of plain output; quoted words lose their quotes and
// escapes.
std::vector<std::string> PlainWords(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size()) ++i;
                word += line[i];
            }
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                word += line[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

// A number of plain output, in the C locale whatever the process's is.
double PlainNumber(const std::string& word) {
    double v = 0;
    std::from_chars(word.data(), word.data() + word.size(), v);
    return v;
}

}  // namespace

bool ParsePlainLayout(const std::string& plain, int pictureWidth, int pictureHeight, double pad,
                      std::vector<SMapNodeBox>& nodes) {
    nodes.clear();
    std::istringstream in(plain);
    std::string line;
    double graphWidth = 0, graphHeight = 0;
    bool haveGraph = false;
    double sx = 1, sy = 1;
    while (std::getline(in, line)) {
        const std::vector<std::string> w = PlainWords(line);
        if (w.size() >= 4 && w[0] == "graph") {
            // Inches to points; the picture holds the graph and its pad.
            graphWidth = PlainNumber(w[2]) * 72;
            graphHeight = PlainNumber(w[3]) * 72;
            haveGraph = graphWidth > 0 && graphHeight > 0;
            if (haveGraph) {
                sx = pictureWidth / (graphWidth + 2 * pad);
                sy = pictureHeight / (graphHeight + 2 * pad);
            }
            continue;
        }
        if (!haveGraph || w.size() < 6 || w[0] != "node") continue;
        SMapNodeBox box;
        box.name = w[1];
        ParseMapNodeName(box.name, box.page, box.button);
        const double x = PlainNumber(w[2]) * 72, y = PlainNumber(w[3]) * 72;
        const double width = PlainNumber(w[4]) * 72, height = PlainNumber(w[5]) * 72;
        box.left = (x - width / 2 + pad) * sx;
        box.top = (graphHeight - (y + height / 2) + pad) * sy;
        box.width = width * sx;
        box.height = height * sy;
        nodes.push_back(std::move(box));
    }
    return haveGraph;
}

#ifdef TESSEL_HAVE_GRAPHVIZ

namespace {

// Graphviz's default pad around the graph, in points.
constexpr double kGraphPad = 4;

// Lays the text out once and renders it in each format; a failure's text is
// the reason.
CResult LayOutAndRender(const std::string& dot, const std::vector<std::string>& formats,
                        std::vector<std::vector<uint8_t>>& outs) {
    // The library keeps process-wide state (its error level, the context).
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    outs.assign(formats.size(), {});
    agseterr(AGMAX);
    // One context for the process: the library's text size estimate keeps
    // state across contexts, and a second context reads freed memory.
    static GVC_t* const context = gvContext();
    struct SNoFree {
        void operator()(GVC_t*) const {}
    };
    std::unique_ptr<GVC_t, SNoFree> gvc(context);
    if (!gvc) return CResult::Fail("Graphviz could not start");
    std::unique_ptr<Agraph_t, int (*)(Agraph_t*)> graph(agmemread(dot.c_str()), agclose);
    if (!graph) return CResult::Fail("Graphviz could not read the map");
    // The dot layout's older ranking of clusters gives a labelled edge that
    // runs between two clusters virtual nodes that gvFreeLayout frees twice
    // (Graphviz 2.42, when edges run both ways between the clusters, as a
    // menu's moves and activations do); the dot program never frees its last
    // layout, so it never shows there. The newer ranking builds none.
    agattr(graph.get(), AGRAPH, const_cast<char*>("newrank"), const_cast<char*>("true"));
    if (gvLayout(gvc.get(), graph.get(), "dot") != 0)
        return CResult::Fail("Graphviz could not lay the map out");
    std::string failed;
    for (size_t i = 0; i < formats.size() && failed.empty(); ++i) {
        char* data = nullptr;
        unsigned int length = 0;
        const int rendered =
            gvRenderData(gvc.get(), graph.get(), formats[i].c_str(), &data, &length);
        if (rendered == 0 && data) outs[i].assign(data, data + length);
        if (data) gvFreeRenderData(data);
        if (rendered != 0 || outs[i].empty()) failed = formats[i];
    }
    gvFreeLayout(gvc.get(), graph.get());
    if (!failed.empty()) return CResult::Fail("Graphviz has no renderer for " + failed);
    return {};
}

}  // namespace

bool MapPicturesAvailable() {
    return true;
}

CResult RenderDot(const std::string& dot, const std::string& format, std::vector<uint8_t>& out) {
    std::vector<std::vector<uint8_t>> outs;
    CResult rendered = LayOutAndRender(dot, {format}, outs);
    out = rendered ? std::move(outs[0]) : std::vector<uint8_t>{};
    return rendered;
}

CResult RenderMapPicture(const std::string& dot, SMapPicture& picture) {
    picture = SMapPicture{};
    std::vector<std::vector<uint8_t>> outs;
    if (CResult rendered = LayOutAndRender(dot, {"png", "plain"}, outs); !rendered) return rendered;
    if (!PngSize(outs[0], picture.width, picture.height))
        return CResult::Fail("Graphviz made no PNG picture");
    if (!ParsePlainLayout(std::string(outs[1].begin(), outs[1].end()), picture.width,
                          picture.height, kGraphPad, picture.nodes))
        return CResult::Fail("Graphviz gave no layout of the map");
    picture.png = std::move(outs[0]);
    return {};
}

#else

bool MapPicturesAvailable() {
    return false;
}

CResult RenderDot(const std::string&, const std::string& format, std::vector<uint8_t>& out) {
    out.clear();
    return CResult::Fail("pictures of the map (" + format + ") need a build with Graphviz");
}

CResult RenderMapPicture(const std::string&, SMapPicture& picture) {
    picture = SMapPicture{};
    return CResult::Fail("pictures of the map need a build with Graphviz");
}

#endif

}  // namespace tessel
