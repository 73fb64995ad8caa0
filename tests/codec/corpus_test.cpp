// Real streams of the shared corpus: PG subtitle streams, the ICS payloads of
// real discs and the independently authored menu.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "codec/display_set.h"
#include "model/ic_data.h"
#include "platform/files.h"
#include "stream_builder.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using test::Bytes;
namespace fs = std::filesystem;

bool WriteFile(const fs::path& path, const Bytes& data) {
    return WriteWholeFile(path.string(), data.data(), data.size()).Ok();
}

struct SPgExpect {
    const char* file;
    int displaySets;
    int epochs;
    // First display set: PCS and WDS fields and the object, read by hand.
    uint16_t width, height;
    uint8_t frameRate;
    uint32_t pts;
    uint16_t compositionNumber;
    uint16_t objectY;
    uint16_t windowY, windowHeight;
    int paletteEntries;
    int objectWidth, objectHeight;
    int fragmentSize;
    // The last display set.
    uint16_t lastCompositionNumber;
    uint32_t lastPts;
};

const SPgExpect kPg[] = {
    {"bdsup2sub-test.sup", 2, 1, 1920, 1080, 1, 2781531, 0, 931, 931, 125, 16, 1920, 125, 28397, 1,
     2980480},
    {"libpgs-test.sup", 4, 2, 128, 64, 2, 90000, 2, 32, 32, 29, 162, 119, 29, 1890, 5, 360000},
    {"sintel.sup", 52, 26, 1920, 1080, 2, 9652500, 0, 1001, 1001, 55, 16, 1920, 55, 11977, 51,
     56681280},
};

// Calls check with each corpus PG stream read to its end.
void ForEachPg(
    const std::function<void(const SPgExpect&, CEpochList&, const SStreamInfo&)>& check) {
    for (const auto& e : kPg) {
        SCOPED_TRACE(e.file);
        const Bytes data = test::ReadBytes(test::CorpusDir() / "pg" / e.file);
        CMemorySource src(data);
        CEpochList epochs;
        SStreamInfo info;
        ASSERT_TRUE(ReadStream(epochs, src, false, &info)) << info.error.Text();
        EXPECT_EQ(src.Position(), static_cast<int64_t>(data.size()));
        check(e, epochs, info);
    }
}

TEST(PgCorpus, StreamsReadToTheEndWithTheirFields) {
    TESSEL_REQUIRE_CORPUS();
    ForEachPg([](const SPgExpect& e, CEpochList& epochs, const SStreamInfo& info) {
        EXPECT_FALSE(info.interactive);
        EXPECT_EQ(info.video, (SVideoDescriptor{e.width, e.height, e.frameRate, 0}));
        ASSERT_EQ(static_cast<int>(epochs.size()), e.epochs);
        int sets = 0;
        for (const auto& epoch : epochs) {
            // Every epoch here is a shown subtitle and its clearing.
            ASSERT_EQ(epoch->GetSize(), 2);
            EXPECT_EQ(epoch->GetAt(0)->compositionState, kStateEpochStart);
            EXPECT_EQ(epoch->GetAt(0)->pcs->objects.size(), 1u);
            EXPECT_EQ(epoch->GetAt(1)->compositionState, kStateNormalCase);
            EXPECT_TRUE(epoch->GetAt(1)->pcs->objects.empty());
            EXPECT_FALSE(epoch->GetAt(1)->odsList);
            sets += epoch->GetSize();
        }
        EXPECT_EQ(sets, e.displaySets);

        const CDsData& first = *epochs.front()->GetAt(0);
        EXPECT_EQ(first.pcs->pts, e.pts);
        EXPECT_EQ(first.pcs->compositionNumber, e.compositionNumber);
        const SCompositionObject& o = first.pcs->objects[0];
        EXPECT_EQ(o.objectIdRef, 0);
        EXPECT_FALSE(o.cropped);
        EXPECT_EQ(o.y, e.objectY);
        ASSERT_TRUE(first.wds);
        ASSERT_EQ(first.wds->windows.size(), 1u);
        EXPECT_EQ(first.wds->windows[0].y, e.windowY);
        EXPECT_EQ(first.wds->windows[0].height, e.windowHeight);
        ASSERT_EQ(first.pdsList->GetSize(), 1);
        EXPECT_EQ(static_cast<int>(first.pdsList->GetAt(0)->entries.size()), e.paletteEntries);
        ASSERT_EQ(first.odsList->GetSize(), 1);
        EXPECT_EQ(first.odsList->GetAt(0)->FragmentSize(), e.fragmentSize);
        SIndexedImage image;
        ASSERT_TRUE(DecodeObject(JoinObjectData(first.odsList.get(), 0), image));
        EXPECT_EQ(image.width, e.objectWidth);
        EXPECT_EQ(image.height, e.objectHeight);

        const CDsData& last = *epochs.back()->GetAt(1);
        EXPECT_EQ(last.pcs->compositionNumber, e.lastCompositionNumber);
        EXPECT_EQ(last.pcs->pts, e.lastPts);
    });
}

