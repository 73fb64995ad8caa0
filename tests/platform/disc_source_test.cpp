// Disc sources: a folder and an image give the same files by the paths the
// user sees; each source sees only its own image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/disc_source.h"
#include "platform/read_file.h"
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
        std::string bytes(5000, 0);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
        std::ofstream(root_ / "BDMV" / "PLAYLIST" / "00001.mpls", std::ios::binary) << bytes;
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

TEST_F(DiscSource, MappedReadsGiveTheBytesReadWould) {
    for (const char* input : {"disc", "a.iso"}) {
        SCOPED_TRACE(input);
        CResultOf<CDiscSource> opened = CDiscSource::OpenDisc(Path(input));
        ASSERT_TRUE(opened) << opened.Result().Message();
        CReadFile file;
        ASSERT_TRUE(opened->Open(file, opened->BdmvFolder() + "/PLAYLIST/00001.mpls"));
        std::vector<uint8_t> whole(5000);
        ASSERT_EQ(file.Read(whole.data(), whole.size()), 5000u);
        // From an offset off a page boundary, in pieces, to a short last one.
        const CFileMapping view = file.Map(1000, 8000);
        ASSERT_EQ(view.Size(), 4000u);
        ASSERT_TRUE(file.Seek(1000));
        std::vector<uint8_t> mapped;
        for (std::span<const uint8_t> piece; !(piece = file.TakeMapped(view, 1500)).empty();)
            mapped.insert(mapped.end(), piece.begin(), piece.end());
        EXPECT_TRUE(std::equal(mapped.begin(), mapped.end(), whole.begin() + 1000, whole.end()));
        EXPECT_EQ(file.Position(), 5000);
        EXPECT_EQ(file.BytesRead(), 9000);
        ASSERT_TRUE(file.Seek(500));  // before the view: read instead
        EXPECT_TRUE(file.TakeMapped(view, 10).empty());
        EXPECT_TRUE(file.Map(5000, 10).Empty());
    }
    CReadFile memory;
    const std::vector<uint8_t> bytes(100, 7);
    memory.OpenMemory(bytes, "memory");
    EXPECT_TRUE(memory.Map(0, 100).Empty());
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
