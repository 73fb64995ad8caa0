// Progress reporting for long operations, with cancel. The front ends derive
// from CProgressWnd to draw it and to pump their events.
#pragma once

#include <cstdint>
#include <string>

namespace tessel {

struct SProgressReport {
    enum Kind { kPosition = 0, kText = 1, kCaption = 2, kHideBar = 3 };
    int kind = kPosition;
    int position = 0;
    std::string text;
    std::string caption;
};

class CProgressWnd {
public:
    static constexpr const char* kCancelText = " Cancel ";
    static constexpr const char* kTimeLeftLabel = "Estimated time left:";

    CProgressWnd();
    virtual ~CProgressWnd() = default;

    void SetRange(int lower, int upper);
    // Moves the bar; returns the cancelled flag.
    bool SetPos(int position);
    void SetText(const std::string& text);
    void SetCaption(const std::string& caption);
    void HideBar();
    // Cancels once; the flag then stays set.
    void Cancel();

    bool Cancelled() const { return cancelled_; }
    int Position() const { return position_; }
    int Percent() const { return percent_; }
    bool BarVisible() const { return barVisible_; }
    const std::string& Caption() const { return caption_; }
    const std::string& Text() const { return text_; }
    const std::string& Title() const { return title_; }
    // The estimate line for the current position and elapsed time.
    std::string TimeLeftText() const;
    static std::string FormatTimeLeft(int64_t elapsedMs, int total, int done, int percent);

protected:
    // Processes pending user-interface events; may call Cancel().
    virtual void Pump() {}
    // Shows the current state (title, text, bar, estimate).
    virtual void Redraw() {}
    virtual int64_t NowMs() const;
    virtual void SleepMs(int ms);

private:
    void Update();

    int lower_ = 0;
    int upper_ = 100;
    int position_ = 0;
    int percent_ = 0;
    std::string caption_;
    std::string text_;
    std::string title_;
    bool cancelled_ = false;
    bool barVisible_ = true;
    int64_t startMs_ = 0;

    friend bool ReportProgress(CProgressWnd* wnd, const SProgressReport& report);
};

// Applies one report; true while the user has not cancelled. A null window
// (no progress shown) never cancels.
bool ReportProgress(CProgressWnd* wnd, const SProgressReport& report);

}  // namespace tessel
