#include "cli/json_out.h"

#include <cstdio>

#include "clip/m2ts_object.h"
#include "database/clpi.h"

namespace tessel::cli {

std::string JsonText(const Json& value) {
    return value.dump(kJsonIndent, ' ', false, Json::error_handler_t::replace) + "\n";
}

void PrintJson(const Json& value) {
    const std::string text = JsonText(value);
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void PutNamed(Json& object, const std::string& key, int code, const std::string& name) {
    object[key] = code;
    object[key + "_name"] = name;
}

void PutClipAndPid(Json& object, int clip, int pid) {
    if (clip < 0) return;
    object["clip"] = clip;
    object["pid"] = pid;
}

Json VideoJson(const SVideoDescriptor& video) {
    Json j = {{"width", video.width}, {"height", video.height}};
    PutNamed(j, "frame_rate", video.frameRate, FrameRateName(video.frameRate));
    return j;
}

Json CoverageJson(const SScanCoverage& c) {
    Json j = {{"mode", c.quick ? "quick" : "full"},
              {"bytes_read", c.bytesRead},
              {"bytes_total", c.bytesTotal},
              {"samples", c.samples}};
    if (!c.skipped.empty()) j["skipped_places"] = c.skipped;
    return j;
}

const char* StreamModelName(int model) {
    return model ? "Not multiplexed" : "Multiplexed";
}

const char* UiModelName(int model) {
    return model ? "Pop-up" : "Always-on";
}

namespace {

// A decoded attribute code and its name ("Reserved" for codes without one).
void PutAttribute(Json& j, const char* key, int code, const char* name) {
    PutNamed(j, key, code, name ? name : "Reserved");
}

}  // namespace

Json ClipStreamJson(const SClpiStream& s) {
    const auto& ci = s.codingInfo;
    Json j = {
        {"pid", s.pid},
        {"coding_type", ci.codingType},
        {"coding_name", CodingTypeName(ci.codingType)},
        {"coding_type_name", CodingTypeName(ci.codingType)},
        {"language", CodingTypeHasLanguage(ci.codingType) ? Json(ci.language) : Json(nullptr)}};
    if (IsVideoCodingType(ci.codingType)) {
        PutAttribute(j, "video_format", ci.videoFormat, VideoFormatText(ci.videoFormat));
        PutAttribute(j, "frame_rate", ci.frameRate, FrameRateText(ci.frameRate));
        PutAttribute(j, "aspect_ratio", ci.aspectRatio, AspectText(ci.aspectRatio));
    } else if (IsAudioCodingType(ci.codingType)) {
        PutAttribute(j, "audio_presentation_type", ci.audioPresentationType,
                     AudioPresentationText(ci.audioPresentationType));
        PutAttribute(j, "sampling_frequency", ci.samplingFrequency,
                     SamplingText(ci.samplingFrequency));
    } else if (ci.codingType == 0x92) {
        PutAttribute(j, "character_code", ci.characterCode, CharacterCodeText(ci.characterCode));
    }
    j["attributes"] = AttributeText(ci);
    return j;
}

CLeftOutReasons::CLeftOutReasons(const std::vector<int>& failed)
    : failed_(failed), previous_(SetMessageSink(this)) {}

CLeftOutReasons::~CLeftOutReasons() {
    SetMessageSink(previous_);
}

void CLeftOutReasons::ShowMessage(const std::string& text) {
    shown_.emplace_back(failed_.size(), OneLine(text));
    previous_->ShowMessage(text);
}

EAnswer CLeftOutReasons::Ask(const std::string& text) {
    return previous_->Ask(text);
}

Json CLeftOutReasons::List() const {
    Json list = Json::array();
    for (size_t i = 0; i < failed_.size(); ++i) {
        std::string reason;
        for (const auto& [count, text] : shown_)
            if (count == i) reason = text;
        list.push_back({{"clip", failed_[i]}, {"reason", reason}});
    }
    return list;
}

}  // namespace tessel::cli
