#include "database/mpls.h"

#include <algorithm>
#include <climits>

#include "platform/byte_io.h"
#include "platform/text.h"

namespace tessel {

namespace {

// The extension entry that carries further sub-paths.
constexpr uint16_t kExtSubPathId1 = 2;
constexpr uint16_t kExtSubPathId2 = 2;

void ReadBytes(CByteReader& r, std::array<uint8_t, 8>& out) {
    r.Bytes(out.data(), out.size());
}

bool ParsePlayItem(CByteReader& r, SPlayItem& item) {
    item.length = r.U16();
    CByteReader b = r.Sub(item.length);
    if (r.Failed()) return false;
    item.clipInformationFileName = b.Text(5);
    item.clipCodecIdentifier = b.Text(4);
    b.SkipBits(11);
    item.isMultiAngle = b.Flag();
    item.connectionCondition = static_cast<uint8_t>(b.Bits(4));
    item.refToStcId = b.U8();
    item.inTime = b.U32();
    item.outTime = b.U32();
    ReadBytes(b, item.uoMaskTable);
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
        for (int i = 1; i < item.numberOfAngles && !b.Failed(); ++i) {
            SAngleClipEntry a;
            a.clipInformationFileName = b.Text(5);
            a.clipCodecIdentifier = b.Text(4);
            a.refToStcId = b.U8();
            if (!b.Failed()) item.angles.push_back(std::move(a));
        }
    }
    auto stn = b.View(b.Remaining());
    item.stnTable.assign(stn.begin(), stn.end());
    return !b.Failed();
}

bool ParseSubPlayItem(CByteReader& r, SSubPlayItem& item) {
    item.length = r.U16();
    CByteReader b = r.Sub(item.length);
    if (r.Failed()) return false;
    item.clipInformationFileName = b.Text(5);
    item.clipCodecIdentifier = b.Text(4);
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
    path.length = r.U32();
    CByteReader b = r.Sub(path.length);
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

void ReadMarks(CByteReader& r, unsigned count, std::vector<SPlayListMark>& marks) {
    for (unsigned i = 0; i < count && !r.Failed(); ++i) {
        SPlayListMark m;
        r.Skip(1);
        m.markType = r.U8();
        m.refToPlayItemId = r.U16();
        m.markTimeStamp = r.U32();
        m.entryEsPid = r.U16();
        m.duration = r.U32();
        if (!r.Failed()) marks.push_back(m);
    }
}

// A note on a type indicator other than a playlist's.
std::string TypeNote(const std::string& type) {
    if (type.empty() || type == "MPLS") return {};
    std::string shown = type;
    for (char& c : shown)
        if (c < 0x20 || c > 0x7E) c = '?';
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
    const uint32_t length = r.U32();
    CByteReader b = r.Sub(length);
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
    auto fail = [&](std::string why) {
        fault = std::move(why);
        return -1;
    };
    if (data.size() > INT_MAX) return fail(StrFormat("%zu bytes, too large", data.size()));
    CByteReader r(data);
    typeIndicator = r.Text(4);
    version = r.Text(4);
    playListStartAddress = r.U32();
    playListMarkStartAddress = r.U32();
    extensionDataStartAddress = r.U32();
    r.Bytes(reserved.data(), reserved.size());

    appInfo.length = r.U32();
    r.Skip(1);
    appInfo.playlistPlaybackType = r.U8();
    appInfo.playbackCount = r.U16();
    ReadBytes(r, appInfo.uoMaskTable);
    appInfo.playlistRandomAccessFlag = r.Flag();
    appInfo.audioMixAppFlag = r.Flag();
    appInfo.losslessMayBypassMixerFlag = r.Flag();
    r.SkipBits(5);
    if (r.Failed())
        return fail(StrFormat("%zu bytes, too short for a playlist%s", data.size(),
                              TypeNote(typeIndicator).c_str()));

    r.Seek(playListStartAddress);
    playListLength = r.U32();
    r.Skip(2);
    const unsigned itemCount = r.U16();
    const unsigned subPathCount = r.U16();
    if (r.Failed())
        return fail(StrFormat("the PlayList at byte %u lies past the end (%zu bytes)%s",
                              playListStartAddress, data.size(), TypeNote(typeIndicator).c_str()));
    for (unsigned i = 0; i < itemCount; ++i) {
        SPlayItem item;
        const size_t at = r.Pos();
        if (!ParsePlayItem(r, item))
            return fail(StrFormat("PlayItem %u of %u at byte %zu is cut short or damaged", i,
                                  itemCount, at));
        playItems.push_back(std::move(item));
    }
    for (unsigned i = 0; i < subPathCount; ++i) {
        SSubPath path;
        const size_t at = r.Pos();
        if (!ParseSubPath(r, path))
            return fail(StrFormat("SubPath %u of %u at byte %zu is cut short or damaged", i,
                                  subPathCount, at));
        subPaths.push_back(std::move(path));
    }

    r.Seek(playListMarkStartAddress);
    markLength = r.U32();
    const unsigned markCount = r.U16();
    ReadMarks(r, markCount, marks);
    uint64_t result = uint64_t{playListMarkStartAddress} + markLength + 4;
    if (r.Failed() || result > data.size())
        return fail(
            StrFormat("the PlayListMark at byte %u (%u marks) runs past the end (%zu bytes)",
                      playListMarkStartAddress, markCount, data.size()));

    if (extensionDataStartAddress != 0) {
        const int size = extensionDataStartAddress > data.size()
                             ? -1
                             : extensionData.ParseBlock(data.subspan(extensionDataStartAddress));
        if (size < 0)
            return fail(
                StrFormat("the ExtensionData at byte %u is cut short or damaged (%zu bytes)",
                          extensionDataStartAddress, data.size()));
        result = uint64_t{extensionDataStartAddress} + static_cast<uint64_t>(size);
        if (const CEdeEntry* e = extensionData.Find(kExtSubPathId1, kExtSubPathId2);
            e && !e->data.empty()) {
            if (!ParseExtensionSubPaths(e->data, extSubPaths))
                return fail(StrFormat("the extension sub-paths at byte %u are cut short or damaged",
                                      extensionDataStartAddress));
        }
    }
    return static_cast<int>(result);
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
