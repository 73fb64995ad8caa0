// Graphics stream segments: the common header, the segment family, byte
// sources and sinks, and the record framing of stand-alone stream files.
//
// Marked form: every segment is preceded by a 10-byte record head ("PG" or
// "IG", PTS, DTS; big-endian). Bare form: the segments alone.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/byte_io.h"

namespace tessel {

enum : uint8_t {
    kSegmentPds = 0x14,
    kSegmentOds = 0x15,
    kSegmentPcs = 0x16,
    kSegmentWds = 0x17,
    kSegmentIcs = 0x18,
    kSegmentEnd = 0x80,
};

// Largest payload a segment header can declare.
constexpr int kMaxSegmentPayload = 65535;
constexpr int kSegmentHeaderSize = 3;
constexpr int kRecordHeadSize = 10;
constexpr int kIndexRecordSize = 14;

// Short name of a segment type ("PDS", "ODS", ...), "?" for unknown codes.
const char* SegmentTypeName(uint8_t type);
// "hh:mm:ss:mmm" of a 90 kHz time stamp.
std::string TimeText(uint32_t ticks);

// Root of the segment family. A plain CSegmentBase object is not created:
// the END segment is a CEs, which has the same layout.
class CSegmentBase {
public:
    explicit CSegmentBase(uint8_t type) : segmentType(type) {}
    virtual ~CSegmentBase() = default;

    // Releases the payload content; header fields stay.
    virtual void Clear() {}
    // Reads the payload (exactly segment_length bytes); returns bytes consumed.
    virtual int Parse(std::span<const uint8_t> payload) {
        (void)payload;
        return 0;
    }
    // Writes header and payload; with a null buffer only returns the size.
    // Recomputes segmentLength as total - 3 either way.
    virtual int Write(uint8_t* out);
    // Appends the text dump of the segment to out.
    virtual void Dump(std::string& out, const std::string& indent) const;
    // Copies type, length, DTS and PTS.
    void CopyHeader(const CSegmentBase& other);

    uint8_t segmentType;
    uint16_t segmentLength = 0;
    uint32_t dts = 0;
    uint32_t pts = 0;
    int64_t sourcePosition = 0;

protected:
    // Concrete segments copy as values; the base alone does not (no slicing).
    CSegmentBase(const CSegmentBase&) = default;
    CSegmentBase& operator=(const CSegmentBase&) = default;

    // The payload after the header; the base has none.
    virtual void WritePayload(CByteWriter& w) { (void)w; }
};

// End of display set.
class CEs : public CSegmentBase {
public:
    CEs() : CSegmentBase(kSegmentEnd) {}
};

// Owning, ordered list of segments of one kind within a display set.
template <class T>
class CSegmentArray {
public:
    int GetSize() const { return static_cast<int>(items.size()); }
    bool IsEmpty() const { return items.empty(); }
    T* GetAt(int i) const {
        return i >= 0 && i < GetSize() ? items[static_cast<size_t>(i)].get() : nullptr;
    }
    T* Append(std::unique_ptr<T> s) {
        items.push_back(std::move(s));
        return items.back().get();
    }
    // Takes a segment out of the list and destroys it; false when absent.
    bool Remove(const CSegmentBase* s) {
        for (auto it = items.begin(); it != items.end(); ++it)
            if (it->get() == s) {
                items.erase(it);
                return true;
            }
        return false;
    }
    void RemoveAll() { items.clear(); }
    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }

    std::vector<std::unique_ptr<T>> items;
};

// Seekable byte source.
class IByteSource {
public:
    virtual ~IByteSource() = default;
    // Reads up to n bytes; returns the count actually read.
    virtual size_t Read(void* out, size_t n) = 0;
    // Up to n bytes in place, valid while the source's memory is; moves past them.
    virtual std::span<const uint8_t> Take(size_t n) = 0;
    virtual int64_t Position() const = 0;
    virtual bool Seek(int64_t pos) = 0;
};

// A byte source over memory the caller keeps alive. Positions count from
// base: the memory may be a window of a longer stream, which Reset moves on.
class CMemorySource : public IByteSource {
public:
    explicit CMemorySource(std::span<const uint8_t> data, int64_t base = 0)
        : data_(data), base_(base) {}
    size_t Read(void* out, size_t n) override;
    std::span<const uint8_t> Take(size_t n) override;
    int64_t Position() const override { return base_ + static_cast<int64_t>(pos_); }
    bool Seek(int64_t pos) override;
    size_t Size() const { return data_.size(); }
    // Reads data next, its first byte at position base.
    void Reset(std::span<const uint8_t> data, int64_t base) {
        data_ = data;
        base_ = base;
        pos_ = 0;
    }

private:
    std::span<const uint8_t> data_;
    int64_t base_ = 0;
    size_t pos_ = 0;
};

// Byte sink.
class IByteSink {
public:
    virtual ~IByteSink() = default;
    virtual void Write(const void* data, size_t n) = 0;
    virtual int64_t Position() const = 0;
};

// A growable memory file.
class CMemorySink : public IByteSink {
public:
    void Write(const void* data, size_t n) override;
    int64_t Position() const override { return static_cast<int64_t>(data.size()); }

    std::vector<uint8_t> data;
};

// Writes one segment: in marked form ("PG" or "IG" as marker) the record head
// first; bare form when marker is null. Appends the 14-byte index record to
// index when given. Returns false (and writes nothing) for a segment that has
// no serialised form or would need a length above 65535.
bool WriteRecord(const char* marker, CSegmentBase& segment, IByteSink& sink,
                 IByteSink* index = nullptr);
// The 14-byte ".mui" index record of a segment of the given written size.
void MakeIndexRecord(const CSegmentBase& segment, int size, uint8_t out[kIndexRecordSize]);

}  // namespace tessel
