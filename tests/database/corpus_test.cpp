// The real discs of the shared corpus against an independent reading of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>

#include "database/bdmv_layout.h"
#include "database/clpi.h"
#include "database/mpls.h"
#include "support/corpus_json.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

using test::CorpusExpected;

// "disc1/CLIPINF/00000.clpi" -> the file under discs/disc1/BDMV/.
fs::path CorpusFile(const std::string& key) {
    const size_t slash = key.find('/');
    return test::CorpusDir() / "discs" / key.substr(0, slash) / "BDMV" / key.substr(slash + 1);
}

std::vector<int> ClipNumbers(const json& ids) {
    std::vector<int> out;
    for (const auto& id : ids) out.push_back(std::stoi(id.get<std::string>()));
    return out;
}

TEST(DiscCorpus, EveryPlaylistAgreesWithTheIndependentReading) {
    TESSEL_REQUIRE_CORPUS();
    const json expected = CorpusExpected("mpls.json");
    int files = 0;
    for (const auto& [key, exp] : expected.items()) {
        if (key.find('/') == std::string::npos) continue;
        SCOPED_TRACE(key);
        ++files;
        const auto data = test::ReadBytes(CorpusFile(key));
        CMplsObject mpls;
        ASSERT_GE(mpls.ParseMpls(data), 1);
        EXPECT_EQ(mpls.version, exp["version"].get<std::string>());
        EXPECT_EQ(mpls.appInfo.playlistPlaybackType, exp["playback_type"].get<int>());
        std::vector<int> clips;
        mpls.ClipReferences(clips);
        EXPECT_EQ(clips, ClipNumbers(exp["clip_references"]));

        const auto& items = exp["play_items"];
        ASSERT_EQ(mpls.playItems.size(), items.size());
        for (size_t i = 0; i < items.size(); ++i) {
            const SPlayItem& p = mpls.playItems[i];
            EXPECT_EQ(p.clipInformationFileName, items[i]["clip_id"].get<std::string>());
            EXPECT_EQ(p.clipCodecIdentifier, items[i]["codec_id"].get<std::string>());
            EXPECT_EQ(p.inTime, items[i]["in_time"].get<uint32_t>());
            EXPECT_EQ(p.outTime, items[i]["out_time"].get<uint32_t>());
            EXPECT_EQ(p.connectionCondition, items[i]["connection_condition"].get<int>());
            EXPECT_EQ(p.isMultiAngle, items[i]["is_multi_angle"].get<int>() != 0);
            EXPECT_EQ(p.stillMode, items[i]["still_mode"].get<int>());
        }
        const auto& subPaths = exp["sub_paths"];
        ASSERT_EQ(mpls.subPaths.size(), subPaths.size());
        for (size_t i = 0; i < subPaths.size(); ++i) {
            const SSubPath& s = mpls.subPaths[i];
            EXPECT_EQ(s.subPathType, subPaths[i]["type"].get<int>());
            const auto& spi = subPaths[i]["sub_play_items"];
            ASSERT_EQ(s.subPlayItems.size(), spi.size());
            for (size_t j = 0; j < spi.size(); ++j) {
                EXPECT_EQ(s.subPlayItems[j].clipInformationFileName,
                          spi[j]["clip_id"].get<std::string>());
                EXPECT_EQ(s.subPlayItems[j].inTime, spi[j]["in_time"].get<uint32_t>());
                EXPECT_EQ(s.subPlayItems[j].outTime, spi[j]["out_time"].get<uint32_t>());
                EXPECT_EQ(s.subPlayItems[j].syncPlayItemId, spi[j]["sync_play_item_id"].get<int>());
            }
        }
        EXPECT_EQ(mpls.extSubPaths.size(), exp["ext_sub_paths"].size());
        const auto& marks = exp["marks"];
        ASSERT_EQ(mpls.marks.size(), marks.size());
        for (size_t i = 0; i < marks.size(); ++i) {
            EXPECT_EQ(mpls.marks[i].markType, marks[i]["mark_type"].get<int>());
            EXPECT_EQ(mpls.marks[i].refToPlayItemId, marks[i]["play_item_ref"].get<int>());
            EXPECT_EQ(mpls.marks[i].markTimeStamp, marks[i]["time"].get<uint32_t>());
            EXPECT_EQ(mpls.marks[i].entryEsPid, marks[i]["entry_es_pid"].get<int>());
            EXPECT_EQ(mpls.marks[i].duration, marks[i]["duration"].get<uint32_t>());
        }
    }
    EXPECT_EQ(files, 94);
}

