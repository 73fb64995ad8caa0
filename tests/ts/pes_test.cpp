#include <gtest/gtest.h>

#include <vector>

#include "authoring/m2ts_muxer.h"
#include "ts/pes.h"

namespace tessel {
namespace {

void Append(std::vector<uint8_t>& v, const std::vector<uint8_t>& more) {
    v.insert(v.end(), more.begin(), more.end());
}

// A header with every optional field set.
std::vector<uint8_t> FullHeader() {
    std::vector<uint8_t> h = {
        0, 0, 1, 0xE0, 0x12, 0x34, 0x80 | 0x3F /* scr 3, all bits */, 0xFF /* every flag */, 0};
    Append(h, authoring::TimeStampBytes(3, 0x1FFFFFFFF));
    Append(h, authoring::TimeStampBytes(1, 0x100000000));
    // ESCR base 0x123456789 (33 bits), extension 0x155, with marker bits.
    const uint64_t b = 0x123456789, e = 0x155;
    const uint64_t escr = (((b >> 30) & 7) << 43) | (1ull << 42) | (((b >> 15) & 0x7FFF) << 27) |
                          (1ull << 26) | ((b & 0x7FFF) << 11) | (1ull << 10) | (e << 1) | 1;
    for (int i = 5; i >= 0; --i) h.push_back(static_cast<uint8_t>(escr >> (8 * i)));
    const uint32_t rate = (1u << 23) | (0x2ABCDEu << 1) | 1;
    Append(h, {static_cast<uint8_t>(rate >> 16), static_cast<uint8_t>(rate >> 8),
               static_cast<uint8_t>(rate)});
    h.push_back((3 << 5) | (2 << 3) | (1 << 2) | 1);  // fast reverse
    h.push_back(0x80 | 0x55);                         // additional copy info
    Append(h, {0xBE, 0xEF});                          // previous PES CRC
    // extension: every flag
    h.push_back(0x80 | 0x40 | 0x20 | 0x10 | 0x01);
    for (int i = 0; i < 16; ++i) h.push_back(static_cast<uint8_t>(i));
    Append(h, {2, 0xAA, 0xBB});                 // pack field
    Append(h, {0x80 | 0x33, 0x80 | 0x40 | 7});  // counter 0x33, MPEG1 id 1, stuff 7
    Append(h, {0x40 | 0x20 | 0x1F, 0xFF});      // P-STD scale 1, size 0x1FFF
    Append(h, {0x80 | 2, 0x01, 0x02});          // extension field length 2
    Append(h, {0xFF, 0xFF});                    // stuffing
    h[8] = static_cast<uint8_t>(h.size() - 9);
    return h;
}

TEST(PesHeader, EveryOptionalField) {
    auto bytes = FullHeader();
    bytes.push_back(0x16);  // payload
    CByteReader r(bytes);
    SPesHeader h;
    ASSERT_EQ(h.Parse(r), static_cast<int>(bytes.size() - 1));
    EXPECT_EQ(h.startCodePrefix, 1u);
    EXPECT_EQ(h.streamId, 0xE0);
    EXPECT_EQ(h.packetLength, 0x1234);
    EXPECT_EQ(h.scramblingControl, 3);
    EXPECT_TRUE(h.priority && h.dataAlignment && h.copyright && h.originalOrCopy);
    EXPECT_EQ(h.ptsDtsFlags, 3);
    EXPECT_TRUE(h.HasPts() && h.HasDts());
    EXPECT_EQ(h.pts.value, 0x1FFFFFFFFu);
    EXPECT_EQ(h.dts.value, 0x100000000u);
    EXPECT_EQ(h.escr.base, 0x123456789u);
    EXPECT_EQ(h.escr.extension, 0x155);
    EXPECT_EQ(h.esRate, 0x2ABCDEu);
    EXPECT_EQ(h.trickMode.control, 3);
    EXPECT_EQ(h.trickMode.fieldId, 2);
    EXPECT_EQ(h.trickMode.intraSliceRefresh, 1);
    EXPECT_EQ(h.trickMode.frequencyTruncation, 1);
    EXPECT_EQ(h.additionalCopyInfo, 0x55);
    EXPECT_EQ(h.previousPesCrc, 0xBEEF);
    const auto& x = h.extension;
    EXPECT_TRUE(x.privateDataFlag && x.packHeaderFieldFlag && x.sequenceCounterFlag &&
                x.pstdBufferFlag && x.extensionFlag2);
    EXPECT_EQ(x.privateData[15], 15);
    EXPECT_EQ(x.packField, (std::vector<uint8_t>{0xAA, 0xBB}));
    EXPECT_EQ(x.sequenceCounter, 0x33);
    EXPECT_EQ(x.mpeg1Mpeg2Identifier, 1);
    EXPECT_EQ(x.originalStuffLength, 7);
    EXPECT_EQ(x.pstdBufferScale, 1);
    EXPECT_EQ(x.pstdBufferSize, 0x1FFF);
    EXPECT_EQ(x.extensionField, (std::vector<uint8_t>{0x01, 0x02}));
    EXPECT_EQ(h.stuffingBytes, 2);
    EXPECT_FALSE(h.hasTaggedField);
}

TEST(PesHeader, TrickModeVariants) {
    struct {
        uint8_t byte;
        uint8_t control, fieldId, intra, freq, rep;
    } rows[] = {
        {(0 << 5) | (3 << 3) | (1 << 2) | 2, 0, 3, 1, 2, 0},
        {(1 << 5) | 0x1B, 1, 0, 0, 0, 0x1B},
        {(2 << 5) | (1 << 3) | 7, 2, 1, 0, 0, 0},
        {(4 << 5) | 0x05, 4, 0, 0, 0, 5},
        {(6 << 5) | 0x1F, 6, 0, 0, 0, 0},
    };
    for (const auto& row : rows) {
        std::vector<uint8_t> b = {0, 0, 1, 0xE0, 0, 0, 0x80, 0x08, 1, row.byte};
        CByteReader r(b);
        SPesHeader h;
        ASSERT_EQ(h.Parse(r), 10);
        EXPECT_EQ(h.trickMode.control, row.control);
        EXPECT_EQ(h.trickMode.fieldId, row.fieldId);
        EXPECT_EQ(h.trickMode.intraSliceRefresh, row.intra);
        EXPECT_EQ(h.trickMode.frequencyTruncation, row.freq);
        EXPECT_EQ(h.trickMode.repCntrl, row.rep);
    }
}

TEST(PesHeader, EveryTruncationFails) {
    const auto full = FullHeader();
    for (size_t n = 0; n < full.size(); ++n) {
        std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        CByteReader r(cut);
        SPesHeader h;
        EXPECT_EQ(h.Parse(r), -1) << n;
    }
}

TEST(PesHeader, FlaggedFieldsBeyondHeaderDataLengthFail) {
    // PTS and DTS flagged, but the header data length only holds the PTS.
    auto b = authoring::PesHeaderBytes(1000, 500);
    b[8] = 5;
    b.resize(40, 0x16);
    CByteReader r(b);
    SPesHeader h;
    EXPECT_EQ(h.Parse(r), -1);
}

TEST(PesHeader, NoPtsNoDts) {
    auto b = authoring::PesHeaderBytes(std::nullopt, std::nullopt);
    b.push_back(0x80);
    CByteReader r(b);
    SPesHeader h;
    EXPECT_EQ(h.Parse(r), 9);
    EXPECT_FALSE(h.HasPts());
    EXPECT_FALSE(h.HasDts());
}

TEST(PesHeader, StreamsWithoutOptionalHeader) {
    for (uint8_t id : {0xBC, 0xBE, 0xBF, 0xF0, 0xF1, 0xFF}) {
        std::vector<uint8_t> b = {0, 0, 1, id, 0, 10, 0x81, 0xC0, 10};
        CByteReader r(b);
        SPesHeader h;
        EXPECT_EQ(h.Parse(r), 6) << int(id);
        EXPECT_EQ(h.ptsDtsFlags, 0);
    }
}

TEST(PesHeader, TaggedFieldAfterHeader) {
    auto b = authoring::PesHeaderBytes(90000, std::nullopt);
    const int base = static_cast<int>(b.size());
    b.insert(b.end(), {6, 4, 0xAB, 1, 2, 3, 0x16});
    CByteReader r(b);
    SPesHeader h;
    EXPECT_EQ(h.Parse(r), base + 6);
    EXPECT_TRUE(h.hasTaggedField);
    EXPECT_EQ(h.taggedField[2], 0xAB);
    // A tag whose length runs past the data is not taken.
    auto c = authoring::PesHeaderBytes(90000, std::nullopt);
    c.insert(c.end(), {6, 40, 0xAB});
    CByteReader rc(c);
    SPesHeader hc;
    EXPECT_EQ(hc.Parse(rc), base);
    EXPECT_FALSE(hc.hasTaggedField);
}

}  // namespace
}  // namespace tessel
