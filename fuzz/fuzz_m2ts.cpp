// Transport streams: what the clip object and `tessel demux` do with a clip,
// through a file in memory: the program map, the demux of every IG PID into
// a marked-form stream, and each stream read back into its menu tree.
#include <vector>

#include "codec/display_set.h"
#include "fuzz_support.h"
#include "model/ig_object.h"
#include "platform/read_file.h"
#include "ts/demux.h"
#include "ts/esi.h"
#include "ts/packet.h"
#include "ts/track_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessel;
    fuzz::Quiet();
    CReadFile file;
    file.OpenMemory({data, size}, "fuzz.m2ts");
    std::unique_ptr<CEsiFolder> pmt = ReadProgramMap(file);
    if (!pmt) return 0;
    CTrackInfoMap map;
    std::vector<CMemoryFile*> outputs;
    AddIgTracks(*pmt, map, outputs);
    pmt.reset();
    if (map.Empty()) return 0;
    file.Seek(0);
    // The demux block of the command, no larger than the clip: the same
    // passes for every input this harness sees.
    const size_t block = std::min(kDemuxBlockSize, std::max<size_t>(size, kSourcePacketSize));
    if (!Demux(file, map, nullptr, block)) return 0;
    size_t staged = 0, written = 0;
    for (const auto& track : map.tracks) staged += track->main ? track->main->allocated : 0;
    for (CMemoryFile* out : outputs) written += static_cast<size_t>(out->Length());
    // Each source packet gives at most its 184 payload bytes and one record
    // head to one track; the staging buffers grow with what they hold.
    fuzz::Require(written <= size + size / 16, "the tracks stay within the clip's size");
    fuzz::Require(staged <= 2 * written + map.Count() * STrackFile::kFirstAllocation,
                  "the staging buffers grow with the tracks");
    for (CMemoryFile* out : outputs) {
        const CByteBuffer marked = out->Take();
        CMemorySource source(marked);
        CGsData gs;
        if (!gs.Read(source, false) || fuzz::DeclaredPixels(gs.epochs) > fuzz::kModelPixelCap)
            continue;
        CIgObject ig;
        ig.BuildFromStream(gs);
    }
    return 0;
}
