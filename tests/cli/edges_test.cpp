// The command line where users meet its edges: writing into folders that
// hold files, output names and standard streams, option values, messages
// naming the path, JSON naming what was read and written, installing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "authoring/sample_disc.h"
#include "platform/files.h"
#include "support/authored_menu.h"
#include "support/recorders.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;
using test::Has;
using test::RunCli;
using test::RunCliWithInput;

size_t CountFiles(const fs::path& folder) {
    size_t n = 0;
    if (fs::exists(folder))
        for (const auto& e : fs::recursive_directory_iterator(folder)) n += e.is_regular_file();
    return n;
}

class CliEdges : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        work_ = new test::CTempDir();
        test::MakeDisc(work_->Path() / "Film", {test::IgClip(1), test::IgClip(2)});
        ASSERT_EQ(RunCli({"demux", Bdmv() + "/STREAM/00001.m2ts", Stream().parent_path().string()})
                      .exitCode,
                  0);
    }
    static void TearDownTestSuite() { delete work_; }
    static std::string Bdmv() { return (work_->Path() / "Film/BDMV").string(); }
    static fs::path Stream() { return work_->Path() / "ig/5120.ig"; }
    static fs::path Answer(const std::string& text) {
        const fs::path p = work_->Path() / ("answer-" + text);
        std::ofstream(p) << text << "\n";
        return p;
    }
    test::CTempDir dir;
    static test::CTempDir* work_;
};
test::CTempDir* CliEdges::work_ = nullptr;

// A second rip into the same folder asks first; "y" or --yes replaces the
// disc folder (nothing of the earlier rip stays), "n" fails, other answers
// cancel, no answer fails with a hint; each leaves the earlier rip alone.
TEST_F(CliEdges, RipIntoAnExistingFolderAsksBeforeReading) {
    const fs::path out = dir.Path() / "out", disc = out / "Film";
    ASSERT_EQ(RunCli({"rip", Bdmv(), out.string(), "-q"}).exitCode, 0);
    const size_t files = CountFiles(disc);
    ASSERT_GT(files, 1u);
    std::ofstream(disc / "stale.png") << "x";
    struct {
        std::string answer;  // empty: no answer (end of input)
        int exitCode;
        std::string reason;
    } rows[] = {
        {"", 2,
         "the folder already exists; nothing was written (no answer to the overwrite question"},
        {"n", 2, "not overwritten (answered No); nothing was written"},
        {"c", 1, "cancelled; nothing was written"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answer);
        const auto r = RunCliWithInput({"rip", Bdmv(), out.string()},
                                       row.answer.empty() ? "/dev/null" : Answer(row.answer));
        EXPECT_EQ(r.exitCode, row.exitCode) << r.err;
        EXPECT_TRUE(
            Has(r.err, "tessel: " + disc.string() + ": The folder already exists, overwrite it? "))
            << r.err;
        EXPECT_TRUE(Has(r.err, "tessel: " + disc.string() + ": " + row.reason)) << r.err;
        EXPECT_TRUE(fs::exists(disc / "stale.png"));
    }
    for (const auto& args : {std::vector<std::string>{"rip", Bdmv(), out.string(), "--yes"},
                             std::vector<std::string>{"rip", Bdmv(), out.string()}}) {
        std::ofstream(disc / "stale.png") << "x";
        const auto r = RunCliWithInput(args, Answer("y"));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_FALSE(fs::exists(disc / "stale.png")) << "the disc folder is replaced";
        EXPECT_EQ(CountFiles(disc), files);
    }
}

// Every command that writes into a folder holding files asks the same way.
TEST_F(CliEdges, CommandsWritingIntoAFolderWithFilesAsk) {
    const std::string m2ts = Bdmv() + "/STREAM/00001.m2ts";
    const std::vector<std::vector<std::string>> commands = {
        {"objects", Stream().string()},
        {"demux", m2ts},
        {"render", Bdmv(), "", "--all"},
        {"subs", m2ts},
    };
    for (const auto& base : commands) {
        SCOPED_TRACE(base[0]);
        const fs::path out = dir.Path() / base[0];
        fs::create_directories(out);
        std::ofstream(out / "mine.txt") << "keep";
        std::vector<std::string> args = base;
        if (args.size() > 2 && args[2].empty())
            args[2] = out.string();
        else
            args.insert(args.begin() + 2, out.string());
        auto r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(Has(r.err, "tessel: " + out.string() + ": the folder already exists;"))
            << r.err;
        EXPECT_EQ(CountFiles(out), 1u) << "nothing written after No";
        r = RunCliWithInput(args, Answer("c"));
        EXPECT_EQ(r.exitCode, 1) << r.err;
        args.push_back("--yes");
        r = RunCli(args);
        EXPECT_TRUE(fs::exists(out / "mine.txt"));
        if (base[0] != "subs") {  // the clip has no PG stream: refused after the question
            EXPECT_EQ(r.exitCode, 0) << r.err;
            EXPECT_GT(CountFiles(out), 1u);
        }
    }
}

