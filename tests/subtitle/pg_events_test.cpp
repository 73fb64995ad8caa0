// Subtitle events: the corpus PG streams against what their display sets say
// and against reference renders; palette updates, forced flags, repeats and
// unended events in streams built here; time codes and the BDN index.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "codec/colour.h"
#include "codec/ods.h"
#include "codec/pcs_wds.h"
#include "codec/pds.h"
#include "subtitle/pg_events.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

CEpochList Read(const fs::path& path) {
    CEpochList epochs;
    SStreamInfo info;
    EXPECT_TRUE(ReadStreamFile(path.string(), epochs, false, &info)) << info.error.Text();
    return epochs;
}

TEST(PgEvents, CorpusStreamsGiveTheirDisplaySets) {
    TESSEL_REQUIRE_CORPUS();
    for (const char* name : {"sintel.sup", "libpgs-test.sup", "bdsup2sub-test.sup"}) {
        SCOPED_TRACE(name);
        const CEpochList epochs = Read(test::CorpusDir() / "pg" / name);
        SPgEvents events;
        BuildPgEvents(epochs, events);
        // Straight from the display sets: each composition with objects
        // starts an event that the next composition ends.
        struct SWant {
            uint64_t start, end;
            int width, height;
        };
        std::vector<SWant> want;
        for (const auto& e : epochs)
            for (const auto& ds : e->items) {
                if (!ds->pcs) continue;
                if (!want.empty() && want.back().end == 0) want.back().end = ds->pcs->pts;
                if (ds->pcs->objects.empty()) continue;
                const SCompositionObject& o = ds->pcs->objects[0];
                SObjectHead head;
                const std::vector<uint8_t> data = JoinObjectData(ds->odsList.get(), o.objectIdRef);
                const bool single = ds->pcs->objects.size() == 1 && ReadObjectHead(data, head);
                want.push_back(
                    {ds->pcs->pts, 0, single ? head.width : -1, single ? head.height : -1});
            }
        ASSERT_EQ(events.events.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            const SPgEvent& e = events.events[i];
            EXPECT_EQ(e.startPts, want[i].start) << i;
            if (want[i].end) {
                EXPECT_EQ(e.endPts, want[i].end) << i;
                EXPECT_TRUE(e.endGiven);
            } else {
                EXPECT_FALSE(e.endGiven) << "the last event is not ended by the stream";
            }
            if (want[i].width > 0) {
                EXPECT_EQ(e.picture.Width(), want[i].width) << i;
                EXPECT_EQ(e.picture.Height(), want[i].height) << i;
            }
        }
    }
}

TEST(PgEvents, LibpgsPicturesEqualTheReferenceRenders) {
    TESSEL_REQUIRE_CORPUS();
    const fs::path dir = test::CorpusDir() / "pg";
    SPgEvents events;
    BuildPgEvents(Read(dir / "libpgs-test.sup"), events);
    ASSERT_EQ(events.events.size(), 2u);
    EXPECT_EQ(events.events[0].startPts, 90000u);
    EXPECT_EQ(events.events[0].endPts, 180000u);
    EXPECT_EQ(events.video.width, 128);
    const double times[] = {1.5, 2.5, 3.5};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(times[k]);
        const std::vector<uint8_t> ref =
            test::ReadBytes(dir / ("libpgs-test-" + std::to_string(k) + ".rgba"));
        ASSERT_EQ(ref.size(), 128u * 64 * 4);
        Bitmap screen(128, 64, EPixelFormat::Argb32);
        const uint64_t t = static_cast<uint64_t>(times[k] * 90000);
        for (const SPgEvent& e : events.events)
            if (e.startPts <= t && t < e.endPts) DrawImage(screen, e.picture, e.x, e.y);
        int alpha = 0, colour = 0, shown = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 128; ++x) {
                const uint8_t* r = ref.data() + (y * 128 + x) * 4;
                const uint32_t c = screen.GetPixel(x, y);
                alpha = std::max(alpha, std::abs(r[3] - ArgbAlpha(c)));
                if (r[3] == 0) continue;
                ++shown;
                colour = std::max({colour, std::abs(r[0] - ArgbRed(c)),
                                   std::abs(r[1] - ArgbGreen(c)), std::abs(r[2] - ArgbBlue(c))});
            }
        EXPECT_EQ(alpha, 0);
        // The reference decoder converts with its own YCbCr matrix.
        EXPECT_LE(colour, 24);
        EXPECT_EQ(shown > 0, k != 1);
    }
}

