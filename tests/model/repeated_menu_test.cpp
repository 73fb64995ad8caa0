// A menu sent again and again in one stream: the repeats share the pictures
// decoded the first time, and the tree read one display set at a time is the
// one a whole read builds.
#include <gtest/gtest.h>

#include <set>

#include "authoring/sample_disc.h"
#include "model/ig_object.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace tessel {
namespace {

std::vector<uint8_t> SmallMenuStream(const std::string& pictures, int seed = 0) {
    const authoring::SMenuOptions o{.pages = 2,
                                    .bogsPerPage = 1,
                                    .buttonsPerBog = 2,
                                    .buttonWidth = 32,
                                    .buttonHeight = 16,
                                    .seed = seed};
    CIgObject ig;
    EXPECT_EQ(authoring::AuthorMenu(o, pictures, ig).Message(), "");
    std::vector<uint8_t> marked;
    EXPECT_EQ(authoring::MenuStream(ig, marked).Message(), "");
    return marked;
}

std::vector<uint8_t> Repeated(const std::vector<uint8_t>& once, int times, bool acquisition) {
    std::vector<uint8_t> out;
    EXPECT_TRUE(authoring::RepeatStream(once, times, 90000, acquisition, out));
    return out;
}

// Epochs, display sets, pages, objects (id and pixels) and palettes, as text.
std::string TreeText(const CIgObject& ig) {
    std::string t = StrFormat("%dx%d@%d\n", ig.video.width, ig.video.height, ig.video.frameRate);
    for (const auto& e : ig) {
        t += e->name + "\n";
        for (const auto& ds : *e)
            t += StrFormat(" %s state %d frame %d pages %d\n", ds->name.c_str(),
                           ds->compositionState, ds->frameNumber, ds->GetSize());
        for (const auto& o : e->graphics.items) {
            uint64_t sum = 0;
            for (int y = 0; y < o->bitmap->Height(); ++y)
                for (int x = 0; x < o->bitmap->Width(); ++x)
                    sum = sum * 31 + o->bitmap->GetIndex(x, y);
            t += StrFormat(" object %d %dx%d %llx\n", o->id, o->width, o->height,
                           static_cast<unsigned long long>(sum));
        }
        for (const auto& p : e->palettes.items) t += StrFormat(" palette %d\n", p->id);
    }
    return t;
}

CGsData ReadWhole(const std::vector<uint8_t>& marked) {
    CMemorySource source(marked);
    CGsData data;
    const CResult error = data.Read(source, false);
    EXPECT_TRUE(error) << error.Text();
    return data;
}

// Each case in its own temporary folder.
class RepeatedMenu : public ::testing::Test {
protected:
    test::CTempDir dir;
};

TEST_F(RepeatedMenu, RepeatsShareTheirPicturesInBothForms) {
    const std::vector<uint8_t> once = SmallMenuStream(dir.Str() + "/pics");
    CIgObject single;
    ASSERT_TRUE(single.BuildFromBytes(once, false, nullptr));
    ASSERT_EQ(single.GetSize(), 1);
    const size_t objects = single.GetAt(0)->graphics.items.size();
    ASSERT_GT(objects, 0u);

    for (const bool acquisition : {false, true}) {
        SCOPED_TRACE(acquisition ? "acquisition points" : "epoch starts");
        const std::vector<uint8_t> marked = Repeated(once, 5, acquisition);
        CIgObject streamed, whole;
        CResult dropped;
        const CResult error = streamed.BuildFromBytes(marked, false, &dropped);
        ASSERT_TRUE(error) << error.Text();
        EXPECT_LT(dropped.Offset(), 0) << dropped.Text();
        whole.BuildFromStream(ReadWhole(marked));
        EXPECT_EQ(TreeText(streamed), TreeText(whole));

        ASSERT_EQ(streamed.GetSize(), acquisition ? 1 : 5);
        std::set<const Bitmap*> pictures;
        for (const auto& e : streamed) {
            // each epoch holds every object once, as one copy of the menu does
            EXPECT_EQ(e->graphics.items.size(), objects);
            for (const auto& o : e->graphics.items) pictures.insert(o->bitmap.get());
        }
        EXPECT_EQ(pictures.size(), objects);
        EXPECT_EQ(streamed.GetAt(0)->GetSize(), acquisition ? 5 : 1);
        if (acquisition) {
            EXPECT_EQ(streamed.GetAt(0)->GetAt(1)->compositionState, kStateAcquisitionPoint);
        }
    }
}

TEST_F(RepeatedMenu, OtherBytesOrAnotherPaletteAreDecodedAgain) {
    const std::vector<uint8_t> once = SmallMenuStream(dir.Str() + "/pics");
    // The second copy's pictures differ: another menu with the same ids.
    std::vector<uint8_t> two = once;
    const std::vector<uint8_t> other = SmallMenuStream(dir.Str() + "/pics2", 5);
    two.insert(two.end(), other.begin(), other.end());
    CIgObject ig;
    ASSERT_TRUE(ig.BuildFromBytes(two, false, nullptr));
    ASSERT_EQ(ig.GetSize(), 2);
    const auto& a = ig.GetAt(0)->graphics.items;
    const auto& b = ig.GetAt(1)->graphics.items;
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) EXPECT_NE(a[i]->bitmap, b[i]->bitmap) << i;

    // Same object bytes, palette entries changed in the second copy's PDS.
    CGsData data = ReadWhole(Repeated(once, 2, false));
    auto& pds = data.epochs.at(1)->items.at(0)->pdsList;
    ASSERT_TRUE(pds && !pds->IsEmpty());
    for (auto& p : pds->items)
        for (auto& entry : p->entries) entry.y = static_cast<uint8_t>(entry.y ^ 0x40);
    CIgObject recoloured;
    recoloured.BuildFromStream(data);
    ASSERT_EQ(recoloured.GetSize(), 2);
    EXPECT_NE(recoloured.GetAt(0)->graphics.items.at(0)->bitmap,
              recoloured.GetAt(1)->graphics.items.at(0)->bitmap);
}

TEST_F(RepeatedMenu, ReadErrorKeepsTheCopyBeforeItAndSegmentBytesFollowTheHeaders) {
    std::vector<uint8_t> marked = Repeated(SmallMenuStream(dir.Str() + "/pics"), 2, false);
    const int64_t segments = StreamSegmentBytes(marked, false);
    CGsData data = ReadWhole(marked);
    int64_t expected = 0;
    for (const auto& e : data.epochs)
        for (const auto& ds : e->items)
            for (const CSegmentBase* s : ds->StreamOrder())
                expected += kSegmentHeaderSize + s->segmentLength;
    EXPECT_EQ(segments, expected);

    // An unknown segment type in the second copy's first record (the two
    // copies are the same length).
    marked.at(marked.size() / 2 + 10) = 0x42;
    CIgObject ig;
    const CResult error = ig.BuildFromBytes(marked, false);
    EXPECT_FALSE(error);
    EXPECT_GE(error.Offset(), 0);
    EXPECT_FALSE(error.Text().empty());
    // The first copy, read whole before the break, is kept.
    EXPECT_EQ(ig.GetSize(), 1);
}

// A stream handed over piece by piece, as the demux does: the same tree, and
// the same error at the same stream offset, as the whole stream read at once.
TEST_F(RepeatedMenu, StreamFedInPiecesBuildsTheTreeOfTheWholeRead) {
    const std::vector<uint8_t> clean = Repeated(SmallMenuStream(dir.Str() + "/pics"), 3, false);
    std::vector<uint8_t> damaged = clean;
    damaged.at(damaged.size() / 3 * 2 + 10) = 0x42;  // an unknown segment type
    const std::vector<uint8_t> cut(clean.begin(), clean.end() - 40);
    std::vector<uint8_t> badMarker = clean;  // the second copy's first record (equal copies)
    badMarker.at(clean.size() / 3) = 'X';
    size_t scanned = 0;
    const size_t firstCopy = WholeDisplaySetBytes(clean, false, scanned);
    ASSERT_EQ(firstCopy, clean.size());
    ASSERT_EQ(scanned, clean.size());

    for (const std::vector<uint8_t>* stream :
         std::vector<const std::vector<uint8_t>*>{&clean, &damaged, &cut, &badMarker}) {
        CIgObject whole;
        CResult wholeDropped;
        const CResult wholeError = whole.BuildFromBytes(*stream, false, &wholeDropped);
        const bool wholeOk = wholeError.Ok();
        EXPECT_EQ(wholeOk, stream == &clean);
        for (const size_t piece : {size_t{1}, size_t{13}, size_t{4096}, stream->size()}) {
            SCOPED_TRACE(StrFormat("stream of %zu bytes in pieces of %zu", stream->size(), piece));
            CIgObject fed;
            CIgStreamBuilder builder(fed, false);
            for (size_t at = 0; at < stream->size(); at += piece)
                builder.Feed(std::span(*stream).subspan(at, std::min(piece, stream->size() - at)));
            EXPECT_EQ(builder.Finish(), wholeOk);
            EXPECT_EQ(builder.BytesFed(), static_cast<int64_t>(stream->size()));
            EXPECT_EQ(TreeText(fed), TreeText(whole));
            if (!wholeOk) {
                EXPECT_EQ(builder.Error().Offset(), wholeError.Offset());
                EXPECT_EQ(builder.Error().Text(), wholeError.Text());
            }
            EXPECT_EQ(builder.Dropped().Offset(), wholeDropped.Offset());
        }
    }
}

}  // namespace
}  // namespace tessel
