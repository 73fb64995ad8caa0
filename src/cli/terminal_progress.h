// Progress on stderr for long commands: a one-line bar with the bytes read,
// their rate and the time left when stderr is a terminal (nothing when quiet
// or not a terminal); Ctrl-C cancels the operation cleanly.
#pragma once

#include "platform/progress.h"

namespace tessel::cli {

class CTerminalProgress : public CProgressWnd {
public:
    explicit CTerminalProgress(bool quiet = false);
    ~CTerminalProgress() override;

protected:
    void Pump() override;
    void Redraw() override;
    // A finished bar needs no pause before it goes: nobody watches a window.
    void SleepMs(int) override {}

private:
    bool tty_;
    int64_t lastDrawMs_ = -1000;
    void (*previous_)(int) = nullptr;
};

}  // namespace tessel::cli
