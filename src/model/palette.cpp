#include "model/palette.h"

#include <memory>

namespace tessel {

void CErgbPalette::CopyFrom(const CNamedObject& other) {
    CopyBase(other);
    if (auto* o = dynamic_cast<const CErgbPalette*>(&other)) {
        records = o->records;
        transparentIndex = o->transparentIndex;
    }
}

void CErgbPalette::Serialize(CArchive& ar) {
    CNamedObject::Serialize(ar);
    ar.Io(transparentIndex);
    int32_t n = GetSize();
    ar.Io(n);
    if (ar.IsLoading()) {
        if (n < 0 || n > 65536) throw CArchiveError("bad palette entry count");
        records.assign(static_cast<size_t>(n), ERGBQUAD{});
    }
    for (ERGBQUAD& q : records) {
        ar.Io(q.index);
        ar.Io(q.blue);
        ar.Io(q.green);
        ar.Io(q.red);
        ar.Io(q.alpha);
    }
}

CErgbPalette* CPoFolder::AddPalette() {
    auto p = std::make_unique<CErgbPalette>();
    p->name = NumberedName("Palettte", GetSize());
    p->transparentIndex = 255;
    return Append(std::move(p));
}

}  // namespace tessel
