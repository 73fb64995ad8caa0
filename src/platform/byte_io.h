// Bounded big-endian reader and a writer that can also just count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace tessel {

// Reads big-endian fields from a byte span. A read past the end yields zero and
// sets a sticky failure flag; callers check Failed() once after a structure.
class CByteReader {
public:
    CByteReader() = default;
    explicit CByteReader(std::span<const uint8_t> data) : data_(data) {}
    CByteReader(const uint8_t* data, size_t size) : data_(data, size) {}

    bool Failed() const { return failed_; }
    void Fail() { failed_ = true; }
    size_t Pos() const { return pos_; }
    size_t Size() const { return data_.size(); }
    size_t Remaining() const { return pos_ <= data_.size() ? data_.size() - pos_ : 0; }
    bool AtEnd() const { return pos_ >= data_.size(); }
    std::span<const uint8_t> Data() const { return data_; }

    // Moves the cursor to an absolute offset; past the end fails.
    bool Seek(size_t pos) {
        if (failed_) return false;
        if (pos > data_.size()) {
            failed_ = true;
            pos_ = data_.size();
            return false;
        }
        pos_ = pos;
        return true;
    }
    bool Skip(size_t n) { return Need(n) ? (pos_ += n, true) : false; }

    uint8_t U8() { return Need(1) ? data_[pos_++] : 0; }
    uint16_t U16() { return static_cast<uint16_t>(Uint(2)); }
    uint32_t U24() { return static_cast<uint32_t>(Uint(3)); }
    uint32_t U32() { return static_cast<uint32_t>(Uint(4)); }
    uint64_t U64() { return Uint(8); }
    uint64_t Uint(size_t n) {
        if (!Need(n)) return 0;
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v = (v << 8) | data_[pos_++];
        return v;
    }
    // Copies n bytes; on overrun fills with zero and fails.
    bool Bytes(void* out, size_t n) {
        if (!Need(n)) {
            std::memset(out, 0, n);
            return false;
        }
        std::memcpy(out, data_.data() + pos_, n);
        pos_ += n;
        return true;
    }
    std::string Text(size_t n) {
        if (!Need(n)) return {};
        std::string s(reinterpret_cast<const char*>(data_.data() + pos_), n);
        pos_ += n;
        return s;
    }
    // A view of the next n bytes, advancing past them; empty on overrun.
    std::span<const uint8_t> View(size_t n) {
        if (!Need(n)) return {};
        auto v = data_.subspan(pos_, n);
        pos_ += n;
        return v;
    }
    // A reader over [pos, pos + n) of this one; fails this reader on overrun.
    CByteReader Sub(size_t n) {
        auto v = View(n);
        CByteReader r(v);
        if (failed_) r.failed_ = true;
        return r;
    }

private:
    bool Need(size_t n) {
        if (failed_ || n > Remaining()) {
            failed_ = true;
            return false;
        }
        return true;
    }

    std::span<const uint8_t> data_;
    size_t pos_ = 0;
    bool failed_ = false;
};

// Writes big-endian fields into a buffer, or only counts them when the buffer
// is null (the "size first, then write" pattern of every writer).
class CByteWriter {
public:
    explicit CByteWriter(uint8_t* buffer = nullptr) : buf_(buffer) {}

    size_t Pos() const { return pos_; }
    bool Counting() const { return buf_ == nullptr; }
    uint8_t* At(size_t pos) const { return buf_ ? buf_ + pos : nullptr; }

    void U8(uint32_t v) { Uint(v, 1); }
    void U16(uint32_t v) { Uint(v, 2); }
    void U24(uint32_t v) { Uint(v, 3); }
    void U32(uint32_t v) { Uint(v, 4); }
    void U64(uint64_t v) { Uint(v, 8); }
    void Uint(uint64_t v, size_t n) {
        if (buf_)
            for (size_t i = 0; i < n; ++i)
                buf_[pos_ + i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
        pos_ += n;
    }
    void Bytes(const void* data, size_t n) {
        if (buf_ && n) std::memcpy(buf_ + pos_, data, n);
        pos_ += n;
    }
    void Bytes(std::span<const uint8_t> data) { Bytes(data.data(), data.size()); }
    void Zeros(size_t n) {
        if (buf_ && n) std::memset(buf_ + pos_, 0, n);
        pos_ += n;
    }
    // Rewrites an earlier big-endian field (a length known only afterwards).
    void PatchUint(size_t pos, uint64_t v, size_t n) {
        if (buf_)
            for (size_t i = 0; i < n; ++i)
                buf_[pos + i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
    }

private:
    uint8_t* buf_;
    size_t pos_ = 0;
};

}  // namespace tessel
