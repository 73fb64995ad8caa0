// CTlM2tsObject: parsing a clip's IG PIDs into menu trees, its failures, and
// the rip of the pictures into clip/PID/epoch folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "authoring/m2ts_muxer.h"
#include "authoring/sample_disc.h"
#include "clip/m2ts_object.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "platform/progress.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;
using authoring::SMenuOptions;
using authoring::SMuxTrack;
using test::CMessageCapture;
using test::CTempDir;

SMenuOptions SmallMenu(int seed = 0) {
    return {.pages = 1,
            .bogsPerPage = 1,
            .buttonsPerBog = 2,
            .buttonWidth = 24,
            .buttonHeight = 12,
            .seed = seed};
}

// An authored menu's marked stream; ids of its graphic objects replaced when given.
std::vector<uint8_t> MenuBytes(const SMenuOptions& o, const std::string& pictures,
                               const std::vector<int32_t>& objectIds = {}) {
    CIgObject ig;
    EXPECT_EQ(authoring::AuthorMenu(o, pictures, ig).Message(), "");
    if (!objectIds.empty()) {
        auto& items = ig.GetAt(0)->graphics.items;
        EXPECT_EQ(items.size(), objectIds.size());
        for (size_t i = 0; i < items.size() && i < objectIds.size(); ++i)
            items[i]->id = objectIds[i];
    }
    std::vector<uint8_t> marked;
    EXPECT_EQ(authoring::MenuStream(ig, marked).Message(), "");
    return marked;
}

std::string Mux(const std::string& path, std::vector<SMuxTrack> tracks) {
    authoring::SMuxResult result;
    EXPECT_EQ(authoring::MuxM2ts(path, tracks, {}, result).Message(), "");
    return path;
}

// Source packets with a valid sync byte on one PID and no PAT or PMT.
std::string NoPmtFile(const std::string& path) {
    authoring::CTsMuxer mux;
    mux.AddFiller(0x1011, 50);
    return mux.Save(path);
}

class CCancelAtOnce : public CProgressWnd {
protected:
    void Pump() override { Cancel(); }
};

std::vector<std::string> PngNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Each case in its own temporary folder.
class ClipParse : public ::testing::Test {
protected:
    CTempDir dir;
};

TEST_F(ClipParse, EveryIgPidBecomesAnIgObjectInPmtOrder) {
    const std::string pics = dir.Str() + "/pics";
    const std::string path =
        Mux(dir.Str() + "/00007.m2ts", {{0x1402, 0x91, MenuBytes(SmallMenu(1), pics)},
                                        {0x1200, 0x90, {}},
                                        {0x1400, 0x91, MenuBytes(SmallMenu(2), pics)}});
    CTlM2tsObject clip;
    EXPECT_EQ(clip.id, -1);
    EXPECT_TRUE(clip.name.empty());
    clip.id = 7;
    CMessageCapture messages;
    ASSERT_EQ(clip.ParseClip(path, nullptr), 0) << messages.Last();
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(clip.name, "00007");
    ASSERT_EQ(clip.igObjects.size(), 2u);
    EXPECT_EQ(clip.igObjects[0]->name, "5122");
    EXPECT_EQ(clip.igObjects[1]->name, "5120");
    for (const auto& ig : clip.igObjects) {
        ASSERT_EQ(ig->GetSize(), 1);
        EXPECT_EQ(ig->GetAt(0)->name, "Epoch#1");
        EXPECT_EQ(ig->GetAt(0)->graphics.items.size(), 6u);
        EXPECT_EQ(ig->video.width, 1920);
    }
    // Clear drops the IG objects; id and name stay.
    clip.Clear();
    EXPECT_TRUE(clip.igObjects.empty());
    EXPECT_EQ(clip.id, 7);
    EXPECT_EQ(clip.name, "00007");
}

