#include "model/named_object.h"

#include "platform/text.h"

namespace tessel {

void CNamedObject::Serialize(CArchive& ar) {
    ar.Io(name);
    ar.Io(id);
}

int CNamedObject::Parse(std::span<const uint8_t>, int) {
    return 0;
}

int CNamedObject::Write(uint8_t*, int) {
    return 0;
}

void CNamedObject::SetName(const std::string& text) {
    if (text.empty() || EqualsNoCase(text, name)) return;
    name = text;
}

void CNamedObject::CopyBase(const CNamedObject& other) {
    if (&other == this) return;
    parent = other.parent;
    name = other.name;
    id = other.id;
    used = other.used;
    userWord = other.userWord;
}

std::string NumberedName(const char* label, int number) {
    return StrFormat("%s#%d", label, number);
}

}  // namespace tessel
