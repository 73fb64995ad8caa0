#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <vector>

#include "cli/command.h"
#include "cli/output_rules.h"
#include "cli/stream_targets.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {

namespace {
struct SEntry {
    const char* name;
    const char* description;
    CommandSetup setup;
};

std::vector<SEntry>& Registry() {
    static std::vector<SEntry> entries;
    return entries;
}
}  // namespace

CommandRegistration::CommandRegistration(const char* name, const char* description,
                                         CommandSetup setup) {
    Registry().push_back({name, description, std::move(setup)});
}

void Out(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

int EndWithoutTeardown(int code) {
#if defined(__SANITIZE_ADDRESS__)
    return code;
#else
    std::cout.flush();
    std::cerr.flush();
    if (std::fflush(nullptr) != 0) return kExitFailed;  // stdout could not be written
    std::_Exit(code);
#endif
}

}  // namespace tessel::cli

namespace {

// One example per command for its help.
const char* Example(const std::string& name) {
    static const std::pair<const char*, const char*> kExamples[] = {
        {"check", "tessel check BDMV --min-severity warning"},
        {"clipinfo", "tessel clipinfo BDMV/CLIPINF/00001.clpi --json"},
        {"dump", "tessel dump 5120.ig"},
        {"map", "tessel map BDMV map.svg --format svg"},
        {"menu", "tessel menu 5120.ig --json"},
        {"objects", "tessel objects 5120.ig pictures"},
        {"playlists", "tessel playlists BDMV"},
        {"quantize", "tessel quantize photo.png photo-256.png"},
        {"rebuild", "tessel rebuild 5120.ig checked.ig --mui"},
        {"reframe", "tessel reframe 5120.ig again.ig"},
        {"render", "tessel render BDMV page.png --state selected"},
        {"rip", "tessel rip BDMV out --yes"},
        {"scan", "tessel scan BDMV --clip 1 --json"},
        {"subs", "tessel subs movie.sup out --format bdn"},
        {"walk", "tessel walk BDMV --keys right,enter"},
    };
    for (const auto& [command, example] : kExamples)
        if (name == command) return example;
    return nullptr;
}

// The checks of the options that several commands share, by name, so that
// each command's value is refused the same way before it runs.
void CheckSharedOptions(CLI::App& sub) {
    if (CLI::Option* o = sub.get_option_no_throw("--clip")) o->check(CLI::Range(0, 99999));
    if (CLI::Option* o = sub.get_option_no_throw("--page")) o->check(CLI::Range(0, 255));
    if (CLI::Option* o = sub.get_option_no_throw("--pid"))
        o->check(CLI::Validator(
            [](std::string& text) {
                int pid;
                return tessel::cli::ParsePid(text, pid)
                           ? std::string()
                           : "not a PID (decimal or 0x hex, 0 to 8191): " + text;
            },
            "PID"));
}

// What a command line that does not parse gets wrong, after the program's
// name: an option the command lacks is named before what the command misses.
// A known command is made the one the message points at for help.
std::string ParseErrorText(const CLI::App& app, std::string text, int argc, char** argv) {
    if (argc > 1 && argv[1][0] != '-') {
        const CLI::App* sub = nullptr;
        for (const CLI::App* s : app.get_subcommands([](const CLI::App*) { return true; }))
            if (s->get_name() == argv[1]) sub = s;
        if (!sub) return tessel::StrFormat("unknown command \"%s\"", argv[1]);
        tessel::cli::SetCommandName(argv[1]);
        for (int j = 2; j < argc; ++j) {
            const std::string arg = argv[j];
            if (arg == "--") break;
            if (arg.size() < 2 || arg[0] != '-' || std::isdigit(arg[1] & 0xFF)) continue;
            const std::string name = arg.substr(0, arg.find('='));
            if (name.size() > 2 && name[1] != '-') continue;  // -abc: flags together
            if (!sub->get_option_no_throw(name)) return name + ": unknown option";
        }
    } else if (argc > 1 && std::string(argv[1]) != "--help") {
        return tessel::StrFormat("%s: unknown option", argv[1]);
    }
    return text;
}

constexpr const char* kExitStatus =
    "Exit status: 0 done, 1 cancelled (Ctrl-C, or a question answered Cancel), 2 failed "
    "(bad input or options; the reason is on stderr).";

// A command that runs out of memory stops with a message, not an abort.
int RunAction(const std::function<int()>& action) {
    try {
        return action();
    } catch (const std::bad_alloc&) {
        tessel::ShowMessage("out of memory; the command stopped");
        return tessel::cli::kExitFailed;
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tessel::cli;
    CLI::App app{"tessel: inspect Blu-ray Interactive Graphics menus and rip their pictures",
                 "tessel"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "tessel 0.1.0");
    std::function<int()> action;
    // The help lists the commands by name, whatever order their files started in.
    std::sort(Registry().begin(), Registry().end(),
              [](const SEntry& a, const SEntry& b) { return std::strcmp(a.name, b.name) < 0; });
    std::vector<std::function<int()>> actions(Registry().size());
    bool quiet = false;
    for (size_t i = 0; i < Registry().size(); ++i) {
        auto& e = Registry()[i];
        CLI::App* sub = app.add_subcommand(e.name, e.description);
        actions[i] = e.setup(*sub);
        CheckSharedOptions(*sub);
        // A command that has its own --quiet keeps it.
        if (!sub->get_option_no_throw("--quiet") && !sub->get_option_no_throw("-q"))
            sub->add_flag("-q,--quiet", quiet,
                          "No progress and no summary lines (errors still show)");
        if (sub->get_footer().empty()) {
            const char* example = Example(e.name);
            sub->footer(example ? std::string("Example:\n  ") + example + "\n\n" + kExitStatus
                                : std::string(kExitStatus));
        }
        sub->callback([&action, &actions, i] { action = actions[i]; });
    }
    app.footer(kExitStatus);  // after the commands, which would inherit it
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return ShowUsageError(ParseErrorText(app, e.what(), argc, argv));
    }
    SetQuiet(quiet);
    for (const CLI::App* sub : app.get_subcommands()) SetCommandName(sub->get_name());
    std::fflush(stdout);
    const int rc = action ? RunAction(action) : kExitFailed;
    std::fflush(stdout);
    return rc;
}
