// Where the files of a disc come from: the file system (a BDMV folder), or a
// UDF disc image opened once. Files are opened, read whole, listed and sized
// through it, by the paths the user sees: a file inside an image is named by
// its path below the image file ("/discs/film.iso/BDMV/PLAYLIST/00000.mpls").
// Copies share the opened image.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/disc_image.h"
#include "platform/files.h"
#include "platform/read_file.h"
#include "platform/result.h"

namespace tessel {

class CDiscSource {
public:
    // The file system.
    CDiscSource() = default;

    // What the user names as a disc: a disc image is opened and its BDMV
    // folder given; a folder holding BDMV gives that BDMV. Anything else
    // stays as it is (the file system, BdmvFolder() the input). Fails only
    // for an image that does not open, or a file that is not an image.
    static CResultOf<CDiscSource> OpenDisc(const std::string& input);
    // The source of one file's path: the image the path lies below (a path
    // below a file named as a disc image), else the file system. Fails when
    // that image does not open.
    static CResultOf<CDiscSource> OfPath(const std::string& path);

    // This source, or for the file system the source of path (OfPath).
    CResultOf<CDiscSource> ForFile(const std::string& path) const;

    // The BDMV folder OpenDisc resolved (empty for the other sources).
    const std::string& BdmvFolder() const { return bdmvFolder_; }
    // The image, or null for the file system.
    const std::shared_ptr<CDiscImage>& Image() const { return image_; }
    // The path names the image file itself (the root of its file system).
    bool IsImageRoot(const std::string& path) const;

    bool IsFolder(const std::string& path) const;
    bool Exists(const std::string& path) const;
    // Size of a file, or -1.
    int64_t Length(const std::string& path) const;
    // FindPathNoCase on the file system; paths inside an image stay as they are.
    std::string FindNoCase(const std::string& path) const;
    // ListFolder and ListPattern (files.h) through the source.
    std::vector<SFolderEntry> List(const std::string& folder, const std::string& pattern) const;
    std::vector<SFolderEntry> ListPattern(const std::string& pathPattern) const;
    // Reads a whole file; the failure's text is the reason alone, its path
    // the path given.
    CResult ReadWhole(const std::string& path, std::vector<uint8_t>& data) const;
    // Opens a file for reading; the failure's text is the reason alone. From
    // the file system, a path below a disc image file opens that image for
    // this file (OfPath); an image that does not open names itself.
    CResult Open(CReadFile& file, const std::string& path) const;

private:
    // The path inside the image ("/" for the image itself); false for a
    // path of the file system.
    bool Inner(const std::string& path, std::string& inner) const;

    std::shared_ptr<CDiscImage> image_;
    std::string bdmvFolder_;
};

}  // namespace tessel
