#include <gtest/gtest.h>

#include "database/mpls.h"
#include "disc_builder.h"

namespace tessel {
namespace {

using test::BuildPlaylist;
using test::Item;
using test::Playlist;
using test::SPlaylistSpec;

std::vector<int> Clips(const std::vector<uint8_t>& file, std::vector<int> list = {}) {
    CMplsObject mpls;
    EXPECT_GE(mpls.ParseMpls(file), 1);
    mpls.ClipReferences(list);
    return list;
}

struct SClipCase {
    const char* what;
    SPlaylistSpec spec;
    std::vector<int> clips;
};

class PlaylistClips : public ::testing::TestWithParam<SClipCase> {};

TEST_P(PlaylistClips, ClipReferencesInOrder) {
    EXPECT_EQ(Clips(BuildPlaylist(GetParam().spec)), GetParam().clips) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Mpls, PlaylistClips,
    ::testing::Values(
        SClipCase{"repeated clip is added once",
                  Playlist({Item("00002"), Item("00001"), Item("00002")}),
                  {2, 1}},
        SClipCase{"padded item is skipped by its length",
                  Playlist({Item("00004", {}, 37), Item("00003")}),
                  {4, 3}},
        SClipCase{"angles follow their item",
                  Playlist({Item("00005", {"00007", "00006"}), Item("00001")}),
                  {5, 7, 6, 1}},
        SClipCase{"angle clips are added even when the item's clip is known",
                  Playlist({Item("00001"), Item("00001", {"00002"})}),
                  {1, 2}},
        SClipCase{"sub-path clips after all play item clips",
                  Playlist({Item("00001"), Item("00002")}, {{"00009"}, {"00008", "00001"}}),
                  {1, 2, 9, 8}},
        SClipCase{"extension sub-paths after ordinary sub-paths",
                  Playlist({Item("00001")}, {{"00003"}}, {{"00004", "00003"}, {"00005"}}),
                  {1, 3, 4, 5}},
        SClipCase{"letters read as zero", Playlist({Item("abcde"), Item("00012")}), {0, 12}}));

TEST(Mpls, ClipReferencesKeepsNumbersAlreadyListed) {
    SPlaylistSpec spec = Playlist({Item("00003"), Item("00010")});
    EXPECT_EQ(Clips(BuildPlaylist(spec), {10, 2}), (std::vector<int>{10, 2, 3}));
}

TEST(Mpls, ResultIsTheEndOfTheMarksOrOfTheExtensionData) {
    SPlaylistSpec spec = Playlist({Item("00001")});
    spec.marks = 3;
    auto file = BuildPlaylist(spec);
    CMplsObject mpls;
    EXPECT_EQ(mpls.ParseMpls(file), static_cast<int>(file.size()));
    EXPECT_EQ(mpls.marks.size(), 3u);
    EXPECT_EQ(mpls.marks[2].markTimeStamp, 2000u);
    // Trailing bytes after the marks are not part of the result.
    const int end = static_cast<int>(file.size());
    file.insert(file.end(), 10, 0xAA);
    EXPECT_EQ(mpls.ParseMpls(file), end);

    spec.extension = true;
    file = BuildPlaylist(spec);
    EXPECT_EQ(mpls.ParseMpls(file), static_cast<int>(file.size()));
    ASSERT_EQ(mpls.extensionData.GetSize(), 1);
    EXPECT_NE(mpls.extensionData.Find(2, 2), nullptr);
    EXPECT_EQ(mpls.extensionData.Find(2, 3), nullptr);
}

TEST(Mpls, FieldsOfPlayItemsAndSubPaths) {
    SPlaylistSpec spec = Playlist({Item("00001")}, {{"00002"}});
    spec.items[0].inTime = 90000;
    spec.items[0].outTime = 180000;
    const auto file = BuildPlaylist(spec);
    CMplsObject mpls;
    ASSERT_GE(mpls.ParseMpls(file), 1);
    EXPECT_EQ(mpls.typeIndicator, "MPLS");
    EXPECT_EQ(mpls.appInfo.playlistPlaybackType, 1);
    EXPECT_TRUE(mpls.appInfo.audioMixAppFlag);
    EXPECT_FALSE(mpls.appInfo.playlistRandomAccessFlag);
    ASSERT_EQ(mpls.playItems.size(), 1u);
    EXPECT_EQ(mpls.playItems[0].inTime, 90000u);
    EXPECT_EQ(mpls.playItems[0].outTime, 180000u);
    EXPECT_EQ(mpls.playItems[0].connectionCondition, 1);
    EXPECT_EQ(mpls.playItems[0].stnTable.size(), 16u);
    ASSERT_EQ(mpls.subPaths.size(), 1u);
    EXPECT_EQ(mpls.subPaths[0].subPathType, 3);
    ASSERT_EQ(mpls.subPaths[0].subPlayItems.size(), 1u);
    EXPECT_EQ(mpls.subPaths[0].subPlayItems[0].connectionCondition, 1);
    EXPECT_EQ(mpls.subPaths[0].subPlayItems[0].outTime, 200u);
}

TEST(Mpls, ParsingAgainDiscardsTheEarlierContent) {
    CMplsObject mpls;
    ASSERT_GE(mpls.ParseMpls(BuildPlaylist(
                  Playlist({Item("00001"), Item("00002")}, {{"00003"}}, {{"00004"}}))),
              1);
    ASSERT_GE(mpls.ParseMpls(BuildPlaylist(Playlist({Item("00009")}))), 1);
    std::vector<int> clips;
    mpls.ClipReferences(clips);
    EXPECT_EQ(clips, std::vector<int>{9});
}

// Addresses, counts and lengths that lead outside the buffer make the file invalid.
TEST(Mpls, StructuresOutsideTheBufferAreInvalid) {
    const auto good =
        BuildPlaylist(Playlist({Item("00001"), Item("00002")}, {{"00003"}}, {{"00004"}}));
    struct SCorruption {
        const char* what;
        size_t offset;
        std::vector<uint8_t> bytes;
    };
    const size_t playList = good[11];
    const std::vector<SCorruption> cases = {
        {"playlist address", 8, {0x7F, 0xFF, 0xFF, 0xFF}},
        {"mark address", 12, {0xFF, 0xFF, 0xFF, 0xF0}},
        {"extension address", 16, {0x00, 0x10, 0x00, 0x00}},
        {"play item count", playList + 6, {0xFF, 0xFF}},
        {"sub-path count", playList + 8, {0x00, 0x09}},
        {"play item length", playList + 10, {0xFF, 0xF0}},
    };
    for (const auto& c : cases) {
        auto bad = good;
        std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + static_cast<long>(c.offset));
        CMplsObject mpls;
        EXPECT_LT(mpls.ParseMpls(bad), 1) << c.what;
    }
    // The mark length claims more than the file holds.
    auto bad = good;
    const size_t marks = (size_t{good[14]} << 8) | good[15];
    bad[marks] = 0x10;
    CMplsObject mpls;
    EXPECT_LT(mpls.ParseMpls(bad), 1);
    EXPECT_LT(mpls.ParseMpls({}), 1);
}

TEST(Mpls, ExtensionEntryDataOutsideItsBlockIsInvalid) {
    auto file = BuildPlaylist(Playlist({Item("00001")}, {}, {{"00002"}}));
    CMplsObject mpls;
    ASSERT_GE(mpls.ParseMpls(file), 1);
    // Entry (2, 2) length: 12 bytes into the block's entry table.
    const size_t ext = (size_t{file[18]} << 8) | file[19];
    file[ext + 12 + 8 + 2] = 0x7F;
    EXPECT_LT(mpls.ParseMpls(file), 1);
}

}  // namespace
}  // namespace tessel
