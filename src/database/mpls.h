// Playlist files (PLAYLIST/nnnnn.mpls).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "database/ext_data.h"
#include "model/named_object.h"
#include "platform/result.h"

namespace tessel {

struct SAppInfoPlaylist {
    uint32_t length = 0;
    uint8_t playlistPlaybackType = 0;  // 1 Sequential, 2 Random, 3 Shuffle
    uint16_t playbackCount = 0;
    std::array<uint8_t, 8> uoMaskTable{};
    bool playlistRandomAccessFlag = false;
    bool audioMixAppFlag = false;
    bool losslessMayBypassMixerFlag = false;
};

struct SAngleClipEntry {
    std::string clipInformationFileName;  // five decimal characters
    std::string clipCodecIdentifier;
    uint8_t refToStcId = 0;
};

struct SPlayItem {
    uint16_t length = 0;
    std::string clipInformationFileName;
    std::string clipCodecIdentifier;
    bool isMultiAngle = false;
    uint8_t connectionCondition = 0;
    uint8_t refToStcId = 0;
    uint32_t inTime = 0;  // 45 kHz ticks
    uint32_t outTime = 0;
    std::array<uint8_t, 8> uoMaskTable{};
    bool randomAccessFlag = false;
    uint8_t stillMode = 0;
    uint16_t stillTime = 0;
    uint8_t numberOfAngles = 1;
    bool isDifferentAudios = false;
    bool seamlessAngleChange = false;
    std::vector<SAngleClipEntry> angles;  // the angles after the first
    std::vector<uint8_t> stnTable;        // opaque
};

struct SSubPlayItem {
    uint16_t length = 0;
    std::string clipInformationFileName;
    std::string clipCodecIdentifier;
    uint8_t connectionCondition = 0;
    bool isMultiClipEntries = false;
    uint8_t refToStcId = 0;
    uint32_t inTime = 0;
    uint32_t outTime = 0;
    uint16_t syncPlayItemId = 0;
    uint32_t syncStartPtsOfPlayItem = 0;
};

struct SSubPath {
    uint32_t length = 0;
    uint8_t subPathType = 0;
    bool isRepeatSubPath = false;
    std::vector<SSubPlayItem> subPlayItems;
};

struct SPlayListMark {
    uint8_t markType = 0;  // 1 EntryMark, 2 LinkPoint
    uint16_t refToPlayItemId = 0;
    uint32_t markTimeStamp = 0;
    uint16_t entryEsPid = 0;
    uint32_t duration = 0;
};

// One playlist: name is the file title, number its integer value.
class CMplsObject : public CNamedObject {
public:
    void Clear() override;

    // Parses a whole playlist file. Returns the offset the parse reached (end
    // of the extension data, else of the marks), or -1 for invalid data with
    // what is wrong in fault.
    int ParseMpls(std::span<const uint8_t> data);

    // Appends the clip numbers this playlist names that are not yet in list:
    // play items with their angles, sub-paths, then extension sub-paths.
    void ClipReferences(std::vector<int>& list) const;

    int number = -1;
    std::string path;
    std::string fault;  // why the last parse failed

    std::string typeIndicator;
    std::string version;
    uint32_t playListStartAddress = 0;
    uint32_t playListMarkStartAddress = 0;
    uint32_t extensionDataStartAddress = 0;
    std::array<uint8_t, 20> reserved{};
    SAppInfoPlaylist appInfo;

    uint32_t playListLength = 0;
    std::vector<SPlayItem> playItems;
    std::vector<SSubPath> subPaths;
    uint32_t markLength = 0;
    std::vector<SPlayListMark> marks;
    CEdeFolder extensionData;
    std::vector<SSubPath> extSubPaths;  // from extension entry (2, 2)

private:
    CResult Read(std::span<const uint8_t> data);
    CResult ReadExtension(std::span<const uint8_t> data);

    int64_t reached_ = 0;  // the offset the parse reached
};

// Playlists of a disc ("Mpls(s)").
class CPofObject : public CNamedPtrArray<CMplsObject> {
public:
};

// Reads the sub-paths held by extension entry (2, 2): length, count, sub-paths.
// Returns false when they do not fit in the data.
bool ParseExtensionSubPaths(std::span<const uint8_t> data, std::vector<SSubPath>& subPaths);

}  // namespace tessel
