// Disc scan and rip end to end on generated discs: the clips and menu trees
// found, the rip tree, its pictures and marker, and every failure message.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "authoring/disc_files.h"
#include "authoring/m2ts_muxer.h"
#include "codec/colour.h"
#include "database/clpi.h"
#include "disc/disc_scan.h"
#include "disc/rip.h"
#include "disc/scan_support.h"
#include "platform/image_io.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;
using authoring::SAuthoredClip;
using authoring::SDiscOptions;
using test::CMessageCapture;
using test::CTempDir;

std::vector<std::string> TreeOf(const fs::path& root) {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        files.push_back(fs::relative(e.path(), root).string() + (e.is_directory() ? "/" : ""));
    std::sort(files.begin(), files.end());
    return files;
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(WriteWholeFile(path.string(), bytes.data(), bytes.size()).Message(), "");
}

int64_t GetLe64(const std::vector<uint8_t>& b, size_t at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | b[at + static_cast<size_t>(i)];
    return static_cast<int64_t>(v);
}

// One disc for the end-to-end tests, generated and scanned once:
// clip 1: application type 5 reached through sub-paths, two IG PIDs, two epochs;
// clip 2: presentation graphics only; clip 3: type 1, two pages of two groups;
// clip 4: application type 9 with an IG stream. Playlist 00002 names clip 3 twice.
class GeneratedDisc : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new CTempDir;
        authored_ = new std::vector<SAuthoredClip>;
        SDiscOptions o;
        o.pictureFolder = (dir_->Path() / "pictures").string();
        auto c1 = test::Clip(1, 5, {0x1400, 0x1401}, true);
        c1.menu = test::SmallMenu(1, 2, 1);
        c1.menu.epochs = 2;
        auto c3 = test::Clip(3, 1, {0x1400});
        c3.menu = test::SmallMenu(2, 2, 2);
        o.clips = {c3, test::Clip(2, 1, {}), test::Clip(4, 9, {0x1400}), c1};
        bdmv_ = new std::string(test::Generate(dir_->Path() / "Film", o, authored_));
        authoring::SPlaylistSpec twice;
        twice.playItems = {{3, 0, 90000, {}}, {3, 90000, 180000, {}}, {2, 0, 90000, {}}};
        WriteFile(fs::path(*bdmv_) / "PLAYLIST/00002.mpls", authoring::BuildMpls(twice));
        disc_ = new CTlDisc;
        progress_ = new test::CRecordingProgress;
        CMessageCapture messages;
        result_ = ScanDisc(*disc_, *bdmv_, progress_);
        messages_ = new std::vector<std::string>(messages.messages);
    }
    static void TearDownTestSuite() {
        delete messages_;
        delete progress_;
        delete disc_;
        delete bdmv_;
        delete authored_;
        delete dir_;
    }

    static const SAuthoredClip& Authored(int number) {
        for (const auto& a : *authored_)
            if (a.number == number) return a;
        throw std::runtime_error("no such clip");
    }

    static CTempDir* dir_;
    static std::vector<SAuthoredClip>* authored_;
    static std::string* bdmv_;
    static CTlDisc* disc_;
    static test::CRecordingProgress* progress_;
    static std::vector<std::string>* messages_;
    static int result_;
};

CTempDir* GeneratedDisc::dir_ = nullptr;
std::vector<SAuthoredClip>* GeneratedDisc::authored_ = nullptr;
std::string* GeneratedDisc::bdmv_ = nullptr;
CTlDisc* GeneratedDisc::disc_ = nullptr;
test::CRecordingProgress* GeneratedDisc::progress_ = nullptr;
std::vector<std::string>* GeneratedDisc::messages_ = nullptr;
int GeneratedDisc::result_ = -1;

