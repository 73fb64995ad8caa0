// The page view's play: a menu clock over the shown page's composition,
// advanced by a timer at the video frame rate, its frames composed
// incrementally and drawn instead of the still view.
#include <cmath>

#include "model/ic_data.h"
#include "model/ig_object.h"
#include "model/page.h"
#include "ui/page_view.h"

namespace {

// The video frame rate code of the stream a page belongs to (0: none).
int FrameRateCodeOf(const tessel::CNamedObject* object) {
    for (; object; object = object->parent)
        if (const auto* ig = dynamic_cast<const tessel::CIgObject*>(object))
            return ig->video.frameRate;
    return 0;
}

}  // namespace

void CTlPageView::SetPlaying(bool playing) {
    const bool was = playing_;
    playing_ = playing;
    if (was != playing) emit playingChanged(playing);
    if (!playing)
        StopClock();
    else if (!clock_)
        StartClock();
    else
        StartTimer();
}

void CTlPageView::StartTimer() {
    const tessel::SFrameRate& rate = clock_->Rate();
    playTimer_.start(static_cast<int>(std::lround(1000.0 * rate.denominator / rate.numerator)));
}

void CTlPageView::Hold() {
    playTimer_.stop();
    if (!playing_) return;
    playing_ = false;
    emit playingChanged(false);
}

void CTlPageView::StepFrame() {
    Hold();
    if (!clock_)
        StartClock();
    else
        NextClockFrame();
}

void CTlPageView::PlayTo(double seconds) {
    Hold();
    if (!clock_ && !StartClock()) return;
    const auto end = static_cast<uint64_t>(std::llround(seconds * 90000));
    while (clock_->PtsOf(clock_->Frame().frame + 1) <= end) NextClockFrame();
}

QString CTlPageView::PlayStatus() const {
    if (!clock_) return {};
    const tessel::SMenuFrame& f = clock_->Frame();
    QString status = QString("%1 s").arg(f.pts / 90000.0, 0, 'f', 3);
    if (!f.visible) status += ", menu hidden";
    if (f.effect)
        status += QString(", %1-effect %2").arg(f.effect->out ? "out" : "in").arg(f.effect->index);
    return status;
}

bool CTlPageView::StartClock() {
    tessel::CPage* page = composer_.Page();
    const auto* composition = page ? dynamic_cast<const tessel::CIcData*>(page->parent) : nullptr;
    tessel::SFrameRate rate;
    if (!composition || !tessel::FrameRateOf(FrameRateCodeOf(composition), rate)) return false;
    ResetPlayer();
    clock_ = std::make_unique<tessel::CMenuClock>(*composition, rate);
    clock_->StartAt(page->id);
    clockPage_ = page;
    frames_.reset();
    NextClockFrame();
    if (playing_) StartTimer();
    return true;
}

void CTlPageView::DropClock() {
    playTimer_.stop();
    const bool had = clock_ != nullptr;
    clock_.reset();
    frames_.reset();
    clockPage_ = nullptr;
    if (had) emit playStatusChanged({});
}

bool CTlPageView::ShowPlay() {
    if (!playing_ && !clock_) return false;
    if (clock_ && composer_.Page() == clockPage_) {
        ShowClockFrame(true);  // the zoom or the background may have changed
        return true;
    }
    // Another page: it starts over with its in-effects.
    DropClock();
    return playing_ && StartClock();
}

void CTlPageView::StopClock() {
    if (!clock_) return;
    DropClock();
    RebuildPicture();
    viewport()->update();
}

void CTlPageView::NextClockFrame() {
    if (!clock_) return;
    const QString before = PlayStatus();
    clock_->Advance();
    ShowClockFrame(false);
    const QString now = PlayStatus();
    if (now != before) emit playStatusChanged(now);
}

void CTlPageView::ShowClockFrame(bool changed) {
    if (!clock_) return;
    if (!frames_ || changed)
        frames_ =
            std::make_unique<tessel::CPlayFrames>(composer_.FrameWidth(), composer_.FrameHeight(),
                                                  composer_.Zoom(), composer_.Background());
    if (frames_->Compose(clock_->Frame()) ||
        pictureImage_.constBits() != frames_->Picture().Data()) {
        const tessel::Bitmap& p = frames_->Picture();
        pictureImage_ = QImage(p.Data(), p.Width(), p.Height(), static_cast<qsizetype>(p.Stride()),
                               QImage::Format_ARGB32);
        viewport()->update();
    }
}

void CTlPageView::TakeKey(tessel::EMenuKey key) {
    if (clock_)
        clock_->AddKey(clock_->PtsOf(clock_->Frame().frame + 1), key);
    else
        PressMenuKey(key);
}
