#include "platform/files.h"

#include <fnmatch.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/disc_image.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace tessel {

void NormalizeFolder(std::string& folder) {
    if (!folder.empty() && folder.back() != kPathSeparator) folder.push_back(kPathSeparator);
}

std::string JoinPath(std::string folder, const std::string& name) {
    NormalizeFolder(folder);
    return folder + name;
}

std::string SystemErrorText(int error) {
    return std::strerror(error);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data, std::string& error) {
    data.clear();
    std::string inner;
    if (auto image = FindDiscImage(path, inner)) {
        if (image->IsFolder(inner)) {
            error = SystemErrorText(EISDIR);
            return false;
        }
        if (!image->ReadFile(inner, data)) {
            error = SystemErrorText(image->IsFile(inner) ? EIO : ENOENT);
            return false;
        }
        return true;
    }
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        error = SystemErrorText(EISDIR);
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = SystemErrorText(errno);
        return false;
    }
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        data.insert(data.end(), chunk, chunk + n);
    const bool bad = std::ferror(f) != 0;
    const int err = errno;
    std::fclose(f);
    if (bad) {
        error = SystemErrorText(err);
        data.clear();
        return false;
    }
    return true;
}

bool WriteWholeFile(const std::string& path, const uint8_t* data, size_t size, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = SystemErrorText(errno);
        return false;
    }
    const bool ok = (size == 0 || std::fwrite(data, 1, size, f) == size);
    const int err = errno;
    const bool closed = std::fclose(f) == 0;
    if (!ok || !closed) {
        error = SystemErrorText(err ? err : EIO);
        std::remove(path.c_str());
        return false;
    }
    return true;
}

bool PathExists(const std::string& path) {
    std::string inner;
    if (auto image = FindDiscImage(path, inner))
        return image->IsFolder(inner) || image->IsFile(inner);
    std::error_code ec;
    return !path.empty() && fs::exists(path, ec);
}

bool IsFolder(const std::string& path) {
    std::string inner;
    if (auto image = FindDiscImage(path, inner)) return image->IsFolder(inner);
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

bool CreateFolder(const std::string& path) {
    std::error_code ec;
    std::string p = path;
    while (p.size() > 1 && p.back() == kPathSeparator) p.pop_back();
    fs::create_directory(p, ec);
    return IsFolder(p);
}

bool MakeFolderOrReport(const std::string& folder) {
    if (IsFolder(folder) || CreateFolder(folder)) return true;
    ShowMessage(StrFormat("Failed to create the folder:\r\n%s", folder.c_str()));
    return false;
}

bool MakeFolderTreeOrReport(const std::string& folder) {
    std::error_code ec;
    if (IsFolder(folder) || (fs::create_directories(folder, ec), IsFolder(folder))) return true;
    ShowMessage(StrFormat("Failed to create the folder:\r\n%s", folder.c_str()));
    return false;
}

bool DeleteFile(const std::string& path) {
    return std::remove(path.c_str()) == 0;
}

int64_t FileLength(const std::string& path) {
    std::string inner;
    if (auto image = FindDiscImage(path, inner)) return image->FileSize(inner);
    std::error_code ec;
    auto n = fs::file_size(path, ec);
    return ec ? -1 : static_cast<int64_t>(n);
}

std::string FileName(const std::string& path) {
    return fs::path(path).filename().string();
}

std::string FileTitle(const std::string& path) {
    return fs::path(path).stem().string();
}

std::string FileExtension(const std::string& path) {
    std::string e = fs::path(path).extension().string();
    return e.empty() ? e : e.substr(1);
}

std::vector<SFolderEntry> ListFolder(const std::string& folder, const std::string& pattern) {
    std::vector<SFolderEntry> out;
    std::string inner;
    if (auto image = FindDiscImage(folder, inner)) {
        for (const std::string& name : image->ListFiles(inner))
            if (fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
                out.push_back({JoinPath(folder, name), fs::path(name).stem().string(), name});
        return out;
    }
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? "." : folder, ec), end;
    if (ec) return out;
    for (; it != end; it.increment(ec)) {
        if (ec) break;
        std::error_code ec2;
        if (!it->is_regular_file(ec2)) continue;
        const std::string name = it->path().filename().string();
        if (fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
        out.push_back({JoinPath(folder, name), it->path().stem().string(), name});
    }
    return out;
}

std::vector<SFolderEntry> ListPattern(const std::string& pathPattern) {
    const auto slash = pathPattern.rfind(kPathSeparator);
    if (slash == std::string::npos) return ListFolder(".", pathPattern);
    return ListFolder(pathPattern.substr(0, slash + 1), pathPattern.substr(slash + 1));
}

}  // namespace tessel