// Every object of every PG stream decodes, and coding the decoded pixels
// again gives the stream's own bytes.
TEST(PgCorpus, ObjectsDecodeAndRecode) {
    TESSEL_REQUIRE_CORPUS();
    ForEachPg([](const SPgExpect& e, CEpochList& epochs, const SStreamInfo&) {
        int objects = 0;
        for (const auto& epoch : epochs)
            for (const auto& ds : epoch->items) {
                if (!ds->odsList) continue;
                for (const auto& ods : *ds->odsList) {
                    const Bytes joined = JoinObjectData(ds->odsList.get(), ods->objectId);
                    SIndexedImage image;
                    ASSERT_TRUE(DecodeObject(joined, image));
                    EXPECT_EQ(EncodeObject(image), joined);
                    ++objects;
                }
            }
        EXPECT_EQ(objects, e.displaySets / 2);
    });
}

TEST(PgCorpus, ReframeAndDumpThroughTheCli) {
    TESSEL_REQUIRE_CORPUS();
    test::CTempDir dir;
    for (const auto& e : kPg) {
        SCOPED_TRACE(e.file);
        const fs::path in = test::CorpusDir() / "pg" / e.file;
        const fs::path out = dir.Path() / e.file;
        auto r = test::RunCli({"reframe", in.string(), out.string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        // The PG streams carry no reserved bits: the rewrite is identical.
        EXPECT_EQ(test::ReadBytes(out), test::ReadBytes(in));

        auto d = test::RunCli({"dump", in.string()});
        ASSERT_EQ(d.exitCode, 0) << d.err;
        size_t epochs = 0, sets = 0, pos = 0;
        while ((pos = d.out.find("\nEpoch#", pos + 1)) != std::string::npos) ++epochs;
        pos = 0;
        while ((pos = d.out.find("\nDisplaySet#", pos + 1)) != std::string::npos) ++sets;
        EXPECT_EQ(d.out.rfind("Epoch#1\nDisplaySet#1\n PTS: ", 0), 0u);
        EXPECT_EQ(static_cast<int>(epochs) + 1, e.epochs);
        EXPECT_EQ(static_cast<int>(sets), e.displaySets);
    }
}

TEST(PgCorpus, DumpOfABadStreamShowsWhatWasReadAndWhere) {
    TESSEL_REQUIRE_CORPUS();
    Bytes data = test::ReadBytes(test::CorpusDir() / "pg" / "libpgs-test.sup");
    const size_t offset = 2892;  // the WDS record of the third display set
    data[offset + 10] = 0x21;
    test::CTempDir dir;
    const fs::path bad = dir.Path() / "bad.sup";
    ASSERT_TRUE(WriteFile(bad, data));
    auto r = test::RunCli({"dump", bad.string()});
    EXPECT_EQ(r.exitCode, 2);
    // The first epoch, then the unfinished one up to its PCS.
    const size_t second = r.out.find("Epoch#2\nDisplaySet#1\n PTS: 00:00:03:000(270000)\n");
    ASSERT_NE(second, std::string::npos) << r.out;
    EXPECT_NE(r.out.find("DisplaySet#2"), std::string::npos);
    EXPECT_EQ(r.out.find("SegmentType: 0x17", second), std::string::npos);
    EXPECT_NE(r.err.find("unknown segment type 0x21 at byte offset 2892"), std::string::npos)
        << r.err;
}

std::vector<fs::path> IcsPayloads() {
    std::vector<fs::path> files;
    for (const auto& d : fs::directory_iterator(test::CorpusDir() / "discs"))
        if (fs::exists(d.path() / "ics_payload.bin")) files.push_back(d.path() / "ics_payload.bin");
    std::sort(files.begin(), files.end());
    return files;
}

// One display set in marked form: the payload as an ICS, then END.
Bytes WrapIcs(const Bytes& payload) {
    Bytes b = test::Record("IG", 900000, 800000, 0x18, payload);
    test::Append(b, test::Record("IG", 900000, 0, 0x80, {}));
    return b;
}

TEST(IcsCorpus, PayloadsParseAndRecomposeIdentically) {
    TESSEL_REQUIRE_CORPUS();
    const auto files = IcsPayloads();
    ASSERT_EQ(files.size(), 7u);
    test::CTempDir dir;
    for (const auto& f : files) {
        SCOPED_TRACE(f.string());
        const Bytes stream = WrapIcs(test::ReadBytes(f));
        CMemorySource src(stream);
        CEpochList epochs;
        SStreamInfo info;
        ASSERT_TRUE(ReadStream(epochs, src, false, &info)) << info.error.Text();
        EXPECT_TRUE(info.interactive);
        EXPECT_EQ(info.video, (SVideoDescriptor{1920, 1080, 1, 0}));
        ASSERT_EQ(epochs.size(), 1u);
        CDsData& ds = *epochs[0]->GetAt(0);
        auto composition = ReadComposition(ds);
        ASSERT_TRUE(composition);
        EXPECT_GT(composition->GetSize(), 0);
        EXPECT_EQ(composition->Write(nullptr, 0), ds.icsList->GetAt(0)->FragmentSize());

        const fs::path in = dir.Path() / "in.ig";
        const fs::path out = dir.Path() / "out.ig";
        ASSERT_TRUE(WriteFile(in, stream));
        auto r = test::RunCli({"reframe", "--recompose", in.string(), out.string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(test::ReadBytes(out), stream);
    }
}

TEST(IcsCorpus, IndependentMenuReadsInBareForm) {
    TESSEL_REQUIRE_CORPUS();
    const fs::path ies = test::CorpusDir() / "independent" / "menu_a_single_page" / "menu.ies";
    const Bytes data = test::ReadBytes(ies);
    CMemorySource src(data);
    CEpochList epochs;
    SStreamInfo info;
    ASSERT_TRUE(ReadStream(epochs, src, true, &info)) << info.error.Text();
    ASSERT_EQ(epochs.size(), 1u);
    ASSERT_EQ(epochs[0]->GetSize(), 1);
    const CDsData& ds = *epochs[0]->GetAt(0);
    EXPECT_TRUE(info.interactive);
    EXPECT_EQ(info.video, (SVideoDescriptor{1920, 1080, 1, 0}));
    ASSERT_TRUE(ds.icsList && ds.pdsList && ds.odsList && ds.end);
    EXPECT_EQ(ds.icsList->GetAt(0)->compositionNumber, 0);
    EXPECT_TRUE(ReadComposition(ds));
    for (const auto& ods : *ds.odsList) {
        SIndexedImage image;
        EXPECT_TRUE(DecodeObject(JoinObjectData(ds.odsList.get(), ods->objectId), image))
            << ods->objectId;
    }
    test::CTempDir dir;
    const fs::path out = dir.Path() / "out.ies";
    auto r = test::RunCli({"reframe", "--bare", "--recompose", ies.string(), out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(test::ReadBytes(out), data);
    auto d = test::RunCli({"dump", "--bare", ies.string()});
    EXPECT_EQ(d.exitCode, 0);
    EXPECT_NE(d.out.find(" CompositionState: 2(Epoch Start)\n"), std::string::npos);
}

}  // namespace
}  // namespace tessel
