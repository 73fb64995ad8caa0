// The command line at the edges of its input: clips that lost or damaged a
// PES packet of their IG stream, inputs that give an empty result, and discs
// with a damaged playlist. Each case asserts the exit status, the path and
// reason of the message, and what is left on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "authoring/m2ts_muxer.h"
#include "authoring/sample_disc.h"
#include "codec/display_set.h"
#include "codec/pcs_wds.h"
#include "codec/pds.h"
#include "support/authored_menu.h"
#include "support/recorders.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;
using test::Has;
using test::RunCli;

using test::WriteBytes;

// A disc "Film" with IG clip 1 (two pages of two buttons) and PG clip 2.
class EdgeResults : public ::testing::Test {
protected:
    void SetUp() override {
        bdmv = test::MakeDisc(dir.Path() / "Film", {test::IgClip(1, {.pages = 2,
                                                                     .bogsPerPage = 2,
                                                                     .buttonsPerBog = 1,
                                                                     .buttonWidth = 64,
                                                                     .buttonHeight = 48})});
        clip = fs::path(bdmv) / "STREAM/00001.m2ts";
        bytes = test::ReadBytes(clip);
    }

    // The source packets of PID 0x1400: index, and whether each starts a PES packet.
    std::vector<std::pair<size_t, bool>> IgPackets() const {
        std::vector<std::pair<size_t, bool>> out;
        for (size_t i = 0; (i + 1) * 192 <= bytes.size(); ++i) {
            const uint8_t* ts = bytes.data() + i * 192 + 4;
            if (ts[0] == 0x47 && ((ts[1] & 0x1F) << 8 | ts[2]) == 0x1400)
                out.push_back({i, (ts[1] & 0x40) != 0});
        }
        return out;
    }
    // The payload of the source packet at index (after the adaptation field).
    uint8_t* Payload(size_t index) {
        uint8_t* ts = bytes.data() + index * 192 + 4;
        return ts + 4 + ((ts[3] & 0x20) ? 1 + ts[4] : 0);
    }
    // The first ODS whose PES packet spans three packets or more: the index
    // of its start packet.
    size_t LongOds() const {
        const auto packets = IgPackets();
        for (size_t k = 0; k + 2 < packets.size(); ++k) {
            if (!packets[k].second || packets[k + 1].second || packets[k + 2].second) continue;
            const uint8_t* ts = bytes.data() + packets[k].first * 192 + 4;
            const uint8_t* pes = ts + 4 + ((ts[3] & 0x20) ? 1 + ts[4] : 0);
            if (pes[9 + pes[8]] == 0x15) return packets[k].first;
        }
        ADD_FAILURE() << "no ODS over three packets";
        return 0;
    }

    test::CTempDir dir;
    std::string bdmv;
    fs::path clip;
    std::vector<uint8_t> bytes;
};

TEST_F(EdgeResults, ALostOrDamagedPesPacketIsNamedAndFailsEveryCommand) {
    const size_t ods = LongOds();
    const uint8_t* segment = Payload(ods) + 9 + Payload(ods)[8];
    const int object = segment[3] << 8 | segment[4];
    const auto next = [&] {
        const auto packets = IgPackets();
        for (const auto& [index, start] : packets)
            if (start && index > ods) return index;
        return size_t{0};
    };
    const struct {
        const char* what;
        std::function<void()> damage;
        std::function<size_t()> shows;  // the packet where the damage shows
        const char* reason;
    } rows[] = {
        {"a packet lost",
         [&] { bytes.erase(bytes.begin() + (ods + 1) * 192, bytes.begin() + (ods + 2) * 192); },
         [&] { return ods + 1; }, "the continuity counter jumps from"},
        {"a PES length beyond its bytes",
         [&] {
             uint8_t* pes = Payload(ods);
             const int length = (pes[4] << 8 | pes[5]) + 100;
             pes[4] = static_cast<uint8_t>(length >> 8);
             pes[5] = static_cast<uint8_t>(length);
         },
         next, "a PES packet ends 100 bytes before its length"},
        {"a segment longer than its PES packet",
         [&] {
             uint8_t* seg = Payload(ods) + 9 + Payload(ods)[8];
             const int length = (seg[1] << 8 | seg[2]) + 50;
             seg[1] = static_cast<uint8_t>(length >> 8);
             seg[2] = static_cast<uint8_t>(length);
         },
         [&] { return ods; }, "a segment of "},
    };
    const std::vector<uint8_t> whole = bytes;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        bytes = whole;
        row.damage();
        const size_t shows = row.shows();
        WriteBytes(clip, bytes);
        const std::string where = clip.string() + ": PID 0x1400: " + row.reason;
        const std::string at = "at byte " + std::to_string(shows * 192) +
                               " of the clip; the ODS of object " + std::to_string(object) +
                               " in display set ";

        // demux keeps what the clip holds and fails.
        const fs::path out = dir.Path() / "demux";
        auto r = RunCli({"demux", clip.string(), out.string()});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(Has(r.err, "tessel: " + where) && Has(r.err, at)) << r.err;
        EXPECT_GT(fs::file_size(out / "5120.ig"), 0u);
        fs::remove_all(out);

        // scan, rip and render show what is left, name what is missing, fail.
        r = RunCli({"scan", bdmv});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(Has(r.out, "00001")) << r.out;
        EXPECT_TRUE(Has(r.err, clip.string() + ": IG PID 0x1400: " + row.reason) && Has(r.err, at))
            << r.err;
        const fs::path ripped = dir.Path() / "rip";
        r = RunCli({"rip", bdmv, ripped.string(), "--yes"});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_FALSE(Has(r.out, "successfully")) << r.out;
        EXPECT_TRUE(Has(r.err, at)) << r.err;
        EXPECT_TRUE(fs::exists(ripped / "Film/00001/5120"));
        fs::remove_all(ripped);
        const fs::path picture = dir.Path() / "page.png";
        r = RunCli({"render", bdmv, picture.string()});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(Has(r.err, at)) << r.err;
        fs::remove(picture);
        // dump and reframe of the disc's clip likewise.
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"dump", bdmv}, {"reframe", bdmv, picture.string()}}) {
            r = RunCli(args);
            EXPECT_EQ(r.exitCode, 2) << args[0];
            EXPECT_TRUE(Has(r.err, where) && Has(r.err, at)) << r.err;
        }
    }
}

