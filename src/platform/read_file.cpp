#include "platform/read_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/disc_image.h"
#include "platform/files.h"

namespace tessel {

namespace {

// One read at the file position (at < 0) or at an offset, retried when a
// signal interrupts it.
ssize_t ReadOnce(int fd, void* out, size_t size, int64_t at) {
    for (;;) {
        const ssize_t n =
            at < 0 ? ::read(fd, out, size) : ::pread(fd, out, size, static_cast<off_t>(at));
        if (n >= 0 || errno != EINTR) return n;
    }
}

}  // namespace

AlignedBytes MakeAlignedBytes(size_t size) {
    const size_t rounded =
        (std::max<size_t>(size, 1) + kReadAlignment - 1) / kReadAlignment * kReadAlignment;
    return AlignedBytes(static_cast<uint8_t*>(std::aligned_alloc(kReadAlignment, rounded)));
}

CFileMapping::~CFileMapping() {
    if (base_) ::munmap(base_, mapped_);
}

CFileMapping& CFileMapping::operator=(CFileMapping&& other) noexcept {
    if (this == &other) return *this;
    if (base_) ::munmap(base_, mapped_);
    base_ = std::exchange(other.base_, nullptr);
    mapped_ = std::exchange(other.mapped_, 0);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    offset_ = other.offset_;
    return *this;
}

CFileMapping CReadFile::Map(int64_t offset, size_t size) const {
    CFileMapping view;
    if (fd_ < 0 || inMemory_ || offset < 0) return view;
    int64_t at = offset;  // in the file mapped (the image file for a file inside an image)
    const int64_t left = Length() - offset;
    if (left <= 0 || size == 0) return view;
    if (imageLength_ >= 0) {
        auto e =
            std::upper_bound(extents_.begin(), extents_.end(), offset,
                             [](int64_t p, const SImageExtent& x) { return p < x.fileOffset; });
        if (e == extents_.begin()) return view;
        --e;
        at = e->imageOffset + (offset - e->fileOffset);
        // A run into the next extent is read, not mapped.
        if (e->fileOffset + e->length - offset <
            std::min<int64_t>(static_cast<int64_t>(size), left))
            return view;
    }
    size = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), left));
    const int64_t from = at - at % static_cast<int64_t>(kReadAlignment);
    const size_t lead = static_cast<size_t>(at - from);
    void* base = ::mmap(nullptr, lead + size, PROT_READ, MAP_SHARED, fd_, static_cast<off_t>(from));
    if (base == MAP_FAILED) return view;
    view.base_ = base;
    view.mapped_ = lead + size;
    view.data_ = static_cast<const uint8_t*>(base) + lead;
    view.size_ = size;
    view.offset_ = offset;
    return view;
}

std::span<const uint8_t> CReadFile::TakeMapped(const CFileMapping& view, size_t size) {
    const int64_t within = position_ - view.offset_;
    if (view.Empty() || within < 0 || within >= static_cast<int64_t>(view.size_)) return {};
    size = std::min(size, view.size_ - static_cast<size_t>(within));
    const uint8_t* data = view.data_ + within;
    // Faults every page in now: a page that cannot be read fails here
    // instead of raising SIGBUS when it is touched.
    const auto page = reinterpret_cast<uintptr_t>(data) & ~(uintptr_t{kReadAlignment} - 1);
    const size_t span = reinterpret_cast<uintptr_t>(data) + size - page;
    if (::madvise(reinterpret_cast<void*>(page), span, MADV_POPULATE_READ) != 0) return {};
    if (imageLength_ < 0 && ::lseek(fd_, static_cast<off_t>(position_ + size), SEEK_SET) < 0)
        return {};
    error_ = 0;
    position_ += static_cast<int64_t>(size);
    bytesRead_ += static_cast<int64_t>(size);
    return {data, size};
}

CReadFile::~CReadFile() {
    Close();
}

