// Disc sources: a folder and an image give the same files by the paths the
// user sees; each source sees only its own image.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/disc_source.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

class DiscSource : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("genisoimage")) GTEST_SKIP() << "genisoimage is not installed";
        root_ = dir_.Path() / "disc";
        fs::create_directories(root_ / "BDMV" / "PLAYLIST");
        std::ofstream(root_ / "BDMV" / "PLAYLIST" / "00001.mpls", std::ios::binary)
            << std::string(5000, 'p');
        for (const char* name : {"a.iso", "b.iso"}) {
            const std::string iso = (dir_.Path() / name).string();
            const std::string cmd =
                "genisoimage -quiet -udf -o '" + iso + "' '" + root_.string() + "' >/dev/null 2>&1";
            ASSERT_EQ(std::system(cmd.c_str()), 0);
        }
    }
    std::string Path(const std::string& relative) const {
        return (dir_.Path() / relative).string();
    }

    test::CTempDir dir_;
    fs::path root_;
};

TEST_F(DiscSource, FolderAndImageGiveTheSameFiles) {
    const struct {
        std::string input, bdmv;
        bool image;
    } rows[] = {
        {Path("disc"), Path("disc/BDMV"), false},
        {Path("a.iso"), Path("a.iso/BDMV"), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.input);
        CResultOf<CDiscSource> opened = CDiscSource::OpenDisc(row.input);
        ASSERT_TRUE(opened) << opened.Result().Message();
        const CDiscSource& disc = *opened;
        EXPECT_EQ(disc.BdmvFolder(), row.bdmv);
        EXPECT_EQ(disc.Image() != nullptr, row.image);
        EXPECT_EQ(disc.IsImageRoot(row.input), row.image);
        EXPECT_TRUE(disc.IsFolder(row.bdmv));
        const std::string playlist = row.bdmv + "/PLAYLIST/00001.mpls";
        const auto listed = disc.ListPattern(row.bdmv + "/PLAYLIST/*.MPLS");
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(listed[0].path, playlist);
        EXPECT_EQ(listed[0].title, "00001");
        EXPECT_EQ(disc.Length(playlist), 5000);
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(disc.ReadWhole(playlist, bytes));
        EXPECT_EQ(bytes.size(), 5000u);
        CReadFile file;
        ASSERT_TRUE(disc.Open(file, playlist));
        EXPECT_EQ(file.Length(), 5000);
        const CResult missing = disc.ReadWhole(row.bdmv + "/PLAYLIST/00002.mpls", bytes);
        EXPECT_EQ(missing.Message(), row.bdmv + "/PLAYLIST/00002.mpls: No such file or directory");
    }
}

TEST_F(DiscSource, EachSourceSeesOnlyItsOwnImage) {
    CResultOf<CDiscSource> a = CDiscSource::OpenDisc(Path("a.iso"));
    ASSERT_TRUE(a);
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(a->ReadWhole(Path("a.iso/BDMV/PLAYLIST/00001.mpls"), bytes));
    EXPECT_FALSE(a->ReadWhole(Path("b.iso/BDMV/PLAYLIST/00001.mpls"), bytes));
    EXPECT_FALSE(CDiscSource().IsFolder(Path("a.iso/BDMV")));
    // A clip's path below an image: the image is opened for it.
    CResultOf<CDiscSource> own = CDiscSource::OfPath(Path("b.iso/BDMV/PLAYLIST/00001.mpls"));
    ASSERT_TRUE(own);
    EXPECT_TRUE(own->IsImageRoot(Path("b.iso")));
    EXPECT_FALSE(CDiscSource::OfPath(Path("disc/BDMV/PLAYLIST/00001.mpls"))->Image());
    CReadFile file;
    EXPECT_TRUE(CDiscSource().Open(file, Path("b.iso/BDMV/PLAYLIST/00001.mpls")));
    EXPECT_EQ(file.Path(), Path("b.iso/BDMV/PLAYLIST/00001.mpls"));
}

TEST_F(DiscSource, FilesThatAreNoDiscFailWithTheirName) {
    std::ofstream(Path("notes.txt")) << "not a disc";
    std::ofstream(Path("notes.iso")) << "not a disc";
    const std::pair<std::string, std::string> rows[] = {
        {Path("notes.txt"), ": a file, not a BDMV folder or a disc image"},
        {Path("notes.iso"),
         ": not a readable UDF disc image (no UDF file system found, or it is damaged)"},
    };
    for (const auto& [input, text] : rows) {
        const CResultOf<CDiscSource> opened = CDiscSource::OpenDisc(input);
        EXPECT_FALSE(opened);
        EXPECT_EQ(opened.Result().Message(), input + text);
    }
    CReadFile file;
    const CResult below = CDiscSource().Open(file, Path("notes.iso/BDMV/index.bdmv"));
    EXPECT_NE(below.Text().find(Path("notes.iso") + ": not a readable UDF"), std::string::npos)
        << below.Text();
}

}  // namespace
}  // namespace tessel
