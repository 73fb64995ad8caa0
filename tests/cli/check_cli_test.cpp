// `tessel check`: every corpus menu checked with JSON valid against its
// schema (and the table of which findings they have), the sample disc's exit
// status and text, and bad requests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "authoring/sample_disc.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

// Validates every .json file of folder against the schema with
// python3-jsonschema: 0 valid, 77 without the module, else invalid (the
// reasons in report).
int ValidateFolder(const fs::path& schema, const fs::path& folder, std::string& report) {
    const fs::path script = folder / "validate.py", out = folder / "validate.txt";
    std::ofstream(script) << "import glob, json, sys\n"
                             "try:\n"
                             "    from jsonschema import Draft202012Validator\n"
                             "except ImportError:\n"
                             "    sys.exit(77)\n"
                             "v = Draft202012Validator(json.load(open(sys.argv[1])))\n"
                             "bad = 0\n"
                             "for f in sorted(glob.glob(sys.argv[2] + '/*.json')):\n"
                             "    for e in v.iter_errors(json.load(open(f))):\n"
                             "        bad += 1\n"
                             "        print(f, e.message[:200])\n"
                             "sys.exit(1 if bad else 0)\n";
    const std::string command = "python3 '" + script.string() + "' '" + schema.string() + "' '" +
                                folder.string() + "' > '" + out.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream in(out);
    report.assign(std::istreambuf_iterator<char>(in), {});
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliCheck, EveryCorpusMenuWithValidJson) {
    TESSEL_REQUIRE_CORPUS();
    test::CTempDir work;
    const fs::path json = work.Path() / "json";
    fs::create_directories(json);
    // The real compositions as streams, and the independently authored one.
    std::map<std::string, fs::path> menus;
    for (const auto& entry : fs::directory_iterator(test::CorpusDir() / "discs")) {
        const fs::path payload = entry.path() / "ics_payload.bin";
        if (!fs::exists(payload)) continue;
        std::vector<uint8_t> marked;
        ASSERT_EQ(authoring::StreamFromIcsPayload(test::ReadBytes(payload), marked).Message(), "");
        const fs::path stream = work.Path() / (entry.path().filename().string() + ".ig");
        ASSERT_EQ(WriteWholeFile(stream.string(), marked.data(), marked.size()).Message(), "");
        menus[entry.path().filename().string()] = stream;
    }
    menus["independent"] = test::CorpusDir() / "independent" / "menu_a_single_page" / "menu.ies";
    ASSERT_GE(menus.size(), 8u);
    std::map<std::string, int> menusWith;
    for (const auto& [name, stream] : menus) {
        SCOPED_TRACE(name);
        const test::SRunResult r = test::RunCli({"check", stream.string(), "--json"});
        ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 2) << r.err;
        const auto doc = nlohmann::json::parse(r.out);
        std::set<std::string> rules;
        bool error = false;
        for (const auto& f : doc["findings"]) {
            rules.insert(f["rule"].get<std::string>());
            error = error || f["severity"] == "error";
        }
        EXPECT_EQ(r.exitCode, error ? 2 : 0);
        for (const std::string& rule : rules) ++menusWith[rule];
        std::ofstream(json / (name + ".json")) << r.out;
    }
    // The README's table.
    std::string table;
    for (const auto& [rule, count] : menusWith)
        table += "| `" + rule + "` | " + std::to_string(count) + " |\n";
    std::printf("%zu corpus menus; menus with each finding:\n%s", menus.size(), table.c_str());
    std::string report;
    const int valid =
        ValidateFolder(fs::path(TESSEL_SOURCE_DIR) / "docs/schema/check.schema.json", json, report);
    if (valid == 77) GTEST_SKIP() << "python3-jsonschema is not installed";
    EXPECT_EQ(valid, 0) << report;
}

TEST(CliCheck, SampleDiscTextExitStatusAndBadRequests) {
    const std::string sample = std::string(TESSEL_SOURCE_DIR) + "/samples/demo/BDMV";
    test::SRunResult r = test::RunCli({"check", sample});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("info decoration clip 00001 PID 0x1400 epoch 0 display set 0 page 0"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("0 error(s), "), std::string::npos) << r.out;
    r = test::RunCli({"check", sample, "--clip", "2", "--pid", "0x1401", "--json", "--rules",
                      "unreachable-page,decoration", "--min-severity", "warning"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    ASSERT_FALSE(doc["findings"].empty());
    for (const auto& f : doc["findings"]) {
        EXPECT_EQ(f["rule"], "unreachable-page");
        EXPECT_EQ(f["clip"], 2);
        EXPECT_EQ(f["pid"], 0x1401);
        EXPECT_TRUE(f["button"].is_null());
    }
    struct SBad {
        std::vector<std::string> args;
        const char* says;
    };
    const SBad bad[] = {
        {{"check", sample, "--rules", "no-such-rule"}, "\"no-such-rule\" is no rule"},
        {{"check", sample, "--min-severity", "fatal"}, "--min-severity fatal"},
        {{"check", sample + "/missing"}, "missing"},
    };
    for (const SBad& b : bad) {
        r = test::RunCli(b.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find(b.says), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace tessel
