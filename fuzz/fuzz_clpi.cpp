// Clip information files: the parse, then the track list and timing that
// `tessel clipinfo` and the disc scan derive from it.
#include <string>

#include "database/clpi.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessel;
    fuzz::Quiet();
    CClpiObject clpi;
    const int reached = clpi.ParseClpi({data, size});
    fuzz::Require(reached <= static_cast<int>(size), "the parse stays inside the file");
    if (reached < 0) return 0;
    clpi.BuildTrackList();
    clpi.DeriveTiming();
    std::string text;
    for (const auto& track : clpi.tracks.tracks) text += track->Describe() + track->GetLanguage();
    for (const auto& stream : clpi.programInfo.streams) text += AttributeText(stream.codingInfo);
    fuzz::Require(clpi.tracks.GetSize() <= static_cast<int>(clpi.programInfo.streams.size()),
                  "one track per stream at most");
    return 0;
}