// A stream built here: one object, a palette, and display sets on top.
struct SStream {
    SStream() { epochs.push_back(std::make_unique<CEpochData>()); }

    CDsData& Add(uint32_t pts, std::vector<SCompositionObject> objects, int paletteY = 235,
                 bool withObject = true, bool paletteUpdate = false) {
        auto ds = std::make_unique<CDsData>();
        auto* pcs = static_cast<CPcs*>(ds->CreateSegment(kSegmentPcs));
        pcs->pts = pts;
        pcs->video = {1920, 1080, 1, 0};
        pcs->objects = std::move(objects);
        pcs->paletteUpdate = paletteUpdate;
        auto* wds = static_cast<CWds*>(ds->CreateSegment(kSegmentWds));
        wds->windows = {{0, 100, 800, 400, 100}};
        CPds* pds = ds->AddPalette();
        pds->entries = {{index, static_cast<uint8_t>(paletteY), 128, 128, 255}};
        if (withObject) {
            SIndexedImage image{40, 10, std::vector<uint8_t>(400, index)};
            EXPECT_TRUE(AddObjectFromImage(image, *ds, 0));
        }
        ds->CreateSegment(kSegmentEnd);
        epochs.back()->items.push_back(std::move(ds));
        return *epochs.back()->items.back();
    }

    static SCompositionObject At(int x, int y, bool forced = false) {
        SCompositionObject o;
        o.x = static_cast<uint16_t>(x);
        o.y = static_cast<uint16_t>(y);
        o.forcedOn = forced;
        return o;
    }

    CEpochList epochs;
    uint8_t index = 1;  // the palette entry and the object's pixels
};

TEST(PgEvents, PaletteUpdatesRepeatsForcedAndUnendedEvents) {
    SStream s;
    s.Add(90000, {SStream::At(120, 820, true)});
    s.Add(135000, {SStream::At(120, 820, true)});                    // the same again: one event
    s.Add(180000, {SStream::At(120, 820, true)}, 100, false, true);  // palette update
    s.Add(270000, {});                                               // clears
    s.Add(360000, {SStream::At(80, 795)});  // cut by the window at x 100, y 800
    SPgEvents events;
    BuildPgEvents(s.epochs, events);
    ASSERT_EQ(events.events.size(), 3u);
    const SPgEvent& a = events.events[0];
    EXPECT_EQ(a.startPts, 90000u);
    EXPECT_EQ(a.endPts, 180000u) << "the repeat continues the event, the palette update ends it";
    EXPECT_TRUE(a.forced);
    EXPECT_EQ(a.picture.Width(), 40);
    EXPECT_EQ(a.x, 120);
    const SPgEvent& b = events.events[1];
    EXPECT_TRUE(b.paletteUpdate);
    EXPECT_EQ(b.endPts, 270000u);
    EXPECT_NE(a.picture.GetPixel(0, 0), b.picture.GetPixel(0, 0)) << "the new palette";
    const SPgEvent& c = events.events[2];
    EXPECT_EQ(c.x, 100);
    EXPECT_EQ(c.y, 800);
    EXPECT_EQ(c.picture.Width(), 20);
    EXPECT_EQ(c.picture.Height(), 5);
    EXPECT_FALSE(c.endGiven);
    EXPECT_GT(c.endPts, c.startPts);
    ASSERT_EQ(events.notes.size(), 1u);
    EXPECT_NE(events.notes[0].find("ends at the stream's end"), std::string::npos);

    // A composition naming an object the epoch lacks is said, not drawn.
    SStream missing;
    missing.Add(90000, {SStream::At(0, 0)}, 235, false);
    BuildPgEvents(missing.epochs, events);
    EXPECT_TRUE(events.events.empty());
    ASSERT_FALSE(events.notes.empty());
    EXPECT_NE(events.notes[0].find("object 0"), std::string::npos);
}

