// Files and folders: whole-file reads, listing by pattern, folder creation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/large_buffer.h"
#include "platform/result.h"

namespace tessel {

// The native path separator, appended to folder paths before names.
constexpr char kPathSeparator = '/';

// Appends the separator when the folder does not end with one (empty stays empty).
void NormalizeFolder(std::string& folder);
std::string JoinPath(std::string folder, const std::string& name);
// The path made absolute and normal, without a trailing separator (the path
// as it is when the system cannot tell the current folder).
std::string AbsolutePath(const std::string& path);

// The name that stands for standard input where a whole file is read.
constexpr const char* kStandardInput = "-";

// Reads a whole file ("-": standard input, which may be read more than once).
// A failure names the path; its text is the system's for the failure (as
// strerror gives it).
CResult ReadWholeFile(const std::string& path, std::vector<uint8_t>& data);
// The same into large storage, which is not cleared before the read.
CResult ReadWholeFile(const std::string& path, LargeBytes& data);
// Writes a whole file; on failure removes what was written.
CResult WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);

bool PathExists(const std::string& path);
// The path as it exists when its names are compared without regard to case
// (copies of discs made on systems that ignore case): each name that does not
// exist is looked up in its folder. The path unchanged when nothing matches.
std::string FindPathNoCase(const std::string& path);
bool IsFolder(const std::string& path);
// Creates one folder level; true when it exists afterwards.
bool CreateFolder(const std::string& path);
// A folder that exists, or is made (one level); otherwise fails with
// "<folder>: Failed to create the folder (<reason>)".
CResult MakeFolder(const std::string& folder);
// The same with every missing parent made.
CResult MakeFolderTree(const std::string& folder);
bool DeleteFile(const std::string& path);
// Size of a file, or -1.
int64_t FileLength(const std::string& path);

struct SFolderEntry {
    std::string path;   // full path
    std::string title;  // file name without its extension
    std::string name;   // file name
};

// Lists the regular files of a folder matching a wildcard pattern ("*.mpls"),
// the extension compared without regard to case. Order is unspecified.
std::vector<SFolderEntry> ListFolder(const std::string& folder, const std::string& pattern);

// Splits "folder/*.ext" style patterns into folder and file pattern.
std::vector<SFolderEntry> ListPattern(const std::string& pathPattern);

std::string FileTitle(const std::string& path);      // name without folder and extension
std::string FileName(const std::string& path);       // name without folder
std::string FileExtension(const std::string& path);  // without the dot

// The system's error text for an errno value.
std::string SystemErrorText(int error);

}  // namespace tessel
