#include "authoring/m2ts_muxer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace tessel::authoring {

uint32_t Crc32Mpeg(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= static_cast<uint32_t>(data[i]) << 24;
        for (int b = 0; b < 8; ++b) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

namespace {

constexpr uint32_t kAtsPerPacket = 864;  // 192 bytes at 48 Mbit/s, 27 MHz ticks

struct SPes {
    uint16_t pid;
    uint64_t pts;
    uint64_t dts;
    const uint8_t* data;
    size_t size;
};

class CWriter {
public:
    CWriter(FILE* f, uint64_t start27) : f_(f), clock27_(start27) {}

    bool Failed() const { return failed_; }
    uint32_t Packets() const { return packets_; }
    uint64_t Clock27() const { return clock27_; }

    // Emits one transport packet: payload bytes with optional adaptation field.
    void Packet(uint16_t pid, bool start, const uint8_t* payload, size_t size, bool pcr = false) {
        uint8_t p[192];
        const uint32_t ats = static_cast<uint32_t>(clock27_ & 0x3FFFFFFF);
        p[0] = static_cast<uint8_t>(ats >> 24);
        p[1] = static_cast<uint8_t>(ats >> 16);
        p[2] = static_cast<uint8_t>(ats >> 8);
        p[3] = static_cast<uint8_t>(ats);
        uint8_t* t = p + 4;
        t[0] = 0x47;
        t[1] = static_cast<uint8_t>((start ? 0x40 : 0) | (pid >> 8));
        t[2] = static_cast<uint8_t>(pid);
        uint8_t& cc = cc_[pid];
        size_t adapt = 0;  // bytes of the adaptation field incl. its length byte
        const size_t room = 184;
        const size_t pcrBytes = pcr ? 8 : 0;  // flags byte + 6 PCR bytes + length
        if (pcr || size < room) adapt = std::max<size_t>(room - std::min(size, room), pcrBytes);
        if (pcr && size + adapt > room) size = room - adapt;
        t[3] = static_cast<uint8_t>((adapt ? (size ? 0x30 : 0x20) : 0x10) | (size ? cc : cc));
        if (size) cc = (cc + 1) & 0x0F;
        size_t o = 4;
        if (adapt) {
            t[o] = static_cast<uint8_t>(adapt - 1);
            if (adapt > 1) {
                t[o + 1] = pcr ? 0x10 : 0x00;
                size_t k = o + 2;
                if (pcr) {
                    const uint64_t base = clock27_ / 300, ext = clock27_ % 300;
                    t[k++] = static_cast<uint8_t>(base >> 25);
                    t[k++] = static_cast<uint8_t>(base >> 17);
                    t[k++] = static_cast<uint8_t>(base >> 9);
                    t[k++] = static_cast<uint8_t>(base >> 1);
                    t[k++] = static_cast<uint8_t>(((base & 1) << 7) | 0x7E | (ext >> 8));
                    t[k++] = static_cast<uint8_t>(ext);
                }
                std::memset(t + k, 0xFF, o + adapt - k);
            }
            o += adapt;
        }
        if (payload && size) std::memcpy(t + o, payload, size);
        if (std::fwrite(p, 1, 192, f_) != 192) failed_ = true;
        ++packets_;
        clock27_ += kAtsPerPacket;
        lastSize_ = size;
    }
    size_t LastSize() const { return lastSize_; }

    void Section(uint16_t pid, const std::vector<uint8_t>& section) {
        std::vector<uint8_t> payload;
        payload.push_back(0);  // pointer field
        payload.insert(payload.end(), section.begin(), section.end());
        Packet(pid, true, payload.data(), payload.size());
    }

    void Pes(const SPes& pes, uint8_t streamId) {
        std::vector<uint8_t> head;
        const bool dts = pes.dts != pes.pts;
        const size_t hlen = dts ? 10 : 5;
        const size_t total = 3 + hlen + pes.size;
        head = {0,
                0,
                1,
                streamId,
                static_cast<uint8_t>(total > 0xFFFF ? 0 : total >> 8),
                static_cast<uint8_t>(total > 0xFFFF ? 0 : total),
                0x81,
                static_cast<uint8_t>(dts ? 0xC0 : 0x80),
                static_cast<uint8_t>(hlen)};
        Stamp(head, dts ? 3 : 2, pes.pts);
        if (dts) Stamp(head, 1, pes.dts);
        std::vector<uint8_t> all(head);
        all.insert(all.end(), pes.data, pes.data + pes.size);
        size_t off = 0;
        bool first = true;
        while (off < all.size()) {
            Packet(pes.pid, first, all.data() + off, std::min<size_t>(184, all.size() - off));
            off += LastSize();
            first = false;
        }
    }

private:
    static void Stamp(std::vector<uint8_t>& h, int prefix, uint64_t v) {
        v &= 0x1FFFFFFFFull;
        h.push_back(static_cast<uint8_t>((prefix << 4) | ((v >> 29) & 0x0E) | 1));
        h.push_back(static_cast<uint8_t>(v >> 22));
        h.push_back(static_cast<uint8_t>(((v >> 14) & 0xFE) | 1));
        h.push_back(static_cast<uint8_t>(v >> 7));
        h.push_back(static_cast<uint8_t>(((v << 1) & 0xFE) | 1));
    }

    FILE* f_;
    uint64_t clock27_;
    uint32_t packets_ = 0;
    bool failed_ = false;
    size_t lastSize_ = 0;
    std::map<uint16_t, uint8_t> cc_;
};

std::vector<uint8_t> Pat() {
    std::vector<uint8_t> s = {0x00, 0xB0, 0, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01, 0xE1, 0x00};
    s[2] = static_cast<uint8_t>(s.size() - 3 + 4);
    const uint32_t crc = Crc32Mpeg(s.data(), s.size());
    for (int i = 3; i >= 0; --i) s.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    return s;
}

std::vector<uint8_t> Pmt(const std::vector<SMuxTrack>& tracks, const SMuxOptions& o) {
    std::vector<uint8_t> s = {0x02,
                              0xB0,
                              0,
                              0x00,
                              0x01,
                              0xC1,
                              0x00,
                              0x00,
                              static_cast<uint8_t>(0xE0 | (o.pcrPid >> 8)),
                              static_cast<uint8_t>(o.pcrPid),
                              0xF0,
                              0x06,
                              0x05,
                              0x04,
                              'H',
                              'D',
                              'M',
                              'V'};
    auto stream = [&](uint8_t type, uint16_t pid) {
        // One byte at a time: GCC 12 warns (-Warray-bounds) about inserting a list.
        for (const uint8_t b : {type, static_cast<uint8_t>(0xE0 | (pid >> 8)),
                                static_cast<uint8_t>(pid), uint8_t{0xF0}, uint8_t{0x00}})
            s.push_back(b);
    };
    if (o.fillerBytes) stream(0x1B, o.fillerPid);
    for (const auto& t : tracks) stream(t.streamType, t.pid);
    const size_t len = s.size() - 3 + 4;
    s[1] = static_cast<uint8_t>(0xB0 | (len >> 8));
    s[2] = static_cast<uint8_t>(len);
    const uint32_t crc = Crc32Mpeg(s.data(), s.size());
    for (int i = 3; i >= 0; --i) s.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    return s;
}

// Cuts marked-form records into PES units; false on a malformed record.
bool Records(const SMuxTrack& t, uint64_t base, std::vector<SPes>& out) {
    const auto& m = t.marked;
    size_t p = 0;
    while (p < m.size()) {
        if (m.size() - p < 13) return false;
        auto be32 = [&](size_t q) {
            return static_cast<uint32_t>(m[q] << 24 | m[q + 1] << 16 | m[q + 2] << 8 | m[q + 3]);
        };
        const uint64_t pts = be32(p + 2), dts = be32(p + 6);
        const size_t seg = 3 + (static_cast<size_t>(m[p + 11]) << 8 | m[p + 12]);
        if (m.size() - p - 10 < seg) return false;
        out.push_back({t.pid, pts + base, (dts ? dts : pts) + base, m.data() + p + 10, seg});
        p += 10 + seg;
    }
    return true;
}

}  // namespace

bool MuxM2ts(const std::string& path, const std::vector<SMuxTrack>& tracks,
             const SMuxOptions& options, SMuxResult& result, std::string& error) {
    std::vector<SPes> units;
    // Where each unit goes in the multiplex: its DTS, never before the unit
    // ahead of it in its own track (each track keeps its order).
    std::vector<uint64_t> at;
    for (const auto& t : tracks) {
        const size_t first = units.size();
        if (!Records(t, options.timeBase, units)) {
            error = "malformed graphics records for PID " + std::to_string(t.pid);
            return false;
        }
        for (size_t i = first; i < units.size(); ++i)
            at.push_back(i > first ? std::max(at.back(), units[i].dts) : units[i].dts);
    }
    std::vector<size_t> order(units.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return at[a] < at[b]; });
    std::vector<SPes> sorted;
    sorted.reserve(units.size());
    for (size_t i : order) sorted.push_back(units[i]);
    units = std::move(sorted);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    const uint64_t start90 = units.empty() ? options.timeBase : units.front().dts;
    CWriter w(f, (start90 > 9000 ? start90 - 9000 : 0) * 300);
    const auto pat = Pat(), pmt = Pmt(tracks, options);
    w.Section(0x0000, pat);
    w.Section(0x0100, pmt);
    w.Packet(options.pcrPid, false, nullptr, 0, true);

    // Filler video: packets spread between the graphics PES packets.
    const uint64_t fillerPackets = (options.fillerBytes + 183) / 184;
    const uint64_t gaps = units.size() + 1;
    uint64_t fillerDone = 0;
    std::vector<uint8_t> filler(184);
    for (size_t i = 0; i < filler.size(); ++i) filler[i] = static_cast<uint8_t>(i * 37 + 11);
    auto emitFiller = [&](uint64_t upTo, uint64_t pts) {
        while (fillerDone < upTo) {
            if (fillerDone % 2000 == 0) {
                SPes v{options.fillerPid, pts, pts, filler.data(), 160};
                w.Pes(v, 0xE0);
            } else {
                w.Packet(options.fillerPid, false, filler.data(), 184);
            }
            if (fillerDone % 100 == 0) w.Packet(options.pcrPid, false, nullptr, 0, true);
            ++fillerDone;
        }
    };
    const uint64_t span = units.empty() ? 1 : units.back().dts - units.front().dts + 1;
    for (size_t i = 0; i < units.size(); ++i) {
        if (options.fillerByTime)
            emitFiller(fillerPackets * (units[i].dts - units.front().dts) / span, units[i].dts);
        else if (!options.fillerAfterGraphics)
            emitFiller(fillerPackets * (i + 1) / gaps, units[i].dts);
        if (units[i].size && units[i].data[0] == 0x18)
            result.compositions.emplace_back(units[i].pts, w.Packets());
        w.Pes(units[i], 0xBD);
        if (i % 16 == 15) w.Packet(options.pcrPid, false, nullptr, 0, true);
    }
    emitFiller(fillerPackets, units.empty() ? options.timeBase : units.back().pts);
    const bool ok = !w.Failed() && std::fclose(f) == 0;
    if (!ok) {
        error = "cannot write " + path;
        std::remove(path.c_str());
        return false;
    }
    result.sourcePackets = w.Packets();
    result.firstPts = units.empty() ? options.timeBase : units.front().pts;
    result.lastPts = result.firstPts;
    for (const auto& u : units) result.lastPts = std::max(result.lastPts, u.pts);
    return true;
}

}  // namespace tessel::authoring
