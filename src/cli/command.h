// Registration of the `tessel` subcommands; one file per command.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

namespace tessel::cli {

// Exit codes: the result codes of long operations.
constexpr int kExitOk = 0;
constexpr int kExitCancelled = 1;
constexpr int kExitFailed = 2;

// The exit status of a long operation's result code: 0 done, 1 cancelled,
// anything else failed (its reason has been shown).
inline int ExitStatus(int result) {
    return result == 0 ? kExitOk : result == 1 ? kExitCancelled : kExitFailed;
}

// Adds the command's options to its subcommand and returns the action to run.
using CommandSetup = std::function<std::function<int()>(CLI::App& sub)>;

struct CommandRegistration {
    CommandRegistration(const char* name, const char* description, CommandSetup setup);
};

// Prints a line to stdout.
void Out(const std::string& line);

// Ends the process with code once its output is complete, without taking
// down what the command built (a disc's model of thousands of objects takes
// longer to free than the system takes to reclaim it). For commands that
// have written and closed every file. Sanitizer builds return code instead,
// so that their leak checks still see everything freed.
int EndWithoutTeardown(int code);

}  // namespace tessel::cli
