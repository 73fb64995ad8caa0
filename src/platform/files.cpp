#include "platform/files.h"

#include <fnmatch.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <type_traits>

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

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    auto abs = fs::absolute(path, ec);
    std::string s = ec ? path : abs.lexically_normal().string();
    while (s.size() > 1 && s.back() == kPathSeparator) s.pop_back();
    return s;
}

std::string SystemErrorText(int error) {
    return std::strerror(error);
}

namespace {

// Standard input, read once: "-" may be read again (a probe, then the read).
CResult ReadStandardInput(std::vector<uint8_t>& data) {
    static std::mutex mutex;
    static std::vector<uint8_t> bytes;
    static bool read = false;
    static int readError = 0;
    std::lock_guard lock(mutex);
    if (!read) {
        read = true;
        uint8_t chunk[65536];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0)
            bytes.insert(bytes.end(), chunk, chunk + n);
        if (std::ferror(stdin)) readError = errno ? errno : EIO;
    }
    if (readError) return CResult::Fail(SystemErrorText(readError), -1, kStandardInput);
    data = bytes;
    return {};
}

}  // namespace

namespace {

CResult Failure(const std::string& path, int error) {
    return CResult::Fail(SystemErrorText(error), -1, path);
}

// Either kind of byte vector; standard input is read into a plain vector.
template <class Bytes>
CResult ReadWholeFileInto(const std::string& path, Bytes& data) {
    data.clear();
    if (path == kStandardInput) {
        if constexpr (std::is_same_v<Bytes, std::vector<uint8_t>>) {
            return ReadStandardInput(data);
        } else {
            std::vector<uint8_t> bytes;
            CResult read = ReadStandardInput(bytes);
            data.assign(bytes.begin(), bytes.end());
            return read;
        }
    }
    std::error_code ec;
    if (fs::is_directory(path, ec)) return Failure(path, EISDIR);
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return Failure(path, errno);
    // A regular file is read straight into a buffer of its size; what a
    // growing file or a pipe gives beyond that is appended in pieces.
    struct stat st {};
    if (::fstat(::fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        // The one allocation whose size a file gives: out of memory is the
        // read's failure, told like the system's.
        try {
            data.resize(static_cast<size_t>(st.st_size));  // LargeBytes: not cleared
        } catch (const std::bad_alloc&) {
            std::fclose(f);
            return Failure(path, ENOMEM);
        }
        data.resize(std::fread(data.data(), 1, data.size(), f));
    }
    uint8_t chunk[65536];
    size_t n;
    while (!std::ferror(f) && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        data.insert(data.end(), chunk, chunk + n);
    const bool bad = std::ferror(f) != 0;
    const int err = errno;
    std::fclose(f);
    if (bad) {
        data.clear();
        return Failure(path, err);
    }
    return {};
}

}  // namespace

CResult ReadWholeFile(const std::string& path, std::vector<uint8_t>& data) {
    return ReadWholeFileInto(path, data);
}

CResult ReadWholeFile(const std::string& path, LargeBytes& data) {
    return ReadWholeFileInto(path, data);
}

CResult WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return Failure(path, errno);
    const bool ok = (size == 0 || std::fwrite(data, 1, size, f) == size);
    const int err = errno;
    const bool closed = std::fclose(f) == 0;
    if (!ok || !closed) {
        std::remove(path.c_str());
        return Failure(path, err ? err : EIO);
    }
    return {};
}

bool PathExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(path, ec);
}

std::string FindPathNoCase(const std::string& path) {
    if (path.empty() || PathExists(path)) return path;
    const fs::path given(path);
    fs::path found = given.root_path();
    bool matched = true;
    std::error_code ec;
    for (const fs::path& part : given.relative_path()) {
        const fs::path exact = found / part;
        if (!matched || fs::exists(exact, ec) || part == "." || part == "..") {
            found = exact;
            continue;
        }
        matched = false;
        fs::directory_iterator it(found.empty() ? fs::path(".") : found, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (EqualsNoCase(name, part.string())) {
                found /= name;
                matched = true;
                break;
            }
        }
        if (!matched) found = exact;
    }
    std::string out = found.string();
    // A folder keeps its trailing separator.
    if (!path.empty() && path.back() == kPathSeparator &&
        (out.empty() || out.back() != kPathSeparator))
        out.push_back(kPathSeparator);
    return matched ? out : path;
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

namespace {

// Creates the folder (with its parents when tree); the system's reason when
// it does not exist afterwards.
bool MakeFolderLevels(const std::string& path, bool tree, std::string& reason) {
    if (IsFolder(path)) return true;
    std::error_code ec;
    std::string p = path;
    while (p.size() > 1 && p.back() == kPathSeparator) p.pop_back();
    if (tree)
        fs::create_directories(p, ec);
    else
        fs::create_directory(p, ec);
    if (IsFolder(p)) return true;
    reason = ec ? ec.message() : PathExists(p) ? SystemErrorText(EEXIST) : SystemErrorText(ENOENT);
    return false;
}

CResult MakeFolderResult(const std::string& folder, bool tree) {
    std::string reason;
    if (MakeFolderLevels(folder, tree, reason)) return {};
    return CResult::Fail(StrFormat("Failed to create the folder (%s)", reason.c_str()), -1, folder);
}

}  // namespace

bool CreateFolder(const std::string& path) {
    std::string reason;
    return MakeFolderLevels(path, false, reason);
}

CResult MakeFolder(const std::string& folder) {
    return MakeFolderResult(folder, false);
}

CResult MakeFolderTree(const std::string& folder) {
    return MakeFolderResult(folder, true);
}

bool DeleteFile(const std::string& path) {
    return std::remove(path.c_str()) == 0;
}

int64_t FileLength(const std::string& path) {
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