TEST_F(GeneratedDisc, ScanFindsExactlyTheIgClipsAscendingWithTheirPids) {
    ASSERT_EQ(result_, 0);
    EXPECT_TRUE(messages_->empty());
    EXPECT_EQ(disc_->name, "Film");
    ASSERT_EQ(disc_->clips.size(), 2u);
    const int numbers[] = {1, 3};
    const std::vector<std::string> pids[] = {{"5120", "5121"}, {"5120"}};
    for (size_t i = 0; i < 2; ++i) {
        const CTlM2tsObject& clip = *disc_->clips[i];
        EXPECT_EQ(clip.id, numbers[i]);
        EXPECT_EQ(clip.name, StrFormat("%05d", numbers[i]));
        EXPECT_EQ(clip.parent, disc_);
        ASSERT_NE(clip.clipInfo, nullptr);
        EXPECT_EQ(clip.clipInfo->clipNumber, numbers[i]);
        EXPECT_EQ(clip.clipInfo->streamPath, *bdmv_ + StrFormat("/STREAM/%05d.m2ts", numbers[i]));
        EXPECT_EQ(clip.clipInfo->clipInfo.applicationType, Authored(numbers[i]).applicationType);
        std::vector<std::string> names;
        for (const auto& ig : clip.igObjects) names.push_back(ig->name);
        EXPECT_EQ(names, pids[i]);
    }
    // Parsed in clip number order, each once, under the caption "Parsing m2ts".
    EXPECT_NE(std::find(progress_->captions.begin(), progress_->captions.end(), "Parsing m2ts"),
              progress_->captions.end());
    std::vector<std::string> streams;
    for (const auto& t : progress_->texts)
        if (t.find(".m2ts") != std::string::npos) streams.push_back(FileName(t));
    EXPECT_EQ(streams, (std::vector<std::string>{"00001.m2ts", "00003.m2ts"}));
}

TEST_F(GeneratedDisc, ScannedTreesEqualTheAuthoredOnes) {
    ASSERT_EQ(result_, 0);
    for (const auto& clip : disc_->clips) {
        const SAuthoredClip& a = Authored(clip->id);
        ASSERT_EQ(clip->igObjects.size(), a.menus.size());
        for (const auto& ig : clip->igObjects) {
            SCOPED_TRACE(clip->name + "/" + ig->name);
            EXPECT_EQ(ig->id, AtoI(ig->name));
            auto it = a.menus.find(static_cast<uint16_t>(ig->id));
            ASSERT_NE(it, a.menus.end());
            test::ExpectSameTree(*it->second, *ig);
        }
    }
    // The sizes authored: two epochs for clip 1, two pages of two groups for clip 3.
    EXPECT_EQ(disc_->clips[0]->igObjects[1]->GetSize(), 2);
    EXPECT_EQ(disc_->clips[1]->igObjects[0]->GetAt(0)->GetAt(0)->GetSize(), 2);
}

