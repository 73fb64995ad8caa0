#include "database/mpls.h"

#include <algorithm>
#include <climits>

#include "database/db_reader.h"
#include "platform/byte_io.h"
#include "platform/result.h"
#include "platform/text.h"

namespace tessel {

namespace {

// The extension entry that carries further sub-paths.
constexpr uint16_t kExtSubPathId1 = 2;
constexpr uint16_t kExtSubPathId2 = 2;

bool ParsePlayItem(CByteReader& r, SPlayItem& item) {
    CByteReader b = ReadRecord(r, item.length);
    if (r.Failed()) return false;
    ReadClipName(b, item.clipInformationFileName, item.clipCodecIdentifier);
    b.SkipBits(11);
    item.isMultiAngle = b.Flag();
    item.connectionCondition = static_cast<uint8_t>(b.Bits(4));
    item.refToStcId = b.U8();
    item.inTime = b.U32();
    item.outTime = b.U32();
    ReadArray(b, item.uoMaskTable);
    item.randomAccessFlag = b.Flag();
    b.SkipBits(7);
    item.stillMode = b.U8();
    const uint16_t stillTime = b.U16();
    item.stillTime = item.stillMode == 1 ? stillTime : 0;
    if (item.isMultiAngle) {
        item.numberOfAngles = b.U8();
        b.SkipBits(6);
        item.isDifferentAudios = b.Flag();
        item.seamlessAngleChange = b.Flag();
        const unsigned more = item.numberOfAngles > 1 ? item.numberOfAngles - 1u : 0u;
        ReadEntries(b, more, item.angles, [](CByteReader& e, SAngleClipEntry& a) {
            ReadClipName(e, a.clipInformationFileName, a.clipCodecIdentifier);
            a.refToStcId = e.U8();
        });
    }
    auto stn = b.View(b.Remaining());
    item.stnTable.assign(stn.begin(), stn.end());
    return !b.Failed();
}

bool ParseSubPlayItem(CByteReader& r, SSubPlayItem& item) {
    CByteReader b = ReadRecord(r, item.length);
    if (r.Failed()) return false;
    ReadClipName(b, item.clipInformationFileName, item.clipCodecIdentifier);
    b.SkipBits(27);
    item.connectionCondition = static_cast<uint8_t>(b.Bits(4));
    item.isMultiClipEntries = b.Flag();
    item.refToStcId = b.U8();
    item.inTime = b.U32();
    item.outTime = b.U32();
    item.syncPlayItemId = b.U16();
    item.syncStartPtsOfPlayItem = b.U32();
    return !b.Failed();
}

bool ParseSubPath(CByteReader& r, SSubPath& path) {
    CByteReader b = ReadRecord(r, path.length);
    if (r.Failed()) return false;
    b.Skip(1);
    path.subPathType = b.U8();
    b.SkipBits(15);
    path.isRepeatSubPath = b.Flag();
    b.Skip(1);
    const unsigned count = b.U8();
    for (unsigned i = 0; i < count && !b.Failed(); ++i) {
        SSubPlayItem item;
        if (!ParseSubPlayItem(b, item)) return false;
        path.subPlayItems.push_back(std::move(item));
    }
    return !b.Failed();
}

void ReadMark(CByteReader& r, SPlayListMark& m) {
    r.Skip(1);
    m.markType = r.U8();
    m.refToPlayItemId = r.U16();
    m.markTimeStamp = r.U32();
    m.entryEsPid = r.U16();
    m.duration = r.U32();
}

void ReadAppInfo(CByteReader& r, SAppInfoPlaylist& appInfo) {
    appInfo.length = r.U32();
    r.Skip(1);
    appInfo.playlistPlaybackType = r.U8();
    appInfo.playbackCount = r.U16();
    ReadArray(r, appInfo.uoMaskTable);
    appInfo.playlistRandomAccessFlag = r.Flag();
    appInfo.audioMixAppFlag = r.Flag();
    appInfo.losslessMayBypassMixerFlag = r.Flag();
    r.SkipBits(5);
}

// Reads count entries that each check their own length; the first that does
// not fit names itself, its index and its offset.
template <class T>
CResult ReadCounted(CByteReader& r, unsigned count, std::vector<T>& out,
                    bool (*parse)(CByteReader&, T&), const char* what) {
    for (unsigned i = 0; i < count; ++i) {
        T entry;
        const size_t at = r.Pos();
        if (!parse(r, entry))
            return CResult::Fail(
                StrFormat("%s %u of %u at byte %zu is cut short or damaged", what, i, count, at));
        out.push_back(std::move(entry));
    }
    return {};
}

// A note on a type indicator other than a playlist's.
std::string TypeNote(const std::string& type) {
    if (type.empty() || type == "MPLS") return {};
    const std::string shown = PrintableTag(type);
    return StrFormat("; type indicator \"%s\", not \"MPLS\"%s", shown.c_str(),
                     type == "HDMV" ? " (a clip information file)" : "");
}

void AddUnique(std::vector<int>& list, int clip) {
    if (std::find(list.begin(), list.end(), clip) == list.end()) list.push_back(clip);
}

void AddSubPaths(const std::vector<SSubPath>& paths, std::vector<int>& list) {
    for (const auto& p : paths)
        for (const auto& item : p.subPlayItems) AddUnique(list, AtoI(item.clipInformationFileName));
}

}  // namespace

bool ParseExtensionSubPaths(std::span<const uint8_t> data, std::vector<SSubPath>& subPaths) {
    subPaths.clear();
    CByteReader r(data);
    uint32_t length = 0;
    CByteReader b = ReadRecord(r, length);
    const unsigned count = b.U16();
    for (unsigned i = 0; i < count && !b.Failed(); ++i) {
        SSubPath path;
        if (!ParseSubPath(b, path)) return false;
        subPaths.push_back(std::move(path));
    }
    return !b.Failed();
}

void CMplsObject::Clear() {
    playItems.clear();
    subPaths.clear();
    marks.clear();
    extensionData.Clear();
    extSubPaths.clear();
}

int CMplsObject::ParseMpls(std::span<const uint8_t> data) {
    Clear();
    fault.clear();
    const CResult result = Read(data);
    if (result.Ok()) return static_cast<int>(reached_);
    fault = result.Text();
    return -1;
}

CResult CMplsObject::Read(std::span<const uint8_t> data) {
    if (data.size() > INT_MAX) return CResult::Fail(StrFormat("%zu bytes, too large", data.size()));
    CByteReader r(data);
    ReadFileHead(r, typeIndicator, version,
                 {&playListStartAddress, &playListMarkStartAddress, &extensionDataStartAddress});
    ReadArray(r, reserved);
    ReadAppInfo(r, appInfo);
    if (r.Failed())
        return CResult::Fail(StrFormat("%zu bytes, too short for a playlist%s", data.size(),
                                       TypeNote(typeIndicator).c_str()));

    r.Seek(playListStartAddress);
    playListLength = r.U32();
    r.Skip(2);
    const unsigned itemCount = r.U16();
    const unsigned subPathCount = r.U16();
    if (r.Failed())
        return CResult::Fail(StrFormat("the PlayList at byte %u lies past the end (%zu bytes)%s",
                                       playListStartAddress, data.size(),
                                       TypeNote(typeIndicator).c_str()));
    if (CResult items = ReadCounted(r, itemCount, playItems, ParsePlayItem, "PlayItem"); !items)
        return items;
    if (CResult paths = ReadCounted(r, subPathCount, subPaths, ParseSubPath, "SubPath"); !paths)
        return paths;

    r.Seek(playListMarkStartAddress);
    markLength = r.U32();
    const unsigned markCount = r.U16();
    ReadEntries(r, markCount, marks, ReadMark);
    reached_ = int64_t{playListMarkStartAddress} + markLength + 4;
    if (r.Failed() || reached_ > static_cast<int64_t>(data.size()))
        return CResult::Fail(
            StrFormat("the PlayListMark at byte %u (%u marks) runs past the end (%zu bytes)",
                      playListMarkStartAddress, markCount, data.size()));
    return extensionDataStartAddress != 0 ? ReadExtension(data) : CResult{};
}

CResult CMplsObject::ReadExtension(std::span<const uint8_t> data) {
    reached_ = extensionData.ParseAt(data, extensionDataStartAddress);
    if (reached_ < 0)
        return CResult::Fail(
            StrFormat("the ExtensionData at byte %u is cut short or damaged (%zu bytes)",
                      extensionDataStartAddress, data.size()));
    const CEdeEntry* e = extensionData.Find(kExtSubPathId1, kExtSubPathId2);
    if (e && !e->data.empty() && !ParseExtensionSubPaths(e->data, extSubPaths))
        return CResult::Fail(
            StrFormat("the extension sub-paths at byte %u are cut short or damaged",
                      extensionDataStartAddress));
    return {};
}

void CMplsObject::ClipReferences(std::vector<int>& list) const {
    for (const auto& item : playItems) {
        AddUnique(list, AtoI(item.clipInformationFileName));
        if (item.isMultiAngle)
            for (const auto& a : item.angles) AddUnique(list, AtoI(a.clipInformationFileName));
    }
    AddSubPaths(subPaths, list);
    AddSubPaths(extSubPaths, list);
}

}  // namespace tessel
