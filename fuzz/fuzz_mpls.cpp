// Playlist files: what `tessel playlists` does with each playlist it reads.
#include <vector>

#include "database/mpls.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessel;
    fuzz::Quiet();
    CMplsObject mpls;
    const int reached = mpls.ParseMpls({data, size});
    fuzz::Require(reached <= static_cast<int>(size), "the parse stays inside the file");
    if (reached < 0) return 0;
    std::vector<int> clips;
    mpls.ClipReferences(clips);
    // Five characters read as a number (a sign included, as the reader takes it).
    for (int c : clips) fuzz::Require(c >= -9999 && c <= 99999, "clip numbers fit five characters");
    return 0;
}
