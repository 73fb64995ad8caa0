#include "cli/output_rules.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "cli/command.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {

namespace {
bool g_quiet = false;
std::string g_command;
bool g_stdoutTaken = false;

std::string WithoutSeparator(std::string folder) {
    while (folder.size() > 1 && folder.back() == kPathSeparator) folder.pop_back();
    return folder;
}

std::string ExtensionList(const std::vector<SOutputFormat>& formats) {
    std::string list;
    for (const SOutputFormat& f : formats)
        for (const char* e : f.extensions) list += (list.empty() ? "." : ", .") + std::string(e);
    return list;
}

const SOutputFormat* ByExtension(const std::vector<SOutputFormat>& formats,
                                 const std::string& ext) {
    for (const SOutputFormat& f : formats)
        for (const char* e : f.extensions)
            if (ext == e) return &f;
    return nullptr;
}
}  // namespace

bool ParseColour(const std::string& text, uint32_t& argb) {
    if (text.size() != 6 || !std::all_of(text.begin(), text.end(), ::isxdigit)) return false;
    argb = 0xFF000000u | static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
    return true;
}

void AddYes(CLI::App& sub, bool& yes) {
    sub.add_flag("-y,--yes", yes, "Overwrite an existing output folder without asking");
}

bool FolderHasEntries(const std::string& folder) {
    std::error_code ec;
    return std::filesystem::is_directory(folder, ec) &&
           std::filesystem::directory_iterator(folder, ec) != std::filesystem::directory_iterator();
}

int ConfirmFolder(const std::string& folderIn, bool yes, bool stdinTaken, bool mustAsk) {
    const std::string folder = WithoutSeparator(folderIn);
    if (!(mustAsk && IsFolder(folder)) && !FolderHasEntries(folder)) return kExitOk;
    if (yes) return kExitOk;
    const std::string question = folder + ": The folder already exists, overwrite it? ";
    std::string answer;
    bool answered = false;
    if (!stdinTaken) {
        std::fprintf(stderr, "tessel: %s[y]es/[n]o/[c]ancel: ", question.c_str());
        std::fflush(stderr);
        answered = static_cast<bool>(std::getline(std::cin, answer));
        // An answer typed at a terminal ends its line itself.
        if (!answered || !::isatty(STDIN_FILENO)) std::fputc('\n', stderr);
    }
    if (!answered) {
        ShowMessage(folder +
                    ": the folder already exists; nothing was written (no answer to the "
                    "overwrite question: use --yes to overwrite)");
        return kExitFailed;
    }
    const std::string a = ToLower(answer);
    if (a == "y" || a == "yes") return kExitOk;
    if (a == "n" || a == "no") {
        ShowMessage(folder + ": not overwritten (answered No); nothing was written");
        return kExitFailed;
    }
    ShowMessage(folder + ": cancelled; nothing was written");
    return kExitCancelled;
}

bool ChooseFormat(const std::string& path, std::string& format,
                  const std::vector<SOutputFormat>& formats, const char* fallback,
                  const std::vector<const char*>& unwritable) {
    const std::string ext = path == "-" ? "" : ToLower(FileExtension(path));
    bool known = format.empty();
    for (const SOutputFormat& f : formats) known = known || format == f.format;
    if (!known) {
        std::string names;
        for (const SOutputFormat& f : formats)
            names += (names.empty() ? "" : ", ") + std::string(f.format);
        ShowUsageError(StrFormat("--format %s: not one of %s", format.c_str(), names.c_str()));
        return false;
    }
    if (ext.empty()) {
        if (format.empty() && (path.empty() || path == "-")) format = fallback;
        if (!format.empty()) return true;
        ShowUsageError(
            StrFormat("%s: no extension to tell the format by (%s); name one or give "
                      "--format",
                      path.c_str(), ExtensionList(formats).c_str()));
        return false;
    }
    const SOutputFormat* byName = ByExtension(formats, ext);
    if (!byName) {
        bool cannot = false;
        for (const char* u : unwritable) cannot = cannot || ext == u;
        ShowUsageError(StrFormat(
            "%s: .%s %s (the extension chooses the format: %s)", path.c_str(), ext.c_str(),
            cannot ? "cannot be written by this build" : "is not an output format",
            ExtensionList(formats).c_str()));
        return false;
    }
    if (!format.empty() && format != byName->format) {
        ShowUsageError(StrFormat("%s: the extension .%s contradicts --format %s", path.c_str(),
                                 ext.c_str(), format.c_str()));
        return false;
    }
    format = byName->format;
    return true;
}

bool ClaimStandardOutput(const std::string& path) {
    if (path != "-") return true;
    if (::isatty(STDOUT_FILENO)) {
        ShowMessage("-: standard output is a terminal; redirect it or name a file");
        return false;
    }
    g_stdoutTaken = true;
    return true;
}

bool WriteOutput(const std::string& path, std::span<const uint8_t> bytes) {
    if (path == "-") {
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
            std::fflush(stdout) != 0) {
            ShowMessage("-: standard output could not be written");
            return false;
        }
        return true;
    }
    const CResult written = WriteWholeFile(path, bytes.data(), bytes.size());
    if (written) return true;
    ShowFailure(path, written.Text());
    return false;
}

bool WriteOutput(const std::string& path, const std::string& text) {
    return WriteOutput(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void Note(const std::string& line) {
    if (g_quiet) return;
    if (g_stdoutTaken)
        std::fprintf(stderr, "%s\n", line.c_str());
    else
        Out(line);
}

bool Quiet() {
    return g_quiet;
}

void SetQuiet(bool quiet) {
    g_quiet = quiet;
}

int ShowFailure(const std::string& path, const std::string& reason) {
    ShowMessage(path + ": " + reason);
    return kExitFailed;
}

int ShowFailure(const CResult& failure) {
    ShowMessage(failure.Message());
    return kExitFailed;
}

int ShowUsageError(const std::string& text) {
    const std::string help =
        g_command.empty() ? "tessel --help" : "tessel " + g_command + " --help";
    ShowMessage(text + " (see " + help + ")");
    return kExitFailed;
}

void SetCommandName(const std::string& name) {
    g_command = name;
}

}  // namespace tessel::cli
