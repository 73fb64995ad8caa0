// Little-endian object archive with length-prefixed strings.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/result.h"

namespace tessel {

// A load that runs past the end or meets a bad value fails: the archive keeps
// the first failure and the byte position where it was met, and from then on
// every read gives zero or empty and does not advance.
class CArchive {
public:
    // A storing archive that appends to an internal buffer.
    CArchive() : storing_(true) {}
    // A loading archive over the given bytes.
    explicit CArchive(std::span<const uint8_t> data) : storing_(false), in_(data) {}

    bool IsStoring() const { return storing_; }
    bool IsLoading() const { return !storing_; }
    const std::vector<uint8_t>& Buffer() const { return out_; }
    size_t Pos() const { return pos_; }
    bool AtEnd() const { return pos_ >= in_.size(); }
    size_t Remaining() const { return pos_ < in_.size() ? in_.size() - pos_ : 0; }
    // Loading: fails unless count items of at least bytesEach archive bytes
    // each fit in what is left, so that a damaged count never makes the
    // reader allocate for items the archive cannot hold. False once failed.
    bool CheckCount(uint64_t count, size_t bytesEach, const char* what);

    // Keeps the first failure and its byte position; later ones are dropped.
    void Fail(std::string text);
    bool Failed() const { return failed_; }
    // Ok, or the first failure with its byte offset.
    CResult Result() const;

    void WriteInt(uint64_t v, size_t n);
    uint64_t ReadInt(size_t n);
    void WriteBytes(const void* data, size_t n);
    void ReadBytes(void* out, size_t n);
    // Length: one byte below 255, else 0xFF + 16 bits below 0xFFFE, else 0xFF 0xFFFF + 32 bits.
    void WriteString(const std::string& s);
    std::string ReadString();

    // Reads or writes a value in place, by direction.
    template <class T>
    void Io(T& v) {
        static_assert(std::is_integral_v<T> || std::is_enum_v<T>);
        if (storing_)
            WriteInt(static_cast<uint64_t>(v), sizeof(T));
        else
            v = static_cast<T>(ReadInt(sizeof(T)));
    }
    void Io(bool& v) {
        uint8_t b = v ? 1 : 0;
        Io(b);
        v = b != 0;
    }
    void Io(std::string& s) {
        if (storing_)
            WriteString(s);
        else
            s = ReadString();
    }
    void IoBytes(std::vector<uint8_t>& bytes);

    // Folder of the archive file, with its separator; file paths inside are
    // stored relative to it when they lie below it.
    std::string folder;

private:
    bool storing_;
    std::vector<uint8_t> out_;
    std::span<const uint8_t> in_;
    size_t pos_ = 0;
    bool failed_ = false;
    size_t failPos_ = 0;
    std::string failText_;
};

// Loads from archive bytes: read reads the nodes from a loading archive over
// data (its folder set). A damaged archive gives a failure with the reason and
// the byte offset where it was found.
CResult LoadArchive(std::span<const uint8_t> data, const std::function<void(CArchive&)>& read,
                    const std::string& folder = {});

}  // namespace tessel
