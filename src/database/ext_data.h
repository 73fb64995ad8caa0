// Extension data blocks of playlists and clip information files.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "model/named_object.h"

namespace tessel {

// One extension data entry; its data is kept as raw bytes.
class CEdeEntry : public CNamedObject {
public:
    uint16_t id1 = 0;
    uint16_t id2 = 0;
    uint32_t startAddress = 0;  // relative to the start of the extension data
    uint32_t length = 0;
    std::vector<uint8_t> data;
};

// The entries of one extension data block, in file order.
class CEdeFolder : public CNamedPtrArray<CEdeEntry> {
public:
    // Reads a block that starts at data[0] (its length field). Entry addresses
    // are relative to data[0]; entry data must lie inside the block. Returns the block's size
    // (length + 4), or -1 when the block does not fit.
    int ParseBlock(std::span<const uint8_t> data);
    // Reads the block at byte start of a whole file; returns the offset of its
    // end, or -1 when start lies past the end or the block does not fit.
    int64_t ParseAt(std::span<const uint8_t> file, uint32_t start);

    // The first entry with this ID pair, or null.
    const CEdeEntry* Find(uint16_t id1, uint16_t id2) const;

    uint32_t length = 0;
    uint32_t dataBlockStartAddress = 0;
};

}  // namespace tessel
