#include "platform/disc_image.h"

#include <udfread/udfread.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>

#include "platform/files.h"
#include "platform/text.h"

namespace tessel {

namespace {

constexpr int64_t kBlock = UDF_BLOCK_SIZE;

std::string Inner(const std::string& inner) {
    if (inner.empty() || inner[0] != '/') return "/" + inner;
    return inner;
}

// libudfread prints its errors on stderr. While one lives, what is written
// there goes to a temporary file instead, to become a message's reason.
// stderr is the process's: other threads' lines meanwhile are caught too.
class CCaughtStderr {
public:
    CCaughtStderr() {
        std::fflush(stderr);
        file_ = std::tmpfile();
        saved_ = file_ ? ::dup(STDERR_FILENO) : -1;
        if (saved_ >= 0 && ::dup2(::fileno(file_), STDERR_FILENO) < 0) {
            ::close(saved_);
            saved_ = -1;
        }
    }
    ~CCaughtStderr() {
        Release();
        if (file_) std::fclose(file_);
    }
    CCaughtStderr(const CCaughtStderr&) = delete;
    CCaughtStderr& operator=(const CCaughtStderr&) = delete;

    // Restores stderr; the lines caught, without the library's prefixes,
    // joined by "; ".
    std::string Release() {
        std::string text;
        if (saved_ < 0) return text;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
        std::rewind(file_);
        char line[512];
        while (std::fgets(line, sizeof line, file_)) {
            std::string l = line;
            while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
            for (const char* prefix : {"udfread ERROR: ", "udfread: "})
                if (l.rfind(prefix, 0) == 0) l.erase(0, std::char_traits<char>::length(prefix));
            if (!l.empty()) text += (text.empty() ? "" : "; ") + l;
        }
        return text;
    }

private:
    std::FILE* file_ = nullptr;
    int saved_ = -1;
};

}  // namespace

CDiscImage::~CDiscImage() {
    if (udf_) udfread_close(udf_);
}

CResultOf<std::shared_ptr<CDiscImage>> CDiscImage::Open(const std::string& path) {
    std::shared_ptr<CDiscImage> image(new CDiscImage());
    image->path_ = AbsolutePath(path);
    image->imageSize_ = FileLength(path);
    if (image->imageSize_ < 0 || tessel::IsFolder(path))
        return CResult::Fail(SystemErrorText(tessel::IsFolder(path) ? EISDIR : ENOENT), -1, path);
    image->udf_ = udfread_init();
    CCaughtStderr caught;
    const bool opened = image->udf_ && udfread_open(image->udf_, path.c_str()) >= 0;
    const std::string said = caught.Release();
    if (!opened)
        return CResult::Fail(
            "not a readable UDF disc image (no UDF file system found, or it is damaged" +
                (said.empty() ? "" : ": " + said) + ")",
            -1, path);
    if (const char* id = udfread_get_volume_id(image->udf_)) image->volumeId_ = id;
    return image;
}

bool CDiscImage::IsFolder(const std::string& inner) {
    std::lock_guard lock(mutex_);
    UDFDIR* dir = udfread_opendir(udf_, Inner(inner).c_str());
    if (!dir) return false;
    udfread_closedir(dir);
    return true;
}

bool CDiscImage::IsFile(const std::string& inner) {
    return FileSize(inner) >= 0;
}

int64_t CDiscImage::FileSize(const std::string& inner) {
    std::lock_guard lock(mutex_);
    UDFFILE* f = udfread_file_open(udf_, Inner(inner).c_str());
    if (!f) return -1;
    const int64_t size = udfread_file_size(f);
    udfread_file_close(f);
    return size;
}

std::vector<std::string> CDiscImage::ListFiles(const std::string& inner) {
    std::vector<std::string> names;
    std::lock_guard lock(mutex_);
    UDFDIR* dir = udfread_opendir(udf_, Inner(inner).c_str());
    if (!dir) return names;
    udfread_dirent entry;
    while (udfread_readdir(dir, &entry))
        if (entry.d_type == UDF_DT_REG && entry.d_name) names.emplace_back(entry.d_name);
    udfread_closedir(dir);
    return names;
}

bool CDiscImage::FileExtents(const std::string& inner, int64_t& size,
                             std::vector<SImageExtent>& extents) {
    extents.clear();
    std::lock_guard lock(mutex_);
    UDFFILE* f = udfread_file_open(udf_, Inner(inner).c_str());
    if (!f) return false;
    size = udfread_file_size(f);
    bool ok = size >= 0;
    const int64_t blocks = (size + kBlock - 1) / kBlock;
    for (int64_t b = 0; ok && b < blocks; ++b) {
        const uint32_t lba = udfread_file_lba(f, static_cast<uint32_t>(b));
        // Zero: no block (data held in the file entry, or a sparse block).
        if (lba == 0 || (int64_t{lba} + 1) * kBlock > imageSize_) {
            ok = false;
            break;
        }
        const int64_t at = int64_t{lba} * kBlock;
        const int64_t length = std::min(kBlock, size - b * kBlock);
        if (!extents.empty() && extents.back().imageOffset + extents.back().length == at &&
            extents.back().length % kBlock == 0)
            extents.back().length += length;
        else
            extents.push_back({b * kBlock, at, length});
    }
    udfread_file_close(f);
    if (!ok) extents.clear();
    return ok;
}

CResult CDiscImage::ReadFile(const std::string& inner, std::vector<uint8_t>& data) {
    data.clear();
    if (ReadWhole(inner, data)) return {};
    data.clear();
    return CResult::Fail(ReadFailure(inner));
}

bool CDiscImage::ReadWhole(const std::string& inner, std::vector<uint8_t>& data) {
    std::lock_guard lock(mutex_);
    UDFFILE* f = udfread_file_open(udf_, Inner(inner).c_str());
    if (!f) return false;
    const int64_t size = udfread_file_size(f);
    bool ok = size >= 0 && size <= imageSize_;
    if (ok) {
        data.resize(static_cast<size_t>(size));
        size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = udfread_file_read(f, data.data() + done, data.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ok = done == data.size();
    }
    udfread_file_close(f);
    return ok;
}

std::string CDiscImage::ReadFailure(const std::string& inner) {
    if (IsFolder(inner)) return SystemErrorText(EISDIR);
    std::lock_guard lock(mutex_);
    UDFFILE* f = udfread_file_open(udf_, Inner(inner).c_str());
    if (!f) return SystemErrorText(ENOENT);
    const int64_t size = udfread_file_size(f);
    // A file larger than the image needs at least its size; the blocks of
    // one that fits are few enough to look up.
    const bool fits = size <= imageSize_;
    int64_t needs = fits ? 0 : size;
    for (int64_t b = 0; fits && size > 0 && b < (size + kBlock - 1) / kBlock; ++b) {
        const uint32_t lba = udfread_file_lba(f, static_cast<uint32_t>(b));
        if (lba)
            needs = std::max(needs, int64_t{lba} * kBlock + std::min(kBlock, size - b * kBlock));
    }
    udfread_file_close(f);
    if (needs > imageSize_)
        return StrFormat("the image ends at byte %lld; %s needs %lld (the image is cut short)",
                         static_cast<long long>(imageSize_), FileName(inner).c_str(),
                         static_cast<long long>(needs));
    return SystemErrorText(EIO);
}

bool IsDiscImageName(const std::string& path) {
    const std::string e = ToLower(FileExtension(path));
    return e == "iso" || e == "img" || e == "udf";
}

bool HasUdfRecognition(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    constexpr int kSector = 2048;
    for (int sector = 16; sector < 32 && in; ++sector) {
        char head[6] = {};
        in.seekg(int64_t{sector} * kSector);
        if (!in.read(head, sizeof head)) return false;
        const std::string id(head + 1, 5);
        if (id == "NSR02" || id == "NSR03") return true;
        if (id != "BEA01" && id != "CD001" && id != "BOOT2" && id != "CDW02" && id != "TEA01")
            return false;
    }
    return false;
}

}  // namespace tessel
