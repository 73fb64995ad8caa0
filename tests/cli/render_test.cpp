// `tessel render`: the independently authored disc against a composition
// computed here from its decoded objects, page palette and button positions;
// defaults, --all, and bad requests that leave no file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "authoring/sample_disc.h"
#include "model/ig_object.h"
#include "platform/bitmap.h"
#include "platform/image_io.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

const char* const kStates[3] = {"normal", "selected", "activated"};

fs::path IndependentDir() {
    return test::CorpusDir() / "independent" / "menu_a_single_page";
}

Bitmap Load(const fs::path& path) {
    Bitmap b;
    std::string error;
    EXPECT_EQ(LoadImage(path.string(), b).Message(), "");
    return b.ConvertTo(EPixelFormat::Argb32);
}

// What a player shows: each group's default valid button, the state's first
// object (Normal where the state has none), its indices through the page's
// palette, blended over the opaque background.
Bitmap Expected(const CPage& page, int state, int width, int height, uint32_t background) {
    Bitmap out(width, height, EPixelFormat::Argb32);
    out.Fill(background);
    uint32_t lut[256] = {};
    if (auto* pal = dynamic_cast<const CErgbPalette*>(page.palette.ptr))
        for (const ERGBQUAD& q : pal->records)
            lut[q.index] = MakeArgb(q.alpha, q.red, q.green, q.blue);
    lut[255] = 0;
    for (const auto& bog : page) {
        const CBdButton* b = bog->defaultValid.ptr;
        if (!b) continue;
        const CGraphicObject* o = b->states[state].start.ptr;
        if (!o) o = b->states[0].start.ptr;
        if (!o || !o->bitmap) continue;
        for (int y = 0; y < o->bitmap->Height(); ++y)
            for (int x = 0; x < o->bitmap->Width(); ++x) {
                const uint32_t s = lut[o->bitmap->GetIndex(x, y)];
                const int px = b->x + x, py = b->y + y;
                if (px >= width || py >= height) continue;
                const uint32_t d = out.GetPixel(px, py);
                const double a = ArgbAlpha(s) / 255.0;
                auto mix = [&](uint8_t sc, uint8_t dc) {
                    return static_cast<uint8_t>(std::lround(sc * a + dc * (1 - a)));
                };
                out.SetPixel(
                    px, py,
                    MakeArgb(255, mix(ArgbRed(s), ArgbRed(d)), mix(ArgbGreen(s), ArgbGreen(d)),
                             mix(ArgbBlue(s), ArgbBlue(d))));
            }
    }
    return out;
}

int MaxChannelDifference(const Bitmap& a, const Bitmap& b) {
    int worst = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) {
            const uint32_t p = a.GetPixel(x, y), q = b.GetPixel(x, y);
            for (int shift = 0; shift < 32; shift += 8)
                worst = std::max(worst, std::abs(static_cast<int>((p >> shift) & 0xFF) -
                                                 static_cast<int>((q >> shift) & 0xFF)));
        }
    return worst;
}

