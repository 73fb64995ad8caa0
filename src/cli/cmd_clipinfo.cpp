// `tessel clipinfo <file.clpi> [--json]`: a clip information file, its tracks and timing.
#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/output_rules.h"
#include "database/clpi.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

Json ClipInfoJson(const CClpiObject& clpi) {
    Json stc = Json::array();
    for (const auto& s : clpi.sequenceInfo.stcSequences)
        stc.push_back({{"pcr_pid", s.pcrPid},
                       {"spn_stc_start", s.spnStcStart},
                       {"start", s.startPts},
                       {"end", s.endPts},
                       {"start_45khz", s.startPts},
                       {"end_45khz", s.endPts}});
    Json streams = Json::array();
    for (const auto& s : clpi.programInfo.streams) streams.push_back(ClipStreamJson(s));
    Json tracks = Json::array();
    Json trackRecords = Json::array();
    for (const auto& t : clpi.tracks.tracks) {
        tracks.push_back(t->Describe());
        const uint8_t type = t->codingInfo.codingInfo.codingType;
        Json r = {{"file", t->clipNumber >= 0 ? Json(StrFormat("%05d.m2ts", t->clipNumber))
                                              : Json(nullptr)},
                  {"pid", t->pid}};
        PutNamed(r, "coding", type, CodingTypeName(type));
        r["language"] = t->GetLanguage();
        r["attributes"] = AttributeText(t->codingInfo.codingInfo);
        r["text"] = t->Describe();
        trackRecords.push_back(std::move(r));
    }
    const auto& ci = clpi.clipInfo;
    Json j = {{"name", clpi.name}, {"application_type", ci.applicationType}};
    j["application_type_name"] = ApplicationTypeText(ci.applicationType);
    j["application_type_text"] = ApplicationTypeText(ci.applicationType);
    PutNamed(j, "clip_stream_type", ci.clipStreamType,
             ci.clipStreamType == 1 ? "AV clip" : "Reserved");
    j["ts_recording_rate"] = ci.tsRecordingRate;
    j["ts_recording_rate_bits_per_second"] = uint64_t{ci.tsRecordingRate} * 8;
    j["num_source_packets"] = ci.numberOfSourcePackets;
    j["stc_sequences"] = std::move(stc);
    j["streams"] = std::move(streams);
    j["tracks"] = std::move(tracks);
    j["track_records"] = std::move(trackRecords);
    j["start_90khz"] = clpi.timing.start;
    j["end_90khz"] = clpi.timing.end;
    j["duration"] = clpi.timing.duration;
    j["duration_90khz"] = clpi.timing.duration;
    j["frame_duration_27mhz"] = clpi.timing.frameDuration27M;
    return j;
}

// "HH:MM:SS.mmm (ticks)" of a 90 kHz count.
std::string TimeText(uint64_t ticks) {
    return StrFormat("%s (%llu)", ClockTime(ticks).c_str(), static_cast<unsigned long long>(ticks));
}

void PrintText(const CClpiObject& clpi) {
    const auto& ci = clpi.clipInfo;
    Out(StrFormat("Clip: %s", clpi.name.c_str()));
    Out(StrFormat("Application type: %d (%s)", ci.applicationType,
                  ApplicationTypeText(ci.applicationType)));
    Out(StrFormat("Clip stream type: %d", ci.clipStreamType));
    Out(StrFormat("Recording rate: %llu bit/s", ci.tsRecordingRate * 8ull));
    Out(StrFormat("Source packets: %u", ci.numberOfSourcePackets));
    for (const auto& s : clpi.sequenceInfo.stcSequences)
        Out(
            StrFormat("STC sequence: PCR PID 0x%04X, SPN %u, start %s, end %s (stored at 45 kHz: "
                      "%u, %u)",
                      s.pcrPid, s.spnStcStart, TimeText(uint64_t{s.startPts} * 2).c_str(),
                      TimeText(uint64_t{s.endPts} * 2).c_str(), s.startPts, s.endPts));
    if (!clpi.sequenceInfo.stcSequences.empty())
        Out(StrFormat("Start %s, end %s, duration %s", TimeText(clpi.timing.start).c_str(),
                      TimeText(clpi.timing.end).c_str(),
                      TimeText(clpi.timing.duration > 0 ? clpi.timing.duration : 0).c_str()));
    Out(StrFormat("Streams: %zu", clpi.programInfo.streams.size()));
    for (const auto& s : clpi.programInfo.streams)
        Out(StrFormat("  0x%04X %s(0x%02X) %s", s.pid, CodingTypeName(s.codingInfo.codingType),
                      s.codingInfo.codingType, AttributeText(s.codingInfo).c_str()));
    Out(StrFormat("Track(s): %d", clpi.tracks.GetSize()));
    for (const auto& t : clpi.tracks.tracks) Out("  " + t->Describe());
}

int Run(const std::string& path, bool json) {
    const CResultOf<std::unique_ptr<CClpiObject>> loaded = LoadClipInfo(path);
    if (!loaded) return ShowFailure(loaded.Result());
    const CClpiObject& clpi = **loaded;
    if (json) {
        Json j = ClipInfoJson(clpi);
        j["input"] = path;
        PrintJson(j);
    } else
        PrintText(clpi);
    return kExitOk;
}

const CommandRegistration kClipinfoCommand(
    "clipinfo", "Show a clip information file (.clpi): streams, tracks and timing",
    [](CLI::App& sub) -> std::function<int()> {
        auto path = std::make_shared<std::string>();
        auto json = std::make_shared<bool>(false);
        sub.add_option("file", *path, "Clip information file")->required();
        sub.add_flag("--json", *json, "Print JSON");
        return [path, json] { return Run(*path, *json); };
    });

}  // namespace
}  // namespace tessel::cli