TEST(PgEvents, EveryPaletteEntryIsItsColour) {
    for (const uint8_t index : {1, 254, 255}) {
        SCOPED_TRACE(index);
        SStream s;
        s.index = index;
        s.Add(90000, {SStream::At(120, 820)});
        SPgEvents events;
        BuildPgEvents(s.epochs, events);
        ASSERT_EQ(events.events.size(), 1u);
        const uint32_t c = events.events[0].picture.GetPixel(0, 0);
        EXPECT_EQ(ArgbAlpha(c), 255);
        EXPECT_GT(ArgbGreen(c), 200) << "white from Y 235";
    }
}

TEST(PgEvents, TimeCodesAndTheBdnIndex) {
    EXPECT_EQ(TimeCode(0, 2), "00:00:00:00");
    EXPECT_EQ(TimeCode(90000ull * 3600, 2), "01:00:00:00");
    EXPECT_EQ(TimeCode(90090, 1), "00:00:01:00") << "24 frames at 23.976 last 1.001 s";
    EXPECT_EQ(TimeCode(3750, 2), "00:00:00:01");
    EXPECT_EQ(TimeCode(45000, 3), "00:00:00:13") << "12.5 frames rounds up";
    EXPECT_EQ(TimeCode(90000ull * 61 + 1800, 6), "00:01:01:01");

    SStream s;
    s.Add(90000, {SStream::At(120, 820)});
    s.Add(180000, {});
    s.Add(270000, {SStream::At(150, 850, true)});
    s.Add(300000, {});
    SPgEvents events;
    BuildPgEvents(s.epochs, events);
    const std::string xml = BdnXml(events, "A & B", {"a_0001.png", "a_0002.png"});
    // Well formed: every element closed in order.
    std::vector<std::string> open;
    int eventsSeen = 0;
    for (size_t i = xml.find('<'); i != std::string::npos; i = xml.find('<', i + 1)) {
        const size_t end = xml.find('>', i);
        ASSERT_NE(end, std::string::npos);
        const std::string tag = xml.substr(i + 1, end - i - 1);
        if (tag[0] == '?') continue;
        const std::string name = tag.substr(tag[0] == '/' ? 1 : 0,
                                            tag.find_first_of(" />", 1) - (tag[0] == '/' ? 1 : 0));
        if (tag[0] == '/') {
            ASSERT_FALSE(open.empty());
            EXPECT_EQ(open.back(), name);
            open.pop_back();
        } else if (tag.back() != '/') {
            open.push_back(name);
            eventsSeen += name == "Event";
        }
    }
    EXPECT_TRUE(open.empty());
    EXPECT_EQ(eventsSeen, 2);
    EXPECT_NE(xml.find("Title=\"A &amp; B\""), std::string::npos);
    EXPECT_NE(xml.find("VideoFormat=\"1080p\" FrameRate=\"23.976\""), std::string::npos);
    EXPECT_NE(xml.find("FirstEventInTC=\"00:00:01:00\""), std::string::npos);
    EXPECT_NE(xml.find("<Event InTC=\"00:00:03:00\" OutTC=\"00:00:03:08\" Forced=\"True\">"),
              std::string::npos)
        << xml;
    EXPECT_NE(
        xml.find("<Graphic Width=\"40\" Height=\"10\" X=\"120\" Y=\"820\">a_0001.png</Graphic>"),
        std::string::npos);
}

}  // namespace
}  // namespace tessel
