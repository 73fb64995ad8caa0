#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "database/bdmv_layout.h"
#include "disc_builder.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

TEST(BdmvLayout, PathBuildersAppendTheSeparatorAndCheckTheNumber) {
    for (std::string folder : {"/x/BDMV", "/x/BDMV/"}) {
        std::string path;
        ASSERT_TRUE(GetClpiPath(folder, 1, path));
        EXPECT_EQ(folder, "/x/BDMV/");
        EXPECT_EQ(path, "/x/BDMV/CLIPINF/00001.clpi");
        ASSERT_TRUE(GetM2tsPath(folder, 99999, path));
        EXPECT_EQ(path, "/x/BDMV/STREAM/99999.m2ts");
        ASSERT_TRUE(GetMplsPattern(folder, path));
        EXPECT_EQ(path, "/x/BDMV/PLAYLIST/*.mpls");
    }
    std::string folder = "/x/BDMV";
    std::string path = "unchanged";
    EXPECT_FALSE(GetClpiPath(folder, 100000, path));
    EXPECT_FALSE(GetM2tsPath(folder, -1, path));
    EXPECT_EQ(path, "unchanged");
    std::string empty;
    EXPECT_FALSE(GetClpiPath(empty, 1, path));
    EXPECT_FALSE(GetMplsPattern(empty, path));
    EXPECT_EQ(path, "unchanged");
}

TEST(BdmvLayout, DiscNameIsTheFolderAboveBdmv) {
    const std::pair<const char*, const char*> cases[] = {
        {"/Movies/Film/BDMV/", "Film"},
        {"/Movies/Film/BDMV", "Film"},
        {"D:/BDMV/", "D:"},
        {"D:/BDMV", "D:"},
        {"Film/BDMV", "Film"},
        {"/x/Film/DISC/", "Film"},  // five characters are dropped whatever they are
        {"/BDMV/", ""},
        {"BDMV", ""},
        {"", ""},
    };
    for (const auto& [folder, name] : cases) EXPECT_EQ(GetDiscName(folder), name) << folder;
}

class ReadPlaylistsTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(Playlists()); }
    fs::path Bdmv() const { return tmp.Path() / "Film" / "BDMV"; }
    fs::path Playlists() const { return Bdmv() / "PLAYLIST"; }
    void Write(const std::string& name, const std::vector<uint8_t>& data) {
        std::ofstream(Playlists() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<long>(data.size()));
    }
    static std::vector<uint8_t> Mpls(const char* clip) {
        return test::BuildPlaylist(test::Playlist({test::Item(clip)}));
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        if (disc.playlists)
            for (const auto& p : *disc.playlists) out.push_back(p->name);
        return out;
    }

    test::CTempDir tmp;
    test::CMessageCapture messages;
    CBDDisc disc;
};

TEST_F(ReadPlaylistsTest, ReadsFiveCharacterTitlesInOrder) {
    Write("00001.mpls", Mpls("00011"));
    Write("00000.mpls", Mpls("00010"));
    Write("1234.mpls", Mpls("00012"));
    Write("00003.txt", Mpls("00013"));
    const CResult read = disc.ReadPlaylists(Bdmv().string());  // no trailing separator
    ASSERT_TRUE(read) << read.Message();
    EXPECT_EQ(disc.playlists->name, "Mpls(s)");
    EXPECT_EQ(Names(), (std::vector<std::string>{"00000", "00001"}));
    EXPECT_EQ(disc.playlists->GetAt(1)->number, 1);
    EXPECT_EQ(disc.playlists->GetAt(1)->path, (Playlists() / "00001.mpls").string());
    std::vector<int> clips;
    for (const auto& p : *disc.playlists) p->ClipReferences(clips);
    EXPECT_EQ(clips, (std::vector<int>{10, 11}));
    disc.Clear();
    EXPECT_EQ(disc.playlists, nullptr);
}

TEST_F(ReadPlaylistsTest, LettersInTheTitlePassButANegativeNumberDoesNot) {
    Write("abcde.mpls", Mpls("00001"));
    Write("-1234.mpls", Mpls("00002"));
    ASSERT_TRUE(disc.ReadPlaylists(Bdmv().string() + "/"));
    EXPECT_EQ(Names(), std::vector<std::string>{"abcde"});
    EXPECT_EQ(disc.playlists->GetAt(0)->number, 0);
}

