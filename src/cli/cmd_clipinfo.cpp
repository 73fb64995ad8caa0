// `tessel clipinfo <file.clpi> [--json]`: a clip information file, its tracks and timing.
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "database/clpi.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

nlohmann::json Json(const CClpiObject& clpi) {
    nlohmann::json stc = nlohmann::json::array();
    for (const auto& s : clpi.sequenceInfo.stcSequences)
        stc.push_back({{"pcr_pid", s.pcrPid},
                       {"spn_stc_start", s.spnStcStart},
                       {"start", s.startPts},
                       {"end", s.endPts}});
    nlohmann::json streams = nlohmann::json::array();
    for (const auto& s : clpi.programInfo.streams) {
        const auto& ci = s.codingInfo;
        streams.push_back(
            {{"pid", s.pid},
             {"coding_type", ci.codingType},
             {"coding_name", CodingTypeName(ci.codingType)},
             {"language", CodingTypeHasLanguage(ci.codingType) ? nlohmann::json(ci.language)
                                                               : nlohmann::json(nullptr)}});
    }
    nlohmann::json tracks = nlohmann::json::array();
    for (const auto& t : clpi.tracks.tracks) tracks.push_back(t->Describe());
    return {{"application_type", clpi.clipInfo.applicationType},
            {"application_type_text", ApplicationTypeText(clpi.clipInfo.applicationType)},
            {"clip_stream_type", clpi.clipInfo.clipStreamType},
            {"ts_recording_rate", clpi.clipInfo.tsRecordingRate},
            {"num_source_packets", clpi.clipInfo.numberOfSourcePackets},
            {"stc_sequences", stc},
            {"streams", streams},
            {"tracks", tracks},
            {"duration", clpi.timing.duration},
            {"frame_duration_27mhz", clpi.timing.frameDuration27M}};
}

// Seconds of a 90 kHz count as h:mm:ss.mmm.
std::string TimeText(uint64_t ticks) {
    const uint64_t ms = ticks / 90;
    return StrFormat("%llu:%02llu:%02llu.%03llu", static_cast<unsigned long long>(ms / 3600000),
                     static_cast<unsigned long long>(ms / 60000 % 60),
                     static_cast<unsigned long long>(ms / 1000 % 60),
                     static_cast<unsigned long long>(ms % 1000));
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
        Out(StrFormat("STC sequence: PCR PID 0x%04X, SPN %u, start %u, end %u (45 kHz)", s.pcrPid,
                      s.spnStcStart, s.startPts, s.endPts));
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
    const std::unique_ptr<CClpiObject> loaded = LoadClipInfo(path);
    if (!loaded) return kExitFailed;
    const CClpiObject& clpi = *loaded;
    if (json)
        Out(Json(clpi).dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
    else
        PrintText(clpi);
    return kExitOk;
}

const CommandRegistration kRegistration(
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
