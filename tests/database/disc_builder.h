// Small writers of synthetic playlist and clip information files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessel::test {

// Big-endian byte appender with back-patching of lengths and addresses.
struct SBytes {
    std::vector<uint8_t> v;

    size_t Pos() const { return v.size(); }
    SBytes& U8(uint32_t x) { return Uint(x, 1); }
    SBytes& U16(uint32_t x) { return Uint(x, 2); }
    SBytes& U32(uint32_t x) { return Uint(x, 4); }
    SBytes& Uint(uint64_t x, int n) {
        for (int i = n - 1; i >= 0; --i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
        return *this;
    }
    SBytes& Text(const std::string& s) {
        v.insert(v.end(), s.begin(), s.end());
        return *this;
    }
    SBytes& Zeros(size_t n) {
        v.insert(v.end(), n, 0);
        return *this;
    }
    SBytes& Raw(const std::vector<uint8_t>& b) {
        v.insert(v.end(), b.begin(), b.end());
        return *this;
    }
    void Patch32(size_t at, uint32_t x) {
        for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * (3 - i)));
    }
    void Patch16(size_t at, uint32_t x) {
        v[at] = static_cast<uint8_t>(x >> 8);
        v[at + 1] = static_cast<uint8_t>(x);
    }
};

struct SPlayItemSpec {
    std::string clip;
    std::vector<std::string> angles;  // clips of the angles after the first
    size_t padding = 0;               // extra bytes inside the item's length
    uint32_t inTime = 0;
    uint32_t outTime = 0;
};

struct SPlaylistSpec {
    std::vector<SPlayItemSpec> items;
    std::vector<std::vector<std::string>> subPaths;  // clips of each sub-path
    std::vector<std::vector<std::string>> extSubPaths;
    int marks = 1;
    bool extension = false;  // an extension block even without ext sub-paths
};

inline SPlayItemSpec Item(std::string clip, std::vector<std::string> angles = {},
                          size_t padding = 0) {
    SPlayItemSpec item;
    item.clip = std::move(clip);
    item.angles = std::move(angles);
    item.padding = padding;
    return item;
}

inline SPlaylistSpec Playlist(std::vector<SPlayItemSpec> items,
                              std::vector<std::vector<std::string>> subPaths = {},
                              std::vector<std::vector<std::string>> extSubPaths = {}) {
    SPlaylistSpec spec;
    spec.items = std::move(items);
    spec.subPaths = std::move(subPaths);
    spec.extSubPaths = std::move(extSubPaths);
    return spec;
}

inline void WriteSubPath(SBytes& b, const std::vector<std::string>& clips, uint8_t type = 3) {
    const size_t start = b.Pos();
    b.U32(0).U8(0).U8(type).U8(0).U8(0).U8(0).U8(static_cast<uint32_t>(clips.size()));
    for (const auto& c : clips) {
        b.U16(28).Text(c).Text("M2TS").Zeros(3).U8(1 << 1).U8(0).U32(100).U32(200).U16(0).U32(0);
    }
    b.Patch32(start, static_cast<uint32_t>(b.Pos() - start - 4));
}

inline std::vector<uint8_t> BuildPlaylist(const SPlaylistSpec& spec) {
    SBytes b;
    b.Text("MPLS").Text("0200").U32(0).U32(0).U32(0).Zeros(20);
    // AppInfoPlaylist
    b.U32(14).U8(0).U8(1).U16(0).Zeros(8).U8(0x40).Zeros(5);
    const size_t playList = b.Pos();
    b.Patch32(8, static_cast<uint32_t>(playList));
    b.U32(0)
        .U16(0)
        .U16(static_cast<uint32_t>(spec.items.size()))
        .U16(static_cast<uint32_t>(spec.subPaths.size()));
    for (const auto& item : spec.items) {
        const size_t start = b.Pos();
        const bool multi = !item.angles.empty();
        b.U16(0).Text(item.clip).Text("M2TS").U8(0).U8((multi ? 0x10 : 0) | 1).U8(0);
        b.U32(item.inTime).U32(item.outTime).Zeros(8).U8(0).U8(0).U16(0);
        if (multi) {
            b.U8(static_cast<uint32_t>(item.angles.size() + 1)).U8(0);
            for (const auto& a : item.angles) b.Text(a).Text("M2TS").U8(0);
        }
        b.U16(14).Zeros(14);  // stream number table
        b.Zeros(item.padding);
        b.Patch16(start, static_cast<uint32_t>(b.Pos() - start - 2));
    }
    for (const auto& sp : spec.subPaths) WriteSubPath(b, sp);
    b.Patch32(playList, static_cast<uint32_t>(b.Pos() - playList - 4));

    const size_t marks = b.Pos();
    b.Patch32(12, static_cast<uint32_t>(marks));
    b.U32(2 + 14 * spec.marks).U16(spec.marks);
    for (int i = 0; i < spec.marks; ++i) b.U8(0).U8(1).U16(0).U32(1000 * i).U16(0xFFFF).U32(0);

    if (spec.extension || !spec.extSubPaths.empty()) {
        const size_t ext = b.Pos();
        b.Patch32(16, static_cast<uint32_t>(ext));
        SBytes body;
        body.U32(0).U16(static_cast<uint32_t>(spec.extSubPaths.size()));
        for (const auto& sp : spec.extSubPaths) WriteSubPath(body, sp, 8);
        body.Patch32(0, static_cast<uint32_t>(body.Pos() - 4));
        // length, data block start, reserved, one entry (2, 2), then its data.
        const uint32_t dataStart = 12 + 12;
        b.U32(0).U32(dataStart).Zeros(3).U8(1);
        b.U16(2).U16(2).U32(dataStart).U32(static_cast<uint32_t>(body.v.size()));
        b.Raw(body.v);
        b.Patch32(ext, static_cast<uint32_t>(b.Pos() - ext - 4));
    }
    return b.v;
}

