#include "codec/pds.h"

#include "platform/text.h"

namespace tessel {

int CPds::Parse(std::span<const uint8_t> payload) {
    CByteReader r(payload);
    paletteId = r.U8();
    paletteVersion = r.U8();
    Clear();
    if (r.Failed()) return static_cast<int>(payload.size() < 2 ? payload.size() : 2);
    entries.reserve(r.Remaining() / 5);
    while (r.Remaining() >= 5) {
        SPaletteEntry e;
        e.id = r.U8();
        e.y = r.U8();
        e.cr = r.U8();
        e.cb = r.U8();
        e.t = r.U8();
        entries.push_back(e);
    }
    return static_cast<int>(r.Pos());
}

void CPds::WritePayload(CByteWriter& w) {
    w.U8(paletteId);
    w.U8(paletteVersion);
    const size_t n = entries.size() < kMaxPaletteEntries ? entries.size() : kMaxPaletteEntries;
    for (size_t i = 0; i < n; ++i) {
        const SPaletteEntry& e = entries[i];
        w.U8(e.id);
        w.U8(e.y);
        w.U8(e.cr);
        w.U8(e.cb);
        w.U8(e.t);
    }
}

void CPds::Dump(std::string& out, const std::string& indent) const {
    CSegmentBase::Dump(out, indent);
    const char* in = indent.c_str();
    out += StrFormat("%s%s: %d\n", in, "PaletteId", paletteId);
    out += StrFormat("%s%s: %d\n", in, "PaletteVersion", paletteVersion);
    out += StrFormat("%s%s: %d\n", in, "PaletteEntryCount", static_cast<int>(entries.size()));
}

void CPds::Serialize(CArchive& ar) {
    uint32_t reserved = 0;
    ar.Io(reserved);
    ar.Io(paletteId);
    ar.Io(paletteVersion);
    if (ar.IsStoring()) {
        uint32_t n = static_cast<uint32_t>(entries.size());
        ar.Io(n);
        for (const SPaletteEntry& e : entries) {
            const uint8_t b[5] = {e.id, e.y, e.cr, e.cb, e.t};
            ar.WriteBytes(b, sizeof b);
        }
    } else {
        Clear();
        uint32_t n = 0;
        ar.Io(n);
        if (!ar.CheckCount(n, 5, "palette entry")) return;
        for (uint32_t i = 0; i < n && !ar.Failed(); ++i) {
            uint8_t b[5];
            ar.ReadBytes(b, sizeof b);
            entries.push_back({b[0], b[1], b[2], b[3], b[4]});
        }
    }
}

void CPdsFolder::Serialize(CArchive& ar) {
    uint32_t reserved = 0;
    ar.Io(reserved);
    if (ar.IsStoring()) {
        uint32_t n = static_cast<uint32_t>(items.size());
        ar.Io(n);
        for (const auto& p : items) p->Serialize(ar);
    } else {
        RemoveAll();
        uint32_t n = 0;
        ar.Io(n);
        if (!ar.CheckCount(n, 4 + 1 + 1 + 4, "palette")) return;
        for (uint32_t i = 0; i < n && !ar.Failed(); ++i) {
            auto p = std::make_unique<CPds>();
            p->Serialize(ar);
            Append(std::move(p));
        }
    }
}

CPds* FindPalette(const CPdsFolder* folder, int paletteId) {
    if (!folder) return nullptr;
    for (const auto& p : folder->items)
        if (p->paletteId == paletteId) return p.get();
    return nullptr;
}

}  // namespace tessel
