// Shared by the demux tests: the muxer's stream demuxed into memory tracks.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <vector>

#include "authoring/m2ts_muxer.h"
#include "platform/files.h"
#include "platform/progress.h"
#include "platform/read_file.h"
#include "support/recorders.h"
#include "support/test_support.h"
#include "ts/demux.h"
#include "ts/esi.h"
#include "ts/packet.h"
#include "ts/track_file.h"

namespace tessel::test {

constexpr uint16_t kIg = 0x1400;
constexpr uint16_t kVideo = 0x1011;

struct SDemuxRun {
    CResult result;
    std::vector<uint8_t> out;         // main track of the first PID
    std::vector<uint8_t> out2;        // second track, when asked for
    std::vector<SPesDamage> damages;  // of the main track of the first PID
};

// Demuxes the PIDs of the muxer's stream into memory marked-form tracks.
inline SDemuxRun RunDemux(const authoring::CTsMuxer& mux, std::vector<uint16_t> pids = {kIg},
                          CProgressWnd* progress = nullptr, size_t blockSize = kDemuxBlockSize,
                          bool second = false, size_t capacity = STrackFile::kDefaultCapacity) {
    CTempDir dir;
    CReadFile file;
    EXPECT_EQ(file.Open(mux.Save(dir.Str() + "/t.m2ts")).Message(), "");
    CTrackInfoMap map;
    std::vector<CMemoryFile*> outs;
    for (uint16_t pid : pids) {
        auto info = std::make_unique<STrackInfo>();
        info->streamType = kStreamTypeIg;
        auto mem = std::make_unique<CMemoryFile>();
        outs.push_back(mem.get());
        info->main = std::make_unique<SIgTrackFile>(std::move(mem), capacity);
        if (second) {
            auto mem2 = std::make_unique<CMemoryFile>();
            outs.push_back(mem2.get());
            info->second = std::make_unique<SIgTrackFile>(std::move(mem2), capacity);
        }
        EXPECT_TRUE(AddTrack(map, pid, std::move(info)));
    }
    SDemuxRun run;
    run.result = Demux(file, map, progress, blockSize);
    auto data = outs[0]->Data();
    run.out.assign(data.begin(), data.end());
    run.damages = static_cast<const SGsTrackFile&>(*map.tracks[0]->main).damages;
    if (second) {
        auto d2 = outs[1]->Data();
        run.out2.assign(d2.begin(), d2.end());
    }
    return run;
}

inline std::vector<authoring::SRecord> Records(const std::vector<uint8_t>& out) {
    std::vector<authoring::SRecord> records;
    EXPECT_TRUE(authoring::SplitRecords(out, records));
    return records;
}

// A stream that starts with a video PES (the reference time) and a PMT.
inline authoring::CTsMuxer StreamWithVideo(uint64_t videoPts) {
    authoring::CTsMuxer mux;
    mux.AddPat();
    mux.AddPmt({{0x1B, kVideo, {}}, {0x91, kIg, {}}});
    mux.AddPes(kVideo, videoPts, std::nullopt, std::vector<uint8_t>(300, 0));
    return mux;
}

}  // namespace tessel::test
