// Faults of a menu that a player or an author would trip over, found from
// the menu's data: the findings with their rules, severities and places, and
// the rules that need no playing (references, commands, geometry, palettes
// and the decoder's buffers). The rules that play the menu are in
// player/menu_reach.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/ics.h"
#include "model/epoch.h"

namespace tessel {

enum class ECheckSeverity { Info = 0, Warning = 1, Error = 2 };
// "info", "warning", "error".
const char* SeverityName(ECheckSeverity severity);
// The same names (any case); false otherwise.
bool ParseSeverity(const std::string& text, ECheckSeverity& severity);

struct SCheckRule {
    const char* name;
    ECheckSeverity severity;
};
// Every rule, in the order findings are listed.
const std::vector<SCheckRule>& CheckRules();
// Null for a name that is no rule.
const SCheckRule* FindCheckRule(const std::string& name);

// Where a finding lies; -1 where it does not apply (a stream file has no
// clip, a rule over an epoch no page).
struct SCheckPlace {
    int clip = -1;
    int pid = -1;
    int epoch = -1;       // index in the stream
    int displaySet = -1;  // index in the epoch
    int page = -1;        // page id
    int button = -1;      // button id
};

struct SCheckFinding {
    std::string rule;
    ECheckSeverity severity = ECheckSeverity::Info;
    SCheckPlace place;
    std::string message;
};

// The decoder's buffers an epoch must fit: its decoded objects the object
// buffer (kIgObjectBufferBytes, one byte a pixel), the coded data of its
// object definitions the coded data buffer.
constexpr int64_t kCodedDataBufferBytes = int64_t{1} << 20;

// Adds a finding of the rule (with the rule's severity) at place.
void AddFinding(std::vector<SCheckFinding>& out, const char* rule, const SCheckPlace& place,
                std::string message);

// "Button#2 (id 1)".
std::string ButtonLabel(const CBdButton& button);

// missing-neighbour, bad-default-button, playlist-from-button, outside-frame,
// missing-object, group-overlap and palette-gap over the pages of one display
// set (place names its clip, PID, epoch and display set), with the objects
// and palettes of its epoch and the video frame of its stream.
void CheckCompositionData(const CDisplaySet& ds, const CEpoch& epoch, const SVideoDescriptor& video,
                          const SCheckPlace& place, std::vector<SCheckFinding>& out);

// object-buffer over one epoch.
void CheckEpochBuffers(const CEpoch& epoch, const SCheckPlace& place,
                       std::vector<SCheckFinding>& out);

}  // namespace tessel