TEST_F(ReadPlaylistsTest, NoPlaylistGivesTheMessage) {
    Write("1234.mpls", Mpls("00001"));
    const std::string folder = Bdmv().string() + "/";
    EXPECT_EQ(disc.ReadPlaylists(Bdmv().string()).Message(),
              folder + ": has no corresponding mpls file! (no nnnnn.mpls file in " + folder +
                  "PLAYLIST/)");
    // Each reason: a missing folder, a file, a folder without PLAYLIST.
    const std::string missing = (tmp.Path() / "missing" / "BDMV").string();
    const std::string file = (tmp.Path() / "file").string();
    std::ofstream(file) << "x";
    const std::string bare = (tmp.Path() / "bare").string();
    fs::create_directories(bare);
    const std::pair<std::string, std::string> cases[] = {
        {missing, missing + ": no such folder"},
        {file, file + ": a file, not a BDMV folder"},
        {bare, bare + "/: has no corresponding mpls file! (no PLAYLIST folder in it)"},
        {"", ": no such folder"},
    };
    for (const auto& [path, message] : cases) {
        CBDDisc other;
        const CResult read = other.ReadPlaylists(path);
        EXPECT_TRUE(read.Failed());
        EXPECT_EQ(read.Message(), message);
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(ReadPlaylistsTest, ParseErrorNamesTheFileAndKeepsEarlierPlaylists) {
    Write("00000.mpls", Mpls("00001"));
    Write("00001.mpls", {'M', 'P', 'L', 'S'});
    Write("00002.mpls", Mpls("00002"));
    const std::string path = (Playlists() / "00001.mpls").string();
    EXPECT_EQ(disc.ReadPlaylists(Bdmv().string()).Message(),
              path + ": invalid playlist: 4 bytes, too short for a playlist");
    EXPECT_EQ(Names(), (std::vector<std::string>{"00000", "00001"}));
}

TEST_F(ReadPlaylistsTest, DamagedPlaylistsAreNamedWithTheirFaultAndSkippedOnRequest) {
    std::vector<uint8_t> cut = Mpls("00003");
    cut.resize(cut.size() - 20);
    std::vector<uint8_t> garbage(300);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 37 + 11);
    std::vector<uint8_t> clipInfo = Mpls("00004");
    std::copy_n("HDMV", 4, clipInfo.begin());
    clipInfo[8] = 0x7F;  // its PlayList far past the end
    const struct {
        std::vector<uint8_t> bytes;
        std::string reason;
    } cases[] = {
        {cut, "invalid playlist: the PlayListMark at byte"},
        {garbage, "invalid playlist: the PlayList at byte"},
        {clipInfo, "type indicator \"HDMV\", not \"MPLS\" (a clip information file)"},
        {{}, "invalid playlist: 0 bytes, too short for a playlist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        fs::remove_all(Playlists());
        fs::create_directories(Playlists());
        Write("00000.mpls", Mpls("00001"));
        Write("00001.mpls", c.bytes);
        Write("00002.mpls", Mpls("00002"));
        const std::string path = (Playlists() / "00001.mpls").string();
        CBDDisc stopping;
        const std::string message = stopping.ReadPlaylists(Bdmv().string()).Message();
        EXPECT_EQ(message.rfind(path + ": ", 0), 0u) << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;

        std::vector<SDiscFault> skipped;
        disc.Clear();
        const CResult read = disc.ReadPlaylists(Bdmv().string(), &skipped);
        EXPECT_TRUE(read) << read.Message();
        EXPECT_EQ(Names(), (std::vector<std::string>{"00000", "00002"}));
        ASSERT_EQ(skipped.size(), 1u);
        EXPECT_EQ(skipped[0].path, path);
        EXPECT_NE(skipped[0].reason.find(c.reason), std::string::npos);
    }
    // Nothing readable fails even when going on.
    fs::remove_all(Playlists());
    fs::create_directories(Playlists());
    Write("00001.mpls", garbage);
    std::vector<SDiscFault> skipped;
    disc.Clear();
    EXPECT_EQ(disc.ReadPlaylists(Bdmv().string(), &skipped).Message(),
              Bdmv().string() + "/: no playlist could be read");
    EXPECT_EQ(skipped.size(), 1u);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(ReadPlaylistsTest, UnreadableFileStopsWithTheSystemErrorText) {
    Write("00000.mpls", Mpls("00001"));
    Write("00002.mpls", Mpls("00002"));
    // Reading a process's memory file at offset 0 fails, even for root.
    fs::create_symlink("/proc/self/mem", Playlists() / "00001.mpls");
    const std::string message = disc.ReadPlaylists(Bdmv().string()).Message();
    EXPECT_NE(message.find("00001.mpls: Input/output error"), std::string::npos) << message;
    EXPECT_EQ(Names(), std::vector<std::string>{"00000"});
}

}  // namespace
}  // namespace tessel
