// Display sets and epochs as read from a graphics stream: the raw segment
// containers and the stream reader.
//
// How a stream ends. Marked form: no byte left where a record's 2-byte marker
// would begin is the end of the stream; a single byte there is a truncated
// record (error). Bare form: no byte left where a segment header would begin
// is the end of the stream; one or two bytes there are a truncated header
// (error). In both forms a display set that the end of the stream cuts off
// before its END segment is dropped, and the display sets before it stay.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "codec/ics.h"
#include "codec/ods.h"
#include "codec/pcs_wds.h"
#include "codec/pds.h"
#include "codec/segment.h"
#include "platform/result.h"

namespace tessel {

// Composition states.
enum : uint8_t {
    kStateNormalCase = 0,
    kStateAcquisitionPoint = 1,
    kStateEpochStart = 2,
    kStateEpochContinue = 3,
};

// Results of the display-set and epoch readers.
enum : int { kReadOk = 0, kReadEndOfStream = 1, kReadError = 2 };

// The segments of one display set (owned).
class CDsData {
public:
    CDsData() = default;
    CDsData(const CDsData&) = delete;
    CDsData& operator=(const CDsData&) = delete;

    // Destroys every segment.
    void Clear();
    // A new segment of the type, held in its list or slot; null for a type
    // outside the segment table or a second PCS, WDS or END.
    CSegmentBase* CreateSegment(uint8_t type);
    // True when type is PCS, WDS or END and the container already holds one.
    bool HasSingle(uint8_t type) const;
    // Takes the segment out of its list or slot and destroys it.
    void RemoveSegment(const CSegmentBase* segment);
    // A new PDS numbered by the count of PDS already held, version 0.
    CPds* AddPalette();
    // Replaces the ICS list (destroying the ICS it held).
    void ReplaceIcsList(std::vector<std::unique_ptr<CIcs>> list);

    // PCS, all ICS, WDS, all PDS, all ODS, END: the order a display set is
    // written in.
    std::vector<CSegmentBase*> WriteOrder() const;
    // The segments in the order they were read or added; the write order when
    // the lists have been changed from outside.
    std::vector<CSegmentBase*> StreamOrder() const;
    int SegmentCount() const;

    uint8_t compositionState = kStateEpochStart;
    std::unique_ptr<CPcs> pcs;
    std::unique_ptr<CIcsArray> icsList;
    std::unique_ptr<CWds> wds;
    std::unique_ptr<CPdsFolder> pdsList;
    std::unique_ptr<COdsArray> odsList;
    std::unique_ptr<CEs> end;

private:
    std::vector<CSegmentBase*> arrival_;
};

// The display sets of one epoch, as read.
class CEpochData {
public:
    int GetSize() const { return static_cast<int>(items.size()); }
    bool IsEmpty() const { return items.empty(); }
    CDsData* GetAt(int i) const {
        return i >= 0 && i < GetSize() ? items[static_cast<size_t>(i)].get() : nullptr;
    }

    std::vector<std::unique_ptr<CDsData>> items;
};

using CEpochList = std::vector<std::unique_ptr<CEpochData>>;

// Reads one segment at the source's position into the container; returns it
// (owned by the container), or why it could not be read and where.
CResultOf<CSegmentBase*> ReadSegment(CDsData& container, IByteSource& source);
// Marked form: reads PTS and DTS (the marker has been read already), then the
// segment, and stores the time stamps in it. Bare form: the segment only.
CResultOf<CSegmentBase*> ReadRecord(bool bare, IByteSource& source, CDsData& container);

// Reads segments up to and including an END. Returns kReadOk, kReadEndOfStream
// or kReadError (error says why and at which record). On error the container
// keeps the segments read before the failing record.
int ReadDisplaySet(CDsData& container, IByteSource& source, bool bare, CResult* error = nullptr);

// Reads display sets one at a time and tells where each epoch begins, by
// the rules of ReadEpoch, so that a caller can use each display set and let
// it go before the next is read.
class CDisplaySetReader {
public:
    CDisplaySetReader(IByteSource& source, bool bare) : source_(source), bare_(bare) {}

