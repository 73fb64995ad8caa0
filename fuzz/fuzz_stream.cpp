// Graphics streams, marked form (or bare form when built with
// TESSEL_FUZZ_BARE): what `tessel dump`, `reframe`, `menu`, `objects` and
// `rebuild` do after reading a file, on memory: the reader, the segment
// dumps, the interactive compositions, the menu tree with every object
// decoded, and the writers, segment by segment and from the tree.
#include <string>

#include "codec/display_set.h"
#include "fuzz_support.h"
#include "model/ic_data.h"
#include "model/ig_object.h"

#ifndef TESSEL_FUZZ_BARE
#define TESSEL_FUZZ_BARE 0
#endif

namespace {

using namespace tessel;

class CNullLog : public ILogSink {
public:
    void Log(const std::string&) override {}
};

void DumpAll(const CDsData& ds, std::string& text) {
    for (const CSegmentBase* s : ds.StreamOrder()) s->Dump(text, " ");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    const bool bare = TESSEL_FUZZ_BARE != 0;
    CMemorySource source({data, size});
    CGsData gs;
    SStreamInfo info;
    const bool ok = ReadStream(gs.epochs, source, bare, &info);
    std::string text;
    if (!ok) {
        fuzz::Require(info.error.offset >= 0 && info.error.offset <= static_cast<int64_t>(size),
                      "a read error names an offset inside the stream");
        if (info.failedDisplaySet) DumpAll(*info.failedDisplaySet, text);
    }
    for (const auto& epoch : gs.epochs)
        for (const auto& ds : epoch->items) {
            DumpAll(*ds, text);
            if (auto composition = ReadComposition(*ds)) {
                const int n = composition->Write(nullptr, 0);
                std::string body(static_cast<size_t>(n > 0 ? n : 0), '\0');
                if (n > 0) composition->Write(reinterpret_cast<uint8_t*>(body.data()), 0);
            }
            for (bool streamOrder : {true, false}) {
                CMemorySink sink;
                WriteDsData(*ds, sink, nullptr, bare, streamOrder);
            }
        }
    gs.interactive = info.interactive;
    if (info.hasVideo) gs.video = info.video;

    // The tree with every object decoded, within the memory bounds.
    if (fuzz::DeclaredPixels(gs.epochs) > fuzz::kModelPixelCap) return 0;
    CIgObject ig;
    SStreamError dropped;
    ig.BuildFromStream(gs, &dropped);
    int64_t total = 0;
    for (const auto& epoch : ig) {
        int64_t pixels = 0;
        for (const CGraphicObject* o : epoch->graphics.List())
            if (o->bitmap) pixels += int64_t{o->bitmap->Width()} * o->bitmap->Height();
        fuzz::Require(pixels <= kIgObjectBufferBytes, "an epoch's objects fit the object buffer");
        total += pixels;
    }
    fuzz::Require(
        total <= kIgObjectBufferBytes + kObjectPixelsPerStreamByte * static_cast<int64_t>(size),
        "the stream's objects stay within its size bound");
    fuzz::Require(dropped.offset < static_cast<int64_t>(size), "a dropped object lies inside");

    // Write-back from the tree (rebuild), then from recomposed segments
    // (reframe --recompose).
    CNullLog log;
    CMemorySink out, companion;
    ig.WriteStream(out, &companion, &log, bare);
    for (const auto& epoch : gs.epochs)
        for (const auto& ds : epoch->items)
            if (RecomposeIcs(*ds)) {
                CMemorySink sink;
                WriteDsData(*ds, sink, nullptr, bare, true);
            }
    return 0;
}