TEST(DiscCorpus, EachDiscListsItsSortedDistinctClips) {
    TESSEL_REQUIRE_CORPUS();
    const json expected = CorpusExpected("mpls.json");
    int discs = 0;
    for (const auto& [key, exp] : expected.items()) {
        if (key.find('/') != std::string::npos) continue;
        SCOPED_TRACE(key);
        ++discs;
        test::CMessageCapture messages;
        CBDDisc disc;
        const CResult read =
            disc.ReadPlaylists((test::CorpusDir() / "discs" / key / "BDMV").string());
        ASSERT_TRUE(read) << read.Message();
        EXPECT_TRUE(messages.messages.empty());
        EXPECT_EQ(disc.playlists->name, "Mpls(s)");
        std::vector<int> clips;
        std::string previous;
        for (const auto& mpls : *disc.playlists) {
            EXPECT_LT(previous, mpls->name);
            EXPECT_EQ(mpls->number, std::stoi(mpls->name));
            previous = mpls->name;
            mpls->ClipReferences(clips);
        }
        std::sort(clips.begin(), clips.end());
        EXPECT_EQ(clips, ClipNumbers(exp));
    }
    EXPECT_EQ(discs, 14);
}

TEST(DiscCorpus, EveryClipInformationFileAgreesWithTheIndependentReading) {
    TESSEL_REQUIRE_CORPUS();
    const json expected = CorpusExpected("clpi.json");
    int files = 0;
    int menuClips = 0;
    for (const auto& [key, exp] : expected.items()) {
        SCOPED_TRACE(key);
        ++files;
        const auto data = test::ReadBytes(CorpusFile(key));
        CClpiObject clpi;
        ASSERT_GE(clpi.ParseClpi(data), 1);
        EXPECT_EQ(clpi.version, exp["version"].get<std::string>());
        EXPECT_EQ(clpi.clipInfo.applicationType, exp["application_type"].get<int>());
        EXPECT_EQ(clpi.clipInfo.clipStreamType, exp["clip_stream_type"].get<int>());
        EXPECT_EQ(clpi.clipInfo.isAtcDelta, exp["is_atc_delta"].get<int>() != 0);
        EXPECT_EQ(clpi.clipInfo.tsRecordingRate, exp["ts_recording_rate"].get<uint32_t>());
        EXPECT_EQ(clpi.clipInfo.numberOfSourcePackets, exp["num_source_packets"].get<uint32_t>());
        EXPECT_EQ(clpi.clipInfo.formatIdentifier,
                  exp["ts_type_info"]["format_id"].get<std::string>());
        EXPECT_EQ(clpi.sequenceInfo.head.spnStart, exp["spn_atc_start"].get<uint32_t>());
        EXPECT_EQ(clpi.sequenceInfo.offsetStcId, exp["offset_stc_id"].get<int>());
        EXPECT_EQ(clpi.programInfo.programMapPid, exp["program_map_pid"].get<int>());

        const auto& stc = exp["stc"];
        ASSERT_EQ(clpi.sequenceInfo.stcSequences.size(), stc.size());
        for (size_t i = 0; i < stc.size(); ++i) {
            const SStcSequence& s = clpi.sequenceInfo.stcSequences[i];
            EXPECT_EQ(s.pcrPid, stc[i]["pcr_pid"].get<int>());
            EXPECT_EQ(s.spnStcStart, stc[i]["spn_stc_start"].get<uint32_t>());
            EXPECT_EQ(s.startPts, stc[i]["presentation_start_time"].get<uint32_t>());
            EXPECT_EQ(s.endPts, stc[i]["presentation_end_time"].get<uint32_t>());
        }

        const auto& streams = exp["streams"];
        ASSERT_EQ(clpi.programInfo.streams.size(), streams.size());
        for (size_t i = 0; i < streams.size(); ++i) {
            const SClpiStream& s = clpi.programInfo.streams[i];
            const auto& e = streams[i];
            EXPECT_EQ(s.pid, e["pid"].get<int>());
            EXPECT_EQ(s.codingInfo.codingType, e["coding_type"].get<int>());
            if (e.contains("lang") && !e["lang"].is_null() &&
                CodingTypeHasLanguage(s.codingInfo.codingType)) {
                EXPECT_EQ(s.codingInfo.language, e["lang"].get<std::string>());
            }
            if (IsVideoCodingType(s.codingInfo.codingType)) {
                EXPECT_EQ(s.codingInfo.videoFormat, e["format"].get<int>());
                EXPECT_EQ(s.codingInfo.frameRate, e["rate"].get<int>());
                EXPECT_EQ(s.codingInfo.aspectRatio, e["aspect"].get<int>());
            }
            if (IsAudioCodingType(s.codingInfo.codingType)) {
                EXPECT_EQ(s.codingInfo.audioPresentationType, e["format"].get<int>());
                EXPECT_EQ(s.codingInfo.samplingFrequency, e["rate"].get<int>());
            }
        }

        EXPECT_EQ(clpi.cpiType, exp["cpi_type"].get<int>());
        const auto& ep = exp["ep_map"]["streams"];
        ASSERT_EQ(clpi.epMap.GetSize(), static_cast<int>(ep.size()));
        for (size_t i = 0; i < ep.size(); ++i) {
            const CKpiFolder& k = *clpi.epMap.GetAt(static_cast<int>(i));
            EXPECT_EQ(k.streamPid, ep[i]["pid"].get<int>());
            EXPECT_EQ(k.epStreamType, ep[i]["ep_stream_type"].get<int>());
            EXPECT_EQ(k.coarse.size(), ep[i]["num_ep_coarse"].get<size_t>());
            ASSERT_EQ(k.keyPoints.size(), ep[i]["num_ep_fine"].get<size_t>());
            if (k.keyPoints.empty()) continue;
            const auto& c = ep[i]["first_coarse"];
            const auto& f = ep[i]["first_fine"];
            const uint64_t pts =
                (c["pts_ep"].get<uint64_t>() >> 1 << 20) + (f["pts_ep"].get<uint64_t>() << 9);
            const uint32_t spn =
                (c["spn_ep"].get<uint32_t>() & ~0x1FFFFu) | f["spn_ep"].get<uint32_t>();
            EXPECT_EQ(k.keyPoints[0].pts, pts);
            EXPECT_EQ(k.keyPoints[0].spnStart, spn);
            EXPECT_EQ(k.keyPoints[0].iEndPosition, f["i_end_position_offset"].get<int>());
            // Key points of one stream advance in presentation time.
            for (size_t j = 1; j < k.keyPoints.size(); ++j)
                ASSERT_LT(k.keyPoints[j - 1].pts, k.keyPoints[j].pts) << "key point " << j;
        }

        if (clpi.clipInfo.applicationType == 5) {
            ++menuClips;
            EXPECT_NE(clpi.FindStream(0x91), nullptr);
            clpi.clipNumber = 1;
            clpi.BuildTrackList();
            bool listed = false;
            for (const auto& t : clpi.tracks.tracks)
                listed = listed || t->Describe().find("IG/Menu(0x91)") != std::string::npos;
            EXPECT_TRUE(listed);
        }
    }
    EXPECT_EQ(files, 272);
    EXPECT_EQ(menuClips, 43);
}

}  // namespace
}  // namespace tessel
