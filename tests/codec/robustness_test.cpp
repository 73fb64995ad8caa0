// Damaged streams: truncations and seeded random corruptions give a failure
// or valid data, never a crash, hang or read outside the input.
#include <gtest/gtest.h>

#include <random>

#include "codec/display_set.h"
#include "model/ic_data.h"
#include "stream_builder.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using test::Bytes;

// Reads the stream in both forms and uses everything that was read.
void Exercise(const Bytes& data) {
    for (bool bare : {false, true}) {
        CMemorySource src(data);
        CEpochList epochs;
        SStreamInfo info;
        const bool ok = ReadStream(epochs, src, bare, &info);
        if (!ok) {
            ASSERT_GE(info.error.Offset(), 0);
            ASSERT_LE(info.error.Offset(), static_cast<int64_t>(data.size()));
            ASSERT_FALSE(info.error.Text().empty());
        }
        for (const auto& epoch : epochs)
            for (const auto& ds : epoch->items) {
                if (ds->odsList)
                    for (const auto& ods : *ds->odsList) {
                        SIndexedImage image;
                        if (DecodeObject(JoinObjectData(ds->odsList.get(), ods->objectId), image)) {
                            ASSERT_EQ(image.pixels.size(),
                                      static_cast<size_t>(image.width) * image.height);
                        }
                    }
                auto composition = ReadComposition(*ds);
                if (composition) composition->Write(nullptr, 0);
                CMemorySink sink;
                WriteDsData(*ds, sink, nullptr, bare, true);
                std::string text;
                for (auto* s : ds->StreamOrder()) s->Dump(text, " ");
            }
    }
}

std::vector<Bytes> Streams() {
    std::vector<Bytes> streams;
    if (!test::CorpusDir().empty()) {
        streams.push_back(test::ReadBytes(test::CorpusDir() / "pg" / "libpgs-test.sup"));
        Bytes ics = test::ReadBytes(test::CorpusDir() / "discs" / "disc10" / "ics_payload.bin");
        Bytes wrapped = test::Record("IG", 0, 0, 0x18, ics);
        test::Append(wrapped, test::Record("IG", 0, 0, 0x80, {}));
        streams.push_back(wrapped);
        streams.push_back(
            test::ReadBytes(test::CorpusDir() / "independent" / "menu_a_single_page" / "menu.ies"));
    }
    // A stream written here: two PG display sets with a coded object.
    SIndexedImage image{40, 6, Bytes(240)};
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<uint8_t>(i / 7);
    Bytes object = EncodeObject(image);
    Bytes ods = {0, 0, 0, 0xC0};
    test::Append(ods, object);
    Bytes own = test::Record("PG", 1, 0, 0x16, test::PcsPayload(2, 1));
    test::Append(own, test::Record("PG", 1, 0, 0x17, {1, 0, 0, 0, 0, 0, 0, 40, 0, 6}));
    test::Append(own, test::Record("PG", 1, 0, 0x14, {0, 0, 1, 16, 128, 128, 255}));
    test::Append(own, test::Record("PG", 1, 0, 0x15, ods));
    test::Append(own, test::Record("PG", 1, 0, 0x80, {}));
    test::Append(own, test::PgDisplaySet(0, 0));
    streams.push_back(own);
    return streams;
}

TEST(Robustness, EveryTruncation) {
    for (const Bytes& full : Streams()) {
        const size_t step = full.size() > 8000 ? 7 : 1;
        for (size_t n = 0; n < full.size(); n += step) {
            Exercise(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n)));
            if (HasFatalFailure()) FAIL() << "truncated to " << n;
        }
    }
}

TEST(Robustness, SeededCorruptions) {
    std::mt19937 rng(7);
    for (const Bytes& full : Streams()) {
        for (int round = 0; round < 300; ++round) {
            Bytes data = full;
            const int hits = 1 + static_cast<int>(rng() % 8);
            for (int h = 0; h < hits; ++h) {
                const size_t at = rng() % data.size();
                // Favour the head bytes of records and segments.
                data[at] = rng() % 3 == 0 ? static_cast<uint8_t>(rng() % 2 ? 0xFF : 0x00)
                                          : static_cast<uint8_t>(rng());
            }
            Exercise(data);
            if (HasFatalFailure()) FAIL() << "round " << round;
        }
    }
}

TEST(Robustness, RandomBytes) {
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        Bytes data(rng() % 300);
        for (auto& b : data) b = static_cast<uint8_t>(rng() % 4 == 0 ? 0x80 : rng());
        Exercise(data);
        SIndexedImage image;
        DecodeObject(data, image);
    }
}

}  // namespace
}  // namespace tessel
