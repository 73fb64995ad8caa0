// What every command that writes shares, each in one call: the question
// before writing into a folder that holds files (--yes), the output format
// chosen by a file's extension, "-" for standard output, and the summary
// lines that --quiet silences.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/result.h"

namespace tessel::cli {

// --yes: answers the overwrite question with Yes.
void AddYes(CLI::App& sub, bool& yes);

// A --bg value RRGGBB as an opaque ARGB colour; false when it is none.
bool ParseColour(const std::string& text, uint32_t& argb);

// Before a command writes into folder. A folder that is missing, or exists
// and is empty, goes on at once. Otherwise (or always, with mustAsk) asks
// "<folder>: The folder already exists, overwrite it? ": --yes answers Yes,
// else a line read from standard input ("y", "n", anything else Cancel).
// Without an answer (end of input, or the input is the command's stream:
// stdinTaken) it is No with a hint at --yes. Returns kExitOk to go on,
// kExitFailed after No and kExitCancelled after Cancel, each with a message.
int ConfirmFolder(const std::string& folder, bool yes, bool stdinTaken = false,
                  bool mustAsk = false);

// A folder that exists and holds at least one entry.
bool FolderHasEntries(const std::string& folder);

// One output format and the file extensions that stand for it.
struct SOutputFormat {
    const char* format;
    std::vector<const char*> extensions;  // without the dot, lower case
};

// The format of the output file path. format holds --format (empty when not
// given) and receives the choice: --format when given, else the one of the
// path's extension; fallback for "-" or an empty path without --format.
// Refused, with a message naming the path: an extension of no format in
// formats (unwritable names what this build cannot write, e.g. "jpg"), one
// that contradicts --format, or no extension and no --format.
bool ChooseFormat(const std::string& path, std::string& format,
                  const std::vector<SOutputFormat>& formats, const char* fallback,
                  const std::vector<const char*>& unwritable = {});

// Refuses (with a message) "-" as output while standard output is a terminal.
// Marks standard output as taken, so that Note lines go to stderr.
bool ClaimStandardOutput(const std::string& path);

// Writes bytes to path, "-" standard output; a failure is shown with the path.
bool WriteOutput(const std::string& path, std::span<const uint8_t> bytes);
bool WriteOutput(const std::string& path, const std::string& text);

// A summary line of a command: on stdout (on stderr when stdout carries the
// command's data), nothing with --quiet.
void Note(const std::string& line);
// --quiet, added to every command by the registry: no progress, no notes.
bool Quiet();
void SetQuiet(bool quiet);

// The one way a command shows a failure about a file or folder:
// "<path>: <reason>" once. Returns kExitFailed.
int ShowFailure(const std::string& path, const std::string& reason);
// The same for a failed result: its message.
int ShowFailure(const CResult& failure);

// A usage error (a bad option value, a missing argument, an unknown key or
// option): the message, then "(see tessel <command> --help)" for the command
// named by SetCommandName, "(see tessel --help)" before one is. Returns
// kExitFailed.
int ShowUsageError(const std::string& text);
void SetCommandName(const std::string& name);

}  // namespace tessel::cli