CResult CReadFile::Open(const std::string& path) {
    Close();
    if (path == kStandardInput) {
        // Standard input cannot seek: it is read whole, then from memory.
        if (CResult read = ReadWholeFile(path, imageData_); !read) return read;
        OpenMemory(imageData_, path);
        return {};
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return CResult::Fail(SystemErrorText(errno), -1, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int code = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        return CResult::Fail(SystemErrorText(code), -1, path);
    }
    fd_ = fd;
    position_ = 0;
    bytesRead_ = 0;
    error_ = 0;
    std::error_code ec;
    auto abs = std::filesystem::absolute(path, ec);
    path_ = ec ? path : abs.lexically_normal().string();
    return {};
}

void CReadFile::OpenMemory(std::span<const uint8_t> data, std::string name) {
    Close();
    inMemory_ = true;
    memory_ = data;
    error_ = 0;
    path_ = std::move(name);
}

CResult CReadFile::OpenInImage(CDiscImage& image, const std::string& inner) {
    Close();
    int64_t size = 0;
    std::vector<SImageExtent> extents;
    if (!image.FileExtents(inner, size, extents)) {
        // Files without blocks of their own (data held in the file entry)
        // are small: read them whole.
        if (CResult read = image.ReadFile(inner, imageData_); !read) return read;
        OpenMemory(imageData_, image.Path() + inner);
        return {};
    }
    const int fd = ::open(image.Path().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return CResult::Fail(SystemErrorText(errno));
    fd_ = fd;
    extents_ = std::move(extents);
    imageLength_ = size;
    position_ = 0;
    bytesRead_ = 0;
    error_ = 0;
    path_ = image.Path() + inner;
    return {};
}

void CReadFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    extents_.clear();
    imageLength_ = -1;
    inMemory_ = false;
    memory_ = {};
    position_ = 0;
    bytesRead_ = 0;
}

void CReadFile::AdviseRandom() {
    if (fd_ >= 0) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_RANDOM);
}

void CReadFile::AdviseWillNeed(int64_t offset, int64_t length) {
    if (fd_ < 0 || length <= 0) return;
    if (imageLength_ < 0) {
        ::posix_fadvise(fd_, static_cast<off_t>(offset), static_cast<off_t>(length),
                        POSIX_FADV_WILLNEED);
        return;
    }
    for (const SImageExtent& e : extents_) {
        const int64_t from = std::max(offset, e.fileOffset);
        const int64_t to = std::min(offset + length, e.fileOffset + e.length);
        if (from < to)
            ::posix_fadvise(fd_, static_cast<off_t>(e.imageOffset + from - e.fileOffset),
                            static_cast<off_t>(to - from), POSIX_FADV_WILLNEED);
    }
}

size_t CReadFile::ReadAt(int64_t offset, void* buffer, size_t size) {
    if (inMemory_ || imageLength_ >= 0 || fd_ < 0) return Seek(offset) ? Read(buffer, size) : 0;
    error_ = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ReadOnce(fd_, out + done, size - done, offset + static_cast<int64_t>(done));
        if (n < 0) error_ = errno;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    bytesRead_ += static_cast<int64_t>(done);
    position_ = offset + static_cast<int64_t>(done);
    ::lseek(fd_, static_cast<off_t>(position_), SEEK_SET);
    return done;
}

size_t CReadFile::Read(void* buffer, size_t size) {
    const size_t n = ReadHere(buffer, size);
    bytesRead_ += static_cast<int64_t>(n);
    return n;
}

size_t CReadFile::ReadHere(void* buffer, size_t size) {
    error_ = 0;
    if (inMemory_) {
        const size_t at = static_cast<size_t>(position_);
        const size_t n = at < memory_.size() ? std::min(size, memory_.size() - at) : 0;
        if (n) std::memcpy(buffer, memory_.data() + at, n);
        position_ += static_cast<int64_t>(n);
        return n;
    }
    if (fd_ < 0) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    if (imageLength_ >= 0) {
        // Inside a disc image: from each extent's place in the image file.
        while (done < size && position_ < imageLength_) {
            auto e =
                std::upper_bound(extents_.begin(), extents_.end(), position_,
                                 [](int64_t p, const SImageExtent& x) { return p < x.fileOffset; });
            if (e == extents_.begin()) break;
            --e;
            const int64_t within = position_ - e->fileOffset;
            if (within >= e->length) break;
            const size_t want = static_cast<size_t>(
                std::min<int64_t>(static_cast<int64_t>(size - done), e->length - within));
            const ssize_t n = ReadOnce(fd_, out + done, want, e->imageOffset + within);
            if (n < 0) error_ = errno;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
            position_ += n;
        }
        return done;
    }
    while (done < size) {
        const ssize_t n = ReadOnce(fd_, out + done, size - done, -1);
        if (n < 0) error_ = errno;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    position_ += static_cast<int64_t>(done);
    return done;
}

bool CReadFile::Seek(int64_t position) {
    if (inMemory_ && position >= 0) {
        position_ = position;
        return true;
    }
    if (fd_ < 0 || position < 0) return false;
    if (imageLength_ >= 0) {
        position_ = position;
        return true;
    }
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) return false;
    position_ = position;
    return true;
}

int64_t CReadFile::Length() const {
    if (inMemory_) return static_cast<int64_t>(memory_.size());
    if (fd_ < 0) return -1;
    if (imageLength_ >= 0) return imageLength_;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

}  // namespace tessel
