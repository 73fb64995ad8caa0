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

// The dumps of a segment type take the same few paths for every segment:
// the first few of each type per input cover them, and the formatting of all
// the others would be most of the run's time.
constexpr int kDumpsPerType = 3;

class CDumper {
public:
    void Dump(const CDsData& ds) {
        for (const CSegmentBase* s : ds.StreamOrder())
            if (m_done[s->segmentType]++ < kDumpsPerType) s->Dump(m_text, " ");
    }

private:
    std::string m_text;
    int m_done[256] = {};
};

void BuildAndWrite(const CGsData& gs, size_t size, bool bare) {
    CIgObject ig;
    CResult dropped;
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
    fuzz::Require(dropped.Offset() < static_cast<int64_t>(size), "a dropped object lies inside");
    CNullLog log;
    CMemorySink out, companion;
    ig.WriteStream(out, &companion, &log, bare);
}

}  // namespace

TESSEL_FUZZ_MAX_LEN(8192)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    const bool bare = TESSEL_FUZZ_BARE != 0;
    CMemorySource source({data, size});
    CGsData gs;
    SStreamInfo info;
    const bool ok = ReadStream(gs.epochs, source, bare, &info);
    gs.interactive = info.interactive;
    if (info.hasVideo) gs.video = info.video;
    // The tree with every object decoded and written back (rebuild), within
    // the memory bounds, while the segments still hold the offsets they were
    // read from (writing them back moves those to the written stream's).
    if (fuzz::DeclaredPixels(gs.epochs) <= fuzz::kModelPixelCap) BuildAndWrite(gs, size, bare);
    CDumper dumper;
    if (!ok) {
        fuzz::Require(info.error.Offset() >= 0 && info.error.Offset() <= static_cast<int64_t>(size),
                      "a read error names an offset inside the stream");
        if (info.failedDisplaySet) dumper.Dump(*info.failedDisplaySet);
    }
    for (const auto& epoch : gs.epochs)
        for (const auto& ds : epoch->items) {
            dumper.Dump(*ds);
            for (bool streamOrder : {true, false}) {
                CMemorySink sink;
                WriteDsData(*ds, sink, nullptr, bare, streamOrder);
            }
        }
    // The compositions read, written and split into segments again (reframe
    // --recompose).
    for (const auto& epoch : gs.epochs)
        for (const auto& ds : epoch->items)
            if (RecomposeIcs(*ds)) {
                CMemorySink sink;
                WriteDsData(*ds, sink, nullptr, bare, true);
            }
    return 0;
}
