// The disc-image reader over fuzzed UDF images, as a disc folder given as
// an .iso is read: the image opened from memory, the BDMV folders listed,
// and each file's size, extents and bytes read.
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/disc_image.h"

namespace {

using namespace tessel;

constexpr const char* kFolders[] = {
    "/", "/BDMV", "/BDMV/PLAYLIST", "/BDMV/CLIPINF", "/BDMV/STREAM", "/BDMV/BACKUP"};
constexpr size_t kMaxFiles = 16;

// libudfread reports each damaged structure as a line on stdio's stderr,
// hundreds for some images, each an unbuffered write: they go to a buffered
// null stream instead (glibc's stderr is assignable). The fuzzer's and the
// sanitizers' reports write to the descriptor, not through stdio.
void QuietLibrary() {
    static FILE* const null = std::fopen("/dev/null", "w");
    if (null) stderr = null;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    QuietLibrary();
    auto opened = CDiscImage::OpenMemory(std::vector<uint8_t>(data, data + size), "fuzz.iso");
    if (!opened) {
        fuzz::Require(!opened.Result().Text().empty(), "a refused image says why");
        return 0;
    }
    const auto& image = *opened;
    const int64_t imageSize = static_cast<int64_t>(size);
    size_t files = 0;
    for (const char* folder : kFolders) {
        if (!image->IsFolder(folder)) continue;
        for (const std::string& name : image->ListFiles(folder)) {
            if (++files > kMaxFiles) return 0;
            const std::string inner =
                std::string(folder == std::string("/") ? "" : folder) + "/" + name;
            const int64_t fileSize = image->FileSize(inner);
            int64_t extentSize = -1;
            std::vector<SImageExtent> extents;
            if (image->FileExtents(inner, extentSize, extents)) {
                fuzz::Require(extentSize == fileSize, "the extents' file has the file's size");
                int64_t covered = 0;
                for (const SImageExtent& e : extents) {
                    fuzz::Require(e.imageOffset >= 0 && e.length >= 0 &&
                                      e.imageOffset + e.length <= imageSize,
                                  "an extent lies inside the image");
                    fuzz::Require(e.fileOffset == covered, "extents follow each other");
                    covered += e.length;
                }
                fuzz::Require(covered == fileSize, "the extents cover the file");
            }
            std::vector<uint8_t> bytes;
            if (image->ReadFile(inner, bytes).Ok())
                fuzz::Require(static_cast<int64_t>(bytes.size()) == fileSize,
                              "a file read whole has its size");
            else
                fuzz::Require(bytes.empty(), "a failed read leaves no partial data");
        }
    }
    return 0;
}