TEST_F(EdgeResults, EmptyResultsFailWithTheirReasonAndLeaveNoFile) {
    const fs::path out = dir.Path() / "out";
    const fs::path empty = dir.Path() / "empty.sup";
    WriteBytes(empty, {});
    authoring::SMuxResult mux;
    const std::string noPayload = (dir.Path() / "00005.m2ts").string();
    ASSERT_EQ(
        authoring::MuxM2ts(noPayload, {{0x1400, 0x91, {}}, {0x1200, 0x90, {}}}, {}, mux).Message(),
        "");
    const struct {
        std::vector<std::string> args;
        std::string message;
        fs::path left;  // must not exist afterwards
    } rows[] = {
        {{"objects", empty.string(), out.string()}, empty.string() + ": ", out},
        {{"reframe", empty.string(), out.string()}, empty.string() + ": ", out},
        {{"subs", empty.string(), out.string()},
         empty.string() + ": no subtitle picture in the stream",
         out / "empty.xml"},
        {{"subs", noPayload, out.string()},
         noPayload + ": PG stream 0x1200: no subtitle picture in the stream",
         out / "00005_4608.xml"},
        {{"demux", noPayload, out.string()},
         noPayload + ": no IG PID carries a payload",
         out / "5120.ig"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.args[1]);
        const auto r = RunCli(row.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(Has(r.err, "tessel: " + row.message)) << r.err;
        EXPECT_FALSE(fs::exists(row.left));
        fs::remove_all(out);
    }
}

TEST_F(EdgeResults, SubtitlesWithoutTheirFrameRateTakeTheClipInformations) {
    // A real disc's clip information (1080p at 23.976 on PID 0x1011) beside
    // a clip of one subtitle picture whose composition gives no frame rate.
    TESSEL_REQUIRE_CORPUS();
    CDsData ds;
    auto* pcs = static_cast<CPcs*>(ds.CreateSegment(kSegmentPcs));
    pcs->pts = 90000;
    pcs->video = {1920, 1080, 0, 0};
    SCompositionObject object;
    object.x = 100;
    object.y = 800;
    pcs->objects = {object};
    static_cast<CWds*>(ds.CreateSegment(kSegmentWds))->windows = {{0, 100, 800, 40, 10}};
    ds.AddPalette()->entries = {{1, 235, 128, 128, 255}};
    ASSERT_TRUE(AddObjectFromImage({40, 10, std::vector<uint8_t>(400, 1)}, ds, 0));
    ds.CreateSegment(kSegmentEnd);
    CMemorySink sink;
    ASSERT_TRUE(WriteDsData(ds, sink, nullptr, false, true));
    authoring::SDiscOptions o;
    authoring::SClipSpec c;
    c.number = 2;
    c.pgStreams[0x1200] = sink.data;
    o.clips = {c};
    ASSERT_EQ(authoring::WriteSampleDisc((dir.Path() / "Pg").string(), o).Message(), "");
    fs::copy_file(test::CorpusDir() / "discs/disc1/BDMV/CLIPINF/00002.clpi",
                  dir.Path() / "Pg/BDMV/CLIPINF/00002.clpi", fs::copy_options::overwrite_existing);
    const fs::path out = dir.Path() / "subs";
    const auto r =
        RunCli({"subs", (dir.Path() / "Pg/BDMV/STREAM/00002.m2ts").string(), out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<uint8_t> xml = test::ReadBytes(out / "00002_4608.xml");
    EXPECT_TRUE(
        Has(std::string(xml.begin(), xml.end()), "VideoFormat=\"1080p\" FrameRate=\"23.976\""))
        << std::string(xml.begin(), xml.end());
}

TEST_F(EdgeResults, AGarbagePlaylistIsNamedAndKeepGoingScansTheRest) {
    // A second playlist of garbage beside the disc's own.
    const fs::path garbage = fs::path(bdmv) / "PLAYLIST/00007.mpls";
    std::vector<uint8_t> noise(500);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 53 + 7);
    WriteBytes(garbage, noise);
    const std::string reason = garbage.string() + ": invalid playlist: the PlayList at byte ";
    auto r = RunCli({"scan", bdmv});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(Has(r.err, "tessel: " + reason)) << r.err;
    EXPECT_FALSE(Has(r.err, "Stream parse error")) << r.err;
    EXPECT_FALSE(Has(r.out, "00001")) << r.out;
    r = RunCli({"scan", bdmv, "--keep-going"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(Has(r.out, "00001")) << r.out;
    EXPECT_TRUE(Has(r.err, "tessel: " + reason)) << r.err;
    EXPECT_TRUE(Has(r.err, "1 playlist(s) could not be read and are left out: 00007.mpls"))
        << r.err;
}

}  // namespace
}  // namespace tessel
