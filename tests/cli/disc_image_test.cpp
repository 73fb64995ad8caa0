// Disc images as input: an image made from the sample disc scans, rips and
// renders exactly like the folder; the disc root stands for its BDMV folder;
// damaged images, plain files and a recordable UDF 2.50 volume fail with
// their path named.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "authoring/udf_image.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

// The sample disc copied under root/, and an image of root/ made from it.
struct SImageFixture : ::testing::Test {
    void SetUp() override {
        if (!authoring::HaveGenisoimage()) GTEST_SKIP() << "genisoimage is not installed";
        root = work.Path() / "demo";
        fs::copy(test::SourceDir() / "samples" / "demo", root, fs::copy_options::recursive);
        image = work.Path() / "demo.iso";
        ASSERT_EQ(authoring::MakeUdfImage(root.string(), image.string()).Message(), "");
    }

    test::CTempDir work;
    fs::path root;
    fs::path image;
};

std::string Listing(const fs::path& folder) {
    std::string out;
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file() && e.path().filename() != "tessel.rip") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
        const std::vector<uint8_t> bytes = test::ReadBytes(f);
        out += fs::relative(f, folder).string() + " " + std::to_string(bytes.size()) + " " +
               std::to_string(std::hash<std::string>()(std::string(bytes.begin(), bytes.end()))) +
               "\n";
    }
    return out;
}

// A JSON document without the input it names (the path given differs).
std::string WithoutInput(const std::string& text) {
    nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_object()) j.erase("input");
    return j.dump();
}

TEST_F(SImageFixture, ScanRipAndRenderLikeTheFolder) {
    const std::string bdmv = (root / "BDMV").string();
    for (const char* command : {"scan", "playlists"}) {
        const test::SRunResult fromFolder = test::RunCli({command, bdmv, "--json"});
        const test::SRunResult fromImage = test::RunCli({command, image.string(), "--json"});
        ASSERT_EQ(fromFolder.exitCode, 0) << fromFolder.err;
        ASSERT_EQ(fromImage.exitCode, 0) << fromImage.err;
        EXPECT_EQ(WithoutInput(fromImage.out), WithoutInput(fromFolder.out))
            << command << ": the disc is named after the image";
    }
    const fs::path a = work.Path() / "ripA", b = work.Path() / "ripB";
    ASSERT_EQ(test::RunCli({"rip", bdmv, a.string(), "--yes"}).exitCode, 0);
    const test::SRunResult rip = test::RunCli({"rip", image.string(), b.string(), "--yes"});
    ASSERT_EQ(rip.exitCode, 0) << rip.err;
    const std::string listing = Listing(a / "demo");
    EXPECT_FALSE(listing.empty());
    EXPECT_EQ(Listing(b / "demo"), listing);
    const fs::path ra = work.Path() / "renderA", rb = work.Path() / "renderB";
    ASSERT_EQ(test::RunCli({"render", bdmv, ra.string(), "--all"}).exitCode, 0);
    ASSERT_EQ(test::RunCli({"render", image.string(), rb.string(), "--all"}).exitCode, 0);
    EXPECT_EQ(Listing(rb), Listing(ra));
    // The disc's root folder stands for its BDMV folder.
    const test::SRunResult fromRoot = test::RunCli({"scan", root.string(), "--json"});
    EXPECT_EQ(fromRoot.exitCode, 0) << fromRoot.err;
    EXPECT_EQ(WithoutInput(fromRoot.out), WithoutInput(test::RunCli({"scan", bdmv, "--json"}).out));
}

// A clip named by its path below the image is read from inside it.
TEST_F(SImageFixture, ClipPathBelowTheImage) {
    const fs::path a = work.Path() / "demuxA", b = work.Path() / "demuxB";
    const auto fromFolder =
        test::RunCli({"demux", (root / "BDMV/STREAM/00002.m2ts").string(), a.string()});
    ASSERT_EQ(fromFolder.exitCode, 0) << fromFolder.err;
    const auto fromImage =
        test::RunCli({"demux", (image / "BDMV/STREAM/00002.m2ts").string(), b.string()});
    ASSERT_EQ(fromImage.exitCode, 0) << fromImage.err;
    EXPECT_FALSE(Listing(a).empty());
    EXPECT_EQ(Listing(b), Listing(a));
    const auto missing =
        test::RunCli({"demux", (image / "BDMV/STREAM/09999.m2ts").string(), b.string(), "--yes"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("09999.m2ts"), std::string::npos) << missing.err;
}

TEST_F(SImageFixture, DamagedImagesAndPlainFilesNameThePath) {
    const fs::path cut = work.Path() / "cut.iso";
    {
        const std::vector<uint8_t> bytes = test::ReadBytes(image);
        std::ofstream out(cut, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), 40000);
    }
    const fs::path plain = work.Path() / "notes.iso";
    std::ofstream(plain) << "not a disc";
    for (const fs::path& p : {cut, plain}) {
        const test::SRunResult r = test::RunCli({"scan", p.string()});
        EXPECT_EQ(r.exitCode, 2) << p;
        EXPECT_NE(r.err.find(p.string()), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("UDF disc image"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("udfread"), std::string::npos) << "the library's own lines";
    }
    // An image cut after its file system: the files beyond the cut fail to
    // read, with the file named, rather than giving a partial disc.
    const fs::path half = work.Path() / "half.iso";
    {
        const std::vector<uint8_t> bytes = test::ReadBytes(image);
        std::ofstream out(half, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size() / 2));
    }
    const test::SRunResult r =
        test::RunCli({"rip", half.string(), (work.Path() / "h").string(), "--yes"});
    EXPECT_EQ(r.exitCode, 2) << r.out;
    EXPECT_NE(r.err.find("half.iso"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(": the image ends at byte " + std::to_string(fs::file_size(half)) + "; "),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("Input/output error"), std::string::npos) << r.err;
}

// mkudffs writes UDF 2.50 only for BD-R media, with a virtual allocation
// table that pressed discs do not have and libudfread does not read: the
// image must fail with its path named, never crash or pass as a disc.
TEST(DiscImage, Udf250RecordableVolume) {
    if (!test::HaveTool("mkudffs")) GTEST_SKIP() << "mkudffs (udftools) is not installed";
    test::CTempDir work;
    const fs::path image = work.Path() / "empty250.udf";
    const std::string cmd = "truncate -s 32M '" + image.string() +
                            "' && mkudffs --media-type=bdr --udfrev=2.50 --lvid=EMPTY '" +
                            image.string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    for (const char* command : {"playlists", "scan"}) {
        const test::SRunResult r = test::RunCli({command, image.string()});
        EXPECT_EQ(r.exitCode, 2) << command;
        EXPECT_NE(r.err.find("tessel: " + image.string()), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace tessel