TEST_F(GeneratedDisc, RipWritesTheTreeThePicturesAndTheMarker) {
    ASSERT_EQ(result_, 0);
    CTempDir out;
    CMessageCapture messages;
    const int64_t before = std::time(nullptr);
    ASSERT_TRUE(RipToFolder(*disc_, out.Str()));
    const int64_t after = std::time(nullptr);
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_TRUE(messages.questions.empty());
    const fs::path discFolder = out.Path() / "Film";

    std::vector<std::string> expected = {"00001/", "00003/", "tessel.rip"};
    for (const auto& clip : disc_->clips)
        for (const auto& ig : clip->igObjects) {
            expected.push_back(clip->name + "/" + ig->name + "/");
            for (const auto& epoch : *ig) {
                expected.push_back(clip->name + "/" + ig->name + "/" + epoch->name + "/");
                for (const auto& go : epoch->graphics.items)
                    expected.push_back(clip->name + "/" + ig->name + "/" + epoch->name + "/" +
                                       StrFormat("%04d.png", go->id + 1));
            }
        }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(TreeOf(discFolder), expected);

    const auto marker = test::ReadBytes(discFolder / "tessel.rip");
    ASSERT_EQ(marker.size(), 20u);
    EXPECT_EQ(std::vector<uint8_t>(marker.begin(), marker.begin() + 4), std::vector<uint8_t>(4, 0));
    const int64_t start = GetLe64(marker, 4), end = GetLe64(marker, 12);
    EXPECT_LE(before, start);
    EXPECT_LE(start, end);
    EXPECT_LE(end, after);

    // Every picture: the authored indices pixel for pixel, the authored palette
    // through the Y/Cr/Cb conversion and back, entry 255 transparent.
    int compared = 0;
    for (const auto& clip : disc_->clips)
        for (const auto& [pid, menu] : Authored(clip->id).menus)
            for (const auto& epoch : *menu) {
                const auto& palette = epoch->palettes.items.at(0)->records;
                for (const auto& go : epoch->graphics.items) {
                    const fs::path ripped = discFolder / clip->name / std::to_string(pid) /
                                            epoch->name / StrFormat("%04d.png", go->id + 1);
                    SCOPED_TRACE(ripped.string());
                    Bitmap mine, theirs;
                    ASSERT_EQ(LoadImage(go->imageFile, theirs).Message(), "");
                    ASSERT_EQ(LoadImage(ripped.string(), mine).Message(), "");
                    ASSERT_EQ(mine.Format(), EPixelFormat::Indexed8);
                    ASSERT_EQ(theirs.Format(), EPixelFormat::Indexed8);
                    ASSERT_EQ(mine.Width(), theirs.Width());
                    ASSERT_EQ(mine.Height(), theirs.Height());
                    for (int y = 0; y < mine.Height(); ++y)
                        ASSERT_TRUE(
                            std::equal(mine.Row(y), mine.Row(y) + mine.Width(), theirs.Row(y)))
                            << "row " << y;
                    const auto& entries = mine.Palette().entries;
                    for (const ERGBQUAD& q : palette) {
                        ASSERT_LT(q.index, entries.size());
                        const SYcbcr ycc = RgbToYcbcr(q.red, q.green, q.blue);
                        const SRgb rgb = YcbcrToRgb(ycc.y, ycc.cr, ycc.cb);
                        EXPECT_EQ(entries[q.index], MakeArgb(q.alpha, rgb.red, rgb.green, rgb.blue))
                            << "entry " << int{q.index};
                    }
                    if (entries.size() > 255) {
                        EXPECT_EQ(ArgbAlpha(entries[255]), 0);
                    }
                    ++compared;
                }
            }
    // 2 + 2 epochs of 6 pictures (clip 1), 24 pictures (clip 3).
    EXPECT_EQ(compared, 24 + 24);
}

// Positions, captions and texts as a rip reports them; cancels once the
// position reaches cancelAt.
class CRipProgress : public test::CRecordingProgress {
public:
    std::vector<int> positions;
    int cancelAt = 1000;

protected:
    void Redraw() override {
        CRecordingProgress::Redraw();
        if (positions.empty() || positions.back() != Position()) positions.push_back(Position());
    }
    void Pump() override {
        if (Position() >= cancelAt) Cancel();
    }
    void SleepMs(int) override {}
};

int PngCount(const fs::path& root) {
    int n = 0;
    for (const auto& e : fs::recursive_directory_iterator(root))
        n += e.path().extension() == ".png";
    return n;
}

TEST_F(GeneratedDisc, RipReportsEveryPictureOfTheDiscAndItsClips) {
    ASSERT_EQ(result_, 0);
    CTempDir out;
    CMessageCapture messages;
    CRipProgress progress;
    ASSERT_TRUE(RipToFolder(*disc_, out.Str(), &progress));
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(progress.captions.back(), "Ripping images");
    EXPECT_EQ(progress.texts, (std::vector<std::string>{"00001", "00003"}));
    // 48 pictures: one position per picture over the whole disc, 100 at the end.
    std::vector<int> expected = {0};
    for (int k = 1; k <= 48; ++k) expected.push_back(k * 100 / 48);
    EXPECT_EQ(progress.positions, expected);
    EXPECT_EQ(CountRippedImages(*disc_), 48);
    EXPECT_EQ(PngCount(out.Path()), 48);
    EXPECT_EQ(RipDiscFolder(*disc_, out.Str()), out.Str() + "/Film/");
    EXPECT_EQ(RipDiscFolder(*disc_, out.Str() + "/"), out.Str() + "/Film/");
}

