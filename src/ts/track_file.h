// Per-PID elementary outputs of a demux pass, and the map of tracked PIDs.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/byte_buffer.h"
#include "platform/read_file.h"
#include "platform/result.h"

namespace tessel {

struct SPesHeader;

// A writable output of a track: a disk file or a growable memory file.
class COutputFile {
public:
    virtual ~COutputFile() = default;
    // Appends bytes; false when they could not be written.
    virtual bool Write(const uint8_t* data, size_t size) = 0;
    // Whether WriteBehind returns before the bytes are written.
    virtual bool WritesBehind() const { return false; }
    // Appends bytes that stay unchanged until the next call of any member
    // has returned; false when they or earlier ones could not be written.
    virtual bool WriteBehind(const uint8_t* data, size_t size) { return Write(data, size); }
    virtual int64_t Length() const = 0;
    // The file's path; empty for a memory file.
    virtual std::string Path() const { return {}; }
    virtual void Close() {}
};

class CMemoryFile : public COutputFile {
public:
    bool Write(const uint8_t* data, size_t size) override;
    int64_t Length() const override { return static_cast<int64_t>(data_.size()); }
    std::span<const uint8_t> Data() const { return data_; }
    CByteBuffer Take() { return std::move(data_); }

private:
    CByteBuffer data_;
};

// Writes go straight to the descriptor: the track's buffer already gathers
// them into large pieces.
// A thread that does the work of WriteBehind: each piece handed over is
// given to the work function there while the caller goes on; one piece at a
// time. An exception the work throws comes out of the next Wait.
class CBehindThread {
public:
    using Work = std::function<void(const uint8_t* data, size_t size)>;
    explicit CBehindThread(Work work) : work_(std::move(work)) {}
    ~CBehindThread() { Stop(); }
    CBehindThread(const CBehindThread&) = delete;
    CBehindThread& operator=(const CBehindThread&) = delete;

    // Waits for the piece before, then hands this one over; false when no
    // thread could be started (the caller does the work itself).
    bool Post(const uint8_t* data, size_t size);
    // Waits until the pieces handed over are done.
    void Wait() const;
    // Waits, then ends the thread.
    void Stop();

private:
    void Run();

    Work work_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    const uint8_t* pending_ = nullptr;
    size_t pendingSize_ = 0;
    bool stop_ = false;
    mutable std::exception_ptr failure_;
    std::thread thread_;
};

// A file on disk. Bytes handed over by WriteBehind are written by a thread
// of the file's own while the caller fills its next buffer; every other
// member waits for them first.
class CDiskFile : public COutputFile {
public:
    ~CDiskFile() override;
    // Creates or truncates the file; on failure sets error to the system's text.
    // Creates or empties the file; the failure names it with the system's reason.
    CResult Open(const std::string& path);
    bool Write(const uint8_t* data, size_t size) override;
    bool WritesBehind() const override { return true; }
    bool WriteBehind(const uint8_t* data, size_t size) override;
    int64_t Length() const override;
    std::string Path() const override { return path_; }
    void Close() override;
    // Closes the file; false when it or an earlier write failed.
    bool Finish();
    // errno of the first failure, 0 without one.
    int Error() const;

private:
    bool WriteNow(const uint8_t* data, size_t size);

    int fd_ = -1;
    std::string path_;
    mutable std::mutex mutex_;  // length_ and error_, written by the thread too
    int64_t length_ = 0;
    int error_ = 0;
    CBehindThread behind_{[this](const uint8_t* data, size_t size) { WriteNow(data, size); }};
};

// The elementary output of one PID: payload bytes staged in a buffer and
// written to the output file in large pieces.
struct STrackFile {
    static constexpr size_t kDefaultCapacity = 1044480;  // 5,440 source packets

    explicit STrackFile(std::unique_ptr<COutputFile> output, size_t capacity = kDefaultCapacity);
    // Frees the buffer (unflushed bytes are lost); an output that holds no
    // bytes is closed and deleted by its path, any other is closed.
    virtual ~STrackFile();
    STrackFile(const STrackFile&) = delete;
    STrackFile& operator=(const STrackFile&) = delete;

    // A PES packet starts: counts it and keeps the first non-zero PTS.
    virtual void NotePesStart(uint32_t pts, bool priority);
    // Appends one packet's payload; header is the PES header when the packet
    // starts a PES packet. Times are 90 kHz.
    virtual void WritePayload(const uint8_t* data, size_t size, const SPesHeader* header,
                              int64_t referenceTime, int64_t mapOffset);
    virtual void WritePayloadWithPrefix(const uint8_t* data, size_t size, const uint8_t* prefix,
                                        size_t prefixSize);
    virtual void Flush();

    // The PES packet being gathered was damaged at its start; its remaining
    // packets are not part of any record.
    virtual void AbandonPes() { pesOpen = false; }
    // A packet of the track with payload carries the continuity counter cc.
    // False for a duplicate of the packet before, which is left out; a jump
    // (without the discontinuity indicator) is handed to LostPackets.
    bool NoteContinuity(int cc, bool discontinuity);
    // Packets of the track are lost before the current one.
    virtual void LostPackets(const std::string& /*reason*/) {}

    COutputFile* Output() const { return output.get(); }
    // A write to the output failed at some point.
    bool WriteFailed() const { return writeFailed; }

    // The buffer's first size; it then doubles up to capacity as the track
    // fills it.
    static constexpr size_t kFirstAllocation = 65536;

