#include "ui/page_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "model/page.h"
#include "ui/explorer_tree.h"

namespace {

const QColor kGrey(tessel::ArgbRed(tessel::kViewGrey), tessel::ArgbGreen(tessel::kViewGrey),
                   tessel::ArgbBlue(tessel::kViewGrey));

// An ARGB32 image over the bitmap's pixels (no copy); null for an empty one.
QImage WrapArgb(const tessel::Bitmap& bitmap) {
    if (bitmap.IsEmpty() || bitmap.Format() != tessel::EPixelFormat::Argb32) return {};
    return QImage(bitmap.Data(), bitmap.Width(), bitmap.Height(),
                  static_cast<qsizetype>(bitmap.Stride()), QImage::Format_ARGB32);
}

}  // namespace

CTlPageView::CTlPageView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFrameShape(QFrame::NoFrame);
    RebuildPicture();
}

void CTlPageView::SetPage(tessel::CPage* page) {
    composer_.SetPage(page);
    Recompose();
}

void CTlPageView::SetState(int state) {
    composer_.SetState(state);
    Recompose();
}

void CTlPageView::SetZoomIndex(int index) {
    if (index < 0 || index >= static_cast<int>(tessel::kZoomFactors.size())) return;
    composer_.SetZoomIndex(index);
    composer_.Recompose();
    Redraw();
}

void CTlPageView::SetBackground(uint32_t colourValue) {
    composer_.SetBackground(tessel::ArgbOfColourValue(colourValue));
    Redraw();
}

uint32_t CTlPageView::BackgroundColourValue() const {
    return tessel::ColourValueOfArgb(composer_.Background());
}

void CTlPageView::Recompose() {
    composer_.Recompose();
    Redraw();
}

void CTlPageView::Redraw() {
    RebuildPicture();
    UpdateScrollBars();
    viewport()->update();
}

bool CTlPageView::SelectFromTree(tessel::CBdButton& button) {
    if (!composer_.SelectFromTree(button)) return false;
    Redraw();
    return true;
}

void CTlPageView::ShowPage(tessel::CPage& page) {
    composer_.ShowPage(page);
    Redraw();
}

bool CTlPageView::ShowPageOf(tessel::CBog& bog) {
    if (!composer_.ShowPageOf(bog)) return false;
    Redraw();
    return true;
}

bool CTlPageView::ShowButton(tessel::CBdButton& button) {
    if (!composer_.ShowButton(button)) return false;
    Redraw();
    return true;
}

QImage CTlPageView::FrameImage() const {
    return WrapArgb(composer_.ViewPicture(true)).copy();
}

void CTlPageView::RebuildPicture() {
    picture_ = composer_.ViewPicture(true);
    pictureImage_ = WrapArgb(picture_);
}

QPoint CTlPageView::CentringOffset() const {
    const int w = composer_.ScaledWidth(), h = composer_.ScaledHeight();
    const QSize client = viewport()->size();
    return {w < client.width() ? (client.width() - w) / 2 : 0,
            h < client.height() ? (client.height() - h) / 2 : 0};
}

QPoint CTlPageView::FrameOrigin() const {
    return CentringOffset() - QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void CTlPageView::UpdateScrollBars() {
    const int w = composer_.ScaledWidth(), h = composer_.ScaledHeight();
    const QSize client = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, w - client.width()));
    horizontalScrollBar()->setPageStep(client.width());
    horizontalScrollBar()->setSingleStep(std::max(1, client.width() / 20));
    verticalScrollBar()->setRange(0, std::max(0, h - client.height()));
    verticalScrollBar()->setPageStep(client.height());
    verticalScrollBar()->setSingleStep(std::max(1, client.height() / 20));
}

void CTlPageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CTlPageView::scrollContentsBy(int, int) {
    viewport()->update();
}

void CTlPageView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), kGrey);
    if (!pictureImage_.isNull()) painter.drawImage(FrameOrigin(), pictureImage_);
}

void CTlPageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint() - FrameOrigin();
    const tessel::SButtonHit hit = composer_.HitTest(at.x(), at.y());
    if (hit.bog < 0) return;
    const Qt::KeyboardModifiers mods = event->modifiers();
    const tessel::EClickKind kind = mods & Qt::ShiftModifier     ? tessel::EClickKind::Shift
                                    : mods & Qt::ControlModifier ? tessel::EClickKind::Ctrl
                                                                 : tessel::EClickKind::Plain;
    const tessel::SClickOutcome outcome = composer_.Click(hit, kind);
    if (outcome.recomposed) RebuildPicture();
    if (outcome.notify) {
        NotifySelection(outcome.notify);
        emit buttonClicked(outcome.notify);
    }
    viewport()->update();
}

void CTlPageView::NotifySelection(tessel::CBdButton* button) {
    if (explorer_ && button) explorer_->SelectNode(button);
}
