// `tessel quantize <in-image> <out.png> [--opacity X]`: an image as an 8-bit
// palette PNG, the way an attached picture becomes a graphic object.
#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/output_rules.h"
#include "codec/colour.h"
#include "model/palette.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

const char* PathText(EIndexedPath path) {
    switch (path) {
        case EIndexedPath::Expanded:
            return "expanded";
        case EIndexedPath::Exact:
            return "exact";
        case EIndexedPath::Quantized:
            return "quantized";
        case EIndexedPath::None:
            break;
    }
    return "none (already 8-bit indexed)";
}

int Run(const std::string& in, const std::string& out, double opacity, bool json) {
    std::string format;
    if (!ChooseFormat(out, format, {{"png", {"png"}}}, "png", {"jpg", "jpeg", "webp"}) ||
        !ClaimStandardOutput(out))
        return kExitFailed;
    if (json && out == "-") {
        return ShowUsageError("-: --json and the picture cannot both go to standard output");
    }
    Bitmap image;
    // A photo's colours are counted while its rows are decoded.
    CIndexedConverter converter;
    if (const CResult loaded = LoadImage(
            in, image, [&converter](const Bitmap& rows, int n) { converter.Rows(rows, n); });
        !loaded) {
        ShowMessage(loaded.Message());
        return kExitFailed;
    }
    EIndexedPath path = EIndexedPath::None;
    Bitmap indexed;
    // Dithered indices hardly compress better at higher levels
    // (bench/README.md); they are deflated while the mapping goes on.
    CIndexedPngWriter writer(image.Width(), image.Height(), 2);
    if (image.Format() == EPixelFormat::Indexed8) {
        indexed = image;
    } else {
        indexed = converter.Convert(
            image, &path, [&writer](const Bitmap& rows, int n) { writer.TakeRows(rows, n); });
        if (indexed.IsEmpty()) {
            ShowMessage(
                StrFormat("%s: the image cannot be converted to 8-bit indexed form", in.c_str()));
            return kExitFailed;
        }
    }
    // The entries as a graphic object would carry them: the transparent
    // index takes the opacity when the palette has no alpha of its own.
    CErgbPalette palette;
    const int count = PaletteFromImage(indexed, opacity, palette);
    SPalette& argb = indexed.Palette();
    for (const ERGBQUAD& q : palette.records)
        if (q.index < argb.entries.size())
            argb.entries[q.index] = MakeArgb(q.alpha, q.red, q.green, q.blue);
    argb.flags |= kPaletteHasAlpha;
    std::span<const uint8_t> png;
    if (const CResult r = writer.Finish(indexed, png); !r) {
        ShowMessage(out + ": " + r.Text());
        return kExitFailed;
    }
    if (!WriteOutput(out, png)) return kExitFailed;
    if (json) {
        Json j = {{"input", in},
                  {"output", out},
                  {"width", indexed.Width()},
                  {"height", indexed.Height()}};
        PutNamed(j, "path", static_cast<int>(path), PathText(path));
        j["exact"] = path != EIndexedPath::Quantized;
        j["colours"] = count;
        j["palette_entries"] = argb.entries.size();
        j["transparent_index"] = palette.transparentIndex;
        PrintJson(j);
        return EndWithoutTeardown(kExitOk);
    }
    Note(StrFormat("Path: %s", PathText(path)));
    Note(StrFormat("Colours: %d", count));
    Note(StrFormat("Palette entries: %zu", argb.entries.size()));
    Note(StrFormat("Transparent index: %d", palette.transparentIndex));
    return EndWithoutTeardown(kExitOk);
}

const CommandRegistration kQuantizeCommand(
    "quantize", "Convert an image to an 8-bit palette PNG (exact colours or quantised)",
    [](CLI::App& sub) -> std::function<int()> {
        auto in = std::make_shared<std::string>();
        auto out = std::make_shared<std::string>();
        auto opacity = std::make_shared<double>(0.0);
        auto json = std::make_shared<bool>(false);
        sub.add_flag("--json", *json, "Print JSON: sizes, colours and how they were kept");
        sub.add_option("in-image", *in, "Input image (PNG, BMP, JPEG, GIF; - for stdin)")
            ->required();
        sub.add_option("out", *out, "Output PNG (.png; - for standard output)")->required();
        sub.add_option("--opacity", *opacity,
                       "Opacity of the transparent index, 0..1, when the palette has no alpha")
            ->check(CLI::Range(0.0, 1.0));
        return [in, out, opacity, json] { return Run(*in, *out, *opacity, *json); };
    });

}  // namespace
}  // namespace tessel::cli
