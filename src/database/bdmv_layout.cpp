#include "database/bdmv_layout.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "platform/files.h"
#include "platform/text.h"

namespace tessel {

namespace {

bool BuildClipPath(std::string& folder, int clip, const char* sub, const char* ext,
                   std::string& path, const CDiscSource& disc) {
    NormalizeFolder(folder);
    if (folder.empty() || clip < 0 || clip > kMaxClipNumber) return false;
    path =
        disc.FindNoCase(StrFormat("%s%s%c%05d.%s", folder.c_str(), sub, kPathSeparator, clip, ext));
    return true;
}

// Why a folder has no playlist, in words.
std::string NoPlaylistReason(const std::string& folder, const CDiscSource& disc) {
    std::string playlists = disc.FindNoCase(folder + kPlaylistFolder);
    if (!disc.IsFolder(playlists)) return StrFormat("no %s folder in it", kPlaylistFolder);
    NormalizeFolder(playlists);
    return StrFormat("no nnnnn.mpls file in %s", playlists.c_str());
}

}  // namespace

bool GetClpiPath(std::string& folder, int clip, std::string& path, const CDiscSource& disc) {
    return BuildClipPath(folder, clip, kClipInfoFolder, "clpi", path, disc);
}

bool GetM2tsPath(std::string& folder, int clip, std::string& path, const CDiscSource& disc) {
    return BuildClipPath(folder, clip, kStreamFolder, "m2ts", path, disc);
}

bool GetMplsPattern(std::string& folder, std::string& pattern, const CDiscSource& disc) {
    NormalizeFolder(folder);
    if (folder.empty()) return false;
    std::string playlists = disc.FindNoCase(folder + kPlaylistFolder);
    NormalizeFolder(playlists);
    pattern = playlists + "*.mpls";
    return true;
}

std::string GetDiscName(const std::string& folder) {
    if (folder.empty()) return {};
    long n = static_cast<long>(folder.size());
    if (folder.back() == kPathSeparator) --n;
    n -= 5;  // separator and "BDMV"
    if (n <= 0) return {};
    const std::string kept = folder.substr(0, static_cast<size_t>(n));
    const size_t sep = kept.rfind(kPathSeparator);
    return sep == std::string::npos ? kept : kept.substr(sep + 1);
}

std::string DiscNameOfFolder(const std::string& folder, const CDiscSource& disc) {
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(folder, ec).lexically_normal().string();
    std::string name = GetDiscName(ec ? folder : absolute);
    // The BDMV folder of a disc image: the disc is named after the image.
    std::string path = ec ? folder : absolute;
    while (!path.empty() && path.back() == kPathSeparator) path.pop_back();
    const std::string parent = std::filesystem::path(path).parent_path().string();
    if (disc.IsImageRoot(parent)) name = FileTitle(parent);
    return name;
}

CResult CBDDisc::ReadPlaylists(const std::string& folderIn, std::vector<SDiscFault>* skipped,
                               const CDiscSource& disc) {
    if (!playlists) {
        playlists = std::make_unique<CPofObject>();
        playlists->name = "Mpls(s)";
        playlists->parent = this;
    }
    std::string folder = folderIn;
    std::string pattern;
    std::vector<std::string> paths;
    if (GetMplsPattern(folder, pattern, disc)) {
        for (const auto& e : disc.ListPattern(pattern))
            if (e.title.size() == 5 && AtoI(e.title) >= 0) paths.push_back(e.path);
    }
    if (paths.empty()) {
        // A folder that is not there is said to be missing, not to lack playlists.
        std::string path = folder;
        while (path.size() > 1 && path.back() == kPathSeparator) path.pop_back();
        if (!disc.IsFolder(path))
            return CResult::FailIn(
                path, disc.Exists(path) ? "a file, not a BDMV folder" : "no such folder");
        return CResult::FailIn(folder, StrFormat("has no corresponding mpls file! (%s)",
                                                 NoPlaylistReason(folder, disc).c_str()));
    }
    std::sort(paths.begin(), paths.end(),
              [](const std::string& a, const std::string& b) { return CompareNoCase(a, b) < 0; });
    for (const auto& path : paths) {
        std::vector<uint8_t> data;
        auto mpls = std::make_unique<CMplsObject>();
        const std::string title = FileTitle(path);
        mpls->name = title;
        mpls->path = path;
        const CResult readResult = disc.ReadWhole(path, data);
        const bool read = readResult.Ok();
        std::string error = readResult.Text();
        if (read && mpls->ParseMpls(data) >= 1) {
            mpls->number = AtoI(title);
            playlists->Append(std::move(mpls));
            continue;
        }
        if (read) error = "invalid playlist: " + mpls->fault;
        // The read stops there (a parsed playlist stays as read so far), or
        // goes on without it.
        if (!skipped) {
            if (read) playlists->Append(std::move(mpls));
            return CResult::FailIn(path, error);
        }
        skipped->push_back({path, error});
    }
    if (playlists->GetSize() == 0) return CResult::FailIn(folder, "no playlist could be read");
    return {};
}

}  // namespace tessel
