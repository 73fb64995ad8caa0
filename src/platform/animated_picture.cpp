#include "platform/animated_picture.h"

#include <libdeflate.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/files.h"
#include "platform/frame_png.h"
#include "platform/text.h"

namespace tessel {

namespace {

struct SBox {
    int x = 0, y = 0, w = 0, h = 0;
};

// The smallest rectangle where two 32-bit pictures of one size differ
// (width 0 when they are the same).
SBox ChangedBox(const Bitmap& a, const Bitmap& b) {
    const size_t rowBytes = static_cast<size_t>(a.Width()) * 4;
    int top = -1, bottom = -1, left = a.Width(), right = -1;
    for (int y = 0; y < a.Height(); ++y) {
        const auto* p = reinterpret_cast<const uint32_t*>(a.Row(y));
        const auto* q = reinterpret_cast<const uint32_t*>(b.Row(y));
        if (std::memcmp(p, q, rowBytes) == 0) continue;
        if (top < 0) top = y;
        bottom = y;
        int x0 = 0, x1 = a.Width() - 1;
        while (p[x0] == q[x0]) ++x0;
        while (p[x1] == q[x1]) --x1;
        left = std::min(left, x0);
        right = std::max(right, x1);
    }
    if (top < 0) return {};
    return {left, top, right - left + 1, bottom - top + 1};
}

// Stored frames to a file: each frame differs from the one before.
class IAnimationEncoder {
public:
    virtual ~IAnimationEncoder() = default;
    // A frame (32-bit); previous is the frame before (null for the first).
    // A failure's text is the reason.
    virtual CResult Add(const Bitmap& frame, const Bitmap* previous) = 0;
    // The last frame added is shown ms milliseconds.
    virtual CResult Hold(int ms) = 0;
    virtual CResult Assemble(std::vector<uint8_t>& file) = 0;
};

std::vector<uint8_t> Be32s(std::initializer_list<uint32_t> values) {
    std::vector<uint8_t> out(values.size() * 4);
    size_t at = 0;
    for (uint32_t v : values) PutBe32(out.data() + (at += 4) - 4, v);
    return out;
}

// APNG: RGBA rows, each frame after the first only its changed rectangle,
// replacing what was there (blend source, no disposal). A delay longer than
// a frame control can say goes on in 1 x 1 frames that change nothing.
class CApngEncoder : public IAnimationEncoder {
public:
    CApngEncoder(int width, int height) : width_(width), height_(height) {
        file_.assign(kPngFileSignature, kPngFileSignature + 8);
        std::vector<uint8_t> ihdr =
            Be32s({static_cast<uint32_t>(width), static_cast<uint32_t>(height)});
        ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
        AppendPngChunk(file_, "IHDR", ihdr);
        actl_ = file_.size() + 8;
        AppendPngChunk(file_, "acTL", Be32s({0, 0}));  // frame count set at the end
    }

    CResult Add(const Bitmap& frame, const Bitmap* previous) override {
        SBox box{0, 0, width_, height_};
        if (previous) box = ChangedBox(frame, *previous);
        Control(box, false);
        std::vector<uint8_t> raw;
        UpFilteredRows(frame, box.x, box.y, box.w, box.h, true, raw);
        return Data(raw);
    }

    CResult Hold(int ms) override {
        // fcTL delay: numerator at byte 20 of the data, denominator 1000.
        constexpr int kMost = 65535;
        SetDelay(lastControl_, std::min(ms, kMost));
        for (ms -= kMost; ms > 0; ms -= kMost) {
            Control({0, 0, 1, 1}, true);
            SetDelay(lastControl_, std::min(ms, kMost));
            const uint8_t clear[5] = {0, 0, 0, 0, 0};  // filter byte, one transparent pixel
            if (CResult stored = Data(clear); !stored) return stored;
        }
        return {};
    }

