// The object archive: an IG set loaded from archive bytes, stored again, and
// the stored form loaded once more, which must give the same bytes.
#include "fuzz_support.h"
#include "model/ig_object.h"
#include "platform/archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessel;
    fuzz::Quiet();
    CIgSet set;
    CArchive in({data, size});
    set.Serialize(in);
    if (in.Failed()) return 0;
    CArchive stored;
    set.Serialize(stored);
    CIgSet again;
    CArchive reload(stored.Buffer());
    again.Serialize(reload);
    fuzz::Require(!reload.Failed(), "a stored set loads again");
    CArchive second;
    again.Serialize(second);
    fuzz::Require(second.Buffer() == stored.Buffer(), "storing is stable after one load");
    return 0;
}
