// The one JSON form of every command's output: two-space indentation, keys in
// snake_case in insertion order, an enumerated field as its integer code with
// a sibling "<key>_name" string, and every time with its unit in the key
// ("_90khz", "_45khz").
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "codec/ics.h"
#include "database/clpi_stream.h"
#include "platform/messages.h"

namespace tessel {
struct SScanCoverage;
}

namespace tessel::cli {

using Json = nlohmann::ordered_json;

constexpr int kJsonIndent = 2;

// The document as text with a final newline; bytes that are not UTF-8 are
// replaced, so a damaged name cannot stop the output.
std::string JsonText(const Json& value);
// JsonText on stdout.
void PrintJson(const Json& value);

// object[key] = code and object[key + "_name"] = name.
void PutNamed(Json& object, const std::string& key, int code, const std::string& name);

// object["clip"] and object["pid"] for a disc's stream (clip >= 0); nothing
// for a stream file.
void PutClipAndPid(Json& object, int clip, int pid);

// "width", "height", "frame_rate" and "frame_rate_name".
Json VideoJson(const SVideoDescriptor& video);

// A clip information stream: "pid", "coding_type" with its name, "language"
// and the attributes its type carries (video format, frame rate, aspect
// ratio; audio presentation type, sampling frequency; character code), each
// with its name, and "attributes" as one line.
Json ClipStreamJson(const SClpiStream& stream);

// A clip's "coverage": "mode" ("quick" or "full"), "bytes_read",
// "bytes_total", "samples" and, when some were unreadable, "skipped_places".
Json CoverageJson(const SScanCoverage& coverage);

// "Multiplexed" (0) or "Not multiplexed" (1).
const char* StreamModelName(int model);
// "Always-on" (0) or "Pop-up" (1).
const char* UiModelName(int model);

// While it lives, the messages shown are shown as before and kept with the
// number of clips a --keep-going scan had left out when each came, so that
// each clip left out gets the reason shown just before it was.
class CLeftOutReasons : public IMessageSink {
public:
    explicit CLeftOutReasons(const std::vector<int>& failed);
    ~CLeftOutReasons() override;
    CLeftOutReasons(const CLeftOutReasons&) = delete;
    CLeftOutReasons& operator=(const CLeftOutReasons&) = delete;
    void ShowMessage(const std::string& text) override;
    EAnswer Ask(const std::string& text) override;
    // [{"clip": n, "reason": text}] for each clip left out.
    Json List() const;

private:
    const std::vector<int>& failed_;
    IMessageSink* previous_;
    std::vector<std::pair<size_t, std::string>> shown_;
};

}  // namespace tessel::cli
