// Reading steps that playlists and clip information files share.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/byte_io.h"

namespace tessel {

// The head of a database file: type indicator, version, then the start
// addresses of its parts, in file order.
void ReadFileHead(CByteReader& r, std::string& typeIndicator, std::string& version,
                  std::initializer_list<uint32_t*> startAddresses);

// A clip reference: five characters of clip name, four of codec identifier.
void ReadClipName(CByteReader& r, std::string& clipName, std::string& codecIdentifier);

// The body of a record after its 16- or 32-bit length field; fails r when the
// body does not fit.
inline CByteReader ReadRecord(CByteReader& r, uint16_t& length) {
    length = r.U16();
    return r.Sub(length);
}
inline CByteReader ReadRecord(CByteReader& r, uint32_t& length) {
    length = r.U32();
    return r.Sub(length);
}

template <size_t N>
void ReadArray(CByteReader& r, std::array<uint8_t, N>& out) {
    r.Bytes(out.data(), out.size());
}

// Reads up to count entries with read(r, entry); stops at the first overrun,
// keeping only the entries read whole.
template <class T, class Read>
void ReadEntries(CByteReader& r, unsigned count, std::vector<T>& out, Read read) {
    for (unsigned i = 0; i < count && !r.Failed(); ++i) {
        T entry;
        read(r, entry);
        if (!r.Failed()) out.push_back(std::move(entry));
    }
}

// A stored tag with anything unprintable shown as '?'.
std::string PrintableTag(std::string tag);

}  // namespace tessel
