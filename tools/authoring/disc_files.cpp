#include "authoring/disc_files.h"

#include <cstdio>
#include <cstring>

#include "platform/byte_io.h"

namespace tessel::authoring {

namespace {

// Appends big-endian fields to a growing byte vector.
class CBuf {
public:
    std::vector<uint8_t> b;
    size_t Pos() const { return b.size(); }
    void Uint(uint64_t v, int n) {
        for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void U8(uint32_t v) { Uint(v, 1); }
    void U16(uint32_t v) { Uint(v, 2); }
    void U32(uint32_t v) { Uint(v, 4); }
    void Text(const char* s, size_t n) {
        for (size_t i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(s[i]));
    }
    void Zeros(size_t n) { b.insert(b.end(), n, 0); }
    void Patch(size_t pos, uint64_t v, int n) {
        for (int i = 0; i < n; ++i) b[pos + i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
    }
    // Opens a length field of n bytes; Close patches it with the bytes since.
    size_t Open(int n) {
        size_t p = Pos();
        Zeros(static_cast<size_t>(n));
        return p;
    }
    void Close(size_t p, int n) { Patch(p, Pos() - p - static_cast<size_t>(n), n); }
};

std::string ClipName(int clip) {
    char s[16];
    std::snprintf(s, sizeof s, "%05d", clip % 100000);
    return s;
}

void WriteSubPath(CBuf& o, const SSubPathSpec& sp) {
    const size_t len = o.Open(4);
    o.U8(0);
    o.U8(sp.type);
    o.U8(0);
    o.U8(0);  // not repeated
    o.U8(0);
    o.U8(static_cast<uint32_t>(sp.clips.size()));
    for (int clip : sp.clips) {
        const size_t l = o.Open(2);
        o.Text(ClipName(clip).c_str(), 5);
        o.Text("M2TS", 4);
        o.Zeros(3);
        o.U8(1 << 1);  // connection condition 1
        o.U8(0);
        o.U32(0);
        o.U32(90000);
        o.U16(0);
        o.U32(0);
        o.Close(l, 2);
    }
    o.Close(len, 4);
}

}  // namespace

std::vector<uint8_t> BuildMpls(const SPlaylistSpec& spec) {
    CBuf o;
    o.Text("MPLS0200", 8);
    const size_t hdr = o.Pos();
    o.Zeros(32);  // three addresses + reserved
    // AppInfoPlayList
    o.U32(14);
    o.U8(0);
    o.U8(1);  // sequential
    o.U16(0);
    o.Zeros(8);
    o.U8(0x40);
    o.U8(0);
    // PlayList
    o.Patch(hdr, o.Pos(), 4);
    const size_t plLen = o.Open(4);
    o.U16(0);
    o.U16(static_cast<uint32_t>(spec.playItems.size()));
    o.U16(static_cast<uint32_t>(spec.subPaths.size()));
    for (const auto& pi : spec.playItems) {
        const size_t l = o.Open(2);
        o.Text(ClipName(pi.clip).c_str(), 5);
        o.Text("M2TS", 4);
        o.U8(0);
        o.U8((pi.angleClips.empty() ? 0 : 0x10) | 1);
        o.U8(0);
        o.U32(pi.inTime);
        o.U32(pi.outTime);
        o.Zeros(8);
        o.U8(0);
        o.U8(0);
        o.U16(0);
        if (!pi.angleClips.empty()) {
            o.U8(static_cast<uint32_t>(pi.angleClips.size() + 1));
            o.U8(0);
            for (int a : pi.angleClips) {
                o.Text(ClipName(a).c_str(), 5);
                o.Text("M2TS", 4);
                o.U8(0);
            }
        }
        // Stream number table with no entries.
        o.U16(14);
        o.Zeros(14);
        o.Close(l, 2);
    }
    for (const auto& sp : spec.subPaths) WriteSubPath(o, sp);
    o.Close(plLen, 4);
    // PlayListMark: one entry mark at the start.
    o.Patch(hdr + 4, o.Pos(), 4);
    const size_t mLen = o.Open(4);
    o.U16(1);
    o.U8(0);
    o.U8(1);
    o.U16(0);
    o.U32(spec.playItems.empty() ? 0 : spec.playItems[0].inTime);
    o.U16(0xFFFF);
    o.U32(0);
    o.Close(mLen, 4);
    if (!spec.extSubPaths.empty()) {
        CBuf data;
        const size_t dl = data.Open(4);
        data.U16(static_cast<uint32_t>(spec.extSubPaths.size()));
        for (const auto& sp : spec.extSubPaths) WriteSubPath(data, sp);
        data.Close(dl, 4);
        const size_t start = o.Pos();
        o.Patch(hdr + 8, start, 4);
        const size_t extLen = o.Open(4);
        o.U32(12 + 12);  // data block start, relative to the extension data
        o.Zeros(3);
        o.U8(1);
        o.U16(2);
        o.U16(2);
        o.U32(12 + 12);
        o.U32(static_cast<uint32_t>(data.b.size()));
        o.b.insert(o.b.end(), data.b.begin(), data.b.end());
        o.Close(extLen, 4);
    }
    return o.b;
}

std::vector<uint8_t> BuildClpi(const SClipInfoSpec& spec) {
    CBuf o;
    o.Text("HDMV0200", 8);
    const size_t hdr = o.Pos();
    o.Zeros(32);
    // ClipInfo
    const size_t ciLen = o.Open(4);
    o.U16(0);
    o.U8(1);
    o.U8(spec.applicationType);
    o.U32(0);
    o.U32(spec.recordingRate);
    o.U32(spec.sourcePackets);
    o.Zeros(128);
    o.U16(30);
    o.U8(0x80);
    o.Text("HDMV", 4);
    o.Zeros(9);
    o.Zeros(16);
    o.Close(ciLen, 4);
    // SequenceInfo
    o.Patch(hdr, o.Pos(), 4);
    const size_t siLen = o.Open(4);
    o.U8(0);
    o.U8(1);
    o.U32(0);
    o.U8(1);
    o.U8(0);
    o.U16(0x1001);
    o.U32(0);
    o.U32(spec.startPts45);
    o.U32(spec.endPts45);
    o.Close(siLen, 4);
    // ProgramInfo
    o.Patch(hdr + 4, o.Pos(), 4);
    const size_t piLen = o.Open(4);
    o.U8(0);
    o.U8(1);
    o.U32(0);
    o.U16(0x0100);
    o.U8(static_cast<uint32_t>(spec.streams.size()));
    o.U8(0);
    for (const auto& s : spec.streams) {
        o.U16(s.pid);
        const size_t l = o.Open(1);
        o.U8(s.codingType);
        const uint8_t t = s.codingType;
        const bool video = t == 0x02 || t == 0x1B || t == 0x20 || t == 0xEA;
        const bool audio = (t >= 0x80 && t <= 0x86) || t == 0xA1 || t == 0xA2;
        std::string lang = s.language;
        lang.resize(3, ' ');
        if (video) {
            o.U8(static_cast<uint32_t>(s.videoFormat << 4 | s.frameRate));
            o.U8(3 << 4);  // 16:9
            o.Zeros(2);
        } else if (audio) {
            o.U8(0x31);  // stereo, 48 kHz
            o.Text(lang.c_str(), 3);
        } else if (t == 0x90 || t == 0x91) {
            o.Text(lang.c_str(), 3);
            o.U8(0);
        } else if (t == 0x92) {
            o.U8(1);
            o.Text(lang.c_str(), 3);
        } else {
            o.Zeros(4);
        }
        o.Zeros(12);  // ISRC
        o.Zeros(4);
        o.Close(l, 1);
    }
    o.Close(piLen, 4);
    // CPI: an EP map when there are entry points (one coarse entry per fine
    // one), and an empty ClipMark.
    o.Patch(hdr + 8, o.Pos(), 4);
    if (spec.entryPoints.empty()) {
        o.U32(0);
    } else {
        const size_t cpiLen = o.Open(4);
        o.U8(0);
        o.U8(1);  // EP map
        const size_t epMap = o.Pos();
        const auto n = static_cast<uint32_t>(spec.entryPoints.size());
        o.U8(0);
        o.U8(1);
        o.U16(spec.epPid);
        o.U32(1u << 18 | (n & 0xFFFF) << 2 | (n >> 16 & 0x03));
        o.U16(n & 0xFFFF);
        o.U32(static_cast<uint32_t>(o.Pos() + 4 - epMap));
        o.U32(4 + 8 * n);  // fine table, relative to this stream's map
        for (uint32_t i = 0; i < n; ++i) {
            const auto [pts, spn] = spec.entryPoints[i];
            o.U32(i << 14 | static_cast<uint32_t>(pts >> 19 & 0x3FFF));
            o.U32(spn);
        }
        for (const auto& [pts, spn] : spec.entryPoints)
            o.U32(static_cast<uint32_t>(pts >> 9 & 0x7FF) << 17 | (spn & 0x1FFFF));
        o.Close(cpiLen, 4);
    }
    o.Patch(hdr + 12, o.Pos(), 4);
    o.U32(0);
    return o.b;
}

}  // namespace tessel::authoring
