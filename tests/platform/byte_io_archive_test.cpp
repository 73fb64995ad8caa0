#include <gtest/gtest.h>

#include "platform/archive.h"
#include "platform/byte_io.h"
#include "platform/result.h"

namespace tessel {
namespace {

TEST(ByteReader, ReadsBigEndianAndFailsStickyPastTheEnd) {
    const uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    CByteReader r(bytes, sizeof bytes);
    EXPECT_EQ(r.U16(), 0x1234);
    EXPECT_EQ(r.U24(), 0x56789Au);
    EXPECT_FALSE(r.Failed());
    EXPECT_EQ(r.U8(), 0);
    EXPECT_TRUE(r.Failed());
    EXPECT_FALSE(r.Seek(2));  // a failed reader stays failed
    EXPECT_TRUE(r.Failed());

    CByteReader s(bytes, sizeof bytes);
    EXPECT_FALSE(s.Seek(6));
    EXPECT_TRUE(s.Failed());
    CByteReader t(bytes, sizeof bytes);
    EXPECT_EQ(t.U32(), 0x12345678u);
    auto sub = t.Sub(2);
    EXPECT_TRUE(t.Failed());
    EXPECT_TRUE(sub.Failed());
}

TEST(ByteWriter, CountsWithoutBufferAndWritesTheSameSize) {
    auto emit = [](CByteWriter& w) {
        w.U8(1);
        w.U16(0x0203);
        w.U24(0x040506);
        w.U32(0x0708090A);
        w.Zeros(2);
    };
    CByteWriter count;
    emit(count);
    ASSERT_EQ(count.Pos(), 12u);
    std::vector<uint8_t> buf(count.Pos());
    CByteWriter w(buf.data());
    emit(w);
    EXPECT_EQ(buf, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0}));
}

// One row: bytes, then reads ('b' Bits(n), 'B' Bits64(n), 'f' Flag, 's' SkipBits(n), '8' U8,
// 'S' Seek(n)) each with the value it must yield, then whether the reader failed.
TEST(ByteReader, BitFieldsMsbFirstBoundedAndAlignedForBytes) {
    struct Op {
        char kind;
        unsigned n;
        uint64_t value;
    };
    struct {
        std::vector<uint8_t> bytes;
        std::vector<Op> ops;
        bool failed;
    } cases[] = {
        {{0xA5, 0x3C}, {{'b', 3, 5}, {'f', 0, 0}, {'b', 6, 0x14}, {'b', 6, 0x3C}}, false},
        {{0xFF, 0x00, 0x80}, {{'s', 7, 0}, {'b', 10, 0x201}, {'f', 0, 0}, {'8', 0, 0}}, true},
        {{0x12, 0x34}, {{'b', 4, 1}, {'b', 4, 2}, {'8', 0, 0x34}}, false},
        {{0x12}, {{'b', 9, 0}, {'b', 1, 0}}, true},
        {{0x12, 0x34}, {{'f', 0, 0}, {'S', 1, 0}, {'8', 0, 0x34}}, false},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {{'b', 4, 0}, {'B', 64, 0x1020304050607080}}, false},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {{'b', 33, 0}}, true},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        CByteReader r(cases[i].bytes.data(), cases[i].bytes.size());
        for (const Op& op : cases[i].ops) {
            uint64_t v = 0;
            switch (op.kind) {
                case 'b':
                    v = r.Bits(op.n);
                    break;
                case 'B':
                    v = r.Bits64(op.n);
                    break;
                case 'f':
                    v = r.Flag();
                    break;
                case 's':
                    r.SkipBits(op.n);
                    break;
                case '8':
                    v = r.U8();
                    break;
                case 'S':
                    r.Seek(op.n);
                    break;
            }
            if (op.kind != 's' && op.kind != 'S') {
                EXPECT_EQ(v, op.value) << "case " << i;
            }
        }
        EXPECT_EQ(r.Failed(), cases[i].failed) << "case " << i;
    }
}

