#include "platform/png_common.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>

#include <algorithm>

#include <cstdio>
#include <cstring>

namespace tessel {

const uint8_t kPngFileSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

bool IsPngFile(std::span<const uint8_t> data) {
    return data.size() >= sizeof kPngFileSignature &&
           std::memcmp(data.data(), kPngFileSignature, sizeof kPngFileSignature) == 0;
}

void AppendPngChunk(std::vector<uint8_t>& out, const char type[4], std::span<const uint8_t> data) {
    PutBe32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBe32(out,
            static_cast<uint32_t>(libdeflate_crc32(0, out.data() + start, out.size() - start)));
}

bool PixelsFitFile(int64_t width, int64_t height, size_t fileSize) {
    constexpr int64_t kMaxPixelsPerFileByte = 8 * 1032;
    return width * height <= kMaxPixelsPerFileByte * static_cast<int64_t>(fileSize);
}

void PngErrorFn(png_structp png, png_const_charp message) {
    auto* e = static_cast<SPngError*>(png_get_error_ptr(png));
    if (e) std::snprintf(e->text, sizeof e->text, "%s", message ? message : "PNG error");
    png_longjmp(png, 1);
}

void PngWarningFn(png_structp, png_const_charp) {}

void SetIsalDeflate(isal_zstream& zs, int level, std::vector<uint8_t>& levelBuffer) {
    static constexpr uint32_t kLevelBuffer[] = {ISAL_DEF_LVL0_DEFAULT, ISAL_DEF_LVL1_DEFAULT,
                                                ISAL_DEF_LVL2_DEFAULT, ISAL_DEF_LVL3_DEFAULT};
    level = std::clamp(level, 0, 3);
    levelBuffer.resize(kLevelBuffer[level]);
    zs.level = static_cast<uint32_t>(level);
    zs.level_buf = levelBuffer.empty() ? nullptr : levelBuffer.data();
    zs.level_buf_size = static_cast<uint32_t>(levelBuffer.size());
    zs.gzip_flag = IGZIP_ZLIB;
    zs.flush = NO_FLUSH;
}

}  // namespace tessel
