// A read-only file opened for sequential block reads with seeking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/disc_image.h"
#include "platform/large_buffer.h"
#include "platform/result.h"

namespace tessel {

// Storage for large reads, aligned to a memory page: the kernel copies from
// the page cache into such a buffer several times faster than into one a few
// bytes off a page boundary.
constexpr size_t kReadAlignment = 4096;
// size bytes (rounded up to whole pages), uninitialised; null when memory runs out.
AlignedBytes MakeAlignedBytes(size_t size);

// Bytes of a file mapped into memory to be read in place; unmapped when
// destroyed. Empty when the file could not be mapped.
class CFileMapping {
public:
    CFileMapping() = default;
    ~CFileMapping();
    CFileMapping(CFileMapping&& other) noexcept { *this = std::move(other); }
    CFileMapping& operator=(CFileMapping&& other) noexcept;

    bool Empty() const { return size_ == 0; }
    // The file offset of the first byte and the bytes mapped from there.
    int64_t Offset() const { return offset_; }
    size_t Size() const { return size_; }

private:
    friend class CReadFile;
    void* base_ = nullptr;  // the mapping, from a page boundary
    size_t mapped_ = 0;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    int64_t offset_ = 0;
};

class CReadFile {
public:
    CReadFile() = default;
    ~CReadFile();
    CReadFile(const CReadFile&) = delete;
    CReadFile& operator=(const CReadFile&) = delete;

    // Opens the file; a failure names the path, its text is the system's.
    // Files inside a disc image are opened through a disc source
    // (disc_source.h).
    CResult Open(const std::string& path);
    // Opens the file at inner (its path inside the image); Path() gives it
    // below the image file. A failure's text says why, without a path.
    CResult OpenInImage(CDiscImage& image, const std::string& inner);
    // Serves the reads from memory that the caller keeps alive while the
    // file is open (no file system involved); Path() gives name.
    void OpenMemory(std::span<const uint8_t> data, std::string name);
    void Close();
    bool IsOpen() const { return fd_ >= 0 || inMemory_; }

    // Reads up to size bytes, fewer only at the end of the file or on an error
    // (Failed() then tells which). Returns the count read.
    size_t Read(void* buffer, size_t size);
    // Reads up to size bytes at offset (pread for an ordinary file); the
    // position is left after them. Fewer only at the end or on an error.
    size_t ReadAt(int64_t offset, void* buffer, size_t size);
    // Tells the system that reads will jump about: it reads what is asked
    // and nothing ahead of it.
    void AdviseRandom();
    // Asks the system to start reading the bytes at [offset, offset + length)
    // now, so that they are in memory by the time they are read.
    void AdviseWillNeed(int64_t offset, int64_t length);
    // Maps up to size bytes from offset of an ordinary file, or of a file
    // inside a disc image when they lie in one extent; empty otherwise.
    CFileMapping Map(int64_t offset, size_t size) const;
    // The next size bytes (fewer at the end) in place in view, when view
    // holds them and the system brings every page of them into memory; the
    // position and BytesRead() move past them. Empty when they are not
    // there or a page cannot be read: Read() them instead, which tells the
    // error. Saves the copy a Read() makes.
    std::span<const uint8_t> TakeMapped(const CFileMapping& view, size_t size);
    // Bytes read through this object since it was opened.
    int64_t BytesRead() const { return bytesRead_; }
    bool Seek(int64_t position);
    int64_t Position() const { return position_; }
    int64_t Length() const;
    // The absolute path the file was opened by.
    const std::string& Path() const { return path_; }
    // The last read failed with a system error (its errno in Error()).
    bool Failed() const { return error_ != 0; }
    int Error() const { return error_; }

private:
    size_t ReadHere(void* buffer, size_t size);

    int fd_ = -1;
    // A file inside a disc image: its extents in the image file (fd_), its
    // length; -1 for ordinary files.
    std::vector<SImageExtent> extents_;
    int64_t imageLength_ = -1;
    std::vector<uint8_t> imageData_;
    bool inMemory_ = false;
    std::span<const uint8_t> memory_;
    int64_t position_ = 0;
    int64_t bytesRead_ = 0;
    int error_ = 0;
    std::string path_;
};

}  // namespace tessel
