// Writes the seed inputs of every harness into one folder per harness:
// real files of the shared corpus and the sample disc (large streams cut
// into display sets, transport streams cut after their first packets),
// generated menus, discs and pictures, and archives of IG sets built from
// them. Seeds stay small so that the harnesses run fast.
//
//   make_seeds <out> [--corpus DIR] [--sample DIR]
//
// A corpus or sample folder that is absent is skipped.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "authoring/sample_disc.h"
#include "codec/display_set.h"
#include "model/ig_object.h"
#include "platform/archive.h"
#include "platform/image_io.h"
#include "platform/text.h"

namespace {

namespace fs = std::filesystem;
using namespace tessel;
using Bytes = std::vector<uint8_t>;

// Streams and clips are cut to this many bytes at most.
constexpr size_t kMaxSeed = 64 * 1024;

fs::path gOut;
int gCount = 0;

Bytes Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Put(const std::string& harness, const std::string& name, const Bytes& b) {
    if (b.empty()) return;
    const fs::path dir = gOut / harness;
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    ++gCount;
    // A menu of the page composition also seeds the map's drawing as it is,
    // and the player with keys after it (the player harness's input form):
    // moves, Enter, a page shown, a register written and a fresh start.
    if (harness == "page") {
        Put("map", name, b);
        static const uint8_t kKeys[] = {1, 3, 4, 0, 2, 4, 5 | 2 << 3, 4, 6 | 3 << 3, 1, 4, 7, 3, 4};
        const size_t n = 4 + static_cast<size_t>(gCount) % (std::size(kKeys) - 3);
        Bytes withKeys = b;
        withKeys.insert(withKeys.end(), kKeys, kKeys + n);
        withKeys.push_back(static_cast<uint8_t>(n));
        Put("player", name, withKeys);
    }
}

std::vector<fs::path> Files(const fs::path& root, const std::string& ext) {
    std::vector<fs::path> list;
    std::error_code ec;
    if (!fs::is_directory(root, ec)) return list;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file(ec) && it->path().extension() == ext) list.push_back(it->path());
    std::sort(list.begin(), list.end());
    return list;
}

std::string Flat(const fs::path& root, const fs::path& p) {
    std::string s = fs::relative(p, root).string();
    for (char& c : s)
        if (c == '/') c = '_';
    return s;
}

// A stream cut into display sets, each written alone in both forms; an IG
// display set also seeds the page composition.
void CutStream(const std::string& name, const Bytes& stream, bool bare) {
    CMemorySource source(stream);
    CEpochList epochs;
    SStreamInfo info;
    ReadStream(epochs, source, bare, &info);
    int n = 0;
    size_t marked = 0;
    for (const auto& epoch : epochs)
        for (const auto& ds : epoch->items) {
            if (n >= 24 || marked > 4 * kMaxSeed) return;
            CMemorySink m, b;
            WriteDsData(*ds, m, nullptr, false, true);
            WriteDsData(*ds, b, nullptr, true, true);
            if (m.data.size() > kMaxSeed) continue;
            const std::string file = StrFormat("%s.%03d", name.c_str(), n++);
            Put("stream_marked", file, m.data);
            Put("stream_bare", file, b.data);
            if (ds->icsList) Put("page", file, m.data);
            marked += m.data.size();
        }
}

// An IG set of one stream, as the archive stores it.
void ArchiveOf(const std::string& name, const Bytes& marked) {
    CMemorySource source(marked);
    CGsData gs;
    if (!gs.Read(source, false)) return;
    CIgObject ig;
    ig.BuildFromStream(gs);
    CIgSet set;
    auto story = std::make_unique<CStoryIgObject>();
    story->TakeEpochs(ig);
    story->name = name;
    story->sourcePath = name + ".ig";
    set.Append(std::move(story));
    CArchive ar;
    set.Serialize(ar);
    if (ar.Buffer().size() <= 4 * kMaxSeed) Put("archive", name + ".arc", ar.Buffer());
}

uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// A UDF image made small for the fuzzer: the empty blocks between the volume
// descriptors and the partition dropped and the partition moved down over
// them (its descriptors' starting block changed; the tag checksum does not
// cover it), the anchor left only at the last block, where readers look when
// block 256 has none. Blocks inside the partition are numbered from its
// start, so its files stay where they were. Unchanged when the image is not
// laid out so.
Bytes CompactUdf(Bytes image) {
    constexpr size_t kBlock = 2048;
    const size_t blocks = image.size() / kBlock;
    auto block = [&](size_t b) { return image.data() + b * kBlock; };
    auto tag = [&](size_t b) { return block(b)[0] | block(b)[1] << 8; };
    if (blocks < 258 || tag(blocks - 1) != 2 || tag(256) != 2) return image;
    size_t keep = 0;  // blocks kept before the partition
    for (size_t b = 0; b < 256; ++b)
        if (std::any_of(block(b), block(b) + kBlock, [](uint8_t c) { return c != 0; }))
            keep = b + 1;
    std::vector<size_t> descriptors;  // partition descriptors (main and reserve)
    uint32_t start = 0;
    for (size_t b = 16; b < keep; ++b)
        if (tag(b) == 5) {
            descriptors.push_back(b);
            start = Le32(block(b) + 188);
        }
    if (descriptors.empty() || start <= 256 || start >= blocks) return image;
    for (size_t b : descriptors) {
        uint8_t* at = block(b) + 188;
        for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(keep >> (8 * i));
    }
    Bytes out(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(keep * kBlock));
    out.insert(out.end(), image.begin() + static_cast<std::ptrdiff_t>(start * kBlock),
               image.begin() + static_cast<std::ptrdiff_t>(blocks * kBlock));
    return out;
}

// A UDF image of a disc folder (genisoimage), its transport streams cut to a
// few packets first.
void DiscImage(const std::string& name, const fs::path& disc, const fs::path& scratch) {
    static const bool have = std::system("command -v genisoimage >/dev/null 2>&1") == 0;
    if (!have) {
        std::fprintf(stderr, "make_seeds: no genisoimage; no disc image seed of %s\n",
                     name.c_str());
        return;
    }
    std::error_code ec;
    const fs::path copy = scratch / ("image_" + name);
    fs::remove_all(copy, ec);
    fs::create_directories(copy);
    fs::copy(disc, copy / "BDMV", fs::copy_options::recursive, ec);
    if (ec) {
        std::fprintf(stderr, "make_seeds: %s: %s\n", disc.string().c_str(), ec.message().c_str());
        return;
    }
    for (const auto& p : Files(copy, ".m2ts"))
        fs::resize_file(p, std::min<uintmax_t>(fs::file_size(p), 4 * 192), ec);
    const fs::path iso = scratch / (name + ".iso");
    // Paths of the scratch folder only: no quoting needed beyond the quotes.
    const std::string cmd = "genisoimage -quiet -udf -no-pad -V TESSEL -o '" + iso.string() +
                            "' '" + copy.string() + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "make_seeds: genisoimage failed on %s\n", copy.string().c_str());
        return;
    }
    Put("disc_image", name + ".iso", CompactUdf(Read(iso)));
}