TEST_F(ClipParse, FailuresShowTheirMessageAndKeepNoIgObjects) {
    const std::string noPmt = NoPmtFile(dir.Str() + "/nopmt.m2ts");
    const std::string noIg = Mux(dir.Str() + "/noig.m2ts", {{0x1200, 0x90, {}}});
    // An IG PID whose stream does not decode: the first segment of an unknown type.
    std::vector<uint8_t> broken = MenuBytes(SmallMenu(), dir.Str() + "/pics");
    broken.at(10) = 0x42;
    const std::string badStream = Mux(dir.Str() + "/bad.m2ts", {{0x1400, 0x91, broken}});
    const std::string missing = dir.Str() + "/missing.m2ts";
    struct {
        std::string path;
        std::string message;  // the whole text, else a part of it
        std::string part;
    } rows[] = {
        {missing, "", "No such file or directory"},
        {noPmt, noPmt + ":\n\rWrong M2ts format ! ", ""},
        {noIg, noIg + ":\n\rhas no IG(menu) ! ", ""},
        {badStream, "", badStream + ": IG stream 0x1400: "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        CTlM2tsObject clip;
        clip.id = 1;
        CMessageCapture messages;
        EXPECT_EQ(clip.ParseClip(row.path, nullptr), 2);
        ASSERT_EQ(messages.messages.size(), 1u);
        if (!row.message.empty()) {
            EXPECT_EQ(messages.Last(), row.message);
        } else {
            EXPECT_NE(messages.Last().find(row.part), std::string::npos) << messages.Last();
        }
        EXPECT_TRUE(clip.igObjects.empty());
        EXPECT_TRUE(clip.name.empty());
    }
}

TEST_F(ClipParse, IgPidWithoutPacketsGivesAnEmptyIgObject) {
    const std::string path =
        Mux(dir.Str() + "/00001.m2ts",
            {{0x1400, 0x91, {}}, {0x1401, 0x91, MenuBytes(SmallMenu(), dir.Str() + "/pics")}});
    CTlM2tsObject clip;
    clip.id = 1;
    CMessageCapture messages;
    ASSERT_EQ(clip.ParseClip(path, nullptr), 0) << messages.Last();
    ASSERT_EQ(clip.igObjects.size(), 2u);
    EXPECT_EQ(clip.igObjects[0]->GetSize(), 0);
    EXPECT_EQ(clip.igObjects[1]->GetSize(), 1);
    fs::create_directory(dir.Path() / "rip");
    ASSERT_TRUE(clip.RipImages(dir.Str() + "/rip"));
    EXPECT_TRUE(fs::is_empty(dir.Path() / "rip/5120"));
    EXPECT_EQ(PngNames(dir.Path() / "rip/5121/Epoch#1").size(), 6u);
}

TEST_F(ClipParse, RealCutWithoutIgInItsPmt) {
    TESSEL_REQUIRE_CORPUS();
    const std::string path = (test::CorpusDir() / "m2ts/Test_H264_DTS2.m2ts").string();
    CTlM2tsObject clip;
    CMessageCapture messages;
    EXPECT_EQ(clip.ParseClip(path, nullptr), 2);
    EXPECT_EQ(messages.Last(),
              fs::absolute(path).lexically_normal().string() + ":\n\rhas no IG(menu) ! ");
}

TEST_F(ClipParse, CancelledDemuxReturnsOneSilently) {
    const std::string path = Mux(dir.Str() + "/00001.m2ts",
                                 {{0x1400, 0x91, MenuBytes(SmallMenu(), dir.Str() + "/pics")}});
    CTlM2tsObject clip;
    CCancelAtOnce progress;
    CMessageCapture messages;
    EXPECT_EQ(clip.ParseClip(path, &progress), 1);
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_TRUE(clip.igObjects.empty());
}

// The folder variant writes the same bytes as the memory pass, leaves no
// file for a PID without payload, and removes its files when cancelled.
TEST(ClipDemuxToFolder, SameBytesAsInMemoryAndNothingLeftOnCancel) {
    CTempDir dir;
    const std::string path =
        Mux(dir.Str() + "/00001.m2ts",
            {{0x1400, 0x91, {}}, {0x1401, 0x91, MenuBytes(SmallMenu(), dir.Str() + "/pics")}});
    std::vector<SIgStream> inMemory;
    CMessageCapture messages;
    ASSERT_EQ(DemuxIgStreams(path, nullptr, inMemory), 0) << messages.Last();
    const std::string out = dir.Str() + "/out/";
    fs::create_directory(out);
    std::vector<SIgStreamFile> files;
    ASSERT_EQ(DemuxIgStreamsToFolder(path, out, nullptr, files), 0) << messages.Last();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].pid, 0x1400);
    EXPECT_TRUE(files[0].path.empty());
    EXPECT_FALSE(fs::exists(out + "5120.ig"));
    EXPECT_EQ(files[1].path, out + "5121.ig");
    EXPECT_EQ(files[1].pesCount, inMemory[1].pesCount);
    std::vector<uint8_t> written;
    ASSERT_EQ(ReadWholeFile(files[1].path, written).Message(), "");
    EXPECT_TRUE(std::ranges::equal(written, std::span<const uint8_t>(inMemory[1].marked)));
    EXPECT_EQ(files[1].bytes, static_cast<int64_t>(written.size()));
    EXPECT_TRUE(messages.messages.empty());

    fs::remove_all(out);
    fs::create_directory(out);
    CCancelAtOnce progress;
    EXPECT_EQ(DemuxIgStreamsToFolder(path, out, &progress, files), 1);
    EXPECT_TRUE(files.empty());
    EXPECT_TRUE(fs::is_empty(out));
    // A folder that does not exist: the first output's path and reason.
    EXPECT_EQ(DemuxIgStreamsToFolder(path, dir.Str() + "/none/", nullptr, files), 2);
    EXPECT_NE(messages.Last().find(dir.Str() + "/none/5120.ig: No such file"), std::string::npos)
        << messages.Last();
}

