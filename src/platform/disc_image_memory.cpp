// Disc images held in memory: a block input of libudfread over a byte
// vector, for images that are not files (tests, the fuzz harness).
#include <udfread/blockinput.h>
#include <udfread/udfread.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/disc_image.h"

namespace tessel {

namespace {

// The input first, so that the library's pointer is the object's.
struct SMemoryInput {
    udfread_block_input input{};
    std::vector<uint8_t> bytes;

    static SMemoryInput& Of(udfread_block_input* in) {
        return *reinterpret_cast<SMemoryInput*>(in);
    }
    static uint32_t Blocks(udfread_block_input* in) {
        const size_t blocks = Of(in).bytes.size() / UDF_BLOCK_SIZE;
        return blocks > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(blocks);
    }
    // Whole blocks inside the image only; the count read.
    static int Read(udfread_block_input* in, uint32_t lba, void* buf, uint32_t nblocks, int) {
        const uint32_t blocks = Blocks(in);
        if (lba >= blocks) return 0;
        const uint32_t n = std::min(nblocks, blocks - lba);
        std::memcpy(buf, Of(in).bytes.data() + size_t{lba} * UDF_BLOCK_SIZE,
                    size_t{n} * UDF_BLOCK_SIZE);
        return static_cast<int>(std::min<uint32_t>(n, INT32_MAX));
    }
};

static_assert(std::is_standard_layout_v<SMemoryInput>);

}  // namespace

CResultOf<std::shared_ptr<CDiscImage>> CDiscImage::OpenMemory(std::vector<uint8_t> bytes,
                                                              const std::string& name) {
    std::shared_ptr<CDiscImage> image(new CDiscImage());
    image->path_ = name;
    image->imageSize_ = static_cast<int64_t>(bytes.size());
    auto memory = std::make_shared<SMemoryInput>();
    memory->bytes = std::move(bytes);
    memory->input.read = &SMemoryInput::Read;
    memory->input.size = &SMemoryInput::Blocks;
    image->memory_ = memory;
    image->udf_ = udfread_init();
    if (!image->udf_ || udfread_open_input(image->udf_, &memory->input) < 0)
        return CResult::Fail(
            "not a readable UDF disc image (no UDF file system found, or it is damaged)", -1, name);
    if (const char* id = udfread_get_volume_id(image->udf_)) image->volumeId_ = id;
    return image;
}

}  // namespace tessel
