// Truncated and corrupted composition bodies fail cleanly or give a tree that
// writes itself back consistently; nothing reads past the body.
#include <gtest/gtest.h>

#include <random>

#include "model/ic_data.h"
#include "support/test_support.h"

namespace tessel {
namespace {

std::vector<std::vector<uint8_t>> CorpusBodies() {
    std::vector<std::vector<uint8_t>> bodies;
    for (const char* disc : {"disc8", "disc10", "disc11", "disc12", "disc13", "disc14", "disc15"}) {
        auto bytes = test::ReadBytes(test::CorpusDir() / "discs" / disc / "ics_payload.bin");
        if (bytes.size() > 9) bodies.emplace_back(bytes.begin() + 9, bytes.end());
    }
    return bodies;
}

std::vector<uint8_t> Written(CIcData& ic) {
    std::vector<uint8_t> out(static_cast<size_t>(ic.Write(nullptr, 0)));
    ic.Write(out.data(), 0);
    return out;
}

TEST(IcDataRobustness, EveryTruncationFails) {
    TESSEL_REQUIRE_CORPUS();
    auto bodies = CorpusBodies();
    ASSERT_FALSE(bodies.empty());
    for (size_t i = 0; i < bodies.size(); ++i) {
        const auto& body = bodies[i];
        // Every length of the first body; a stride and the tail for the rest.
        for (size_t n = 0; n < body.size(); n += (i == 0 || n + 64 >= body.size()) ? 1 : 37) {
            // A copy of exactly n bytes, so that the sanitizer sees any overrun.
            std::vector<uint8_t> cut(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(n));
            CIcData ic;
            ASSERT_EQ(ic.Parse(cut, 0), -1) << "length " << n;
        }
    }
}

TEST(IcDataRobustness, SeededCorruptionsParseOrFailCleanly) {
    TESSEL_REQUIRE_CORPUS();
    std::mt19937 rng(20240611);
    int parsed = 0, failed = 0;
    for (const auto& body : CorpusBodies()) {
        for (int round = 0; round < 400; ++round) {
            std::vector<uint8_t> bad = body;
            int flips = 1 + static_cast<int>(rng() % 8);
            for (int k = 0; k < flips; ++k) bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
            if (round % 4 == 0) bad.resize(rng() % bad.size());
            CIcData ic;
            int consumed = ic.Parse(bad, 0);
            if (consumed < 0) {
                ++failed;
                continue;
            }
            ++parsed;
            ASSERT_LE(consumed, static_cast<int>(bad.size()));
            // A tree that parsed writes itself back to bytes that parse to
            // the same tree.
            auto first = Written(ic);
            CIcData again;
            ASSERT_EQ(again.Parse(first, 0), static_cast<int>(first.size()));
            ASSERT_EQ(Written(again), first);
            EXPECT_TRUE(again.ResolveRefs({}, {}));
        }
    }
    EXPECT_GT(parsed, 0);
    EXPECT_GT(failed, 0);
}

TEST(IcDataRobustness, HugeCountsOnTinyInput) {
    // 255 pages declared, no bytes for them.
    std::vector<uint8_t> body = {0xFF, 0xFF, 0xFF, 0x80, 0, 0, 0, 0xFF};
    CIcData ic;
    EXPECT_EQ(ic.Parse(body, 0), -1);
    // A button declaring 65535 commands with none present.
    std::vector<uint8_t> button(35, 0);
    button[33] = button[34] = 0xFF;
    CBdButton b;
    EXPECT_EQ(b.Parse(button, 0), -1);
    EXPECT_EQ(b.commands.GetSize(), 0);
}

}  // namespace
}  // namespace tessel