using ClipRip = ClipParse;

TEST_F(ClipRip, FileNumbersFollowObjectIdsNotPositions) {
    SMenuOptions o = SmallMenu();
    o.buttonsPerBog = 1;  // three pictures
    const std::string path = Mux(dir.Str() + "/00001.m2ts",
                                 {{0x1400, 0x91, MenuBytes(o, dir.Str() + "/pics", {0, 7, 30})},
                                  {0x1401, 0x91, MenuBytes(o, dir.Str() + "/pics", {4, 2, 9})}});
    CTlM2tsObject clip;
    clip.id = 1;
    CMessageCapture messages;
    ASSERT_EQ(clip.ParseClip(path, nullptr), 0) << messages.Last();
    const fs::path out = dir.Path() / "00001";
    fs::create_directory(out);
    ASSERT_TRUE(clip.RipImages(out.string()));  // no trailing separator
    EXPECT_EQ(PngNames(out / "5120/Epoch#1"),
              (std::vector<std::string>{"0001.png", "0008.png", "0031.png"}));
    EXPECT_EQ(PngNames(out / "5121/Epoch#1"),
              (std::vector<std::string>{"0003.png", "0005.png", "0010.png"}));
    EXPECT_EQ(PngNames(out), (std::vector<std::string>{"5120", "5121"}));
    // The picture of object 30 is the one ripped as 0031.png.
    const CGraphicObject* go = nullptr;
    for (const auto& g : clip.igObjects[0]->GetAt(0)->graphics.items)
        if (g->id == 30) go = g.get();
    ASSERT_NE(go, nullptr);
    Bitmap png;
    ASSERT_EQ(LoadImage((out / "5120/Epoch#1/0031.png").string(), png).Message(), "");
    ASSERT_EQ(png.Width(), go->bitmap->Width());
    ASSERT_EQ(png.Height(), go->bitmap->Height());
    for (int y = 0; y < png.Height(); ++y)
        for (int x = 0; x < png.Width(); ++x)
            ASSERT_EQ(png.GetIndex(x, y), go->bitmap->GetIndex(x, y)) << x << "," << y;

    // A second rip reuses the folders without a question and overwrites the files.
    std::ofstream((out / "5120/Epoch#1/0001.png").string(), std::ios::trunc) << "junk";
    std::ofstream((out / "5120/Epoch#1/keep.txt").string()) << "mine";
    ASSERT_TRUE(clip.RipImages(out.string() + "/"));
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_TRUE(messages.questions.empty());
    EXPECT_EQ(LoadImage((out / "5120/Epoch#1/0001.png").string(), png).Message(), "");
    EXPECT_TRUE(fs::exists(out / "5120/Epoch#1/keep.txt"));
}

// Records the position of every report; cancels once it reaches cancelAt.
class CPositions : public CProgressWnd {
public:
    std::vector<int> positions;
    int cancelAt = 1000;

protected:
    void Redraw() override { positions.push_back(Position()); }
    void Pump() override {
        if (Position() >= cancelAt) Cancel();
    }
    void SleepMs(int) override {}
};

TEST_F(ClipRip, ReportsEachPictureAndStopsSilentlyWhenCancelled) {
    SMenuOptions o = SmallMenu();
    o.buttonsPerBog = 1;  // three pictures per PID
    const std::string path =
        Mux(dir.Str() + "/00001.m2ts", {{0x1400, 0x91, MenuBytes(o, dir.Str() + "/pics")},
                                        {0x1401, 0x91, MenuBytes(o, dir.Str() + "/pics")}});
    CTlM2tsObject clip;
    clip.id = 1;
    CMessageCapture messages;
    ASSERT_EQ(clip.ParseClip(path, nullptr), 0) << messages.Last();
    ASSERT_EQ(clip.CountPictures(), 6);
    for (const char* folder : {"all", "half", "more"}) fs::create_directory(dir.Path() / folder);
    {
        CPositions progress;
        ASSERT_TRUE(clip.RipImages(dir.Str() + "/all", &progress));
        EXPECT_EQ(progress.positions, (std::vector<int>{16, 33, 50, 66, 83, 100}));
    }
    {
        CPositions progress;
        progress.cancelAt = 50;
        EXPECT_FALSE(clip.RipImages(dir.Str() + "/half", &progress));
        EXPECT_TRUE(progress.Cancelled());
        EXPECT_EQ(PngNames(dir.Path() / "half/5120/Epoch#1").size(), 3u);
        EXPECT_FALSE(fs::exists(dir.Path() / "half/5121"));
    }
    // Part of a larger rip: positions count on from the pictures done before.
    {
        CPositions progress;
        int done = 6;
        ASSERT_TRUE(clip.RipImages(dir.Str() + "/more", &progress, done, 12));
        EXPECT_EQ(done, 12);
        EXPECT_EQ(progress.positions, (std::vector<int>{58, 66, 75, 83, 91, 100}));
    }
    EXPECT_TRUE(messages.messages.empty());
}