void Generated(const fs::path& scratch) {
    // Menus: small buttons so that each stream stays a few kilobytes.
    for (int seed = 0; seed < 4; ++seed) {
        authoring::SMenuOptions o;
        o.seed = seed;
        o.pages = 1 + seed % 2;
        o.bogsPerPage = 1 + seed % 3;
        o.buttonsPerBog = 1 + (seed + 1) % 2;
        o.buttonWidth = 24 + 8 * seed;
        o.buttonHeight = 8 + 2 * seed;
        o.videoWidth = seed == 3 ? 720 : 1920;
        o.videoHeight = seed == 3 ? 480 : 1080;
        o.epochs = 1 + seed / 2;
        CIgObject ig;
        Bytes marked;
        const fs::path pictures = scratch / StrFormat("pictures%d", seed);
        fs::create_directories(pictures);
        CResult made = authoring::AuthorMenu(o, pictures.string(), ig);
        if (made) made = authoring::MenuStream(ig, marked);
        if (!made) {
            std::fprintf(stderr, "make_seeds: menu %d: %s\n", seed, made.Message().c_str());
            continue;
        }
        const std::string name = StrFormat("menu%d", seed);
        if (marked.size() <= kMaxSeed) {
            Put("stream_marked", name, marked);
            Put("page", name, marked);
        }
        CutStream(name, marked, false);
        ArchiveOf(name, marked);
    }
    // Discs: database files and small clips.
    authoring::SDiscOptions disc;
    for (int c = 0; c < 3; ++c) {
        authoring::SClipSpec clip;
        clip.number = c + 1;
        clip.applicationType = c == 1 ? 5 : 1;
        clip.viaSubPath = c == 1;
        clip.igPids =
            c == 2 ? std::vector<uint16_t>{0x1400, 0x1401} : std::vector<uint16_t>{0x1400};
        clip.menu.pages = 1;
        clip.menu.bogsPerPage = 1 + c;
        clip.menu.buttonsPerBog = 2;
        clip.menu.buttonWidth = 16;
        clip.menu.buttonHeight = 8;
        clip.menu.seed = c;
        disc.clips.push_back(clip);
    }
    disc.pictureFolder = (scratch / "disc-pictures").string();
    const fs::path root = scratch / "disc";
    if (const CResult r = authoring::WriteSampleDisc(root.string(), disc); !r) {
        std::fprintf(stderr, "make_seeds: disc: %s\n", r.Message().c_str());
    } else {
        for (const auto& p : Files(root, ".mpls")) Put("mpls", "gen_" + Flat(root, p), Read(p));
        for (const auto& p : Files(root, ".clpi")) Put("clpi", "gen_" + Flat(root, p), Read(p));
        for (const auto& p : Files(root, ".m2ts")) {
            Bytes b = Read(p);
            if (b.size() > kMaxSeed) b.resize(kMaxSeed / 192 * 192);
            Put("m2ts", "gen_" + Flat(root, p), b);
        }
        DiscImage("gen", root / "BDMV", scratch);
    }
    // Pictures in every format the loader takes.
    const int w = 12, h = 9;
    std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
    for (int i = 0; i < w * h; ++i) {
        rgba[static_cast<size_t>(i) * 4 + 0] = static_cast<uint8_t>(i * 7);
        rgba[static_cast<size_t>(i) * 4 + 1] = static_cast<uint8_t>(i * 13);
        rgba[static_cast<size_t>(i) * 4 + 2] = static_cast<uint8_t>(i % 3 * 100);
        rgba[static_cast<size_t>(i) * 4 + 3] = static_cast<uint8_t>(i % 5 ? 255 : i % 2 * 128);
    }
    auto sink = [](void* ctx, void* data, int size) {
        auto* out = static_cast<Bytes*>(ctx);
        out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    };
    for (int comp : {3, 4}) {
        Bytes bmp, tga, jpg;
        stbi_write_bmp_to_func(sink, &bmp, w, h, comp, rgba.data());
        stbi_write_tga_to_func(sink, &tga, w, h, comp, rgba.data());
        stbi_write_jpg_to_func(sink, &jpg, w, h, 3, rgba.data(), 80);
        Put("image", StrFormat("gen%d.bmp", comp), bmp);
        Put("image", StrFormat("gen%d.tga", comp), tga);
        Put("image", StrFormat("gen%d.jpg", comp), jpg);
    }
    // A 2 x 2 GIF with a 4-entry table and a transparent index.
    Put("image", "gen.gif",
        {'G', 'I', 'F', '8', '9', 'a', 2, 0,   2,    0,    0x81, 0,    0,    0,    0, 0,   255,
         0,   0,   0,   255, 0,   0,   0, 255, 0x21, 0xF9, 4,    1,    0,    0,    3, 0,   0x2C,
         0,   0,   0,   0,   2,   0,   2, 0,   0,    2,    3,    0x44, 0x34, 0x05, 0, 0x3B});
    for (EPixelFormat f : {EPixelFormat::Indexed1, EPixelFormat::Indexed4, EPixelFormat::Indexed8,
                           EPixelFormat::Rgb24, EPixelFormat::Argb32}) {
        Bitmap b(w, h, f);
        if (IsIndexed(f)) {
            SPalette pal;
            for (uint32_t i = 0; i < (1u << BitsPerPixel(f)) && i < 16; ++i)
                pal.entries.push_back(MakeArgb(static_cast<uint8_t>(i ? 255 : 0),
                                               static_cast<uint8_t>(i * 16), 40, 200));
            pal.flags = kPaletteHasAlpha;
            b.SetPalette(pal);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    b.SetIndex(x, y, static_cast<uint8_t>((x + y) % pal.entries.size()));
        } else {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    b.SetPixel(x, y,
                               MakeArgb(static_cast<uint8_t>(x * 20), 200,
                                        static_cast<uint8_t>(y * 25), 7));
        }
        Bytes png;
        EncodePng(b, png);
        Put("image", StrFormat("gen_format%d.png", static_cast<int>(f)), png);
    }
}