// The output's extension chooses the format; unknown or contradicting ones
// are refused with the path named; "-" is standard output.
TEST_F(CliEdges, OutputNamesChooseTheFormat) {
    const std::string d = dir.Path().string();
    struct {
        std::vector<std::string> args;
        int exitCode;
        std::string err;  // part of stderr, or the head of the file written
        std::string file;
    } rows[] = {
        {{"map", Bdmv(), d + "/m.json"}, 0, "{", d + "/m.json"},
        {{"map", Bdmv(), d + "/m.dot"}, 0, "digraph", d + "/m.dot"},
        {{"map", Bdmv(), "--format", "dot", "-o", d + "/n.dot"}, 0, "digraph", d + "/n.dot"},
        {{"map", Bdmv(), d + "/m.txt"}, 2, d + "/m.txt: .txt is not an output format", ""},
        {{"map", Bdmv(), d + "/m.svg", "--format", "dot"},
         2,
         d + "/m.svg: the extension .svg contradicts --format dot",
         ""},
        {{"map", Bdmv(), d + "/m"}, 2, d + "/m: no extension to tell the format by", ""},
        {{"render", Bdmv(), d + "/p.png"}, 0, "\x89PNG", d + "/p.png"},
        {{"render", Bdmv(), d + "/p.jpg"},
         2,
         d + "/p.jpg: .jpg cannot be written by this build",
         ""},
        {{"render", Bdmv(), d + "/p.bmp"}, 2, d + "/p.bmp: .bmp is not an output format", ""},
        {{"quantize", d + "/p.png", d + "/q.gif"},
         2,
         d + "/q.gif: .gif is not an output format",
         ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.args.back());
        const auto r = RunCli(row.args);
        EXPECT_EQ(r.exitCode, row.exitCode) << r.err;
        if (row.file.empty()) {
            EXPECT_TRUE(Has(r.err, "tessel: " + row.err)) << r.err;
            continue;
        }
        std::ifstream in(row.file, std::ios::binary);
        std::string head(row.err.size(), '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        EXPECT_EQ(head, row.err);
    }
    // "-": one picture or document on standard output, summaries elsewhere.
    for (const auto& args : {std::vector<std::string>{"render", Bdmv(), "-"},
                             std::vector<std::string>{"quantize", d + "/p.png", "-"},
                             std::vector<std::string>{"map", Bdmv(), "-", "--format", "png"}}) {
        SCOPED_TRACE(args[0]);
        const auto r = RunCli(args);
        if (r.exitCode == 2 && Has(r.err, "no Graphviz")) continue;
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out.substr(0, 4), "\x89PNG");
    }
    // The map help's example runs as printed (inside a folder holding BDMV).
    const auto help = RunCli({"map", "--help"});
    EXPECT_TRUE(Has(help.out, "tessel map BDMV map.svg --format svg")) << help.out;
    const std::string cmd = "cd " + (work_->Path() / "Film").string() + " && " + TESSEL_CLI_PATH +
                            " map BDMV " + d + "/map.svg --format svg 2>/dev/null";
    const int status = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(fs::exists(d + "/map.svg"));
}

