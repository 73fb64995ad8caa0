#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "database/clpi.h"
#include "database/track_list.h"

namespace tessel {
namespace {

SClpiStream Stream(uint16_t pid, uint8_t type, std::initializer_list<uint8_t> attributes) {
    SClpiStream s;
    s.pid = pid;
    s.codingInfo.codingType = type;
    s.codingInfo.length = static_cast<uint8_t>(attributes.size() + 1);
    std::copy(attributes.begin(), attributes.end(), s.codingInfo.attributes.begin());
    DecodeStreamCodingInfo(s.codingInfo);
    return s;
}

TEST(LanguageTable, HoldsTheSortedIsoCodes) {
    EXPECT_STREQ(kLanguageCodes[0], "aar");
    EXPECT_STREQ(kLanguageCodes[kLanguageCount - 1], "zun");
    for (int i = 0; i < kLanguageCount; ++i) {
        const std::string code = kLanguageCodes[i];
        EXPECT_TRUE(code.size() == 3 || code == "qaa-qtz") << code;
        if (i > 0) {
            EXPECT_LT(std::string(kLanguageCodes[i - 1]), code);
        }
    }
    for (const char* code : {"eng", "jpn", "fre", "ger", "chi", "spa", "ita", "kor", "und"})
        EXPECT_GE(FindLanguage(code), 0) << code;
    EXPECT_EQ(std::string(kLanguageCodes[EnglishLanguageIndex()]), "eng");
}

TEST(RipTrack, LanguageLookupAndIndex) {
    SRipTrack t;
    EXPECT_EQ(t.GetLanguage(), "eng");
    EXPECT_TRUE(t.SetLanguage("JPN"));
    EXPECT_EQ(t.GetLanguage(), "jpn");
    EXPECT_FALSE(t.SetLanguage("jpn"));  // the current index
    EXPECT_TRUE(t.SetLanguage("xx?"));   // unknown codes fall back to English
    EXPECT_EQ(t.GetLanguage(), "eng");
    EXPECT_FALSE(t.SetLanguageIndex(-1));
    EXPECT_FALSE(t.SetLanguageIndex(kLanguageCount));
    EXPECT_EQ(t.GetLanguage(), "eng");
    EXPECT_TRUE(t.SetLanguageIndex(0));
    EXPECT_EQ(t.GetLanguage(), "aar");
    t.language = -1;
    EXPECT_EQ(t.GetLanguage(), "");
}

TEST(RipTracks, OneTrackPerPidWithLanguageAndPrimaryFlag) {
    const std::vector<SClpiStream> streams = {
        Stream(0x1011, 0x1B, {0x61, 0x30}),          Stream(0x1100, 0x81, {0x61, 'f', 'r', 'e'}),
        Stream(0x1100, 0x82, {0x61, 'g', 'e', 'r'}),  // same PID: the first wins
        Stream(0x1A00, 0xA1, {0x31, 'J', 'P', 'N'}), Stream(0x1B1F, 0x1B, {0x61, 0x30}),
        Stream(0x1200, 0x90, {'q', 'q', 'q'}),       Stream(0x1400, 0x91, {'k', 'o', 'r'}),
        Stream(0x1800, 0x92, {0x01, 'd', 'a', 'n'}),
    };
    SRipTracks list;
    ASSERT_TRUE(list.BuildTrackList(streams, 12));
    ASSERT_EQ(list.GetSize(), 7);
    EXPECT_EQ(list.GetAt(7), nullptr);
    const struct {
        uint16_t pid;
        int position;
        const char* language;
        int primary;
    } want[] = {{0x1011, 0, "eng", 1}, {0x1100, 1, "fre", 1}, {0x1A00, 3, "jpn", 0},
                {0x1B1F, 4, "eng", 0}, {0x1200, 5, "eng", 1}, {0x1400, 6, "kor", 1},
                {0x1800, 7, "dan", 1}};
    for (int i = 0; i < 7; ++i) {
        const SRipTrack& t = *list.GetAt(i);
        EXPECT_EQ(t.pid, want[i].pid);
        EXPECT_EQ(t.position, want[i].position);
        EXPECT_EQ(t.GetLanguage(), want[i].language) << i;
        EXPECT_EQ(t.primary, want[i].primary) << i;
        EXPECT_EQ(t.clipNumber, 12);
    }
    EXPECT_EQ(list.GetAt(1)->codingInfo.codingInfo.codingType, 0x81);
}

TEST(RipTrack, DescribeNamesSourceCodingAndAttributes) {
    SRipTracks list;
    list.BuildTrackList({Stream(0x1400, 0x91, {'j', 'p', 'n'}), Stream(0x1011, 0x1B, {0x41, 0x20}),
                         Stream(0x1100, 0x83, {0x6C, 'e', 'n', 'g'}), Stream(0x1300, 0x24, {0x61})},
                        1);
    EXPECT_EQ(list.GetAt(0)->Describe(), "00001.M2TS, 0x1400, IG/Menu(0x91), jpn");
    EXPECT_EQ(list.GetAt(1)->Describe(),
              "00001.M2TS, 0x1011, MPEG-4 AVC/h.264(0x1B), 1080i, 23.976, 4:3");
    EXPECT_EQ(list.GetAt(2)->Describe(),
              "00001.M2TS, 0x1100, TrueHD/Dolby Lossless(0x83), Multi-channel, 48/192 kHz, eng");
    EXPECT_EQ(list.GetAt(3)->Describe(), "00001.M2TS, 0x1300, Unknown(0x24), no attributes");
    list.GetAt(0)->clipNumber = -1;
    EXPECT_EQ(list.GetAt(0)->Describe(), "0x1400, IG/Menu(0x91), jpn");
}

TEST(RipTrack, ArchiveRoundTripAndBadRecords) {
    SRipTracks list;
    list.BuildTrackList({Stream(0x1A01, 0x81, {0x31, 'f', 'i', 'n'})}, 3);
    SRipTrack& t = *list.GetAt(0);
    t.selected = 1;
    CArchive out;
    t.Serialize(out);
    EXPECT_EQ(out.Buffer()[0], 0);
    EXPECT_EQ(out.Buffer()[1], 0x01);  // PID, little-endian 32 bits
    EXPECT_EQ(out.Buffer()[2], 0x1A);

    CArchive in(out.Buffer());
    SRipTrack back;
    back.Serialize(in);
    EXPECT_EQ(back.Describe(), t.Describe());
    EXPECT_EQ(back.GetLanguage(), "fin");
    EXPECT_EQ(back.selected, 1);
    EXPECT_EQ(back.primary, 0);
    EXPECT_EQ(back.position, 0);

    auto bad = out.Buffer();
    bad[0] = 1;
    CArchive badTag(bad);
    back.Serialize(badTag);
    EXPECT_EQ(badTag.Result().Text(), "bad track record");
    std::vector<uint8_t> cut(out.Buffer().begin(), out.Buffer().begin() + 9);
    CArchive truncated(cut);
    back.Serialize(truncated);
    EXPECT_EQ(truncated.Result().Text(), "archive ends early");
}

}  // namespace
}  // namespace tessel
