#include "codec/display_set.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

#include "platform/files.h"
#include "platform/text.h"

namespace tessel {

void CDsData::Clear() {
    arrival_.clear();
    pcs.reset();
    icsList.reset();
    wds.reset();
    pdsList.reset();
    odsList.reset();
    end.reset();
}

bool CDsData::HasSingle(uint8_t type) const {
    switch (type) {
        case kSegmentPcs:
            return pcs != nullptr;
        case kSegmentWds:
            return wds != nullptr;
        case kSegmentEnd:
            return end != nullptr;
        default:
            return false;
    }
}

namespace {
template <class T, class L>
T* AppendTo(std::unique_ptr<L>& list) {
    if (!list) list = std::make_unique<L>();
    return list->Append(std::make_unique<T>());
}
template <class T>
T* SetSingle(std::unique_ptr<T>& slot) {
    if (slot) return nullptr;
    slot = std::make_unique<T>();
    return slot.get();
}
}  // namespace

CSegmentBase* CDsData::CreateSegment(uint8_t type) {
    CSegmentBase* s = nullptr;
    switch (type) {
        case kSegmentPds:
            s = AppendTo<CPds>(pdsList);
            break;
        case kSegmentOds:
            s = AppendTo<COds>(odsList);
            break;
        case kSegmentIcs:
            s = AppendTo<CIcs>(icsList);
            break;
        case kSegmentPcs:
            s = SetSingle(pcs);
            break;
        case kSegmentWds:
            s = SetSingle(wds);
            break;
        case kSegmentEnd:
            s = SetSingle(end);
            break;
        default:
            break;
    }
    if (s) arrival_.push_back(s);
    return s;
}

void CDsData::RemoveSegment(const CSegmentBase* segment) {
    if (!segment) return;
    std::erase(arrival_, segment);
    if (pcs.get() == segment) pcs.reset();
    if (wds.get() == segment) wds.reset();
    if (end.get() == segment) end.reset();
    if (pdsList) pdsList->Remove(segment);
    if (odsList) odsList->Remove(segment);
    if (icsList) icsList->Remove(segment);
}

CPds* CDsData::AddPalette() {
    if (!pdsList) pdsList = std::make_unique<CPdsFolder>();
    auto pds = std::make_unique<CPds>();
    pds->paletteId = static_cast<uint8_t>(pdsList->GetSize());
    pds->paletteVersion = 0;
    CPds* p = pdsList->Append(std::move(pds));
    arrival_.push_back(p);
    return p;
}

void CDsData::ReplaceIcsList(std::vector<std::unique_ptr<CIcs>> list) {
    // The new ICS take the place of the first old one in the stream order.
    auto at = arrival_.end();
    if (icsList) {
        for (const auto& s : *icsList) {
            auto it = std::find(arrival_.begin(), arrival_.end(), s.get());
            if (it == arrival_.end()) continue;
            at = arrival_.erase(it);
            break;
        }
        std::erase_if(arrival_, [this](CSegmentBase* s) {
            for (const auto& i : *icsList)
                if (i.get() == s) return true;
            return false;
        });
    }
    if (at == arrival_.end()) {
        // Without old ICS they go after the PCS, or first.
        at = arrival_.begin();
        if (pcs) {
            auto it = std::find(arrival_.begin(), arrival_.end(), pcs.get());
            if (it != arrival_.end()) at = it + 1;
        }
    }
    const auto index = at - arrival_.begin();
    icsList = std::make_unique<CIcsArray>();
    std::vector<CSegmentBase*> added;
    for (auto& s : list) added.push_back(icsList->Append(std::move(s)));
    arrival_.insert(
        arrival_.begin() + std::min(index, static_cast<std::ptrdiff_t>(arrival_.size())),
        added.begin(), added.end());
}

std::vector<CSegmentBase*> CDsData::WriteOrder() const {
    std::vector<CSegmentBase*> order;
    if (pcs) order.push_back(pcs.get());
    if (icsList)
        for (const auto& s : *icsList) order.push_back(s.get());
    if (wds) order.push_back(wds.get());
    if (pdsList)
        for (const auto& s : *pdsList) order.push_back(s.get());
    if (odsList)
        for (const auto& s : *odsList) order.push_back(s.get());
    if (end) order.push_back(end.get());
    return order;
}

int CDsData::SegmentCount() const {
    return static_cast<int>(WriteOrder().size());
}

std::vector<CSegmentBase*> CDsData::StreamOrder() const {
    std::vector<CSegmentBase*> order = WriteOrder();
    if (arrival_.size() != order.size()) return order;
    for (CSegmentBase* s : arrival_)
        if (std::find(order.begin(), order.end(), s) == order.end()) return order;
    return arrival_;
}

CResultOf<CSegmentBase*> ReadSegment(CDsData& container, IByteSource& source) {
    const int64_t pos = source.Position();
    uint8_t head[kSegmentHeaderSize];
    if (source.Read(head, sizeof head) < sizeof head)
        return CResult::Fail("truncated segment header", pos);
    CSegmentBase* seg = container.CreateSegment(head[0]);
    if (!seg) {
        if (container.HasSingle(head[0]))
            return CResult::Fail(
                StrFormat("second %s in one display set", SegmentTypeName(head[0])), pos);
        return CResult::Fail(StrFormat("unknown segment type 0x%02X", head[0]), pos);
    }
    const uint16_t length = static_cast<uint16_t>(head[1] << 8 | head[2]);
    seg->sourcePosition = pos;
    if (length == 0) return seg;
    const std::span<const uint8_t> payload = source.Take(length);
    if (payload.size() < length) {
        container.RemoveSegment(seg);
        return CResult::Fail(StrFormat("truncated %s segment: %d payload bytes declared",
                                       SegmentTypeName(head[0]), static_cast<int>(length)),
                             pos);
    }
    seg->segmentLength = length;
    seg->Parse(payload);
    return seg;
}

CResultOf<CSegmentBase*> ReadRecord(bool bare, IByteSource& source, CDsData& container) {
    if (bare) return ReadSegment(container, source);
    const int64_t pos = source.Position();
    uint8_t stamps[8];
    if (source.Read(stamps, sizeof stamps) < sizeof stamps)
        return CResult::Fail("truncated record head", pos);
    CResultOf<CSegmentBase*> seg = ReadSegment(container, source);
    if (!seg) return seg;
    CByteReader r(stamps, sizeof stamps);
    (*seg)->pts = r.U32();
    (*seg)->dts = r.U32();
    return seg;
}

namespace {

// The end of the stream: between display sets, or inside one that has no END
// segment (a cut stream), which is an error at the display set's start.
// A read error: error (when given) says why and where.
int ReadFailed(CResult* error, int64_t offset, std::string text) {
    if (error) *error = CResult::Fail(std::move(text), offset);
    return kReadError;
}

int EndOfStream(const CDsData& container, CResult* error, int64_t offset) {
    if (container.SegmentCount() == 0) return kReadEndOfStream;
    return ReadFailed(error, offset,
                      "display set cut off by the end of the stream (no END segment)");
}

}  // namespace

int ReadDisplaySet(CDsData& container, IByteSource& source, bool bare, CResult* error) {
    container.Clear();
    const int64_t setStart = source.Position();
    for (;;) {
        const int64_t recordStart = source.Position();
        if (bare) {
            uint8_t probe;
            if (source.Read(&probe, 1) == 0) return EndOfStream(container, error, setStart);
            source.Seek(recordStart);
        } else {
            char marker[2];
            const size_t n = source.Read(marker, 2);
            if (n == 0) return EndOfStream(container, error, setStart);
            if (n < 2) return ReadFailed(error, recordStart, "truncated record marker");
            const std::string text(marker, 2);
            if (!EqualsNoCase(text, "PG") && !EqualsNoCase(text, "IG"))
                return ReadFailed(
                    error, recordStart,
                    StrFormat("bad record marker 0x%02X%02X", static_cast<uint8_t>(marker[0]),
                              static_cast<uint8_t>(marker[1])));
        }
        // The failure is placed at the start of its record.
        CResultOf<CSegmentBase*> seg = ReadRecord(bare, source, container);
        if (!seg) return ReadFailed(error, recordStart, seg.Result().Text());
        if ((*seg)->segmentType == kSegmentEnd) break;
    }
    if (container.pcs)
        container.compositionState = container.pcs->compositionState;
    else if (container.icsList && !container.icsList->IsEmpty())
        container.compositionState = container.icsList->GetAt(0)->compositionState;
    return kReadOk;
}

int CDisplaySetReader::Next(std::unique_ptr<CDsData>& ds, bool& newEpoch, CResult* error) {
    ds = std::make_unique<CDsData>();
    ds->compositionState = kStateEpochStart;
    const int result = ReadDisplaySet(*ds, source_, bare_, error);
    if (result != kReadOk) return result;
    const bool start = ds->compositionState == kStateEpochStart;
    newEpoch = !started_ || ended_ || (start && seenStart_);
    if (newEpoch) seenStart_ = false;
    if (start) seenStart_ = true;
    started_ = true;
    ended_ = !(ds->pcs && !ds->pcs->objects.empty()) && !(ds->icsList && !ds->icsList->IsEmpty());
    return kReadOk;
}

bool StreamLooksBare(std::span<const uint8_t> head) {
    if (head.empty()) return false;
    const uint8_t t = head[0];
    const bool segment = t == kSegmentPds || t == kSegmentOds || t == kSegmentPcs ||
                         t == kSegmentWds || t == kSegmentIcs || t == kSegmentEnd;
    const bool marked = head.size() >= 2 &&
                        (std::toupper(head[0]) == 'P' || std::toupper(head[0]) == 'I') &&
                        std::toupper(head[1]) == 'G';
    return segment && !marked;
}

bool StreamFileLooksBare(const std::string& path) {
    if (path == kStandardInput) {
        std::vector<uint8_t> data;
        return ReadWholeFile(path, data).Ok() && StreamLooksBare(data);
    }
    uint8_t head[2] = {};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    return StreamLooksBare({head, n});
}

int64_t StreamSegmentBytes(std::span<const uint8_t> stream, bool bare) {
    const size_t head = bare ? 0 : size_t{kRecordHeadSize};
    constexpr size_t kHeader = kSegmentHeaderSize;
    int64_t total = 0;
    size_t p = 0;
    while (stream.size() - p >= head + kHeader) {
        const size_t segment = kHeader + (size_t{stream[p + head + 1]} << 8 | stream[p + head + 2]);
        if (stream.size() - p - head < segment) break;
        total += static_cast<int64_t>(segment);
        p += head + segment;
    }
    return total;
}

namespace {

// A record's tag, "PG" or "IG" in any case.
bool IsRecordTag(const uint8_t* record) {
    return (std::toupper(record[0]) == 'P' || std::toupper(record[0]) == 'I') &&
           std::toupper(record[1]) == 'G';
}

}  // namespace

size_t WholeDisplaySetBytes(std::span<const uint8_t> stream, bool bare, size_t& scanned) {
    const size_t head = bare ? 0 : size_t{kRecordHeadSize};
    constexpr size_t kHeader = kSegmentHeaderSize;
    size_t p = std::min(scanned, stream.size()), whole = 0;
    while (stream.size() - p >= head + kHeader) {
        const uint8_t* record = stream.data() + p;
        if (!bare && !IsRecordTag(record)) break;
        const size_t segment = kHeader + (size_t{record[head + 1]} << 8 | record[head + 2]);
        if (stream.size() - p - head < segment) break;
        p += head + segment;
        if (record[head] == kSegmentEnd) whole = p;
    }
    scanned = p;
    return whole;
}

size_t SegmentBytesMissing(std::span<const uint8_t> stream, bool bare, size_t scanned) {
    const size_t head = bare ? 0 : size_t{kRecordHeadSize};
    const size_t have = scanned < stream.size() ? stream.size() - scanned : 0;
    const uint8_t* record = stream.data() + scanned;
    if (!bare && have >= 2 && !IsRecordTag(record)) return 0;
    if (have < head + kSegmentHeaderSize) return head + kSegmentHeaderSize - have;
    const size_t segment = kSegmentHeaderSize + (size_t{record[head + 1]} << 8 | record[head + 2]);
    return head + segment > have ? head + segment - have : 0;
}

int ReadEpoch(CEpochData& epoch, IByteSource& source, bool bare, CResult* error,
              std::unique_ptr<CDsData>* failed) {
    CDisplaySetReader reader(source, bare);
    for (;;) {
        const int64_t start = source.Position();
        std::unique_ptr<CDsData> ds;
        bool newEpoch = false;
        const int result = reader.Next(ds, newEpoch, error);
        if (result != kReadOk) {
            if (result == kReadError && failed) *failed = std::move(ds);
            return result;
        }
        if (newEpoch && !epoch.IsEmpty()) {
            source.Seek(start);
            return kReadOk;
        }
        epoch.items.push_back(std::move(ds));
        if (reader.EpochEnded()) return kReadOk;
    }
}

bool StreamVideoDescriptor(const std::vector<std::unique_ptr<CDsData>>& list,
                           SVideoDescriptor& video) {
    for (const auto& ds : list) {
        if (ds->pcs) {
            video = ds->pcs->video;
            return true;
        }
        if (ds->icsList && !ds->icsList->IsEmpty()) {
            video = ds->icsList->GetAt(0)->video;
            return true;
        }
    }
    return false;
}

bool ReadStream(CEpochList& epochs, IByteSource& source, bool bare, SStreamInfo* info) {
    bool ok = true;
    for (;;) {
        auto epoch = std::make_unique<CEpochData>();
        CResult error;
        std::unique_ptr<CDsData> failed;
        const int64_t start = source.Position();
        const int result = ReadEpoch(*epoch, source, bare, &error, &failed);
        if (result == kReadOk && epoch->IsEmpty() && source.Position() == start) {
            // Cannot happen with the rules above; guards against looping.
            error = CResult::Fail("no progress", start);
        } else if (result == kReadOk) {
            epochs.push_back(std::move(epoch));
            continue;
        } else if (result == kReadEndOfStream) {
            if (!epoch->IsEmpty()) epochs.push_back(std::move(epoch));
            break;
        }
        if (info) {
            info->error = error;
            info->failedEpoch = std::move(epoch);
            info->failedDisplaySet = std::move(failed);
        }
        ok = false;
        break;
    }
    if (ok && info && !epochs.empty()) {
        const auto& first = epochs.front()->items;
        info->interactive = std::any_of(first.begin(), first.end(),
                                        [](const auto& ds) { return ds->icsList != nullptr; });
        info->hasVideo = StreamVideoDescriptor(first, info->video);
    }
    return ok;
}

bool ReadStreamFile(const std::string& path, CEpochList& epochs, bool bare, SStreamInfo* info) {
    std::vector<uint8_t> data;
    if (const CResult read = ReadWholeFile(path, data); !read) {
        if (info)
            info->error = CResult::Fail(StrFormat("%s: %s", path.c_str(), read.Text().c_str()));
        return false;
    }
    CMemorySource source(data);
    return ReadStream(epochs, source, bare, info);
}

bool WriteDsData(const CDsData& container, IByteSink& sink, IByteSink* index, bool bare,
                 bool streamOrder) {
    const char* marker = bare ? nullptr : (container.pcs ? "PG" : "IG");
    for (CSegmentBase* s : streamOrder ? container.StreamOrder() : container.WriteOrder())
        if (!WriteRecord(marker, *s, sink, index)) return false;
    return true;
}

bool AddObjectFromImage(const SIndexedImage& image, CDsData& container, uint16_t objectId) {
    const std::vector<uint8_t> data = EncodeObject(image);
    if (data.empty()) return false;
    for (auto& ods : SplitObject(data, objectId)) {
        COds* o = static_cast<COds*>(container.CreateSegment(kSegmentOds));
        o->CopyHeader(*ods);
        o->objectId = ods->objectId;
        o->objectVersion = ods->objectVersion;
        o->firstInSequence = ods->firstInSequence;
        o->lastInSequence = ods->lastInSequence;
        o->sequenceLowBits = ods->sequenceLowBits;
        o->fragment = std::move(ods->fragment);
    }
    return true;
}

}  // namespace tessel
