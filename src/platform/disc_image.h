// UDF disc images (ISO files) read through libudfread. A disc source
// (disc_source.h) serves the files of an opened image by their paths below
// the image file. Reads of a file inside an image go straight to the image
// file's bytes where the file lies (its extents), so nothing is copied out
// of the image.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/result.h"

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

    // Opens a UDF image; a failure names the image.
    static CResultOf<std::shared_ptr<CDiscImage>> Open(const std::string& path);
    // Opens the image held in memory (name is what failures call it); its
    // extents are offsets in the bytes.
    static CResultOf<std::shared_ptr<CDiscImage>> OpenMemory(std::vector<uint8_t> bytes,
                                                             const std::string& name);

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
    // Reads the whole file; nothing on failure, whose text says why: a
    // folder, missing, or cut off by the end of the image ("the image ends
    // at byte N; <name> needs M").
    CResult ReadFile(const std::string& inner, std::vector<uint8_t>& data);

private:
    CDiscImage() = default;
    bool ReadWhole(const std::string& inner, std::vector<uint8_t>& data);
    std::string ReadFailure(const std::string& inner);

    ::udfread* udf_ = nullptr;
    std::string path_;
    std::string volumeId_;
    int64_t imageSize_ = 0;
    // The block input of an image in memory; released after the library's
    // state, which reads through it.
    std::shared_ptr<void> memory_;
    std::mutex mutex_;  // the library keeps one state per image
};

// A regular file that is meant as a disc image: a name ending in .iso, .img
// or .udf (any case).
bool IsDiscImageName(const std::string& path);

// The file starts with the volume recognition sequence of a UDF file system.
bool HasUdfRecognition(const std::string& path);

}  // namespace tessel
