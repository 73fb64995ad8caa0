// The track list of a clip: one track per ProgramInfo stream.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "database/clpi_stream.h"
#include "platform/archive.h"

namespace tessel {

// The ISO 639-2 language codes, in alphabetical order.
constexpr int kLanguageCount = 475;
extern const char* const kLanguageCodes[kLanguageCount];
// Index of a code (compared without regard to case), or -1.
int FindLanguage(const std::string& code);
// Index of "eng".
int EnglishLanguageIndex();

struct SRipTrack {
    SRipTrack();
    virtual ~SRipTrack() = default;

    virtual void Serialize(CArchive& ar);
    // "<source>, <coding>, <attributes>".
    virtual std::string Describe() const;
    // The three letters of the language, empty for none.
    virtual std::string GetLanguage() const;
    // Looks the code up without regard to case; "eng" when it is unknown.
    virtual bool SetLanguage(const std::string& code);
    // Ignores -1, out-of-range and the current index; returns whether it changed.
    virtual bool SetLanguageIndex(int index);

    uint8_t selected = 0;
    uint8_t primary = 1;
    int32_t position = -1;
    int32_t language;
    int32_t clipNumber = -1;
    uint16_t pid = 0;
    SClpiStream codingInfo;
};

// Secondary audio (0x1A00..0x1A1F) and secondary video (0x1B00..0x1B1F) PIDs.
bool IsSecondaryPid(uint16_t pid);

class SRipTracks {
public:
    // One track per stream entry; the first entry of a PID wins.
    bool BuildTrackList(const std::vector<SClpiStream>& streams, int clipNumber);
    void Clear() { tracks.clear(); }
    int GetSize() const { return static_cast<int>(tracks.size()); }
    SRipTrack* GetAt(int i) const {
        return i >= 0 && i < GetSize() ? tracks[static_cast<size_t>(i)].get() : nullptr;
    }

    std::vector<std::unique_ptr<SRipTrack>> tracks;
};

}  // namespace tessel
