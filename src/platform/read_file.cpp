#include "platform/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/files.h"

namespace tessel {

CReadFile::~CReadFile() {
    Close();
}

bool CReadFile::Open(const std::string& path, std::string& error) {
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = SystemErrorText(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        error = SystemErrorText(S_ISDIR(st.st_mode) ? EISDIR : errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    position_ = 0;
    error_ = 0;
    std::error_code ec;
    auto abs = std::filesystem::absolute(path, ec);
    path_ = ec ? path : abs.lexically_normal().string();
    return true;
}

void CReadFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    position_ = 0;
}

size_t CReadFile::Read(void* buffer, size_t size) {
    error_ = 0;
    if (fd_ < 0) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd_, out + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            break;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    position_ += static_cast<int64_t>(done);
    return done;
}

bool CReadFile::Seek(int64_t position) {
    if (fd_ < 0 || position < 0) return false;
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) return false;
    position_ = position;
    return true;
}

int64_t CReadFile::Length() const {
    if (fd_ < 0) return -1;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

}  // namespace tessel
