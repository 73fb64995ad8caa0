// Bounded big-endian reader and a writer that can also just count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace tessel {

// Reads big-endian fields from a byte span, and bit fields most significant bit
// first. A read past the end, or a byte read while part of a byte is still
// unread, yields zero and sets a sticky failure flag; callers check Failed()
// once after a structure.
class CByteReader {
public:
    CByteReader() = default;
    explicit CByteReader(std::span<const uint8_t> data) : data_(data) {}
    CByteReader(const uint8_t* data, size_t size) : data_(data, size) {}

    bool Failed() const { return failed_; }
    void Fail() { failed_ = true; }
    // The byte holding the next unread bit.
    size_t Pos() const { return pos_; }
    size_t Size() const { return data_.size(); }
    size_t Remaining() const { return pos_ <= data_.size() ? data_.size() - pos_ : 0; }
    bool AtEnd() const { return pos_ >= data_.size(); }
    bool Aligned() const { return bit_ == 0; }
    std::span<const uint8_t> Data() const { return data_; }

    // Moves the cursor to an absolute byte offset; past the end fails.
    bool Seek(size_t pos) {
        if (failed_) return false;
        bit_ = 0;
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

    // The next n bits (n <= 64), most significant first.
    uint64_t Bits64(unsigned n) {
        if (failed_ || n > 64 || n > BitsLeft()) {
            failed_ = true;
            return 0;
        }
        uint64_t v = 0;
        while (n) {
            const unsigned avail = 8 - bit_;
            const unsigned take = n < avail ? n : avail;
            v = (v << take) | ((data_[pos_] >> (avail - take)) & ((1u << take) - 1));
            n -= take;
            bit_ += take;
            if (bit_ == 8) {
                bit_ = 0;
                ++pos_;
            }
        }
        return v;
    }
    // The next n bits (n <= 32).
    uint32_t Bits(unsigned n) { return n <= 32 ? static_cast<uint32_t>(Bits64(n)) : Bad(); }
    bool Flag() { return Bits64(1) != 0; }
    bool SkipBits(unsigned n) {
        Bits64(n);
        return !failed_;
    }

private:
    bool Need(size_t n) {
        if (failed_ || bit_ != 0 || n > Remaining()) {
            failed_ = true;
            return false;
        }
        return true;
    }
    uint64_t BitsLeft() const { return uint64_t{Remaining()} * 8 - bit_; }
    uint32_t Bad() {
        failed_ = true;
        return 0;
    }

    std::span<const uint8_t> data_;
    size_t pos_ = 0;
    unsigned bit_ = 0;
    bool failed_ = false;
};

// Writes big-endian fields, and bit fields most significant bit first, into a
// buffer of known capacity, or only counts them when the buffer is null (the
// "size first, then write" pattern of every writer). A write past the capacity,
// or a byte write while a byte is partly written, writes nothing and sets a
// sticky failure flag.
class CByteWriter {
public:
    // A buffer the caller sized by counting first (or null to count).
    explicit CByteWriter(uint8_t* buffer = nullptr) : buf_(buffer) {}
    CByteWriter(uint8_t* buffer, size_t capacity) : buf_(buffer), cap_(capacity) {}
    explicit CByteWriter(std::span<uint8_t> out) : buf_(out.data()), cap_(out.size()) {}

    bool Failed() const { return failed_; }
    // Bytes written so far, a partly written byte included.
    size_t Pos() const { return pos_ + (bit_ ? 1 : 0); }
    bool Aligned() const { return bit_ == 0; }
    bool Counting() const { return buf_ == nullptr; }
    uint8_t* At(size_t pos) const { return buf_ ? buf_ + pos : nullptr; }

    void U8(uint32_t v) { Uint(v, 1); }
    void U16(uint32_t v) { Uint(v, 2); }
    void U24(uint32_t v) { Uint(v, 3); }
    void U32(uint32_t v) { Uint(v, 4); }
    void U64(uint64_t v) { Uint(v, 8); }
    void Uint(uint64_t v, size_t n) {
        if (!Room(pos_, n)) return;
        if (buf_) Put(pos_, v, n);
        pos_ += n;
    }
    void Bytes(const void* data, size_t n) {
        if (!Room(pos_, n)) return;
        if (buf_ && n) std::memcpy(buf_ + pos_, data, n);
        pos_ += n;
    }
    void Bytes(std::span<const uint8_t> data) { Bytes(data.data(), data.size()); }
    void Zeros(size_t n) {
        if (!Room(pos_, n)) return;
        if (buf_ && n) std::memset(buf_ + pos_, 0, n);
        pos_ += n;
    }
    // Rewrites an earlier big-endian field (a length known only afterwards).
    void PatchUint(size_t pos, uint64_t v, size_t n) {
        if (failed_ || pos > pos_ || n > pos_ - pos) {
            failed_ = true;
            return;
        }
        if (buf_) Put(pos, v, n);
    }

    // The low n bits of v (n <= 64), most significant first.
    void Bits(uint64_t v, unsigned n) {
        if (failed_ || n > 64) {
            failed_ = true;
            return;
        }
        const size_t bytes = (bit_ + n + 7) / 8;
        if (n && !Fits(pos_, bytes)) return;
        while (n) {
            const unsigned avail = 8 - bit_;
            const unsigned take = n < avail ? n : avail;
            const unsigned part = static_cast<unsigned>(v >> (n - take)) & ((1u << take) - 1);
            if (buf_) {
                if (bit_ == 0) buf_[pos_] = 0;
                buf_[pos_] |= static_cast<uint8_t>(part << (avail - take));
            }
            n -= take;
            bit_ += take;
            if (bit_ == 8) {
                bit_ = 0;
                ++pos_;
            }
        }
    }
    void Flag(bool v) { Bits(v ? 1 : 0, 1); }

private:
    bool Fits(size_t pos, size_t n) {
        if (failed_ || pos > cap_ || n > cap_ - pos) {
            failed_ = true;
            return false;
        }
        return true;
    }
    bool Room(size_t pos, size_t n) {
        if (bit_ != 0) failed_ = true;
        return Fits(pos, n);
    }
    void Put(size_t pos, uint64_t v, size_t n) {
        for (size_t i = 0; i < n; ++i) buf_[pos + i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
    }

    uint8_t* buf_;
    size_t cap_ = SIZE_MAX;
    size_t pos_ = 0;
    unsigned bit_ = 0;
    bool failed_ = false;
};

}  // namespace tessel
