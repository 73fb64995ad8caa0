#include "ts/ts_mux.h"

#include <algorithm>
#include <cassert>
#include <fstream>
#include <stdexcept>

#include "authoring/m2ts_muxer.h"

namespace tessel::test {

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

std::vector<uint8_t> PmtSection(const std::vector<SPmtStream>& streams,
                                const std::vector<uint8_t>& programInfo, uint16_t pcrPid) {
    std::vector<uint8_t> s = {0x02, 0, 0, 0, 1, 0xC1, 0, 0};
    s.push_back(static_cast<uint8_t>(0xE0 | (pcrPid >> 8)));
    s.push_back(static_cast<uint8_t>(pcrPid));
    s.push_back(static_cast<uint8_t>(0xF0 | (programInfo.size() >> 8)));
    s.push_back(static_cast<uint8_t>(programInfo.size()));
    s.insert(s.end(), programInfo.begin(), programInfo.end());
    for (const auto& e : streams) {
        s.push_back(e.streamType);
        s.push_back(static_cast<uint8_t>(0xE0 | (e.pid >> 8)));
        s.push_back(static_cast<uint8_t>(e.pid));
        s.push_back(static_cast<uint8_t>(0xF0 | (e.esInfo.size() >> 8)));
        s.push_back(static_cast<uint8_t>(e.esInfo.size()));
        s.insert(s.end(), e.esInfo.begin(), e.esInfo.end());
    }
    const size_t sectionLength = s.size() - 3 + 4;
    s[1] = static_cast<uint8_t>(0xB0 | (sectionLength >> 8));
    s[2] = static_cast<uint8_t>(sectionLength);
    const uint32_t crc = authoring::Crc32Mpeg(s.data(), s.size());
    for (int i = 3; i >= 0; --i) s.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    return s;
}

void CTsMuxer::AddRaw(std::span<const uint8_t> ts) {
    assert(ts.size() == 188);
    ats += 1000;
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
    const uint8_t cc = cc_[pid]++ & 0xF;
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

void CTsMuxer::AddSection(uint16_t pid, std::span<const uint8_t> section) {
    std::vector<uint8_t> payload = {0};  // pointer_field
    payload.insert(payload.end(), section.begin(), section.end());
    for (size_t off = 0; off < payload.size(); off += 184) {
        const size_t n = std::min<size_t>(184, payload.size() - off);
        AddPacket(pid, off == 0, std::span(payload).subspan(off, n), false);
    }
}

void CTsMuxer::AddPat(uint16_t pmtPid) {
    std::vector<uint8_t> s = {0x00,
                              0xB0,
                              13,
                              0,
                              1,
                              0xC1,
                              0,
                              0,
                              0,
                              0,
                              0xE0,
                              0x1F,
                              0,
                              1,
                              static_cast<uint8_t>(0xE0 | (pmtPid >> 8)),
                              static_cast<uint8_t>(pmtPid)};
    // program 0 -> network PID 0x1F, program 1 -> the PMT
    const uint32_t crc = authoring::Crc32Mpeg(s.data(), s.size());
    for (int i = 3; i >= 0; --i) s.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    AddSection(0, s);
}

void CTsMuxer::AddPcr(uint64_t base, uint16_t extension) {
    std::vector<uint8_t> af = {0x10};
    auto pcr = PcrBytes(base, extension);
    af.insert(af.end(), pcr.begin(), pcr.end());
    AddPacket(0x1001, false, {}, true, false, af);
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

}  // namespace tessel::test