TEST(ByteWriter, BitFieldsAndCapacityFailSticky) {
    auto emit = [](CByteWriter& w) {
        w.Bits(5, 3);
        w.Flag(false);
        w.Bits(0x13C, 10);
        w.Bits(0, 2);
        w.U8(0x7F);
    };
    CByteWriter count;
    emit(count);
    ASSERT_EQ(count.Pos(), 3u);
    uint8_t buf[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    CByteWriter w(buf, 3);
    emit(w);
    EXPECT_FALSE(w.Failed());
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), (std::vector<uint8_t>{0xA4, 0xF0, 0x7F, 0xEE}));
    CByteReader r(buf, 3);
    EXPECT_EQ(r.Bits(3), 5u);
    EXPECT_FALSE(r.Flag());
    EXPECT_EQ(r.Bits(10), 0x13Cu);

    struct {
        void (*write)(CByteWriter&);
        size_t pos;
    } overruns[] = {
        {[](CByteWriter& x) { x.U32(1); }, 0},
        {[](CByteWriter& x) {
             x.U16(1);
             x.Bits(0x3FF, 10);
         },
         2},
        {[](CByteWriter& x) {
             x.Bits(1, 4);
             x.U8(1);
         },
         1},
        {[](CByteWriter& x) {
             x.Zeros(3);
             x.Bytes("ab", 2);
             x.U8(9);
         },
         3},
        {[](CByteWriter& x) {
             x.U8(1);
             x.PatchUint(0, 7, 2);
         },
         1},
    };
    for (size_t i = 0; i < std::size(overruns); ++i) {
        uint8_t out[3] = {};
        CByteWriter x(std::span<uint8_t>(out, 3));
        overruns[i].write(x);
        EXPECT_TRUE(x.Failed()) << i;
        EXPECT_EQ(x.Pos(), overruns[i].pos) << i;
    }
}

TEST(Archive, StringLengthPrefixesAtEachBoundary) {
    for (size_t len : {0u, 254u, 255u, 0xFFFDu, 0xFFFEu, 0x10000u}) {
        CArchive out;
        std::string s(len, 'x');
        out.Io(s);
        const auto& b = out.Buffer();
        size_t head = len < 255 ? 1 : len < 0xFFFE ? 3 : 7;
        ASSERT_EQ(b.size(), head + len) << len;
        if (len >= 255) {
            EXPECT_EQ(b[0], 0xFF);
        }
        if (len >= 0xFFFE) {
            EXPECT_EQ(b[1] | (b[2] << 8), 0xFFFF);
        }
        CArchive in(b);
        std::string back;
        in.Io(back);
        EXPECT_EQ(back, s);
    }
}

TEST(Archive, LittleEndianAndTruncationFails) {
    CArchive out;
    int32_t v = 0x01020304;
    out.Io(v);
    EXPECT_EQ(out.Buffer(), (std::vector<uint8_t>{4, 3, 2, 1}));
    std::vector<uint8_t> cut(out.Buffer().begin(), out.Buffer().begin() + 3);
    CArchive in(cut);
    int32_t back = 7;
    in.Io(back);
    EXPECT_TRUE(in.Failed());
    EXPECT_EQ(back, 0);
    EXPECT_EQ(in.Pos(), 0u);
    EXPECT_EQ(in.ReadInt(1), 0u);  // sticky: a read that would fit gives zero too
    EXPECT_EQ(in.Pos(), 0u);
    const std::vector<uint8_t> longString = {200, 'a'};
    CArchive in2(longString);
    EXPECT_EQ(in2.ReadString(), "");
    EXPECT_EQ(in2.Result().Text(), "archive string runs past the end");
}

// A load reports a damaged archive as a failure: the reason and where it was met.
TEST(Archive, LoadTurnsADamagedArchiveIntoAFailure) {
    const struct {
        std::vector<uint8_t> bytes;
        const char* text;  // empty: loads
        int64_t offset;
    } cases[] = {
        {{4, 3, 2, 1, 1, 'a'}, "", -1},
        {{4, 3, 2}, "archive ends early", 0},
        {{4, 3, 2, 1, 200, 'a'}, "archive string runs past the end", 5},
    };
    for (const auto& c : cases) {
        int32_t v = 0;
        std::string text;
        const CResult r = LoadArchive(c.bytes, [&](CArchive& ar) {
            ar.Io(v);
            ar.Io(text);
        });
        EXPECT_EQ(r.Ok(), !*c.text) << c.text;
        EXPECT_EQ(r.Text(), c.text);
        EXPECT_EQ(r.Offset(), c.offset) << c.text;
    }
}

}  // namespace
}  // namespace tessel

namespace tessel {

TEST(Result, MessageNamesWhatIsKnown) {
    struct {
        CResult r;
        std::string message;
    } cases[] = {
        {CResult::Fail("cut short", 12, "a.clpi"), "a.clpi: cut short (at byte 12)"},
        {CResult::Fail("cut short").In("b.mpls"), "b.mpls: cut short"},
        {CResult::Fail("bad", 4, "c").In("d").Shifted(100), "c: bad (at byte 104)"},
        {CResult::Fail("gone", -1, ""), "gone"},
        {CResult::FailIn("", "gone").In("e"), ": gone"},
        {CResult::FailIn("f.ig", "cut", 7), "f.ig: cut (at byte 7)"},
        {CResult::Cancel(), "cancelled"},
    };
    for (auto& c : cases) EXPECT_EQ(c.r.Message(), c.message);
    CResultOf<int> none = CResult::Fail("x");
    EXPECT_FALSE(none.Ok());
    EXPECT_TRUE(none.Result().Failed());
    CResultOf<int> some = 3;
    EXPECT_EQ(*some, 3);
}

}  // namespace tessel