TEST_F(GeneratedDisc, CancelledRipStopsSilentlyWithoutMarker) {
    ASSERT_EQ(result_, 0);
    CTempDir out;
    CMessageCapture messages;
    CRipProgress progress;
    progress.cancelAt = 50;
    EXPECT_FALSE(RipToFolder(*disc_, out.Str(), &progress));
    EXPECT_TRUE(progress.Cancelled());
    EXPECT_TRUE(messages.messages.empty());
    // The picture that reached half way was the last one written: the first
    // clip's last, so that clip is whole and stays.
    EXPECT_EQ(PngCount(out.Path()), 24);
    // Cancelled inside a clip, the clip's folder goes; the finished ones stay.
    CTempDir inside;
    CRipProgress early;
    early.cancelAt = 25;
    std::vector<std::string> finished;
    EXPECT_FALSE(RipToFolder(*disc_, inside.Str(), &early, &finished));
    EXPECT_EQ(PngCount(inside.Path()), 0);
    EXPECT_TRUE(finished.empty());
    EXPECT_FALSE(fs::exists(inside.Path() / "Film")) << "the disc folder it made goes again";
    CTempDir late;
    CRipProgress second;
    second.cancelAt = 75;
    EXPECT_FALSE(RipToFolder(*disc_, late.Str(), &second, &finished));
    EXPECT_EQ(PngCount(late.Path()), 24);
    EXPECT_EQ(finished, std::vector<std::string>{disc_->clips.front()->name});
    EXPECT_FALSE(fs::exists(out.Path() / "Film/tessel.rip"));
    // A window cancelled before the rip stops it before the first picture.
    CTempDir again;
    EXPECT_FALSE(RipToFolder(*disc_, again.Str(), &progress));
    EXPECT_EQ(PngCount(again.Path()), 0);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(GeneratedDisc, OutputFolderWithAndWithoutSeparatorGiveOneTree) {
    ASSERT_EQ(result_, 0);
    CTempDir a, b;
    CMessageCapture messages;
    ASSERT_TRUE(RipToFolder(*disc_, a.Str()));
    ASSERT_TRUE(RipToFolder(*disc_, b.Str() + "/"));
    EXPECT_EQ(TreeOf(a.Path()), TreeOf(b.Path()));
}

TEST_F(GeneratedDisc, SecondRipAsksAndOnlyYesRewrites) {
    ASSERT_EQ(result_, 0);
    CTempDir out;
    {
        CMessageCapture messages;
        ASSERT_TRUE(RipToFolder(*disc_, out.Str()));
    }
    const fs::path discFolder = out.Path() / "Film";
    const fs::path picture = discFolder / "00003/5120/Epoch#1/0001.png";
    const fs::path marker = discFolder / "tessel.rip";
    const std::vector<uint8_t> junk = {'j', 'u', 'n', 'k'};
    WriteFile(picture, junk);
    WriteFile(marker, junk);
    WriteFile(discFolder / "00003/notes.txt", junk);
    const auto tree = TreeOf(discFolder);
    for (EAnswer answer : {EAnswer::No, EAnswer::Cancel}) {
        CMessageCapture messages(answer);
        EXPECT_FALSE(RipToFolder(*disc_, out.Str()));
        EXPECT_EQ(messages.questions,
                  std::vector<std::string>{"The folder already exists, overwrite it? "});
        EXPECT_TRUE(messages.messages.empty());
        EXPECT_EQ(test::ReadBytes(picture), junk);
        EXPECT_EQ(test::ReadBytes(marker), junk);
        EXPECT_EQ(TreeOf(discFolder), tree);
    }
    CMessageCapture messages(EAnswer::Yes);
    EXPECT_TRUE(RipToFolder(*disc_, out.Str()));
    EXPECT_EQ(messages.questions.size(), 1u);
    Bitmap image;
    EXPECT_EQ(LoadImage(picture.string(), image).Message(), "");
    EXPECT_EQ(test::ReadBytes(marker).size(), 20u);
    EXPECT_EQ(test::ReadBytes(discFolder / "00003/notes.txt"), junk);
    EXPECT_EQ(TreeOf(discFolder), tree);
}

TEST_F(GeneratedDisc, RipFolderFailures) {
    ASSERT_EQ(result_, 0);
    CTempDir out;
    // Only one folder level is made: a missing parent fails at the disc folder.
    {
        CMessageCapture messages;
        EXPECT_FALSE(RipToFolder(*disc_, out.Str() + "/gone"));
        EXPECT_EQ(messages.messages,
                  std::vector<std::string>{out.Str() + "/gone/Film/: Failed to create the "
                                                       "folder (No such file or directory)"});
        EXPECT_FALSE(fs::exists(out.Path() / "gone"));
    }
    // A file where the second clip's folder must go; the first clip is ripped.
    fs::create_directories(out.Path() / "Film");
    WriteFile(out.Path() / "Film/00003", {1});
    {
        CMessageCapture messages(EAnswer::Yes);
        EXPECT_FALSE(RipToFolder(*disc_, out.Str()));
        EXPECT_EQ(messages.messages,
                  std::vector<std::string>{
                      out.Str() + "/Film/00003/: Failed to create the folder (File exists)"});
        EXPECT_TRUE(fs::exists(out.Path() / "Film/00001/5120/Epoch#1/0001.png"));
        EXPECT_FALSE(fs::exists(out.Path() / "Film/tessel.rip"));
    }
    // A marker that cannot be written does not fail the rip.
    fs::remove(out.Path() / "Film/00003");
    fs::create_directory(out.Path() / "Film/tessel.rip");
    {
        CMessageCapture messages(EAnswer::Yes);
        EXPECT_TRUE(RipToFolder(*disc_, out.Str()));
        EXPECT_TRUE(messages.messages.empty());
        EXPECT_TRUE(fs::exists(out.Path() / "Film/00003/5120/Epoch#1/0001.png"));
    }
}

TEST_F(GeneratedDisc, FolderWithoutSeparatorScansTheSame) {
    ASSERT_EQ(result_, 0);
    CTlDisc again;
    CMessageCapture messages;
    ASSERT_EQ(ScanDisc(again, *bdmv_ + "/", nullptr), 0);
    ASSERT_EQ(again.clips.size(), disc_->clips.size());
    EXPECT_EQ(again.name, disc_->name);
    for (size_t i = 0; i < again.clips.size(); ++i) {
        EXPECT_EQ(again.clips[i]->id, disc_->clips[i]->id);
        EXPECT_EQ(again.clips[i]->igObjects.size(), disc_->clips[i]->igObjects.size());
    }
    // A new scan starts from an empty list.
    ASSERT_EQ(ScanDisc(again, *bdmv_, nullptr), 0);
    EXPECT_EQ(again.clips.size(), disc_->clips.size());
}

TEST_F(GeneratedDisc, RelativeFolderIsNamedByTheFolderItLiesIn) {
    ASSERT_EQ(result_, 0);
    const fs::path saved = fs::current_path();
    fs::current_path(fs::path(*bdmv_).parent_path());
    for (const char* folder : {"BDMV", "./BDMV/"}) {
        SCOPED_TRACE(folder);
        CTlDisc disc;
        CMessageCapture messages;
        EXPECT_EQ(ScanDisc(disc, folder, nullptr), 0) << messages.Last();
        EXPECT_EQ(disc.name, "Film");
    }
    fs::current_path(saved);
}

// A small disc "Film": IG clips 1 (type 1) and 12 (type 5, sub-path), PG-only clip 2.
struct SSmallDisc {
    CTempDir dir;
    std::string bdmv;
    SSmallDisc() {
        SDiscOptions o;
        o.clips = {test::Clip(1, 1, {0x1400}), test::Clip(2, 1, {}),
                   test::Clip(12, 5, {0x1400}, true)};
        bdmv = test::Generate(dir.Path() / "Film", o);
    }
    fs::path At(const std::string& rel) const { return fs::path(bdmv) / rel; }
};

std::vector<uint8_t> NoPmtStream() {
    authoring::CTsMuxer mux;
    mux.AddFiller(0x1011, 20);
    return mux.data;
}

TEST(ScanFailures, EachSituationGivesItsMessageAndTwo) {
    struct SRow {
        const char* what;
        std::function<void(const SSmallDisc&)> damage;
        std::function<std::string(const SSmallDisc&)> message;  // the exact text
        std::string part;                                       // else a part of it
    };
    const SRow rows[] = {
        {"missing m2ts of an IG clip",
         [](const SSmallDisc& d) { fs::remove(d.At("STREAM/00012.m2ts")); },
         [](const SSmallDisc& d) {
             return d.At("STREAM/00012.m2ts").string() +
                    ": File missing: 00012.m2ts ! (No such file or directory)";
         },
         ""},
        {"clip information cut short",
         [](const SSmallDisc& d) { fs::resize_file(d.At("CLIPINF/00002.clpi"), 30); }, nullptr,
         "00002.clpi: invalid file format. (damaged or cut short (30 bytes): the SequenceInfo at "
         "byte "},
        {"clip information missing",
         [](const SSmallDisc& d) { fs::remove(d.At("CLIPINF/00002.clpi")); }, nullptr,
         "No such file or directory"},
        {"no PMT in the m2ts",
         [](const SSmallDisc& d) { WriteFile(d.At("STREAM/00001.m2ts"), NoPmtStream()); },
         [](const SSmallDisc& d) {
             return d.At("STREAM/00001.m2ts").string() + ":\n\rWrong M2ts format ! ";
         },
         ""},
        {"PMT without IG",
         [](const SSmallDisc& d) {
             authoring::SMuxResult r;
             ASSERT_EQ(
                 authoring::MuxM2ts(d.At("STREAM/00012.m2ts").string(), {{0x1200, 0x90, {}}}, {}, r)
                     .Message(),
                 "");
         },
         [](const SSmallDisc& d) {
             return d.At("STREAM/00012.m2ts").string() + ":\n\rhas no IG(menu) ! ";
         },
         ""},
        {"no playlist",
         [](const SSmallDisc& d) {
             fs::remove(d.At("PLAYLIST/00000.mpls"));
             fs::remove(d.At("PLAYLIST/00001.mpls"));
         },
         [](const SSmallDisc& d) {
             return d.bdmv + "/: has no corresponding mpls file! (no nnnnn.mpls file in " + d.bdmv +
                    "/PLAYLIST/)";
         },
         ""},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(row.what);
        SSmallDisc d;
        row.damage(d);
        CTlDisc disc;
        CMessageCapture messages;
        EXPECT_EQ(ScanDisc(disc, d.bdmv, nullptr), 2);
        ASSERT_EQ(messages.messages.size(), 1u);
        if (row.message) {
            EXPECT_EQ(messages.Last(), row.message(d));
        } else {
            EXPECT_NE(messages.Last().find(row.part), std::string::npos) << messages.Last();
        }
        EXPECT_TRUE(messages.questions.empty());
    }
}

TEST(ScanFailures, GoingOnListsTheReadableClipsAndCarriesTheRestWithTheirReason) {
    std::vector<uint8_t> garbage(300);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 37 + 11);
    const struct {
        const char* file;
        std::function<void(const fs::path&)> damage;
        int clip;  // -1: a playlist
        const char* reason;
    } rows[] = {
        {"PLAYLIST/00001.mpls", [&](const fs::path& p) { WriteFile(p, garbage); }, -1,
         ": invalid playlist: the PlayList at byte "},
        {"CLIPINF/00002.clpi", [](const fs::path& p) { fs::resize_file(p, 30); }, 2,
         ": invalid file format. (damaged or cut short (30 bytes): the SequenceInfo at byte "},
        {"STREAM/00012.m2ts", [](const fs::path& p) { fs::remove(p); }, 12,
         ": File missing: 00012.m2ts ! (No such file or directory)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        SSmallDisc d;
        row.damage(d.At(row.file));
        CTlDisc disc;
        CMessageCapture messages;
        SScanOptions options;
        options.keepGoing = true;
        EXPECT_EQ(ScanDisc(disc, d.bdmv, nullptr, options), 0) << messages.Last();
        ASSERT_EQ(disc.faults.size(), 1u);
        const SScanFault& f = disc.faults[0];
        EXPECT_EQ(f.clip, row.clip);
        EXPECT_EQ(f.path, d.At(row.file).string());
        EXPECT_NE(f.reason.find(row.reason), std::string::npos) << f.reason;
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(f.reason, OneLine(messages.Last()));
        EXPECT_FALSE(disc.clips.empty());
        for (const auto& clip : disc.clips) EXPECT_NE(clip->id, row.clip);
        // By default the scan stops there.
        CTlDisc stopped;
        EXPECT_EQ(ScanDisc(stopped, d.bdmv, nullptr), 2);
    }
}

TEST(ScanFailures, RealCutWithoutIgStopsTheScan) {
    TESSEL_REQUIRE_CORPUS();
    SSmallDisc d;
    fs::copy_file(test::CorpusDir() / "m2ts/Test_H264_DTS2.m2ts", d.At("STREAM/00001.m2ts"),
                  fs::copy_options::overwrite_existing);
    CTlDisc disc;
    CMessageCapture messages;
    EXPECT_EQ(ScanDisc(disc, d.bdmv, nullptr), 2);
    EXPECT_EQ(messages.Last(), d.At("STREAM/00001.m2ts").string() + ":\n\rhas no IG(menu) ! ");
}

TEST(ScanFailures, NoIgClipNamesTheDisc) {
    CTempDir dir;
    SDiscOptions o;
    o.clips = {test::Clip(2, 1, {}), test::Clip(3, 9, {0x1400}), test::Clip(4, 2, {0x1400})};
    const std::string bdmv = test::Generate(dir.Path() / "Film", o);
    CTlDisc disc;
    CMessageCapture messages;
    EXPECT_EQ(ScanDisc(disc, bdmv, nullptr), 2);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.Last().rfind(bdmv.substr(0, bdmv.size() - 1), 0), 0u) << messages.Last();
    EXPECT_TRUE(messages.Last().ends_with(": \"Film\": has no IG Menu.")) << messages.Last();
    EXPECT_TRUE(disc.clips.empty());
}

TEST(ScanFailures, ClipsThatAreNotIgNeedNoStream) {
    CTempDir dir;
    SDiscOptions o;
    o.clips = {test::Clip(1, 1, {0x1400}), test::Clip(2, 1, {}), test::Clip(3, 9, {0x1400})};
    const std::string bdmv = test::Generate(dir.Path() / "Film", o);
    fs::remove(fs::path(bdmv) / "STREAM/00002.m2ts");
    fs::remove(fs::path(bdmv) / "STREAM/00003.m2ts");
    CTlDisc disc;
    CMessageCapture messages;
    ASSERT_EQ(ScanDisc(disc, bdmv, nullptr), 0) << messages.Last();
    ASSERT_EQ(disc.clips.size(), 1u);
    EXPECT_EQ(disc.clips[0]->id, 1);
}

TEST(ScanFailures, CancelledScanReturnsOneWithoutMessage) {
    SSmallDisc d;
    CTlDisc disc;
    test::CCancellingProgress progress;
    CMessageCapture messages;
    EXPECT_EQ(ScanDisc(disc, d.bdmv, &progress), 1);
    EXPECT_TRUE(messages.messages.empty());
}

}  // namespace
}  // namespace tessel