    CResult Assemble(std::vector<uint8_t>& file) override {
        PutBe32(file_.data() + actl_, frames_);
        Recrc(actl_, 8);
        AppendPngChunk(file_, "IEND", {});
        file = std::move(file_);
        return {};
    }

private:
    void Control(const SBox& box, bool over) {
        lastControl_ = file_.size() + 8;
        std::vector<uint8_t> fctl =
            Be32s({sequence_++, static_cast<uint32_t>(box.w), static_cast<uint32_t>(box.h),
                   static_cast<uint32_t>(box.x), static_cast<uint32_t>(box.y)});
        fctl.insert(fctl.end(), {0, 0, 0x03, 0xE8, 0, static_cast<uint8_t>(over ? 1 : 0)});
        AppendPngChunk(file_, "fcTL", fctl);
        ++frames_;
    }

    // A failed deflate is told as running out of memory.
    CResult Data(std::span<const uint8_t> raw) {
        std::vector<uint8_t> z;
        if (frames_ > 1) z = Be32s({sequence_++});
        if (!DeflateZlib(raw, 2, z)) return CResult::Fail("out of memory");
        AppendPngChunk(file_, frames_ > 1 ? "fdAT" : "IDAT", z);
        return {};
    }

    void SetDelay(size_t control, int ms) {
        file_[control + 20] = static_cast<uint8_t>(ms >> 8);
        file_[control + 21] = static_cast<uint8_t>(ms);
        Recrc(control, 26);
    }

    // The CRC of the chunk whose data starts at offset and is size long.
    void Recrc(size_t offset, size_t size) {
        PutBe32(file_.data() + offset + size,
                static_cast<uint32_t>(libdeflate_crc32(0, file_.data() + offset - 4, size + 4)));
    }

    int width_, height_;
    std::vector<uint8_t> file_;
    size_t actl_ = 0;
    size_t lastControl_ = 0;
    uint32_t sequence_ = 0;
    uint32_t frames_ = 0;
};

// WebP: libwebp's animation encoder, lossless with exact colours, fast.
class CWebpEncoder : public IAnimationEncoder {
public:
    CWebpEncoder(int width, int height) {
        WebPAnimEncoderOptions options;
        if (WebPAnimEncoderOptionsInit(&options)) {
            options.anim_params.loop_count = 0;
            encoder_ = WebPAnimEncoderNew(width, height, &options);
        }
        ok_ = encoder_ && WebPConfigInit(&config_) && WebPConfigLosslessPreset(&config_, 0);
        config_.exact = 1;
    }
    ~CWebpEncoder() override {
        if (encoder_) WebPAnimEncoderDelete(encoder_);
    }

    CResult Add(const Bitmap& frame, const Bitmap*) override {
        if (!ok_) return CResult::Fail(kNotMade);
        WebPPicture picture;
        if (!WebPPictureInit(&picture)) return CResult::Fail(kNotMade);
        picture.use_argb = 1;
        picture.width = frame.Width();
        picture.height = frame.Height();
        bool ok = WebPPictureImportBGRA(&picture, frame.Data(), static_cast<int>(frame.Stride())) &&
                  WebPAnimEncoderAdd(encoder_, &picture, time_, &config_);
        WebPPictureFree(&picture);
        return ok ? CResult{} : CResult::Fail(EncoderError());
    }

    CResult Hold(int ms) override {
        time_ += ms;
        return {};
    }

    CResult Assemble(std::vector<uint8_t>& file) override {
        if (!ok_) return CResult::Fail(kNotMade);
        WebPData data;
        WebPDataInit(&data);
        const bool ok = WebPAnimEncoderAdd(encoder_, nullptr, time_, nullptr) &&
                        WebPAnimEncoderAssemble(encoder_, &data);
        if (ok) file.assign(data.bytes, data.bytes + data.size);
        WebPDataClear(&data);
        return ok ? CResult{} : CResult::Fail(EncoderError());
    }

private:
    static constexpr const char* kNotMade = "the WebP encoder could not be made";

