// The command line on damaged input and in situations users meet: cut clips
// and streams, empty streams, Ctrl-C during a rip, discs copied with other
// letter case, the disc root, unknown commands, bare streams on stdin.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "authoring/sample_disc.h"
#include "support/authored_menu.h"
#include "support/recorders.h"
#include "support/test_support.h"

extern char** environ;

namespace tessel {
namespace {

namespace fs = std::filesystem;
using test::CTempDir;
using test::Has;
using test::IgClip;
using test::MakeDisc;
using test::RunCli;

std::vector<uint8_t> ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

using test::WriteBytes;

size_t CountPngs(const fs::path& folder) {
    size_t n = 0;
    if (!fs::exists(folder)) return 0;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        n += e.path().extension() == ".png";
    return n;
}

// The records of a marked stream without those of one segment type.
std::vector<uint8_t> WithoutSegments(const std::vector<uint8_t>& marked, uint8_t type) {
    std::vector<uint8_t> out;
    for (size_t p = 0; p + 13 <= marked.size();) {
        const size_t size = 13 + (size_t{marked[p + 11]} << 8 | marked[p + 12]);
        if (marked[p + 10] != type)
            out.insert(out.end(), marked.begin() + p, marked.begin() + p + size);
        p += size;
    }
    return out;
}

// Each case in its own temporary folder.
class HonestFailures : public ::testing::Test {
protected:
    CTempDir dir;
};

TEST_F(HonestFailures, CutClipsAndStreamsFailWithFilePidAndOffset) {
    const std::string bdmv = MakeDisc(dir.Path() / "Film", {IgClip(1)});
    const fs::path clip = fs::path(bdmv) / "STREAM/00001.m2ts";
    std::vector<uint8_t> bytes = ReadBytes(clip);
    ASSERT_GT(bytes.size(), 192u * 20);

    // A clip cut inside its IG stream: the demux keeps the file and fails.
    const fs::path cut = dir.Path() / "cut.m2ts";
    bytes.resize(192 * (bytes.size() / 192 / 2) + 100);
    WriteBytes(cut, bytes);
    auto r = RunCli({"demux", cut.string(), (dir.Path() / "out").string()});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_TRUE(
        Has(r.err, "tessel: " + cut.string() + ": PID 0x1400: the last PES packet is cut off"))
        << r.err;
    const fs::path stream = dir.Path() / "out/5120.ig";
    ASSERT_TRUE(fs::exists(stream));
    EXPECT_TRUE(Has(r.err, "of " + stream.string() + " is incomplete")) << r.err;

    // Its stream: dump shows what it read, then the place of the damage.
    r = RunCli({"dump", stream.string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(Has(r.out, "DisplaySet#1")) << r.out;
    EXPECT_TRUE(Has(r.err, stream.string() + ": ") && Has(r.err, "at byte offset")) << r.err;

    // The scan of a disc with that clip names clip, PID and byte.
    fs::copy_file(cut, clip, fs::copy_options::overwrite_existing);
    r = RunCli({"scan", bdmv});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(Has(r.err, "00001.m2ts: IG stream 0x1400: ") && Has(r.err, "at byte ")) << r.err;

    // dump and reframe of the disc's clip name the same byte of the m2ts file.
    const size_t at = r.err.find("(in the PES packet at byte ");
    ASSERT_NE(at, std::string::npos) << r.err;
    const std::string place = r.err.substr(at, r.err.find(')', at) + 1 - at);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"dump", bdmv},
                                                 {"reframe", bdmv, dir.Str() + "/again.ig"},
                                                 {"menu", bdmv}}) {
        const auto d = RunCli(args);
        EXPECT_EQ(d.exitCode, 2);
        EXPECT_TRUE(Has(d.err, "00001.m2ts") && Has(d.err, place)) << d.err;
    }
    const auto j = nlohmann::json::parse(RunCli({"dump", bdmv, "--json"}).out);
    EXPECT_EQ(j["error"]["m2ts_offset"], std::stoll(place.substr(place.rfind(' ') + 1)));
}

TEST_F(HonestFailures, StreamsWithoutEndOrWithoutSegmentsFail) {
    const std::string bdmv = MakeDisc(dir.Path() / "Film", {IgClip(1)});
    ASSERT_EQ(RunCli({"demux", bdmv + "/STREAM/00001.m2ts", dir.Str(), "--yes"}).exitCode, 0);
    std::vector<uint8_t> marked = ReadBytes(dir.Path() / "5120.ig");
    // The END segment is the last record (13 bytes): without it the display
    // set is complete but not closed.
    ASSERT_GE(marked.size(), 13u);
    ASSERT_EQ(marked[marked.size() - 3], 0x80);
    marked.resize(marked.size() - 13);
    const fs::path noEnd = dir.Path() / "no-end.ig";
    WriteBytes(noEnd, marked);
    for (const char* command : {"dump", "menu", "objects"}) {
        SCOPED_TRACE(command);
        std::vector<std::string> args = {command, noEnd.string()};
        if (std::string(command) == "objects") args.push_back((dir.Path() / "pictures").string());
        const auto r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(Has(r.err, noEnd.string() + ": display set cut off by the end of the stream"))
            << r.err;
    }

    const fs::path empty = dir.Path() / "empty.ig";
    WriteBytes(empty, {});
    for (const char* command : {"dump", "menu"}) {
        const auto r = RunCli({command, empty.string()});
        EXPECT_EQ(r.exitCode, 2) << command;
        EXPECT_EQ(r.err, "tessel: " + empty.string() + ": no display set in the stream\n");
    }
}

TEST_F(HonestFailures, ARipWithoutPicturesFails) {
    // A menu whose objects were taken out of the stream.
    const std::string source = MakeDisc(dir.Path() / "Source", {IgClip(1)});
    ASSERT_EQ(RunCli({"demux", source + "/STREAM/00001.m2ts", dir.Str(), "--yes"}).exitCode, 0);
    authoring::SClipSpec clip = IgClip(1);
    clip.streams[0x1400] = WithoutSegments(ReadBytes(dir.Path() / "5120.ig"), 0x15);
    const std::string bdmv = MakeDisc(dir.Path() / "Film", {clip});
    const auto r = RunCli({"rip", bdmv, (dir.Path() / "out").string(), "--yes"});
    EXPECT_EQ(r.exitCode, 2) << r.out;
    EXPECT_FALSE(Has(r.out, "successfully")) << r.out;
    EXPECT_TRUE(Has(r.err, bdmv + ": the menus of this disc hold no picture")) << r.err;
}

TEST_F(HonestFailures, CtrlCDuringARipKeepsTheFinishedClipsOnly) {
    std::vector<authoring::SClipSpec> clips;
    for (int n = 1; n <= 6; ++n) clips.push_back(IgClip(n, test::SmallMenu(60, 2, 1)));
    const std::string bdmv = MakeDisc(dir.Path() / "Film", clips);
    const fs::path out = dir.Path() / "out";
    const std::string err = (dir.Path() / "err").string();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string program = TESSEL_CLI_PATH;
    std::vector<std::string> args = {program, "rip", bdmv, out.string(), "--yes"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Interrupted once the first clip is done and the second has begun.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(out / "Film/00002") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 1);
    std::ifstream in(err);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_TRUE(Has(text, "rip cancelled")) << text;
    // Every clip folder left is whole: 60 pages x 2 groups x 3 states.
    size_t kept = 0;
    for (int n = 1; n <= 6; ++n) {
        const fs::path folder = out / "Film" / ("0000" + std::to_string(n));
        if (!fs::exists(folder)) continue;
        ++kept;
        EXPECT_EQ(CountPngs(folder), 360u) << folder;
        EXPECT_TRUE(Has(text, "0000" + std::to_string(n))) << text;
    }
    EXPECT_GE(kept, 1u);
    EXPECT_LT(kept, 6u);
    EXPECT_FALSE(fs::exists(out / "Film/tessel.rip"));
}

TEST_F(HonestFailures, DiscCopiesInOtherCaseAndTheDiscRootScanAlike) {
    const std::string bdmv = MakeDisc(dir.Path() / "Film", {IgClip(1), IgClip(2)});
    const auto reference = RunCli({"scan", bdmv});
    ASSERT_EQ(reference.exitCode, 0) << reference.err;

    // The disc root stands for its BDMV folder.
    const auto root = RunCli({"scan", (dir.Path() / "Film").string()});
    EXPECT_EQ(root.exitCode, 0) << root.err;
    EXPECT_EQ(root.out, reference.out);

    // Upper-case file names and lower-case folders, as copies made on
    // systems that ignore case have them.
    const fs::path copy = dir.Path() / "Film";
    fs::rename(copy / "BDMV", copy / "bdmv");
    for (const char* folder : {"PLAYLIST", "CLIPINF", "STREAM"}) {
        std::string lower = folder;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        fs::rename(copy / "bdmv" / folder, copy / "bdmv" / lower);
        for (const auto& e : fs::directory_iterator(copy / "bdmv" / lower)) {
            std::string name = e.path().filename().string();
            for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            fs::rename(e.path(), e.path().parent_path() / name);
        }
    }
    const auto upper = RunCli({"scan", (copy / "bdmv").string()});
    EXPECT_EQ(upper.exitCode, 0) << upper.err;
    EXPECT_EQ(upper.out, reference.out);
    const auto rip = RunCli({"rip", copy.string(), (dir.Path() / "out").string(), "--yes"});
    EXPECT_EQ(rip.exitCode, 0) << rip.err;
    EXPECT_GT(CountPngs(dir.Path() / "out/Film"), 0u);
}

TEST_F(HonestFailures, BadFoldersAndCommandsAreNamed) {
    const std::string bdmv = MakeDisc(dir.Path() / "Film", {IgClip(1)});
    fs::create_directories(dir.Path() / "empty");
    const std::string m2ts = bdmv + "/STREAM/00001.m2ts";
    struct {
        std::vector<std::string> args;
        std::string message;
    } rows[] = {
        {{"scan", "/nonexistent"}, "tessel: /nonexistent: no such folder\n"},
        {{"rip", "/nonexistent", (dir.Path() / "out").string()},
         "tessel: /nonexistent: no such folder\n"},
        {{"scan", (dir.Path() / "empty").string()},
         "tessel: " + (dir.Path() / "empty").string() +
             "/: has no corresponding mpls file! (no PLAYLIST folder in it)\n"},
        {{"scan", m2ts}, "tessel: " + m2ts + ": a file, not a BDMV folder or a disc image\n"},
        {{"playlists", m2ts}, "tessel: " + m2ts + ": a file, not a BDMV folder or a disc image\n"},
        {{"bogus"}, "tessel: unknown command \"bogus\" (see tessel --help)\n"},
        {{"scan", "--bogus", bdmv}, "tessel: --bogus: unknown option (see tessel scan --help)\n"},
        {{"--bogus"}, "tessel: --bogus: unknown option (see tessel --help)\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.args.back());
        const auto r = RunCli(row.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err, row.message);
    }
    const auto help = RunCli({"scan", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(Has(help.out, "Usage: tessel scan")) << help.out;
    EXPECT_TRUE(Has(help.out, "Example:") && Has(help.out, "Exit status: 0 done")) << help.out;
}

TEST_F(HonestFailures, BareStreamsAreToldApartAndStdinIsRead) {
    const std::string bdmv = MakeDisc(dir.Path() / "Film", {IgClip(1)});
    ASSERT_EQ(RunCli({"demux", bdmv + "/STREAM/00001.m2ts", dir.Str(), "--yes"}).exitCode, 0);
    const std::string marked = (dir.Path() / "5120.ig").string();
    const std::string bare = (dir.Path() / "menu.ies").string();
    // The bare form: the segments without their 10-byte record heads.
    const std::vector<uint8_t> records = ReadBytes(marked);
    std::vector<uint8_t> segments;
    for (size_t p = 0; p + 13 <= records.size();) {
        const size_t size = 3 + (size_t{records[p + 11]} << 8 | records[p + 12]);
        segments.insert(segments.end(), records.begin() + p + 10, records.begin() + p + 10 + size);
        p += 10 + size;
    }
    WriteBytes(bare, segments);
    const auto reference = RunCli({"menu", marked});
    ASSERT_EQ(reference.exitCode, 0) << reference.err;
    EXPECT_EQ(RunCli({"menu", bare}).out, reference.out);
    EXPECT_EQ(RunCli({"menu", "--bare", bare}).out, reference.out);
    // Forced the other way, the reader says what it found.
    const auto forced = RunCli({"menu", "--marked", bare});
    EXPECT_EQ(forced.exitCode, 2);
    EXPECT_TRUE(Has(forced.err, "bad record marker")) << forced.err;
    EXPECT_EQ(RunCli({"menu", "--marked", "--bare", bare}).exitCode, 2);
    // "-" reads standard input, in either form.
    EXPECT_EQ(test::RunCliWithInput({"menu", "-"}, marked).out, reference.out);
    const auto piped = test::RunCliWithInput({"menu", "-"}, bare);
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(piped.out, reference.out);
}

TEST_F(HonestFailures, DemuxWritesPgPidsAsSupAndKeepsTimesWhenAsked) {
    const std::string source = MakeDisc(dir.Path() / "Source", {IgClip(1)});
    ASSERT_EQ(RunCli({"demux", source + "/STREAM/00001.m2ts", dir.Str(), "--yes"}).exitCode, 0);
    std::vector<uint8_t> pg = ReadBytes(dir.Path() / "5120.ig");
    for (size_t p = 0; p + 13 <= pg.size(); p += 13 + (size_t{pg[p + 11]} << 8 | pg[p + 12])) {
        pg[p] = 'P';
        pg[p + 1] = 'G';
    }
    authoring::SClipSpec clip = IgClip(1);
    clip.pgStreams[0x1200] = pg;
    const std::string bdmv = MakeDisc(dir.Path() / "Film", {clip});
    const std::string m2ts = bdmv + "/STREAM/00001.m2ts";

    const fs::path all = dir.Path() / "all";
    auto r = RunCli({"demux", m2ts, all.string(), "--all-graphics"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(all / "5120.ig"));
    ASSERT_TRUE(fs::exists(all / "4608.sup"));
    const std::vector<uint8_t> sup = ReadBytes(all / "4608.sup");
    ASSERT_GE(sup.size(), 2u);
    EXPECT_EQ(sup[0], 'P');
    EXPECT_EQ(sup[1], 'G');
    EXPECT_EQ(sup.size(), pg.size());

    const fs::path only = dir.Path() / "pg";
    r = RunCli({"demux", m2ts, only.string(), "--pg"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(fs::exists(only / "5120.ig"));
    EXPECT_EQ(ReadBytes(only / "4608.sup"), sup);
    EXPECT_EQ(RunCli({"demux", m2ts, only.string(), "--pg", "--all-graphics"}).exitCode, 2);

    // Kept times are the stream's own: the authored stream's, not rebased.
    const fs::path kept = dir.Path() / "kept";
    r = RunCli({"demux", m2ts, kept.string(), "--keep-time"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<uint8_t> rebased = ReadBytes(all / "5120.ig");
    const std::vector<uint8_t> own = ReadBytes(kept / "5120.ig");
    ASSERT_EQ(own.size(), rebased.size());
    EXPECT_NE(own, rebased);
    const auto help = RunCli({"demux", "--help"});
    EXPECT_TRUE(Has(help.out, "rebased")) << help.out;
}

TEST_F(HonestFailures, ScanNarrowsAndKeepsGoingWhenAsked) {
    authoring::SClipSpec two = IgClip(2);
    two.igPids = {0x1400, 0x1401};
    const std::string bdmv = MakeDisc(dir.Path() / "Film", {IgClip(1), two, IgClip(3)});
    auto r = RunCli({"scan", bdmv, "--clip", "2", "--pid", "0x1401"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(Has(r.out, "00001.m2ts") || Has(r.out, "00003.m2ts")) << r.out;
    EXPECT_TRUE(Has(r.out, "00002.m2ts")) << r.out;
    r = RunCli({"scan", bdmv, "--pid", "5121", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j["clips"].size(), 1u);
    EXPECT_EQ(j["clips"][0]["igs"][0]["pid"], 0x1401);
    r = RunCli({"scan", bdmv, "--clip", "7"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(Has(r.err, ": no IG clip 00007")) << r.err;
    // menu of a disc: the clip and PID asked for, as its demuxed stream reads.
    r = RunCli({"menu", bdmv, "--clip", "2", "--pid", "0x1401"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(RunCli({"demux", bdmv + "/STREAM/00002.m2ts", dir.Str(), "--yes"}).exitCode, 0);
    EXPECT_EQ(r.out, RunCli({"menu", (dir.Path() / "5121.ig").string()}).out);

    // A missing clip stops the scan unless --keep-going, which lists the
    // rest, names the clip and still fails.
    fs::remove(fs::path(bdmv) / "STREAM/00002.m2ts");
    r = RunCli({"scan", bdmv});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    r = RunCli({"scan", bdmv, "--keep-going"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(Has(r.out, "00001.m2ts") && Has(r.out, "00003.m2ts")) << r.out;
    EXPECT_TRUE(Has(r.err, "tessel: " + bdmv + "/STREAM/00002.m2ts: File missing: 00002.m2ts ! ("))
        << r.err;
    EXPECT_TRUE(Has(r.err, "1 clip(s) could not be read and are left out: 00002")) << r.err;
}

TEST_F(HonestFailures, RepeatedMenusPrintOnceAndCollapseOnRequest) {
    for (const bool points : {false, true}) {
        SCOPED_TRACE(points ? "acquisition points" : "epoch starts");
        authoring::SClipSpec clip = IgClip(1);
        clip.repeats = 5;
        clip.repeatsAsAcquisitionPoints = points;
        const std::string bdmv = MakeDisc(dir.Path() / (points ? "A" : "E"), {clip});
        const auto r = RunCli({"scan", bdmv});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string run =
            points ? "Epoch#1 DisplaySet#1-#5: 5 identical, " : "Epoch#1-#5: 5 identical, ";
        EXPECT_TRUE(Has(r.out, run)) << r.out;
        // The pages print once.
        EXPECT_EQ(r.out.find("Page#1 "), r.out.rfind("Page#1 ")) << r.out;

        const auto all = RunCli({"scan", bdmv, "--json"});
        const auto collapsed = RunCli({"scan", bdmv, "--json", "--collapse"});
        ASSERT_EQ(all.exitCode, 0);
        ASSERT_EQ(collapsed.exitCode, 0);
        const auto j = nlohmann::json::parse(all.out)["clips"][0]["igs"][0]["epochs"];
        const auto c = nlohmann::json::parse(collapsed.out)["clips"][0]["igs"][0]["epochs"];
        ASSERT_EQ(c.size(), 1u);
        if (points) {
            EXPECT_EQ(j[0]["display_sets"].size(), 5u);
            EXPECT_EQ(c[0]["display_sets"].size(), 1u);
            EXPECT_EQ(c[0]["display_sets"][0]["repeat_count"], 5);
        } else {
            EXPECT_EQ(j.size(), 5u);
            EXPECT_EQ(c[0]["repeat_count"], 5);
            EXPECT_EQ(c[0]["last_epoch"], "Epoch#5");
        }
    }
}

}  // namespace
}  // namespace tessel
