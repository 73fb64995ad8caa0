// The benchmark's stand-in for a menu play: the first page of a marked IG
// stream for S seconds at its video frame rate, every shown button in its
// Normal state running its objects (one every N frames, N the page's
// animation frame rate code, over and over with the repeat flag), composed
// incrementally and written frame by frame as frame00000.png, ...
//   play_frames <stream> <out-folder> [seconds]
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "codec/display_set.h"
#include "codec/segment.h"
#include "model/epoch.h"
#include "model/graphic_object.h"
#include "model/ig_object.h"
#include "model/page.h"
#include "platform/files.h"
#include "platform/frame_png.h"
#include "platform/text.h"
#include "render/frame_composer.h"

using namespace tessel;

namespace {

double FramesPerSecond(uint8_t code) {
    switch (code) {
        case 2:
            return 24;
        case 3:
            return 25;
        case 4:
            return 30000.0 / 1001;
        case 6:
            return 50;
        case 7:
            return 60000.0 / 1001;
        default:
            return 24000.0 / 1001;
    }
}

// The object a Normal state shows in frame f.
const CGraphicObject* RunObject(const CBdButton& b, const CPage& page, int f,
                                const std::map<int, const CGraphicObject*>& byId) {
    const auto& s = b.states[CBdButton::kNormal];
    if (!s.start.ptr || !s.end.ptr || page.frameRateCode == 0) return s.start.ptr;
    const int length = s.end.id - s.start.id + 1;
    int step = f / page.frameRateCode;
    step = s.repeat ? step % length : std::min(step, length - 1);
    auto it = byId.find(s.start.id + step);
    return it == byId.end() ? s.start.ptr : it->second;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: play_frames <stream> <out-folder> [seconds]\n");
        return 2;
    }
    const double seconds = argc > 3 ? std::atof(argv[3]) : 10.0;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(argv[1], bytes, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 2;
    }
    CIgObject ig;
    CMemorySource source(bytes);
    CGsData data;
    CPage* page =
        data.Read(source, false) && ig.BuildFromStream(data) > 0 ? FirstPage(ig) : nullptr;
    if (!page) {
        std::fprintf(stderr, "%s: no page\n", argv[1]);
        return 2;
    }
    std::map<int, const CGraphicObject*> byId;
    for (const CGraphicObject* o : ig.GetAt(0)->graphics.List()) byId[o->id] = o;
    const auto* palette = dynamic_cast<const CErgbPalette*>(page->palette.ptr);
    CFrameComposer composer(ig.video.width, ig.video.height, 0xFF008080u);
    std::string folder = argv[2];
    NormalizeFolder(folder);
    const int frames = static_cast<int>(seconds * FramesPerSecond(ig.video.frameRate) + 0.5);
    for (int f = 0; f < frames; ++f) {
        std::vector<SFrameItem> items;
        for (const auto& bog : page->items)
            if (const CBdButton* b = bog->ShownButton())
                items.push_back({RunObject(*b, *page, f, byId), b->x, b->y, {}, palette, {}});
        composer.Show(std::move(items));
        if (!SaveFramePng(folder + StrFormat("frame%05d.png", f), composer.Frame(), error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
    }
    std::printf("%d frames\n", frames);
    return 0;
}
