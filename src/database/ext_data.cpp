#include "database/ext_data.h"

#include "platform/byte_io.h"

namespace tessel {

int CEdeFolder::ParseBlock(std::span<const uint8_t> data) {
    Clear();
    length = 0;
    dataBlockStartAddress = 0;
    CByteReader r(data);
    length = r.U32();
    if (r.Failed() || length > r.Remaining()) return -1;
    if (length == 0) return 4;
    const auto block = data.first(size_t{length} + 4);
    dataBlockStartAddress = r.U32();
    r.Skip(3);
    const unsigned count = r.U8();
    for (unsigned i = 0; i < count && !r.Failed(); ++i) {
        auto entry = std::make_unique<CEdeEntry>();
        entry->id1 = r.U16();
        entry->id2 = r.U16();
        entry->startAddress = r.U32();
        entry->length = r.U32();
        if (r.Failed()) break;
        if (entry->length != 0) {
            CByteReader body(block);
            body.Seek(entry->startAddress);
            auto bytes = body.View(entry->length);
            if (body.Failed()) return -1;
            entry->data.assign(bytes.begin(), bytes.end());
        }
        Append(std::move(entry));
    }
    if (r.Failed()) return -1;
    return static_cast<int>(length) + 4;
}

int64_t CEdeFolder::ParseAt(std::span<const uint8_t> file, uint32_t start) {
    if (start > file.size()) return -1;
    const int size = ParseBlock(file.subspan(start));
    return size < 0 ? -1 : int64_t{start} + size;
}

const CEdeEntry* CEdeFolder::Find(uint16_t id1, uint16_t id2) const {
    for (const auto& e : items)
        if (e->id1 == id1 && e->id2 == id2) return e.get();
    return nullptr;
}

}  // namespace tessel
