#include "platform/progress.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "platform/text.h"

namespace tessel {

namespace {
constexpr size_t kMaxText = 4095;
}

CProgressWnd::CProgressWnd() {
    startMs_ = NowMs();
}

int64_t CProgressWnd::NowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void CProgressWnd::SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void CProgressWnd::SetRange(int lower, int upper) {
    lower_ = lower;
    upper_ = upper;
}

bool CProgressWnd::SetPos(int position) {
    position_ = position;
    int percent = 0;
    if (lower_ < upper_)
        percent = static_cast<int>(
            std::lround((position - lower_) * 100.0 / static_cast<double>(upper_ - lower_)));
    if (percent != percent_ || percent == 0) {
        percent_ = percent;
        title_ = StrFormat("%s [%d%%]", caption_.c_str(), percent_);
    }
    Update();
    return cancelled_.load();
}

void CProgressWnd::SetText(const std::string& text) {
    if (EqualsNoCase(text, text_)) return;
    text_ = text.substr(0, kMaxText);
    Update();
}

void CProgressWnd::SetCaption(const std::string& caption) {
    if (EqualsNoCase(caption, caption_)) return;
    caption_ = caption;
    title_ = caption_;
    bytesTotal_ = -1;  // a new step tells its own bytes, if any
    Update();
}

void CProgressWnd::HideBar() {
    barVisible_ = false;
    Redraw();
}

void CProgressWnd::SetBytes(int64_t done, int64_t total, bool sampled) {
    if (total != bytesTotal_ || done < bytesDone_ || sampled != sampled_) {
        bytesTotal_ = total;
        bytesStart_ = done;
        bytesStartMs_ = NowMs();
        bytesStartPercent_ = percent_;
        sampled_ = sampled;
    }
    bytesDone_ = done;
    Update();
}

namespace {

std::string SecondsLeftText(int64_t left) {
    if (left >= 3600)
        return StrFormat("%lld h %lld min left", static_cast<long long>(left / 3600),
                         static_cast<long long>(left % 3600 / 60));
    if (left >= 60)
        return StrFormat("%lld min %lld sec left", static_cast<long long>(left / 60),
                         static_cast<long long>(left % 60));
    return StrFormat("%lld sec left", static_cast<long long>(left));
}

}  // namespace

std::string CProgressWnd::BytesText() const {
    if (bytesTotal_ < 0) return {};
    std::string text =
        ByteSizeText(bytesDone_) + (sampled_ ? " read of " : " of ") + ByteSizeText(bytesTotal_);
    const int64_t ms = NowMs() - bytesStartMs_;
    const int64_t read = bytesDone_ - bytesStart_;
    if (ms < 200 || read <= 0) return text;
    const double rate = static_cast<double>(read) * 1000.0 / static_cast<double>(ms);
    double left = static_cast<double>(bytesTotal_ - bytesDone_) / rate;
    if (sampled_) {
        // The bytes still to read are unknown; the share of places done is not.
        const int done = percent_ - bytesStartPercent_;
        if (done <= 0) return text + ", " + ByteSizeText(static_cast<int64_t>(rate)) + "/s";
        left = static_cast<double>(ms) * (100 - percent_) / done / 1000.0;
    }
    return text + ", " + ByteSizeText(static_cast<int64_t>(rate)) + "/s, " +
           SecondsLeftText(std::llround(left));
}

void CProgressWnd::Cancel() {
    cancelled_.store(true);
}

void CProgressWnd::Update() {
    Redraw();
    if (!cancelled_.load()) Pump();
}

std::string CProgressWnd::TimeLeftText() const {
    return FormatTimeLeft(NowMs() - startMs_, upper_ - lower_, std::abs(position_), percent_);
}

std::string CProgressWnd::FormatTimeLeft(int64_t elapsedMs, int total, int done, int percent) {
    // Nothing done yet: no basis for an estimate.
    if (done == 0) return {};
    const double ms =
        static_cast<double>(elapsedMs) * total / done - static_cast<double>(elapsedMs);
    int64_t seconds = std::llround(ms / 1000.0);
    if (seconds == 0 && percent <= 99) seconds = 1;
    const int64_t hours = seconds > 3600 ? seconds / 3600 : 0;
    const int64_t rest = seconds - hours * 3600;
    const int64_t minutes = rest > 60 ? rest / 60 : 0;
    const int64_t secs = rest - minutes * 60;
    const char* label = kTimeLeftLabel;
    if (hours)
        return StrFormat("%s  %lld %s %lld %s", label, static_cast<long long>(hours), "hour",
                         static_cast<long long>(minutes), "min");
    if (minutes)
        return StrFormat("%s  %lld %s %lld %s", label, static_cast<long long>(minutes), "min",
                         static_cast<long long>(secs), "sec");
    return StrFormat("%s  %lld %s", label, static_cast<long long>(secs), "sec");
}

bool ReportProgress(CProgressWnd* wnd, const SProgressReport& report) {
    if (!wnd) return true;
    if (wnd->cancelled_.load()) return false;
    switch (report.kind) {
        case SProgressReport::kPosition:
            if (report.position == 100) wnd->SleepMs(50);
            wnd->SetPos(report.position);
            break;
        case SProgressReport::kText:
            wnd->SetText(report.text);
            break;
        case SProgressReport::kCaption:
            wnd->SetCaption(report.caption);
            break;
        case SProgressReport::kHideBar:
            wnd->HideBar();
            break;
        case SProgressReport::kBytes:
            wnd->SetBytes(report.bytesDone, report.bytesTotal, report.sampled);
            break;
        default:
            break;
    }
    return !wnd->cancelled_.load();
}

}  // namespace tessel
