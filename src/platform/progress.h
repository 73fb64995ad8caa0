// Progress reporting for long operations, with cancel. The front ends derive
// from CProgressWnd to draw it and to pump their events.
//
// Threads: the operation that reports (a scan, a clip parse, a rip) may run on
// a worker thread. ReportProgress, and through it SetPos/SetText/SetCaption
// and the virtual Pump and Redraw, are called on the thread doing the work; a
// front end whose window lives on another thread marshals what Redraw shows
// to its own thread (a queued call) and must not touch its widgets from Pump.
// Cancel may be called from any thread (the GUI thread, a signal flag polled
// in Pump); the worker sees it at its next report. Everything else of the
// window belongs to the thread doing the work.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace tessel {

struct SProgressReport {
    enum Kind { kPosition = 0, kText = 1, kCaption = 2, kHideBar = 3, kBytes = 4 };
    int kind = kPosition;
    int position = 0;
    // kBytes: bytes of a file read so far and the file's length; sampled
    // when the reads are spread over the file (the bar tells how far).
    int64_t bytesDone = 0;
    int64_t bytesTotal = 0;
    bool sampled = false;
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
    // Bytes read of the file being read; a new total starts a new rate.
    // Sampled bytes are read at places spread over the file: the time left
    // then follows the bar, not the bytes.
    void SetBytes(int64_t done, int64_t total, bool sampled = false);
    // Cancels once; the flag then stays set. Safe from any thread.
    void Cancel();

    // Safe from any thread.
    bool Cancelled() const { return cancelled_.load(); }
    int Position() const { return position_; }
    int Percent() const { return percent_; }
    bool BarVisible() const { return barVisible_; }
    const std::string& Caption() const { return caption_; }
    const std::string& Text() const { return text_; }
    const std::string& Title() const { return title_; }
    // "1.2 GB of 4.3 GB, 180 MB/s, 17 sec left" of the bytes told, or
    // "41 MB read of 31.2 GB, 4.1 MB/s, 30 sec left" when sampled; empty
    // before any.
    std::string BytesText() const;
    // The estimate line for the current position and elapsed time.
    std::string TimeLeftText() const;
    static std::string FormatTimeLeft(int64_t elapsedMs, int total, int done, int percent);

protected:
    // Processes pending user-interface events; may call Cancel(). Called on
    // the thread doing the work, after each change while not cancelled.
    virtual void Pump() {}
    // Shows the current state (title, text, bar, estimate). Called on the
    // thread doing the work; a window on another thread copies the state
    // here and draws it on its own thread.
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
    std::atomic<bool> cancelled_{false};
    bool barVisible_ = true;
    int64_t startMs_ = 0;
    int64_t bytesDone_ = 0, bytesTotal_ = -1, bytesStart_ = 0, bytesStartMs_ = 0;
    int bytesStartPercent_ = 0;
    bool sampled_ = false;

    friend bool ReportProgress(CProgressWnd* wnd, const SProgressReport& report);
};

// Applies one report; true while the user has not cancelled. A null window
// (no progress shown) never cancels. Called on the thread doing the work; a
// position of 100 waits 50 ms first, so that the full bar is seen.
bool ReportProgress(CProgressWnd* wnd, const SProgressReport& report);

}  // namespace tessel
