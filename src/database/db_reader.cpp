#include "database/db_reader.h"

namespace tessel {

void ReadFileHead(CByteReader& r, std::string& typeIndicator, std::string& version,
                  std::initializer_list<uint32_t*> startAddresses) {
    typeIndicator = r.Text(4);
    version = r.Text(4);
    for (uint32_t* address : startAddresses) *address = r.U32();
}

void ReadClipName(CByteReader& r, std::string& clipName, std::string& codecIdentifier) {
    clipName = r.Text(5);
    codecIdentifier = r.Text(4);
}

std::string PrintableTag(std::string tag) {
    for (char& c : tag)
        if (c < 0x20 || c > 0x7E) c = '?';
    return tag;
}

}  // namespace tessel
