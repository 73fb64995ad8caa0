#include "authoring/m2ts_muxer.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace tessel::authoring {

uint32_t Crc32Mpeg(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= static_cast<uint32_t>(data[i]) << 24;
        for (int b = 0; b < 8; ++b) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

std::vector<uint8_t> TimeStampBytes(uint8_t prefix, uint64_t v) {
    return {static_cast<uint8_t>((prefix << 4) | (((v >> 30) & 7) << 1) | 1),
            static_cast<uint8_t>(v >> 22), static_cast<uint8_t>((((v >> 15) & 0x7F) << 1) | 1),
            static_cast<uint8_t>(v >> 7), static_cast<uint8_t>(((v & 0x7F) << 1) | 1)};
}

std::vector<uint8_t> PcrBytes(uint64_t base, uint16_t ext) {
    return {static_cast<uint8_t>(base >> 25),
            static_cast<uint8_t>(base >> 17),
            static_cast<uint8_t>(base >> 9),
            static_cast<uint8_t>(base >> 1),
            static_cast<uint8_t>(((base & 1) << 7) | 0x7E | ((ext >> 8) & 1)),
            static_cast<uint8_t>(ext)};
}

std::vector<uint8_t> PesHeaderBytes(std::optional<uint64_t> pts, std::optional<uint64_t> dts,
                                    uint8_t streamId, size_t payloadSize) {
    std::vector<uint8_t> h = {0, 0, 1, streamId, 0, 0, 0x81, 0, 0};
    if (pts && dts) {
        h[7] = 0xC0;
        auto p = TimeStampBytes(3, *pts), d = TimeStampBytes(1, *dts);
        h.insert(h.end(), p.begin(), p.end());
        h.insert(h.end(), d.begin(), d.end());
    } else if (pts) {
        h[7] = 0x80;
        auto p = TimeStampBytes(2, *pts);
        h.insert(h.end(), p.begin(), p.end());
    }
    h[8] = static_cast<uint8_t>(h.size() - 9);
    const size_t len = h.size() - 6 + payloadSize;
    if (len <= 0xFFFF) {
        h[4] = static_cast<uint8_t>(len >> 8);
        h[5] = static_cast<uint8_t>(len);
    }
    return h;
}

namespace {

// Sets section_length and appends the CRC.
std::vector<uint8_t> CloseSection(std::vector<uint8_t> s) {
    const size_t sectionLength = s.size() - 3 + 4;
    s[1] = static_cast<uint8_t>(0xB0 | (sectionLength >> 8));
    s[2] = static_cast<uint8_t>(sectionLength);
    const uint32_t crc = Crc32Mpeg(s.data(), s.size());
    for (int i = 3; i >= 0; --i) s.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    return s;
}

void PushPid(std::vector<uint8_t>& s, uint16_t pid) {
    s.push_back(static_cast<uint8_t>(0xE0 | (pid >> 8)));
    s.push_back(static_cast<uint8_t>(pid));
}

void PushLength(std::vector<uint8_t>& s, const std::vector<uint8_t>& bytes) {
    s.push_back(static_cast<uint8_t>(0xF0 | (bytes.size() >> 8)));
    s.push_back(static_cast<uint8_t>(bytes.size()));
    s.insert(s.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::vector<uint8_t> PmtSection(const std::vector<SPmtStream>& streams,
                                const std::vector<uint8_t>& programInfo, uint16_t pcrPid) {
    std::vector<uint8_t> s = {0x02, 0, 0, 0, 1, 0xC1, 0, 0};
    PushPid(s, pcrPid);
    PushLength(s, programInfo);
    for (const auto& e : streams) {
        s.push_back(e.streamType);
        PushPid(s, e.pid);
        PushLength(s, e.esInfo);
    }
    return CloseSection(std::move(s));
}

std::vector<uint8_t> PatSection(uint16_t pmtPid, bool networkPid) {
    std::vector<uint8_t> s = {0x00, 0, 0, 0, 1, 0xC1, 0, 0};
    if (networkPid) s.insert(s.end(), {0, 0, 0xE0, 0x1F});
    s.push_back(0);
    s.push_back(1);
    PushPid(s, pmtPid);
    return CloseSection(std::move(s));
}

void CTsMuxer::AddRaw(std::span<const uint8_t> ts) {
    assert(ts.size() == 188);
    const auto ats = static_cast<uint32_t>(clock27_);
    clock27_ += step_;
    data.push_back(static_cast<uint8_t>((ats >> 24) & 0x3F));
    data.push_back(static_cast<uint8_t>(ats >> 16));
    data.push_back(static_cast<uint8_t>(ats >> 8));
    data.push_back(static_cast<uint8_t>(ats));
    data.insert(data.end(), ts.begin(), ts.end());
}

void CTsMuxer::AddPacket(uint16_t pid, bool unitStart, std::span<const uint8_t> payload,
                         bool stuffWithAf, bool priority, const std::vector<uint8_t>& afBody) {
    uint8_t p[188];
    std::fill(std::begin(p), std::end(p), 0xFF);
    p[0] = 0x47;
    p[1] = static_cast<uint8_t>((unitStart ? 0x40 : 0) | (priority ? 0x20 : 0) | (pid >> 8));
    p[2] = static_cast<uint8_t>(pid);
    // The counter goes on with each packet that carries payload.
    uint8_t& counter = cc_[pid];
    const uint8_t cc = counter & 0xF;
    if (!payload.empty()) ++counter;
    size_t space = 184;
    const bool needAf = !afBody.empty() || (stuffWithAf && payload.size() < 184);
    size_t pos = 4;
    if (needAf) {
        size_t afLen = 183 - payload.size();  // adaptation_field_length
        if (!afBody.empty() && afLen < afBody.size()) afLen = afBody.size();
        assert(4 + 1 + afLen + payload.size() <= 188);
        p[4] = static_cast<uint8_t>(afLen);
        if (afLen > 0) {
            p[5] = afBody.empty() ? 0 : afBody[0];
            std::copy(afBody.begin() + (afBody.empty() ? 0 : 1), afBody.end(), p + 6);
        }
        pos = 5 + afLen;
        space = 188 - pos;
    }
    if (payload.size() > space) throw std::length_error("payload does not fit the packet");
    p[3] = static_cast<uint8_t>(((needAf ? 2 : 0) | (payload.empty() && needAf ? 0 : 1)) << 4 | cc);
    std::copy(payload.begin(), payload.end(), p + pos);
    AddRaw(p);
}

void CTsMuxer::AddSection(uint16_t pid, std::span<const uint8_t> section, bool stuffWithAf) {
    std::vector<uint8_t> payload = {0};  // pointer_field
    payload.insert(payload.end(), section.begin(), section.end());
    for (size_t off = 0; off < payload.size(); off += 184) {
        const size_t n = std::min<size_t>(184, payload.size() - off);
        AddPacket(pid, off == 0, std::span(payload).subspan(off, n), stuffWithAf);
    }
}

void CTsMuxer::AddPcr(uint64_t base, uint16_t extension, uint16_t pid) {
    std::vector<uint8_t> af = {0x10};
    auto pcr = PcrBytes(base, extension);
    af.insert(af.end(), pcr.begin(), pcr.end());
    AddPacket(pid, false, {}, true, false, af);
}

void CTsMuxer::AddPes(uint16_t pid, std::optional<uint64_t> pts, std::optional<uint64_t> dts,
                      std::span<const uint8_t> payload, uint8_t streamId, bool priority) {
    std::vector<uint8_t> pes = PesHeaderBytes(pts, dts, streamId, payload.size());
    pes.insert(pes.end(), payload.begin(), payload.end());
    for (size_t off = 0; off < pes.size(); off += 184) {
        const size_t n = std::min<size_t>(184, pes.size() - off);
        AddPacket(pid, off == 0, std::span(pes).subspan(off, n), true, priority);
    }
}

void CTsMuxer::AddFiller(uint16_t pid, size_t count) {
    std::vector<uint8_t> payload(184, 0x00);
    for (size_t i = 0; i < count; ++i) AddPacket(pid, false, payload);
}

void CTsMuxer::AddGarbage(uint16_t pid, size_t count, uint32_t seed) {
    uint8_t p[188];
    for (size_t i = 0; i < count; ++i) {
        for (uint8_t& b : p) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<uint8_t>(seed >> 16);
        }
        p[0] = 0x47;
        p[1] = static_cast<uint8_t>((p[1] & 0xE0) | (pid >> 8));
        p[2] = static_cast<uint8_t>(pid);
        AddRaw(p);
    }
}

bool CTsMuxer::Drain(std::FILE* f) {
    const bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
    drained_ += data.size() / 192;
    data.clear();
    return ok;
}

std::string CTsMuxer::Save(const std::string& path) const {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return path;
}

std::vector<uint8_t> Segment(uint8_t type, size_t payloadSize, uint8_t fill) {
    std::vector<uint8_t> s = {type, static_cast<uint8_t>(payloadSize >> 8),
                              static_cast<uint8_t>(payloadSize)};
    for (size_t i = 0; i < payloadSize; ++i) s.push_back(static_cast<uint8_t>(fill + i));
    return s;
}

bool SplitRecords(std::span<const uint8_t> d, std::vector<SRecord>& records) {
    size_t pos = 0;
    while (pos < d.size()) {
        if (d.size() - pos < 13) return false;
        SRecord r;
        r.tag = {static_cast<char>(d[pos]), static_cast<char>(d[pos + 1])};
        auto u32 = [&](size_t at) {
            return (uint32_t(d[at]) << 24) | (uint32_t(d[at + 1]) << 16) |
                   (uint32_t(d[at + 2]) << 8) | d[at + 3];
        };
        r.pts = u32(pos + 2);
        r.dts = u32(pos + 6);
        const size_t len = 3 + ((size_t(d[pos + 11]) << 8) | d[pos + 12]);
        if (d.size() - pos - 10 < len) return false;
        r.segment.assign(d.begin() + pos + 10, d.begin() + pos + 10 + len);
        records.push_back(std::move(r));
        pos += 10 + len;
    }
    return true;
}

namespace {

constexpr uint32_t kAtsPerPacket = 864;  // 192 bytes at 48 Mbit/s, 27 MHz ticks

// One graphics PES packet of the clip: a record's segment and its times.
struct SUnit {
    uint16_t pid;
    uint64_t pts;
    uint64_t dts;
    std::vector<uint8_t> segment;
};

// The tracks' records as PES units in multiplex order: by DTS, never before
// the unit ahead in its own track (each track keeps its order).
CResult Units(const std::vector<SMuxTrack>& tracks, uint64_t base, std::vector<SUnit>& out) {
    std::vector<SUnit> units;
    std::vector<uint64_t> at;
    for (const auto& t : tracks) {
        std::vector<SRecord> records;
        if (!SplitRecords(t.marked, records))
            return CResult::Fail("malformed graphics records for PID " + std::to_string(t.pid));
        for (auto& r : records) {
            const uint64_t dts = (r.dts ? r.dts : r.pts) + base;
            at.push_back(&r != &records.front() ? std::max(at.back(), dts) : dts);
            units.push_back({t.pid, r.pts + base, dts, std::move(r.segment)});
        }
    }
    std::vector<size_t> order(units.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return at[a] < at[b]; });
    out.clear();
    out.reserve(units.size());
    for (size_t i : order) out.push_back(std::move(units[i]));
    return {};
}

// Writes the PSI, the graphics and the filler video; false on a write error.
bool WriteClip(std::FILE* f, const std::vector<SMuxTrack>& tracks, const SMuxOptions& options,
               const std::vector<SUnit>& units, SMuxResult& result) {
    const uint64_t start90 = units.empty() ? options.timeBase : units.front().dts;
    CTsMuxer w((start90 > 9000 ? start90 - 9000 : 0) * 300, kAtsPerPacket);
    bool ok = true;
    const auto pcr = [&] { w.AddPcr(w.Clock27() / 300, w.Clock27() % 300, options.pcrPid); };
    std::vector<SPmtStream> streams;
    if (options.fillerBytes) streams.push_back({0x1B, options.fillerPid, {}});
    for (const auto& t : tracks) streams.push_back({t.streamType, t.pid, {}});
    w.AddSection(0x0000, PatSection(0x100, false), true);
    w.AddSection(0x0100, PmtSection(streams, {0x05, 0x04, 'H', 'D', 'M', 'V'}, options.pcrPid),
                 true);
    pcr();

    // Filler video: packets spread between the graphics PES packets.
    const uint64_t fillerPackets = (options.fillerBytes + 183) / 184;
    const uint64_t gaps = units.size() + 1;
    uint64_t fillerDone = 0;
    std::vector<uint8_t> filler(184);
    for (size_t i = 0; i < filler.size(); ++i) filler[i] = static_cast<uint8_t>(i * 37 + 11);
    auto emitFiller = [&](uint64_t upTo, uint64_t pts) {
        while (fillerDone < upTo) {
            if (fillerDone % 2000 == 0)
                w.AddPes(options.fillerPid, pts, std::nullopt, std::span(filler).first(160), 0xE0);
            else
                w.AddPacket(options.fillerPid, false, filler);
            if (fillerDone % 100 == 0) pcr();
            if (++fillerDone % 4096 == 0) ok = w.Drain(f) && ok;
        }
    };
    const uint64_t span = units.empty() ? 1 : units.back().dts - units.front().dts + 1;
    for (size_t i = 0; i < units.size(); ++i) {
        const SUnit& u = units[i];
        if (options.fillerByTime)
            emitFiller(fillerPackets * (u.dts - units.front().dts) / span, u.dts);
        else if (!options.fillerAfterGraphics)
            emitFiller(fillerPackets * (i + 1) / gaps, u.dts);
        if (!u.segment.empty() && u.segment[0] == 0x18)
            result.compositions.emplace_back(u.pts, static_cast<uint32_t>(w.Count()));
        w.AddPes(u.pid, u.pts, u.dts != u.pts ? std::optional(u.dts) : std::nullopt, u.segment);
        if (i % 16 == 15) pcr();
        ok = w.Drain(f) && ok;
    }
    emitFiller(fillerPackets, units.empty() ? options.timeBase : units.back().pts);
    ok = w.Drain(f) && ok;
    result.sourcePackets = static_cast<uint32_t>(w.Count());
    return ok;
}

}  // namespace

CResult MuxM2ts(const std::string& path, const std::vector<SMuxTrack>& tracks,
                const SMuxOptions& options, SMuxResult& result) {
    std::vector<SUnit> units;
    if (CResult r = Units(tracks, options.timeBase, units); !r) return r;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return CResult::Fail(std::strerror(errno));
    const bool written = WriteClip(f, tracks, options, units, result);
    if (!(std::fclose(f) == 0 && written)) {
        std::remove(path.c_str());
        return CResult::Fail("cannot write " + path);
    }
    result.firstPts = units.empty() ? options.timeBase : units.front().pts;
    result.lastPts = result.firstPts;
    for (const auto& u : units) result.lastPts = std::max(result.lastPts, u.pts);
    return {};
}

}  // namespace tessel::authoring
