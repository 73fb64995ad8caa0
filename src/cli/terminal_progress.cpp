#include "cli/terminal_progress.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>

#include "cli/output_rules.h"
#include "platform/text.h"

namespace tessel::cli {

namespace {
std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) {
    g_interrupted = true;
}
}  // namespace

CTerminalProgress::CTerminalProgress(bool quiet)
    : tty_(!quiet && !Quiet() && ::isatty(STDERR_FILENO) != 0) {
    g_interrupted = false;
    previous_ = std::signal(SIGINT, OnInterrupt);
}

CTerminalProgress::~CTerminalProgress() {
    if (tty_ && lastDrawMs_ >= 0) std::fputs("\r\033[K", stderr);
    std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
}

void CTerminalProgress::Pump() {
    if (g_interrupted) Cancel();
}

void CTerminalProgress::Redraw() {
    if (!tty_) return;
    const int64_t now = NowMs();
    // Redraw at most ten times a second, but always at the end.
    if (now - lastDrawMs_ < 100 && Percent() < 100) return;
    lastDrawMs_ = now;
    constexpr int kWidth = 30;
    const int filled = Percent() * kWidth / 100;
    std::string bar(static_cast<size_t>(filled < 0 ? 0 : filled > kWidth ? kWidth : filled), '#');
    bar.resize(kWidth, '-');
    std::string line = Title();
    if (BarVisible()) line += " [" + bar + "]";
    if (!Text().empty()) line += " " + Text();
    const std::string bytes = BytesText();
    if (!bytes.empty())
        line += "  " + bytes;
    else if (BarVisible() && Percent() > 0)
        line += "  " + TimeLeftText();
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
}

}  // namespace tessel::cli