void FromCorpus(const fs::path& corpus) {
    std::error_code ec;
    if (!fs::is_directory(corpus, ec)) {
        std::fprintf(stderr, "make_seeds: no corpus at %s; generated seeds only\n",
                     corpus.string().c_str());
        return;
    }
    for (const auto& p : Files(corpus, ".mpls")) Put("mpls", Flat(corpus, p), Read(p));
    for (const auto& p : Files(corpus, ".clpi")) Put("clpi", Flat(corpus, p), Read(p));
    for (const auto& p : Files(corpus / "pg", ".sup")) {
        const Bytes b = Read(p);
        CutStream(p.stem().string(), b, false);
        Bytes first = b;
        if (first.size() <= kMaxSeed) ArchiveOf(p.stem().string(), first);
    }
    for (const auto& p : Files(corpus / "independent", ".ies")) {
        const Bytes b = Read(p);
        if (b.size() <= kMaxSeed) Put("stream_bare", "independent.ies", b);
        CutStream("independent", b, true);
    }
    for (const auto& p : Files(corpus / "discs", ".bin")) {
        Bytes marked;
        if (!authoring::StreamFromIcsPayload(Read(p), marked)) continue;
        const std::string name = "ics_" + p.parent_path().filename().string();
        if (marked.size() <= kMaxSeed) {
            Put("stream_marked", name, marked);
            Put("page", name, marked);
        }
        CutStream(name, marked, false);
        ArchiveOf(name, marked);
    }
    for (const auto& p : Files(corpus, ".m2ts")) {
        Bytes b = Read(p);
        if (b.size() > kMaxSeed) b.resize(kMaxSeed / 192 * 192);
        Put("m2ts", Flat(corpus, p), b);
    }
    for (const auto& p : Files(corpus, ".png"))
        if (fs::file_size(p) <= kMaxSeed) Put("image", Flat(corpus, p), Read(p));
}

void FromSample(const fs::path& sample) {
    std::error_code ec;
    if (!fs::is_directory(sample, ec)) return;
    for (const auto& p : Files(sample, ".mpls")) Put("mpls", "sample_" + Flat(sample, p), Read(p));
    for (const auto& p : Files(sample, ".clpi")) Put("clpi", "sample_" + Flat(sample, p), Read(p));
    for (const auto& p : Files(sample, ".m2ts")) {
        Bytes b = Read(p);
        if (b.size() > kMaxSeed) b.resize(kMaxSeed / 192 * 192);
        Put("m2ts", "sample_" + Flat(sample, p), b);
    }
}

void SampleImage(const fs::path& sample, const fs::path& scratch) {
    std::error_code ec;
    if (fs::is_directory(sample / "BDMV", ec)) DiscImage("sample", sample / "BDMV", scratch);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_seeds <out> [--corpus DIR] [--sample DIR]\n");
        return 2;
    }
    gOut = argv[1];
    fs::path corpus, sample;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--corpus") corpus = argv[i + 1];
        if (a == "--sample") sample = argv[i + 1];
    }
    std::error_code ec;
    fs::remove_all(gOut, ec);
    fs::create_directories(gOut);
    const fs::path scratch = gOut / ".scratch";
    fs::create_directories(scratch);
    Generated(scratch);
    if (!corpus.empty()) FromCorpus(corpus);
    if (!sample.empty()) {
        FromSample(sample);
        SampleImage(sample, scratch);
    }
    fs::remove_all(scratch, ec);
    std::printf("make_seeds: %d seed files in %s\n", gCount, gOut.string().c_str());
    return 0;
}
