#include "platform/disc_source.h"

#include <fnmatch.h>

#include <cerrno>
#include <filesystem>

#include "platform/text.h"

namespace tessel {

namespace {

constexpr const char* kNotUdf =
    "not a readable UDF disc image (no UDF file system found, or it is damaged)";

// The regular file a path lies below, or empty.
std::string FileAbove(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::path p = fs::path(path).parent_path(); !p.empty() && p != p.parent_path();
         p = p.parent_path())
        if (fs::is_regular_file(p, ec)) return p.string();
    return {};
}

}  // namespace

CResultOf<CDiscSource> CDiscSource::OpenDisc(const std::string& input) {
    CDiscSource disc;
    disc.bdmvFolder_ = input;
    if (!tessel::IsFolder(input) && PathExists(input)) {
        // Without its recognition sequence libudfread is not asked (it would
        // print its own complaint).
        if (!HasUdfRecognition(input))
            return CResult::Fail(
                IsDiscImageName(input) ? kNotUdf : "a file, not a BDMV folder or a disc image", -1,
                input);
        CResultOf<std::shared_ptr<CDiscImage>> image = CDiscImage::Open(input);
        if (!image) return image.Result();
        disc.image_ = std::move(*image);
        disc.bdmvFolder_ = JoinPath(input, "BDMV");
        return disc;
    }
    // The disc's root given instead of its BDMV folder.
    if (tessel::IsFolder(input) && !EqualsNoCase(FileName(AbsolutePath(input)), "BDMV")) {
        const std::string candidate = FindPathNoCase(JoinPath(input, "BDMV"));
        if (tessel::IsFolder(candidate)) disc.bdmvFolder_ = candidate;
    }
    return disc;
}

CResultOf<CDiscSource> CDiscSource::OfPath(const std::string& path) {
    const std::string image = FileAbove(path);
    if (!IsDiscImageName(image)) return CDiscSource();
    CResultOf<CDiscSource> disc = OpenDisc(image);
    if (disc) disc->bdmvFolder_.clear();
    return disc;
}

CResultOf<CDiscSource> CDiscSource::ForFile(const std::string& path) const {
    if (image_) return *this;
    return OfPath(path);
}

bool CDiscSource::Inner(const std::string& path, std::string& inner) const {
    if (!image_) return false;
    const std::string& root = image_->Path();
    const std::string abs = AbsolutePath(path);
    if (abs == root) {
        inner.assign(1, '/');
        return true;
    }
    if (abs.size() > root.size() && abs.compare(0, root.size(), root) == 0 &&
        abs[root.size()] == '/') {
        inner = abs.substr(root.size());
        return true;
    }
    return false;
}

bool CDiscSource::IsImageRoot(const std::string& path) const {
    std::string inner;
    return Inner(path, inner) && inner == "/";
}

bool CDiscSource::IsFolder(const std::string& path) const {
    std::string inner;
    if (Inner(path, inner)) return image_->IsFolder(inner);
    return tessel::IsFolder(path);
}

bool CDiscSource::Exists(const std::string& path) const {
    std::string inner;
    if (Inner(path, inner)) return image_->IsFolder(inner) || image_->IsFile(inner);
    return PathExists(path);
}

int64_t CDiscSource::Length(const std::string& path) const {
    std::string inner;
    if (Inner(path, inner)) return image_->FileSize(inner);
    return FileLength(path);
}

std::string CDiscSource::FindNoCase(const std::string& path) const {
    std::string inner;
    if (Inner(path, inner)) return path;
    return FindPathNoCase(path);
}

std::vector<SFolderEntry> CDiscSource::List(const std::string& folder,
                                            const std::string& pattern) const {
    std::string inner;
    if (!Inner(folder, inner)) return ListFolder(folder, pattern);
    std::vector<SFolderEntry> out;
    for (const std::string& name : image_->ListFiles(inner))
        if (fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
            out.push_back({JoinPath(folder, name), FileTitle(name), name});
    return out;
}

std::vector<SFolderEntry> CDiscSource::ListPattern(const std::string& pathPattern) const {
    const auto slash = pathPattern.rfind(kPathSeparator);
    if (slash == std::string::npos) return List(".", pathPattern);
    return List(pathPattern.substr(0, slash + 1), pathPattern.substr(slash + 1));
}

CResult CDiscSource::ReadWhole(const std::string& path, std::vector<uint8_t>& data) const {
    std::string inner;
    if (Inner(path, inner)) return image_->ReadFile(inner, data).In(path);
    return ReadWholeFile(path, data);
}

CResult CDiscSource::Open(CReadFile& file, const std::string& path) const {
    if (!image_ && IsDiscImageName(FileAbove(path))) {
        const CResultOf<CDiscSource> own = OfPath(path);
        if (!own) return CResult::Fail(own.Result().Message(), -1, path);
        return own->Open(file, path);
    }
    std::string inner;
    if (Inner(path, inner)) return file.OpenInImage(*image_, inner).In(path);
    return file.Open(path);
}

}  // namespace tessel