TEST(CliRender, IndependentDiscEveryPageAndStateMatchesTheComposition) {
    TESSEL_REQUIRE_CORPUS();
    CIgObject ig;
    ASSERT_TRUE(ig.LoadStream((IndependentDir() / "menu.ies").string(), true));
    const std::vector<CPage*> pages = PagesById(ig);
    ASSERT_FALSE(pages.empty());
    test::CTempDir out;
    const test::SRunResult r =
        test::RunCli({"render", (IndependentDir() / "BDMV").string(), out.Str(), "--all"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const fs::path folder = out.Path() / "00001" / std::to_string(0x1400);
    int compared = 0;
    for (const CPage* page : pages)
        for (int s = 0; s < 3; ++s) {
            SCOPED_TRACE(page->name + " " + kStates[s]);
            const Bitmap got =
                Load(folder / ("page" + std::to_string(page->id) + "-" + kStates[s] + ".png"));
            ASSERT_EQ(got.Width(), ig.video.width);
            ASSERT_EQ(got.Height(), ig.video.height);
            const Bitmap want =
                Expected(*page, s, ig.video.width, ig.video.height, MakeArgb(255, 0, 0x80, 0x80));
            EXPECT_LE(MaxChannelDifference(got, want), 2);
            ++compared;
        }
    EXPECT_EQ(compared, static_cast<int>(pages.size()) * 3);
    // The states differ where the menu's pictures do.
    EXPECT_GT(MaxChannelDifference(Load(folder / "page0-normal.png"),
                                   Load(folder / "page0-selected.png")),
              2);
}

TEST(CliRender, DefaultsOptionsAndStreamFiles) {
    TESSEL_REQUIRE_CORPUS();
    test::CTempDir out;
    const std::string bdmv = (IndependentDir() / "BDMV").string();
    const fs::path one = out.Path() / "one.png";
    test::SRunResult r = test::RunCli({"render", bdmv, one.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("page 0, normal, 1920x1080"), std::string::npos) << r.out;
    // The bare stream renders the same picture without a disc.
    const fs::path fromStream = out.Path() / "stream.png";
    r = test::RunCli(
        {"render", (IndependentDir() / "menu.ies").string(), fromStream.string(), "--bare"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(MaxChannelDifference(Load(one), Load(fromStream)), 0);
    // Zoom, background, outlines and safe areas.
    const fs::path small = out.Path() / "small.png";
    r = test::RunCli({"render", bdmv, small.string(), "--zoom", "0.25", "--bg", "102030",
                      "--outlines", "--safe-areas", "--state", "selected", "--pid", "0x1400",
                      "--clip", "1", "--page", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Bitmap s = Load(small);
    EXPECT_EQ(s.Width(), 480);
    EXPECT_EQ(s.Height(), 270);
    EXPECT_EQ(s.GetPixel(2, 2), MakeArgb(255, 0x10, 0x20, 0x30));
}

TEST(CliRender, BadRequestsFailAndLeaveNoFile) {
    TESSEL_REQUIRE_CORPUS();
    test::CTempDir out;
    const std::string bdmv = (IndependentDir() / "BDMV").string();
    const fs::path png = out.Path() / "x.png";
    struct SRow {
        std::vector<std::string> extra;
        const char* message;
    };
    const SRow rows[] = {
        {{"--clip", "7"}, "no IG clip 00007"},
        {{"--pid", "0x1401"}, "no IG stream on PID 0x1401"},
        {{"--pid", "nonsense"}, "not a PID"},
        {{"--page", "9"}, "no page with id 9"},
        {{"--state", "pressed"}, "not one of normal, selected, activated"},
        {{"--zoom", "0"}, "outside (0, 4]"},
        {{"--zoom", "4.5"}, "outside (0, 4]"},
        {{"--bg", "12345"}, "not a colour"},
    };
    for (const SRow& row : rows) {
        std::vector<std::string> args = {"render", bdmv, png.string()};
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        const test::SRunResult r = test::RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << row.message;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(png)) << row.message;
    }
}

TEST(CliRender, GeneratedDiscAllPagesAndNoIgClip) {
    test::CTempDir work;
    authoring::SDiscOptions options;
    authoring::SClipSpec clip;
    clip.number = 3;
    clip.igPids = {0x1400, 0x1401};
    clip.menu = {
        .pages = 2, .bogsPerPage = 1, .buttonsPerBog = 2, .buttonWidth = 64, .buttonHeight = 32};
    options.clips.push_back(clip);
    ASSERT_EQ(authoring::WriteSampleDisc((work.Path() / "Disc").string(), options).Message(), "");
    const std::string bdmv = (work.Path() / "Disc" / "BDMV").string();
    const fs::path out = work.Path() / "out";
    test::SRunResult r = test::RunCli({"render", bdmv, out.string(), "--all"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(out)) files += e.is_regular_file();
    EXPECT_EQ(files, 2 * 2 * 3) << "two streams, two pages, three states";
    EXPECT_TRUE(fs::exists(out / "00003" / "5121" / "page1-activated.png"));
    // --pid narrows --all to one stream.
    const fs::path narrow = work.Path() / "narrow";
    r = test::RunCli({"render", bdmv, narrow.string(), "--all", "--pid", "5121"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(fs::exists(narrow / "00003" / "5120"));
    EXPECT_TRUE(fs::exists(narrow / "00003" / "5121" / "page0-normal.png"));

    authoring::SDiscOptions subtitles;
    authoring::SClipSpec pg;
    pg.presentationGraphicsOnly = true;
    subtitles.clips.push_back(pg);
    ASSERT_EQ(authoring::WriteSampleDisc((work.Path() / "Film").string(), subtitles).Message(), "");
    const fs::path png = work.Path() / "film.png";
    r = test::RunCli({"render", (work.Path() / "Film" / "BDMV").string(), png.string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("\"Film\": has no IG Menu."), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(png));
}

}  // namespace
}  // namespace tessel