    uint32_t pesCount = 0;
    uint32_t firstPts = 0;
    int64_t packetOffset = 0;  // byte of the clip file where the packet handed over starts
    int64_t appended = 0;      // bytes of the track so far
    AlignedBytes buffer;       // page-aligned: the kernel copies from it fastest
    AlignedBytes spare;        // of capacity bytes: filled while buffer is written behind
    size_t capacity = 0;
    size_t allocated = 0;
    size_t used = 0;
    std::unique_ptr<COutputFile> output;

protected:
    // Appends parts to the buffer, writing the buffer out first when they do
    // not fit.
    void Append(std::initializer_list<std::span<const uint8_t>> parts);
    void WriteOut(const uint8_t* data, size_t size);

    bool pesOpen = false;
    bool writeFailed = false;
    int lastCc_ = -1;
};

// A PES packet of a graphics track that was lost or damaged: its record is
// left out of the track.
struct SPesDamage {
    int64_t offset = 0;  // byte of the clip file where the damage shows
    std::string reason;
    int segmentType = -1;  // of the record left out; -1 when its start is lost
    int objectId = -1;     // of an ODS
    int displaySet = 0;    // display sets complete before it in the track (END segments)
};

// Where the records of a marked-form track came from: per record, where it
// starts in the track and the byte of the clip file where its PES packet
// starts, in track order.
struct SRecordOrigins {
    std::vector<std::pair<int64_t, int64_t>> starts;
    // The byte of the clip file where the PES packet of the record holding
    // byte offset of the track starts (0 before any record).
    int64_t FileOffsetOf(int64_t offset) const;
};

// A track written in the marked form: per PES packet a record of tag, PTS and
// DTS followed by the PES payload.
struct SGsTrackFile : STrackFile {
    static constexpr int64_t kMinFirstTime = 131070;
    static constexpr size_t kRecordHeadSize = 10;

    using STrackFile::STrackFile;

    // Each PES packet is gathered into its record first and appended to the
    // track once complete; a damaged one is left out and noted in damages
    // (a PES packet that ends before its length, a lost packet inside it, a
    // segment longer than its PES packet, payload whose PES start is lost).
    void WritePayload(const uint8_t* data, size_t size, const SPesHeader* header,
                      int64_t referenceTime, int64_t mapOffset) override;
    void AbandonPes() override;
    void LostPackets(const std::string& reason) override;
    // Appends the record still gathered (the clip ended inside it), then
    // writes out.
    void Flush() override;

    // Payload bytes the last PES packet lacks when the clip ends inside it
    // (0 when it is complete or its length is not given).
    int64_t CutPesBytes() const { return pesOpen && pesLeft_ > 0 ? pesLeft_ : 0; }

    std::vector<SPesDamage> damages;
    // Byte of the clip file where the PES packet of the record holding byte
    // offset of the track starts (0 before any record).
    int64_t FileOffsetOf(int64_t offset) const { return origins_.FileOffsetOf(offset); }
    const SRecordOrigins& Origins() const { return origins_; }

    std::string tag;
    bool keepTime = false;     // records carry the clip's own PTS and DTS
    int64_t recordOffset = 0;  // where the last record starts in the track
    int64_t timeShift = 0;
    uint8_t recordHead[kRecordHeadSize] = {};
    bool firstRecord = true;

private:
    uint64_t lastPts_ = 0;
    bool haveLastPts_ = false;
    // Payload bytes the open PES packet still holds; -1 when its length is
    // not given.
    int64_t pesLeft_ = -1;
    std::vector<uint8_t> record_;  // the record being gathered
    int64_t recordStart_ = 0;      // byte of the clip file where its PES packet starts
    std::string lost_;             // packets lost while no PES packet was open
    int endSegments_ = 0;
    SRecordOrigins origins_;  // of each record appended
    void AppendPesBytes(const uint8_t* data, size_t size);
    // The gathered record is complete: appended, or left out when its
    // segment is longer than the record.
    void EndRecord();
    void Damage(const std::string& reason, int64_t offset);
};

struct SIgTrackFile : SGsTrackFile {
    explicit SIgTrackFile(std::unique_ptr<COutputFile> output, size_t capacity = kDefaultCapacity)
        : SGsTrackFile(std::move(output), capacity) {
        tag = "IG";
    }
};

struct STrackInfo {
    uint8_t streamType = 0;
    std::unique_ptr<STrackFile> main;
    // Packets with transport priority 0 go here when it is set.
    std::unique_ptr<STrackFile> second;
};

// The tracks of one demux pass: parallel arrays of PIDs and entries.
class CTrackInfoMap {
public:
    size_t Count() const { return pids.size(); }
    bool Empty() const { return pids.empty(); }
    // The first entry of the PID, or null.
    STrackInfo* Find(int pid) const {
        for (size_t i = 0; i < pids.size(); ++i)
            if (pids[i] == pid) return tracks[i].get();
        return nullptr;
    }

    std::vector<int> pids;
    std::vector<std::unique_ptr<STrackInfo>> tracks;
    int64_t timeOffset = 0;  // 90 kHz, added to every time stamp written
};

// Appends a track; false only when memory runs out.
bool AddTrack(CTrackInfoMap& map, int pid, std::unique_ptr<STrackInfo> info);

class CEsiFolder;
// Adds a marked-form track (records tagged "PG" for presentation graphics,
// else "IG") for every stream of the type in the PMT, in PMT order, written
// into the output open makes for its PID, through a buffer of capacity
// bytes. False, adding no more, when open gives none.
bool AddGraphicsTracks(const CEsiFolder& pmt, uint8_t streamType, CTrackInfoMap& map,
                       const std::function<std::unique_ptr<COutputFile>(int pid)>& open,
                       size_t capacity = STrackFile::kDefaultCapacity);
// Adds a marked-form track written into a new memory file for every IG
// stream of the PMT, in PMT order; outputs receives the memory files.
void AddIgTracks(const CEsiFolder& pmt, CTrackInfoMap& map, std::vector<CMemoryFile*>& outputs);

}  // namespace tessel
