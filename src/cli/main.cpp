#include <cstdio>
#include <memory>
#include <vector>

#include "cli/command.h"

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

}  // namespace tessel::cli

int main(int argc, char** argv) {
    using namespace tessel::cli;
    CLI::App app{"tessel: inspect Blu-ray Interactive Graphics menus and rip their pictures"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "tessel 0.1.0");
    std::function<int()> action;
    std::vector<std::function<int()>> actions(Registry().size());
    for (size_t i = 0; i < Registry().size(); ++i) {
        auto& e = Registry()[i];
        CLI::App* sub = app.add_subcommand(e.name, e.description);
        actions[i] = e.setup(*sub);
        sub->callback([&action, &actions, i] { action = actions[i]; });
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? kExitOk : kExitFailed;
    }
    std::fflush(stdout);
    const int rc = action ? action() : kExitFailed;
    std::fflush(stdout);
    return rc;
}
