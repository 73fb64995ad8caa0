// The object archive: an IG set loaded from archive bytes, stored again, and
// the stored form loaded once more, which must give the same bytes.
#include "fuzz_support.h"
#include "model/ig_object.h"
#include "platform/archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessel;
    fuzz::Quiet();
    CIgSet set;
    try {
        CArchive in({data, size});
        set.Serialize(in);
    } catch (const CArchiveError&) {
        return 0;
    }
    CArchive stored;
    set.Serialize(stored);
    CIgSet again;
    try {
        CArchive in(stored.Buffer());
        again.Serialize(in);
    } catch (const CArchiveError&) {
        fuzz::Require(false, "a stored set loads again");
    }
    CArchive second;
    again.Serialize(second);
    fuzz::Require(second.Buffer() == stored.Buffer(), "storing is stable after one load");
    return 0;
}