    std::string EncoderError() const {
        const char* text = WebPAnimEncoderGetError(encoder_);
        return StrFormat("the WebP encoder failed (%s)", text && *text ? text : "out of memory");
    }

    WebPAnimEncoder* encoder_ = nullptr;
    WebPConfig config_{};
    bool ok_ = false;
    int time_ = 0;
};

}  // namespace

bool AnimationFormatOfPath(const std::string& path, EAnimationFormat& format) {
    auto endsWith = [&](const char* ext) {
        const size_t n = std::strlen(ext);
        return path.size() > n && EqualsNoCase(path.substr(path.size() - n), ext);
    };
    if (endsWith(".webp")) return format = EAnimationFormat::WebP, true;
    if (endsWith(".apng")) return format = EAnimationFormat::Apng, true;
    return false;
}

struct CAnimationWriter::SState {
    std::string path;
    int width = 0, height = 0;
    std::unique_ptr<IAnimationEncoder> encoder;
    Bitmap previous;  // the last frame stored, 32-bit
    int held = 0;     // how long it is shown so far
    int frames = 0;
    bool failed = false;
};

CAnimationWriter::CAnimationWriter(EAnimationFormat format, std::string path, int width, int height)
    : state_(std::make_unique<SState>()) {
    state_->path = std::move(path);
    state_->width = width;
    state_->height = height;
    if (format == EAnimationFormat::WebP)
        state_->encoder = std::make_unique<CWebpEncoder>(width, height);
    else
        state_->encoder = std::make_unique<CApngEncoder>(width, height);
}

CAnimationWriter::~CAnimationWriter() = default;

int CAnimationWriter::Frames() const {
    return state_->frames;
}

CResult CAnimationWriter::AddFrame(const Bitmap& frame, int durationMs) {
    SState& s = *state_;
    auto fail = [&](const std::string& why) {
        s.failed = true;
        return CResult::Fail(s.path + ": " + why);
    };
    if (s.failed) return fail("an earlier frame failed");
    if (frame.Width() != s.width || frame.Height() != s.height || frame.IsEmpty())
        return fail(StrFormat("frame %d is %dx%d, not the animation's %dx%d", s.frames + 1,
                              frame.Width(), frame.Height(), s.width, s.height));
    if (durationMs < 1) return fail(StrFormat("a frame of %d ms", durationMs));
    Bitmap converted;
    const Bitmap* argb = &frame;
    if (frame.Format() != EPixelFormat::Argb32) {
        converted = frame.ConvertTo(EPixelFormat::Argb32);
        if (converted.IsEmpty()) return fail("out of memory");
        argb = &converted;
    }
    const bool first = s.previous.IsEmpty();
    if (!first && ChangedBox(*argb, s.previous).w == 0) {
        s.held += durationMs;
        return {};
    }
    try {
        CResult stored = first ? CResult{} : s.encoder->Hold(s.held);
        if (stored) stored = s.encoder->Add(*argb, first ? nullptr : &s.previous);
        if (!stored) return fail(stored.Text());
    } catch (const std::bad_alloc&) {
        return fail("out of memory");
    }
    s.previous = argb == &converted ? std::move(converted) : frame;
    if (s.previous.IsEmpty()) return fail("out of memory");
    s.held = durationMs;
    ++s.frames;
    return {};
}

CResult CAnimationWriter::Finish() {
    SState& s = *state_;
    if (s.failed) return CResult::Fail(s.path + ": an earlier frame failed");
    if (s.frames == 0) return CResult::Fail(s.path + ": no frames");
    std::vector<uint8_t> file;
    CResult written;
    try {
        written = s.encoder->Hold(s.held);
        if (written) written = s.encoder->Assemble(file);
        if (written) written = WriteWholeFile(s.path, file.data(), file.size());
    } catch (const std::bad_alloc&) {
        written = CResult::Fail("out of memory");
    }
    s.failed = true;  // finished: takes no more frames
    if (!written) return CResult::Fail(s.path + ": " + written.Text());
    return {};
}

}  // namespace tessel