// A stream on standard input: subs names its files after --name.
TEST_F(CliEdges, StandardInputStreams) {
    const fs::path out = dir.Path() / "o";
    auto r = RunCliWithInput({"objects", "-", out.string(), "-q"}, Stream().string());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty()) << "--quiet: " << r.out;
    EXPECT_GT(CountFiles(out), 0u);
    r = RunCliWithInput({"demux", "-", (dir.Path() / "d").string()}, Bdmv() + "/STREAM/00001.m2ts");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir.Path() / "d/5120.ig"));
    r = RunCliWithInput({"render", "-", (dir.Path() / "p.png").string()}, Stream().string());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir.Path() / "p.png"));
    r = RunCliWithInput({"subs", "-", (dir.Path() / "s").string(), "--name", "a/b"},
                        Stream().string());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(Has(r.err, "--name")) << r.err;
    r = RunCliWithInput({"subs", "foo.sup", (dir.Path() / "s").string(), "--name", "x"},
                        "/dev/null");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(Has(r.err, "tessel: --name: only for a stream on standard input")) << r.err;
}

// subs --keep-going goes on past a disc's clip that cannot be read.
TEST_F(CliEdges, SubsKeepsGoingPastABadClip) {
    TESSEL_REQUIRE_CORPUS();
    std::vector<uint8_t> pg;
    ASSERT_EQ(ReadWholeFile((test::CorpusDir() / "pg/libpgs-test.sup").string(), pg).Message(), "");
    authoring::SDiscOptions o;
    for (int n : {1, 2}) {
        authoring::SClipSpec c;
        c.number = n;
        c.igPids = {0x1400};
        c.menu.pages = 1;
        c.pgStreams = {{0x1200, pg}};
        o.clips.push_back(c);
    }
    const fs::path root = dir.Path() / "Subs";
    ASSERT_EQ(authoring::WriteSampleDisc(root.string(), o).Message(), "");
    fs::resize_file(root / "BDMV/STREAM/00001.m2ts", 100);
    const fs::path out = dir.Path() / "out";
    auto r = RunCli({"subs", (root / "BDMV").string(), out.string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(fs::exists(out / "00002_4608.xml")) << "stops at the first bad clip";
    r = RunCli({"subs", (root / "BDMV").string(), out.string(), "--keep-going", "--yes"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(Has(r.err, "clip(s) left out after a failure: 00001")) << r.err;
    EXPECT_TRUE(fs::exists(out / "00002_4608.xml"));
}

// Option values are checked before anything runs, naming the option and
// the command's help; unknown options are named.
TEST_F(CliEdges, OptionValuesAndUnknownOptionsAreNamed) {
    struct {
        std::vector<std::string> args;
        std::string err;
    } rows[] = {
        {{"map", Bdmv(), "--bound", "-5"}, "tessel: --bound: Value -5 not in range"},
        {{"map", Bdmv(), "--bound", "0"}, "tessel: --bound: Value 0 not in range"},
        {{"scan", Bdmv(), "--clip", "100000"}, "tessel: --clip: Value 100000 not in range"},
        {{"render", Bdmv(), "x.png", "--page", "300"}, "tessel: --page: Value 300 not in range"},
        {{"rip", Bdmv(), "o", "--pid", "9000"}, "tessel: --pid: not a PID"},
        {{"demux", "x.m2ts", "o", "--pid", "zz"}, "tessel: --pid: not a PID"},
        {{"scan", Bdmv(), "--bogus"}, "tessel: --bogus: unknown option (see tessel scan --help)"},
        {{"--bogus"}, "tessel: --bogus: unknown option (see tessel --help)"},
        // Found once the command runs, pointing at its help the same way.
        {{"render", Bdmv(), "x.png", "--state", "pressed"},
         "tessel: --state pressed: not one of normal, selected, activated"},
        {{"walk", Bdmv(), "--keys", "jump"}, "tessel: --keys: \"jump\" is not one of"},
        {{"map", Bdmv(), "m.txt"}, "tessel: m.txt: .txt is not an output format"},
        {{"check", Bdmv(), "--min-severity", "x"}, "tessel: --min-severity x: not info"},
        {{"dump", Stream().string(), "--clip", "1"},
         "tessel: " + Stream().string() + ": --clip needs a BDMV folder"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args.back());
        const auto r = RunCli(row.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(Has(r.err, row.err)) << r.err;
        if (row.args[0] != "--bogus") {
            EXPECT_TRUE(Has(r.err, "(see tessel " + row.args[0] + " --help)")) << r.err;
        }
    }
    // --quiet on every command the help lists, which it lists by name.
    const auto help = RunCli({"--help"});
    const size_t commands = help.out.find("Subcommands:");
    ASSERT_NE(commands, std::string::npos) << help.out;
    std::vector<std::string> listed;
    std::istringstream lines(help.out.substr(commands));
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("  ", 0) == 0) listed.push_back(line.substr(2, line.find(' ', 2) - 2));
    EXPECT_GT(listed.size(), 15u);
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end())) << help.out;
    for (const char* command :
         {"clipinfo", "demux", "dump", "map", "menu", "objects", "playlists", "quantize", "rebuild",
          "reframe", "render", "rip", "scan", "subs", "walk"})
        EXPECT_TRUE(Has(RunCli({command, "--help"}).out, "--quiet")) << command;
}

// Messages name the path first: missing folders, missing clips.
TEST_F(CliEdges, MessagesNameThePath) {
    const fs::path copy = dir.Path() / "Copy";
    fs::copy(work_->Path() / "Film", copy, fs::copy_options::recursive);
    fs::remove(copy / "BDMV/STREAM/00002.m2ts");
    const std::string m2ts = (copy / "BDMV/STREAM/00002.m2ts").string();
    struct {
        std::vector<std::string> args;
        std::string err;
    } rows[] = {
        {{"scan", (dir.Path() / "none").string()},
         "tessel: " + (dir.Path() / "none").string() + ": no such folder\n"},
        {{"scan", (copy / "BDMV").string()}, "tessel: " + m2ts + ": File missing: 00002.m2ts ! ("},
        {{"objects", Stream().string(), Stream().string() + "/x"},
         "tessel: " + Stream().string() + "/x: Failed to create the folder (Not a directory)"},
        {{"dump", Bdmv(), "--clip", "7"}, "tessel: " + Bdmv() + ": no IG clip 00007\n"},
    };
    for (const auto& row : rows) {
        const auto r = RunCli(row.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(Has(r.err, row.err)) << r.err;
    }
}

// The commands that read a stream file take a disc's clip as well, with
// --clip and --pid as menu and render do.
TEST_F(CliEdges, StreamCommandsReadADiscClip) {
    const std::string d = dir.Path().string();
    struct {
        std::vector<std::string> args;
        std::string file;  // written, or empty
    } rows[] = {
        {{"objects", Bdmv(), d + "/o", "--clip", "2", "--pid", "0x1400", "--json"},
         d + "/o/Epoch#1/0001.png"},
        {{"dump", Bdmv(), "--clip", "2"}, ""},
        {{"reframe", Bdmv(), d + "/again.ig", "--pid", "5120"}, d + "/again.ig"},
        {{"rebuild", Bdmv(), d + "/checked.ig", "--clip", "2"}, d + "/checked.ig"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0]);
        const auto r = RunCli(row.args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        if (!row.file.empty()) {
            EXPECT_TRUE(fs::exists(row.file));
        }
        if (row.args[0] == "objects") {
            const nlohmann::json j = nlohmann::json::parse(r.out);
            EXPECT_EQ(j["clip"], 2);
            EXPECT_EQ(j["pid"], 0x1400);
        }
    }
    // The same segments as the demultiplexed stream file, clip and PID named.
    const auto fromDisc = RunCli({"dump", Bdmv(), "--json"});
    const auto fromFile = RunCli({"dump", Stream().string(), "--json"});
    nlohmann::json a = nlohmann::json::parse(fromDisc.out), b = nlohmann::json::parse(fromFile.out);
    EXPECT_EQ(a["clip"], 1);
    EXPECT_EQ(a["pid"], 0x1400);
    EXPECT_EQ(a["file"], Bdmv());
    // The disc's segments also tell their byte in the m2ts file.
    for (auto& epoch : a["epochs"])
        for (auto& ds : epoch["display_sets"])
            for (auto& segment : ds["segments"]) {
                EXPECT_GE(segment["m2ts_offset"].get<int64_t>(), 0);
                segment.erase("m2ts_offset");
            }
    EXPECT_EQ(a["epochs"], b["epochs"]);
    const auto again = RunCli({"dump", d + "/again.ig", "--json"});
    EXPECT_EQ(nlohmann::json::parse(again.out)["epochs"].size(), b["epochs"].size());
}

// A clip --keep-going left out fails the command after its output is written.
TEST_F(CliEdges, KeepGoingPastAMissingClipFails) {
    const fs::path copy = dir.Path() / "Copy";
    fs::copy(work_->Path() / "Film", copy, fs::copy_options::recursive);
    fs::remove(copy / "BDMV/STREAM/00002.m2ts");
    const std::string bdmv = (copy / "BDMV").string(), d = dir.Path().string();
    struct {
        std::vector<std::string> args;
        std::string file;  // written, or empty for stdout
    } rows[] = {
        {{"render", bdmv, d + "/p.png"}, d + "/p.png"},
        {{"render", bdmv, d + "/all", "--all"}, d + "/all/00001/5120/page0-normal.png"},
        {{"map", bdmv, d + "/m.json"}, d + "/m.json"},
        {{"walk", bdmv, "--keys", "enter"}, ""},
        {{"menu", bdmv}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.args.back());
        std::vector<std::string> args = row.args;
        args.push_back("--keep-going");
        const auto r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_TRUE(
            Has(r.err, "tessel: " + bdmv + ": 1 clip(s) could not be read and are left out: 00002"))
            << r.err;
        if (row.file.empty()) {
            EXPECT_FALSE(r.out.empty());
        } else {
            EXPECT_TRUE(fs::exists(row.file));
        }
    }
}

// JSON names what was read, what was written and what was left out.
TEST_F(CliEdges, JsonNamesInputsFilesAndWhatWasLeftOut) {
    const fs::path out = dir.Path() / "r";
    auto r = RunCli({"rip", Bdmv(), out.string(), "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["input"], Bdmv());
    size_t listed = 0;
    for (const auto& clip : j["clips"]) {
        // The rip's scan read every byte of the clip.
        EXPECT_EQ(clip["coverage"]["mode"], "full");
        EXPECT_GE(clip["coverage"]["bytes_read"], clip["coverage"]["bytes_total"]);
        for (const auto& ig : clip["igs"])
            for (const auto& epoch : ig["epochs"])
                for (const auto& f : epoch["files"]) listed += fs::exists(f.get<std::string>());
    }
    EXPECT_EQ(listed, j["images"].get<size_t>());
    EXPECT_GT(listed, 0u);

    r = RunCli({"map", Bdmv()});
    j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["input"], Bdmv());
    EXPECT_EQ(j["clip"], 1);
    EXPECT_EQ(j["pid"], 0x1400);
    r = RunCli({"walk", Bdmv(), "--keys", "enter", "--json"});
    j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["pid"], 0x1400);
    const auto& step = j["steps"][0];
    ASSERT_EQ(step["command_records"].size(), step["commands"].size());
    for (size_t i = 0; i < step["commands"].size(); ++i) {
        EXPECT_EQ(step["command_records"][i]["text"], step["commands"][i]);
        EXPECT_EQ(step["command_records"][i]["hex"].get<std::string>().size(), 26u);
    }
    if (!step["exit"].is_null()) {
        EXPECT_TRUE(Has(step["exit"].get<std::string>(), step["exit_kind"].get<std::string>()));
    }
    r = RunCli({"clipinfo", Bdmv() + "/CLIPINF/00001.clpi", "--json"});
    j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j["track_records"].size(), j["tracks"].size());
    EXPECT_EQ(j["track_records"][0]["file"], "00001.m2ts");
    EXPECT_EQ(j["track_records"][0]["text"], j["tracks"][0]);

    // A clip left out by --keep-going, with the reason shown for it.
    const fs::path copy = dir.Path() / "Copy";
    fs::copy(work_->Path() / "Film", copy, fs::copy_options::recursive);
    fs::remove(copy / "BDMV/STREAM/00002.m2ts");
    const std::string bdmv = (copy / "BDMV").string();
    // scan, map and walk list it the same way.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"scan", bdmv, "--keep-going", "--json"},
          {"map", bdmv, "--keep-going"},
          {"walk", bdmv, "--keys", "enter", "--keep-going", "--json"}}) {
        SCOPED_TRACE(args[0]);
        r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2);
        j = nlohmann::json::parse(r.out, nullptr, false);
        ASSERT_TRUE(j.is_object()) << r.out << r.err;
        ASSERT_EQ(j["left_out"].size(), 1u);
        EXPECT_EQ(j["left_out"][0]["clip"], 2);
        EXPECT_TRUE(Has(j["left_out"][0]["reason"].get<std::string>(), "File missing: 00002.m2ts"))
            << j.dump();
    }
}

}  // namespace
}  // namespace tessel
