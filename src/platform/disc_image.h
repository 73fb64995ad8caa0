// UDF disc images (ISO files) read through libudfread and seen as folders:
// once an image is mounted, a path below the image file ("/discs/film.iso/
// BDMV/PLAYLIST/00000.mpls") names the file inside it, and the file
// functions (files.h, read_file.h) serve it. Reads of a file inside an image
// go straight to the image file's bytes where the file lies (its extents),
// so nothing is copied out of the image.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct udfread;

namespace tessel {

// Where the bytes of a file inside an image lie in the image file.
struct SImageExtent {
    int64_t fileOffset = 0;
    int64_t imageOffset = 0;
    int64_t length = 0;
};

class CDiscImage {
public:
    ~CDiscImage();
    CDiscImage(const CDiscImage&) = delete;
    CDiscImage& operator=(const CDiscImage&) = delete;

    // Opens a UDF image; null with a reason that names the image otherwise.
    static std::shared_ptr<CDiscImage> Open(const std::string& path, std::string& error);
    // Opens the image held in memory (name is what errors call it); its
    // extents are offsets in the bytes. Not mounted.
    static std::shared_ptr<CDiscImage> OpenMemory(std::vector<uint8_t> bytes,
                                                  const std::string& name, std::string& error);

    // The image file's absolute path, and the volume identifier.
    const std::string& Path() const { return path_; }
    const std::string& VolumeId() const { return volumeId_; }

    // Paths inside the image start at its root ("/BDMV/index.bdmv").
    bool IsFolder(const std::string& inner);
    bool IsFile(const std::string& inner);
    int64_t FileSize(const std::string& inner);
    // Regular files of a folder, by name.
    std::vector<std::string> ListFiles(const std::string& inner);
    // The file's size and extents; false when it is not a file of the image
    // or its blocks lie outside the image.
    bool FileExtents(const std::string& inner, int64_t& size, std::vector<SImageExtent>& extents);
    // Reads the whole file.
    bool ReadFile(const std::string& inner, std::vector<uint8_t>& data);
    // Why a file of the image cannot be read: a folder, missing, or cut off
    // by the end of the image ("the image ends at byte N; <name> needs M").
    std::string ReadFailure(const std::string& inner);

private:
    CDiscImage() = default;

    ::udfread* udf_ = nullptr;
    std::string path_;
    std::string volumeId_;
    int64_t imageSize_ = 0;
    // The block input of an image in memory; released after the library's
    // state, which reads through it.
    std::shared_ptr<void> memory_;
    std::mutex mutex_;  // the library keeps one state per image
};

// Mounts an image so that paths below it resolve; mounting it again is a
// no-op. False with a reason naming the image.
bool MountDiscImage(const std::string& path, std::string& error);
// The mounted image a path lies below, and the path inside it ("/" for the
// image itself); null for ordinary paths.
std::shared_ptr<CDiscImage> FindDiscImage(const std::string& path, std::string& inner);
// A regular file that is meant as a disc image: a name ending in .iso, .img
// or .udf (any case).
bool IsDiscImageName(const std::string& path);

// A folder the user names as a disc: a disc image is mounted and its BDMV
// folder given; a folder holding BDMV gives that BDMV. Anything else stays
// as it is. False (with a reason) only for an image that does not open.
bool ResolveDiscFolder(const std::string& input, std::string& bdmvFolder, std::string& error);

}  // namespace tessel