// Clip 1 with the menu o on PID 0x1400, parsed without a message.
void ParseMenuClip(const CTempDir& dir, const SMenuOptions& o, CTlM2tsObject& clip) {
    const std::string path =
        Mux(dir.Str() + "/00001.m2ts", {{0x1400, 0x91, MenuBytes(o, dir.Str() + "/pics")}});
    clip.id = 1;
    CMessageCapture messages;
    ASSERT_EQ(clip.ParseClip(path, nullptr), 0) << messages.Last();
}

// An epoch of many pictures is shared among threads: the files are those
// a picture-by-picture save writes, every picture is reported once in order,
// and a cancel stops the reports at the picture it was asked at.
TEST_F(ClipRip, ManyPicturesSharedAmongThreads) {
    SMenuOptions o = SmallMenu(3);
    o.pages = 4;
    o.bogsPerPage = 3;
    CTlM2tsObject clip;
    ParseMenuClip(dir, o, clip);
    CMessageCapture messages;
    const int total = clip.CountPictures();
    ASSERT_GE(total, 40);
    fs::create_directory(dir.Path() / "all");
    fs::create_directory(dir.Path() / "part");
    CPositions progress;
    ASSERT_TRUE(clip.RipImages(dir.Str() + "/all", &progress));
    ASSERT_EQ(progress.positions.size(), static_cast<size_t>(total));
    for (size_t i = 0; i < progress.positions.size(); ++i)
        EXPECT_EQ(progress.positions[i], static_cast<int>((i + 1) * 100 / total)) << i;
    const fs::path epoch = dir.Path() / "all/5120/Epoch#1";
    const std::vector<std::string> names = PngNames(epoch);
    ASSERT_EQ(names.size(), static_cast<size_t>(total));
    for (const auto& e : *clip.igObjects[0])
        for (const auto& object : e->graphics.items) {
            if (!object->HasPicture()) continue;
            EXPECT_EQ(object->saveStatus, 0);
            std::vector<uint8_t> expected, written;
            ASSERT_EQ(EncodePng(*object->bitmap, expected).Message(), "");
            ASSERT_EQ(
                ReadWholeFile((epoch / object->PictureFileName()).string(), written).Message(), "");
            EXPECT_EQ(written, expected) << object->PictureFileName();
        }
    CPositions cancelling;
    cancelling.cancelAt = 50;
    EXPECT_FALSE(clip.RipImages(dir.Str() + "/part", &cancelling));
    ASSERT_FALSE(cancelling.positions.empty());
    EXPECT_GE(cancelling.positions.back(), 50);
    EXPECT_LT(cancelling.positions.size(), static_cast<size_t>(total));
    // The helper threads may have saved pictures past the cancel before it was
    // seen (a loaded machine lets them run ahead); they are never reported.
    EXPECT_LE(PngNames(dir.Path() / "part/5120/Epoch#1").size(), static_cast<size_t>(total));
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(ClipRip, FolderThatCannotBeMadeStopsWithItsMessage) {
    SMenuOptions o = SmallMenu();
    o.epochs = 2;
    CTlM2tsObject clip;
    ParseMenuClip(dir, o, clip);
    ASSERT_EQ(clip.igObjects[0]->GetSize(), 2);
    struct {
        std::string blocker;  // a file where a folder must go
        std::string folder;   // the folder named in the message
    } rows[] = {
        {"a/5120", "a/5120/"},
        {"b/5120/Epoch#2", "b/5120/Epoch#2/"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.blocker);
        const fs::path blocker = dir.Path() / row.blocker;
        fs::create_directories(blocker.parent_path());
        std::ofstream(blocker.string()) << "x";
        const std::string clipFolder = (dir.Path() / row.blocker.substr(0, 1)).string() + "/";
        CMessageCapture messages;
        EXPECT_FALSE(clip.RipImages(clipFolder));
        EXPECT_EQ(messages.Last().rfind(
                      dir.Str() + "/" + row.folder + ": Failed to create the folder (", 0),
                  0u)
            << messages.Last();
    }
    // The first epoch was written before the second failed.
    EXPECT_TRUE(fs::exists(dir.Path() / "b/5120/Epoch#1/0001.png"));
}

}  // namespace
}  // namespace tessel