    // The next display set into ds (a new container). kReadOk with newEpoch
    // telling whether ds begins an epoch, kReadEndOfStream, or kReadError
    // (error set; ds holds the segments read before the failing record).
    int Next(std::unique_ptr<CDsData>& ds, bool& newEpoch, CResult* error = nullptr);
    // The last display set read ends its epoch: its PCS places no object, or
    // it has neither such a PCS nor an ICS.
    bool EpochEnded() const { return ended_; }

private:
    IByteSource& source_;
    bool bare_;
    bool started_ = false;    // a display set has been read
    bool seenStart_ = false;  // the current epoch has an Epoch Start display set
    bool ended_ = false;
};

// Whether a stream's first bytes are a bare segment (a segment type) rather
// than a record head ("PG"/"IG"); false for anything else, which the reader
// then reports.
bool StreamLooksBare(std::span<const uint8_t> head);
// The same for a stream file's first bytes; false when it cannot be read.
bool StreamFileLooksBare(const std::string& path);

// Bytes of the segments (headers included) of a stream held in memory,
// counted from its record or segment headers without reading the segments;
// stops at the first header that does not fit.
int64_t StreamSegmentBytes(std::span<const uint8_t> stream, bool bare);
// Bytes of the whole display sets at the start of a stream held in memory:
// up to the end of the last END segment whose record is all there, judged by
// the record and segment headers alone; stops at a record that is not
// marked (the reader then reports it). The headers are read from scanned,
// a record boundary at or after the last such END, which then moves to the
// first record not all there, so that a stream growing piece by piece is
// read once.
size_t WholeDisplaySetBytes(std::span<const uint8_t> stream, bool bare, size_t& scanned);
// The bytes stream lacks for the segment at scanned (where
// WholeDisplaySetBytes stopped) to be whole: those of its header first, then
// the rest. 0 when what starts there is no record.
size_t SegmentBytesMissing(std::span<const uint8_t> stream, bool bare, size_t scanned);

// Reads the display sets of one epoch into an empty epoch. A display set in
// Epoch Start state after the first one is left for the next epoch (the
// source is moved back to it); a display set whose PCS places no object, or
// that has neither such a PCS nor an ICS, is the epoch's last. On error the
// failing display set is handed to failed when given.
int ReadEpoch(CEpochData& epoch, IByteSource& source, bool bare, CResult* error = nullptr,
              std::unique_ptr<CDsData>* failed = nullptr);

// What ReadStream learnt about a stream besides its epochs.
struct SStreamInfo {
    bool interactive = false;  // a display set of the first epoch has ICS
    bool hasVideo = false;
    SVideoDescriptor video;
    CResult error;
    // On failure: the epoch being read (its complete display sets) and the
    // display set that failed (its segments before the failing record).
    std::unique_ptr<CEpochData> failedEpoch;
    std::unique_ptr<CDsData> failedDisplaySet;
};

// Reads every epoch, appending to epochs; false on a read error (the epoch
// being read is not appended). info gets the stream kind and video
// descriptor of the first epoch whenever at least one epoch was read.
bool ReadStream(CEpochList& epochs, IByteSource& source, bool bare, SStreamInfo* info = nullptr);

// Reads a stream file; a file that cannot be read gives false with the
// system's error text in info.
bool ReadStreamFile(const std::string& path, CEpochList& epochs, bool bare,
                    SStreamInfo* info = nullptr);

// The video descriptor of the first display set with a PCS, or with an ICS
// (its first ICS's); false when there is none.
bool StreamVideoDescriptor(const std::vector<std::unique_ptr<CDsData>>& list,
                           SVideoDescriptor& video);

// Writes the container's segments with WriteRecord, marker "PG" when it has
// a PCS, else "IG" (none in bare form); in stream order or in write order.
bool WriteDsData(const CDsData& container, IByteSink& sink, IByteSink* index, bool bare,
                 bool streamOrder);

// Encodes an indexed image and appends its ODS to the container's list.
bool AddObjectFromImage(const SIndexedImage& image, CDsData& container, uint16_t objectId);

}  // namespace tessel
