// Demux throughput over a generated >= 1 GiB transport stream against a plain
// sequential read of the same file, both from the page cache.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/read_file.h"
#include "ts/demux.h"
#include "ts/esi.h"
#include "ts/track_file.h"

namespace tessel {
namespace {

constexpr size_t kPackets = 5600000;  // 1.0015 GiB of source packets
constexpr uint16_t kVideoPid = 0x1011;
constexpr uint16_t kIgPid = 0x1400;

std::string StreamPath() {
    const char* env = std::getenv("TESSEL_BENCH_M2TS");
    return env ? env : "/tmp/tessel_bench_demux_v2.m2ts";
}

// Writes one transport packet (with its 4-byte extra header) into out.
struct SPacketWriter {
    uint32_t ats = 0;
    uint8_t cc[0x2000] = {};

    void Packet(uint8_t* out, uint16_t pid, bool start, const uint8_t* payload, size_t size) {
        ats += 1200;
        out[0] = static_cast<uint8_t>((ats >> 24) & 0x3F);
        out[1] = static_cast<uint8_t>(ats >> 16);
        out[2] = static_cast<uint8_t>(ats >> 8);
        out[3] = static_cast<uint8_t>(ats);
        uint8_t* ts = out + 4;
        ts[0] = 0x47;
        ts[1] = static_cast<uint8_t>((start ? 0x40 : 0) | (pid >> 8));
        ts[2] = static_cast<uint8_t>(pid);
        const uint8_t c = cc[pid]++ & 0xF;
        if (size == 184) {
            ts[3] = 0x10 | c;
            std::memcpy(ts + 4, payload, 184);
            return;
        }
        // Adaptation-field stuffing in front of a short payload (size < 184).
        ts[3] = static_cast<uint8_t>((size ? 0x30 : 0x20) | c);
        const size_t afLen = 183 - size;
        ts[4] = static_cast<uint8_t>(afLen);
        if (afLen > 0) {
            ts[5] = 0;
            std::memset(ts + 6, 0xFF, afLen - 1);
        }
        std::memcpy(ts + 5 + afLen, payload, size);
    }
};

std::vector<uint8_t> Pes(uint64_t pts, size_t segmentSize) {
    std::vector<uint8_t> p = {0, 0, 1, 0xBD, 0, 0, 0x81, 0x80, 5};
    p.push_back(static_cast<uint8_t>(0x21 | (((pts >> 30) & 7) << 1)));
    p.push_back(static_cast<uint8_t>(pts >> 22));
    p.push_back(static_cast<uint8_t>(((pts >> 14) & 0xFE) | 1));
    p.push_back(static_cast<uint8_t>(pts >> 7));
    p.push_back(static_cast<uint8_t>((pts << 1) | 1));
    p.push_back(0x15);
    p.push_back(static_cast<uint8_t>((segmentSize - 3) >> 8));
    p.push_back(static_cast<uint8_t>(segmentSize - 3));
    p.resize(14 + segmentSize, 0x5A);
    const size_t len = p.size() - 6;
    p[4] = static_cast<uint8_t>(len >> 8);
    p[5] = static_cast<uint8_t>(len);
    return p;
}

// Generates the stream when it is missing or of another size: a PMT with a
// video and an IG PID, filler video packets, a PCR every 2,000 packets and an
// IG PES every 20,000 packets.
bool EnsureStream(const std::string& path) {
    if (FileLength(path) == static_cast<int64_t>(kPackets * 192)) return true;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    SPacketWriter w;
    std::vector<uint8_t> chunk;
    chunk.reserve(8192 * 192);
    uint8_t packet[192];
    std::vector<uint8_t> pmt = {0, 0x02, 0xB0, 0,    0,    1, 0xC1, 0,    0,    0xF0, 0x01, 0xF0,
                                0, 0x1B, 0xF0, 0x11, 0xF0, 0, 0x91, 0xF4, 0x00, 0xF0, 0};
    pmt[3] = static_cast<uint8_t>(pmt.size() - 4 + 4);
    pmt.resize(pmt.size() + 4, 0);  // CRC (not checked)
    std::vector<uint8_t> filler(184, 0x00);
    size_t written = 0;
    uint64_t pts = 54000000;
    while (written < kPackets) {
        if (written % 20000 == 0) {
            pmt.resize(184, 0xFF);
            w.Packet(packet, 0x100, true, pmt.data(), 184);
            chunk.insert(chunk.end(), packet, packet + 192);
            ++written;
            const auto pes = Pes(pts += 90000, 1500);
            for (size_t off = 0; off < pes.size() && written < kPackets; off += 184, ++written) {
                const size_t n = std::min<size_t>(184, pes.size() - off);
                w.Packet(packet, kIgPid, off == 0, pes.data() + off, n);
                chunk.insert(chunk.end(), packet, packet + 192);
            }
            continue;
        }
        if (written % 2000 == 1000) {
            // PCR only: an adaptation field of 183 bytes without payload
            w.Packet(packet, 0x1001, false, filler.data(), 0);
            const uint64_t base = pts - 90000;
            packet[9] = 0x10;
            packet[10] = static_cast<uint8_t>(base >> 25);
            packet[11] = static_cast<uint8_t>(base >> 17);
            packet[12] = static_cast<uint8_t>(base >> 9);
            packet[13] = static_cast<uint8_t>(base >> 1);
            packet[14] = static_cast<uint8_t>(((base & 1) << 7) | 0x7E);
            packet[15] = 0;
        } else {
            w.Packet(packet, kVideoPid, false, filler.data(), 184);
        }
        chunk.insert(chunk.end(), packet, packet + 192);
        ++written;
        if (chunk.size() >= 8192 * 192) {
            if (std::fwrite(chunk.data(), 1, chunk.size(), f) != chunk.size()) break;
            chunk.clear();
        }
    }
    const bool ok = std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size();
    return std::fclose(f) == 0 && ok && written == kPackets;
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double PlainRead(const std::string& path) {
    CReadFile file;
    if (!file.Open(path)) return -1;
    static auto block = std::make_unique_for_overwrite<uint8_t[]>(kDemuxBlockSize);
    const auto t0 = std::chrono::steady_clock::now();
    size_t got, total = 0;
    while ((got = file.Read(block.get(), kDemuxBlockSize)) > 0) total += got;
    benchmark::DoNotOptimize(total);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double DemuxOnce(const std::string& path, size_t* recordBytes = nullptr) {
    CReadFile file;
    if (!file.Open(path)) return -1;
    auto pmt = ReadProgramMap(file);
    CTrackInfoMap map;
    CMemoryFile* out = nullptr;
    for (const ESI& es : pmt ? pmt->streams : std::vector<ESI>{}) {
        if (es.streamType != kStreamTypeIg) continue;
        auto info = std::make_unique<STrackInfo>();
        info->streamType = es.streamType;
        auto memory = std::make_unique<CMemoryFile>();
        out = memory.get();
        info->main = std::make_unique<SIgTrackFile>(std::move(memory));
        AddTrack(map, es.elementaryPid, std::move(info));
    }
    const auto t0 = std::chrono::steady_clock::now();
    file.Seek(0);
    const CResult demuxed = Demux(file, map, nullptr);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!demuxed || !out) return -1;
    if (recordBytes) *recordBytes = static_cast<size_t>(out->Length());
    return s;
}

void BM_DemuxVsPlainRead(benchmark::State& state) {
    const std::string path = StreamPath();
    if (!EnsureStream(path)) {
        state.SkipWithError(("cannot write " + path).c_str());
        return;
    }
    const double bytes = static_cast<double>(FileLength(path));
    PlainRead(path);  // into the page cache
    double plain = 0, demux = 0, plainCpu = 0, demuxCpu = 0, plainBest = 1e9, demuxBest = 1e9;
    size_t recordBytes = 0;
    for (auto _ : state) {
        const double c0 = CpuSeconds();
        const double p = PlainRead(path);
        const double c1 = CpuSeconds();
        const double d = DemuxOnce(path, &recordBytes);
        plainCpu += c1 - c0;
        demuxCpu += CpuSeconds() - c1;
        if (p < 0 || d < 0) {
            state.SkipWithError("read or demux failed");
            return;
        }
        plain += p;
        demux += d;
        plainBest = std::min(plainBest, p);
        demuxBest = std::min(demuxBest, d);
        state.SetIterationTime(p + d);
    }
    const double n = static_cast<double>(state.iterations());
    constexpr double kGiB = 1024.0 * 1024 * 1024;
    state.counters["file_GiB"] = bytes / kGiB;
    state.counters["plain_GiB_per_s"] = bytes / kGiB / (plain / n);
    state.counters["demux_GiB_per_s"] = bytes / kGiB / (demux / n);
    // Demux throughput over plain read throughput, best pass of each (the
    // machine may be shared) and over all passes.
    state.counters["ratio"] = plainBest / demuxBest;
    state.counters["ratio_mean"] = plain / demux;
    // The same over process CPU time, steadier when other work shares the machine.
    state.counters["ratio_cpu"] = plainCpu / demuxCpu;
    state.counters["plain_cpu_s"] = plainCpu / n;
    state.counters["demux_cpu_s"] = demuxCpu / n;
    state.counters["ig_bytes"] = static_cast<double>(recordBytes);
}
BENCHMARK(BM_DemuxVsPlainRead)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessel
