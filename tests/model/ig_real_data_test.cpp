// The real interactive compositions of the corpus, each wrapped into a
// display set with a palette and an object for every id it names, built into
// an IG object whose references all resolve.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "authoring/sample_disc.h"
#include "model/ig_object.h"
#include "support/recorders.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> Payloads() {
    std::vector<fs::path> out;
    for (const auto& entry : fs::directory_iterator(test::CorpusDir() / "discs"))
        if (fs::exists(entry.path() / "ics_payload.bin"))
            out.push_back(entry.path() / "ics_payload.bin");
    std::sort(out.begin(), out.end());
    return out;
}

// A corpus composition's payload as a marked stream, read into display sets.
void ReadPayload(const std::vector<uint8_t>& payload, CGsData& data) {
    std::vector<uint8_t> marked;
    ASSERT_EQ(authoring::StreamFromIcsPayload(payload, marked).Message(), "");
    CMemorySource source(marked);
    ASSERT_TRUE(data.Read(source, false));
}

// An id that names something: neither "none" (-1 after a refresh, 0xFFFF in
// the stream) nor the current-selected marker.
bool Names(int32_t id) {
    return id != -1 && id != 0xFFFF && id != CPage::kCurrentSelectedId;
}

template <class T>
void ExpectResolved(const CRef<T>& ref, const std::string& what) {
    if (Names(ref.id)) {
        EXPECT_NE(ref.ptr, nullptr) << what << " " << ref.id;
        if (ref.ptr) {
            EXPECT_EQ(ref.ptr->id, ref.id) << what;
        }
    }
}

// Every reference of the built menu points at a node with its id; returns
// the object ids named.
std::set<int> ExpectPageResolved(const CPage& page) {
    std::set<int> named;
    ExpectResolved(page.palette, "palette");
    EXPECT_NE(page.palette.ptr, nullptr) << "the page has no palette";
    ExpectResolved(page.defaultSelected, "default selected");
    ExpectResolved(page.defaultActivated, "default activated");
    for (const auto& g : page.items) {
        SCOPED_TRACE(g->name);
        ExpectResolved(g->defaultValid, "default valid");
        if (g->defaultValid.ptr) {
            EXPECT_EQ(g->defaultValid.ptr->parent, g.get());
        }
        for (const auto& b : g->items) {
            SCOPED_TRACE(b->name);
            ExpectResolved(b->neighbors.upper, "upper");
            ExpectResolved(b->neighbors.lower, "lower");
            ExpectResolved(b->neighbors.left, "left");
            ExpectResolved(b->neighbors.right, "right");
            for (const auto& s : b->states) {
                ExpectResolved(s.start, "state start");
                ExpectResolved(s.end, "state end");
                if (Names(s.start.id) && Names(s.end.id))
                    for (int id = std::min(s.start.id, s.end.id);
                         id <= std::max(s.start.id, s.end.id); ++id)
                        named.insert(id);
            }
        }
    }
    for (const CEffectSequenceObject* seq : {&page.inEffects, &page.outEffects})
        for (const auto& e : seq->items) {
            ExpectResolved(e->palette, "effect palette");
            for (const auto& co : e->items) {
                ExpectResolved(co->object, "effect object");
                ExpectResolved(co->window, "effect window");
                if (Names(co->object.id)) named.insert(co->object.id);
            }
        }
    return named;
}

TEST(IgRealData, EveryCompositionBuildsAMenuWhoseReferencesResolve) {
    TESSEL_REQUIRE_CORPUS();
    const auto payloads = Payloads();
    ASSERT_EQ(payloads.size(), 7u);
    for (const auto& path : payloads) {
        SCOPED_TRACE(path.string());
        const std::vector<uint8_t> payload = test::ReadBytes(path);
        CGsData data;
        ASSERT_NO_FATAL_FAILURE(ReadPayload(payload, data));
        EXPECT_TRUE(data.interactive);
        // The video descriptor is the payload's own first five bytes.
        EXPECT_EQ(data.video.width, payload[0] << 8 | payload[1]);
        EXPECT_EQ(data.video.height, payload[2] << 8 | payload[3]);
        EXPECT_EQ(data.video.frameRate, payload[4] >> 4);

        CIgObject ig;
        ASSERT_EQ(ig.BuildFromStream(data), 1);
        const CEpoch& epoch = *ig.GetAt(0);
        ASSERT_EQ(epoch.GetSize(), 1);
        const CDisplaySet& ds = *epoch.GetAt(0);
        EXPECT_EQ(ds.compositionState, payload[7] >> 6);
        ASSERT_GT(ds.GetSize(), 0);
        EXPECT_FALSE(epoch.palettes.IsEmpty());

        std::set<int> named;
        for (const auto& page : ds.items) {
            SCOPED_TRACE(page->name);
            const std::set<int> ids = ExpectPageResolved(*page);
            named.insert(ids.begin(), ids.end());
        }
        // One decoded 16 x 16 object per id named, and nothing else.
        std::set<int> built;
        for (const CGraphicObject* o : epoch.graphics.List()) {
            built.insert(o->id);
            ASSERT_TRUE(o->bitmap) << o->id;
            EXPECT_EQ(o->bitmap->Width(), 16);
            EXPECT_EQ(o->bitmap->Height(), 16);
        }
        EXPECT_EQ(built, named);

        // A copy resolves to its own nodes.
        CIgObject copy;
        copy.CopyFrom(ig);
        const CPage* original = ds.GetAt(ds.GetSize() - 1);
        const CPage* copied = copy.GetAt(0)->GetAt(0)->GetAt(ds.GetSize() - 1);
        ASSERT_NE(copied, nullptr);
        ExpectPageResolved(*copied);
        EXPECT_NE(copied->palette.ptr, original->palette.ptr);
        ASSERT_NE(copied->palette.ptr, nullptr);
        EXPECT_EQ(copied->palette.ptr->parent, &copy.GetAt(0)->palettes);
    }
}

std::vector<uint8_t> BodyBytes(CIcData& ic) {
    std::vector<uint8_t> out(static_cast<size_t>(ic.Write(nullptr, 0)));
    ic.Write(out.data(), 0);
    return out;
}

// Written back through the checks and the segment writer, a real menu gives
// its composition body byte for byte; a menu whose groups overlap once their
// objects are 16 x 16 is refused with that error alone.
TEST(IgRealData, WrittenBackTheCompositionIsUnchanged) {
    TESSEL_REQUIRE_CORPUS();
    int unchanged = 0;
    for (const auto& path : Payloads()) {
        SCOPED_TRACE(path.string());
        const std::vector<uint8_t> payload = test::ReadBytes(path);
        CGsData data;
        ASSERT_NO_FATAL_FAILURE(ReadPayload(payload, data));
        CIgObject ig;
        ig.BuildFromStream(data);
        CMemorySink sink;
        test::CLogLines log;
        if (!ig.WriteStream(sink, nullptr, &log)) {
            std::vector<std::string> errors;
            for (const auto& l : log.lines)
                if (l.find("Error:") != std::string::npos) errors.push_back(l);
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_EQ(errors[0].rfind("   Error:Buttons of different group overlapped (Bog#", 0),
                      0u)
                << errors[0];
            EXPECT_TRUE(sink.data.empty());
            continue;
        }
        CMemorySource again(sink.data);
        CGsData written;
        ASSERT_TRUE(written.Read(again, false));
        CIgObject back;
        ASSERT_EQ(back.BuildFromStream(written), 1);
        EXPECT_EQ(BodyBytes(*back.GetAt(0)->GetAt(0)),
                  std::vector<uint8_t>(payload.begin() + 9, payload.end()));
        EXPECT_EQ(back.GetAt(0)->graphics.CountItems(), ig.GetAt(0)->graphics.CountItems());
        ++unchanged;
    }
    EXPECT_GE(unchanged, 4);
}

}  // namespace
}  // namespace tessel