struct SStreamSpec {
    uint16_t pid = 0;
    uint8_t codingType = 0;
    std::vector<uint8_t> attributes;  // bytes after the coding type
};

struct SClipInfoSpec {
    uint8_t applicationType = 1;
    std::vector<SStreamSpec> streams;
    std::vector<SStreamSpec> secondProgramStreams;  // a second program sequence when not empty
    std::vector<std::pair<uint32_t, uint32_t>> stc{{27000000, 27900000}};
    bool extension = false;
    std::vector<uint8_t> reserved;  // ClipInfo reserved bytes (at most 128)
};

inline std::vector<uint8_t> BuildClipInfo(const SClipInfoSpec& spec) {
    SBytes b;
    b.Text("HDMV").Text("0200").U32(0).U32(0).U32(0).U32(0).U32(0).Zeros(12);
    // ClipInfo
    const size_t clipInfo = b.Pos();
    b.U32(0).U16(0).U8(1).U8(spec.applicationType).U32(0).U32(6000000).U32(1234);
    std::vector<uint8_t> reserved = spec.reserved;
    reserved.resize(128);
    b.Raw(reserved);
    b.U16(30).U8(0x80).Text("HDMV").Zeros(9).Zeros(16);
    b.Patch32(clipInfo, static_cast<uint32_t>(b.Pos() - clipInfo - 4));
    // SequenceInfo
    const size_t seq = b.Pos();
    b.Patch32(8, static_cast<uint32_t>(seq));
    b.U32(0).U8(0).U8(1).U32(0).U8(static_cast<uint32_t>(spec.stc.size())).U8(0);
    for (const auto& [start, end] : spec.stc) b.U16(0x1001).U32(0).U32(start).U32(end);
    b.Patch32(seq, static_cast<uint32_t>(b.Pos() - seq - 4));
    // ProgramInfo
    const size_t prog = b.Pos();
    b.Patch32(12, static_cast<uint32_t>(prog));
    const bool two = !spec.secondProgramStreams.empty();
    b.U32(0).U8(0).U8(two ? 2 : 1);
    for (const auto* list : {&spec.streams, &spec.secondProgramStreams}) {
        if (list == &spec.secondProgramStreams && !two) break;
        b.U32(0).U16(0x100).U8(static_cast<uint32_t>(list->size())).U8(0);
        for (const auto& s : *list) {
            b.U16(s.pid).U8(static_cast<uint32_t>(s.attributes.size() + 1)).U8(s.codingType);
            b.Raw(s.attributes);
        }
    }
    b.Patch32(prog, static_cast<uint32_t>(b.Pos() - prog - 4));
    // CPI: an EP map for the first stream with two coarse and three fine entries.
    const size_t cpi = b.Pos();
    b.Patch32(16, static_cast<uint32_t>(cpi));
    b.U32(0).U8(0).U8(1);
    const size_t epMap = b.Pos();
    b.U8(0).U8(1);
    b.U16(0x1011).U32((1u << 18) | (2u << 2) | 0).U16(3).U32(14);
    const size_t one = b.Pos();
    b.U32(4 + 16);
    b.U32((0u << 14) | 0x0003).U32(0x00020000);  // fine ref 0, coarse PTS 3
    b.U32((2u << 14) | 0x0005).U32(0x00040000);  // fine ref 2, coarse PTS 5
    b.U32((0u << 31) | (1u << 28) | (7u << 17) | 5).U32((1u << 17) | 6).U32((2u << 17) | 9);
    (void)epMap;
    (void)one;
    b.Patch32(cpi, static_cast<uint32_t>(b.Pos() - cpi - 4));
    // ClipMark
    const size_t mark = b.Pos();
    b.Patch32(20, static_cast<uint32_t>(mark));
    b.U32(2).U16(0);
    if (spec.extension) {
        const size_t ext = b.Pos();
        b.Patch32(24, static_cast<uint32_t>(ext));
        b.U32(23).U32(24).Zeros(3).U8(1).U16(0x1000).U16(1).U32(24).U32(3).Text("abc");
    }
    return b.v;
}

}  // namespace tessel::test
