#include "ui/page_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "model/ic_data.h"
#include "model/page.h"
#include "subtitle/pg_stream.h"
#include "ui/selection.h"

namespace {

const QColor kGrey(tessel::ArgbRed(tessel::kViewGrey), tessel::ArgbGreen(tessel::kViewGrey),
                   tessel::ArgbBlue(tessel::kViewGrey));

// An ARGB32 image over the bitmap's pixels (no copy); null for an empty one.
QImage WrapArgb(const tessel::Bitmap& bitmap) {
    if (bitmap.IsEmpty() || bitmap.Format() != tessel::EPixelFormat::Argb32) return {};
    return QImage(bitmap.Data(), bitmap.Width(), bitmap.Height(),
                  static_cast<qsizetype>(bitmap.Stride()), QImage::Format_ARGB32);
}

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

const tessel::CIcData* CompositionOf(const tessel::CPage* page) {
    return page ? dynamic_cast<const tessel::CIcData*>(page->parent) : nullptr;
}

tessel::CBdButton* ButtonById(const tessel::CPage* page, int id) {
    if (page)
        for (tessel::CBdButton* b : page->AllButtons())
            if (b->id == id) return b;
    return nullptr;
}

}  // namespace

QString WalkStatusText(const tessel::SMenuStep& step, const tessel::CMenuPlayer& player) {
    if (const auto& exit = player.Exit())
        return QString("Left the menu for %1 (%2); Home starts it again")
            .arg(Text(exit->target), Text(exit->command));
    QStringList parts;
    const tessel::CPage* page = player.Page();
    const tessel::CBdButton* selected = player.Selected();
    QString where =
        page ? QString("Page %1 (id %2)").arg(Text(page->name)).arg(page->id) : QString("No page");
    where += selected ? QString(", button %1 (id %2)").arg(Text(selected->name)).arg(selected->id)
                      : QString(", no button selected");
    parts << where;
    if (!player.MenuVisible()) parts << "the menu is hidden";
    if (step.activated) {
        if (step.commands.empty())
            parts << "activated: no commands";
        else
            parts << QString("activated: %1 command(s), the last %2")
                         .arg(step.commands.size())
                         .arg(Text(step.commands.back()));
    }
    if (step.pageChanged && step.key != "start") parts << "page changed";
    for (const std::string& change : step.buttonChanges) parts << Text(change);
    if (!step.note.empty()) parts << Text(step.note);
    return parts.join("; ");
}

CTlPageView::CTlPageView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFrameShape(QFrame::NoFrame);
    flashTimer_.setSingleShot(true);
    connect(&flashTimer_, &QTimer::timeout, this, [this] {
        flash_ = nullptr;
        Recompose();
    });
    connect(&playTimer_, &QTimer::timeout, this, [this] { NextClockFrame(); });
    RebuildPicture();
}

void CTlPageView::SetPage(tessel::CPage* page) {
    tessel::CPage* before = composer_.Page();
    PlayerFollows(page, nullptr);
    composer_.SetPage(page);
    Recompose();
    EmitPageChange(before);
}

void CTlPageView::SetState(int state) {
    if (state < 0 || state > 2) return;
    SetPlaying(false);  // one state for all buttons: the still view
    ResetPlayer();
    composer_.SetState(state);
    Recompose();
}

void CTlPageView::SetZoomIndex(int index) {
    if (index < 0 || index > kFitZoomIndex) return;
    fit_ = index == kFitZoomIndex;
    if (!fit_) composer_.SetZoomIndex(index);
    composer_.Recompose();
    Redraw();
}

double CTlPageView::FitFactor() const {
    const QSize room = viewport()->size();
    const double w = composer_.FrameWidth(), h = composer_.FrameHeight();
    if (room.isEmpty() || w <= 0 || h <= 0) return composer_.Zoom();
    return std::clamp(std::min(room.width() / w, room.height() / h), 0.01, 4.0);
}

void CTlPageView::ApplyFit() {
    if (!fit_) return;
    const double factor = FitFactor();
    if (std::abs(factor - composer_.Zoom()) < 1e-9) return;
    composer_.SetZoom(factor);
    composer_.Recompose();
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
    ApplyFit();
    RebuildPicture();
    UpdateScrollBars();
    viewport()->update();
}

bool CTlPageView::SelectFromTree(tessel::CBdButton& button) {
    tessel::CPage* page = tessel::PageOfButton(button);
    if (page && page == composer_.Page()) PlayerFollows(page, &button);
    if (!composer_.SelectFromTree(button)) return false;
    Redraw();
    return true;
}

void CTlPageView::ShowPage(tessel::CPage& page) {
    tessel::CPage* before = composer_.Page();
    PlayerFollows(&page, nullptr);
    composer_.ShowPage(page);
    Redraw();
    EmitPageChange(before);
}

bool CTlPageView::ShowPageOf(tessel::CBog& bog) {
    tessel::CPage* before = composer_.Page();
    tessel::CPage* page = tessel::PageOfBog(bog);
    if (!page || page == before) return false;
    PlayerFollows(page, nullptr);
    composer_.ShowPageOf(bog);
    Redraw();
    EmitPageChange(before);
    return true;
}

bool CTlPageView::ShowButton(tessel::CBdButton& button) {
    tessel::CPage* before = composer_.Page();
    tessel::CPage* page = tessel::PageOfButton(button);
    if (!page || page == before) return false;
    PlayerFollows(page, &button);
    composer_.ShowButton(button);
    Redraw();
    EmitPageChange(before);
    return true;
}

void CTlPageView::ShowSubtitle(const tessel::CPgEventObject& event) {
    tessel::CPage* before = composer_.Page();
    ResetPlayer();
    const tessel::SPgEvent& e = event.Event();
    const tessel::SVideoDescriptor& video = event.Video();
    composer_.ShowPicture(e.picture, e.x, e.y,
                          video.width ? video.width : tessel::CPageComposer::kDefaultFrameWidth,
                          video.height ? video.height : tessel::CPageComposer::kDefaultFrameHeight);
    Redraw();
    EmitPageChange(before);
}

void CTlPageView::EmitPageChange(tessel::CPage* before) {
    if (composer_.Page() != before) emit pageShown(composer_.Page());
}

bool CTlPageView::PlayerShowsPage() const {
    return player_ && player_->Page() == composer_.Page();
}

int CTlPageView::ShownState(const tessel::CBdButton& button) const {
    if (!PlayerShowsPage()) return composer_.State();
    if (&button == flash_) return tessel::CMenuPlayer::kActivated;
    return player_->ButtonState(button);
}

bool CTlPageView::StartPlayer() {
    const tessel::CIcData* composition = CompositionOf(composer_.Page());
    if (!composition) return false;
    player_ = std::make_unique<tessel::CMenuPlayer>(*composition);
    playerComposition_ = composition;
    // Pages the player does not show draw as without it.
    composer_.SetButtonView({[this](const tessel::CBog& bog) -> const tessel::CBdButton* {
                                 if (!PlayerShowsPage()) return bog.ShownButton();
                                 return player_->MenuVisible() ? player_->EnabledButton(bog)
                                                               : nullptr;
                             },
                             [this](const tessel::CBdButton& b) { return ShownState(b); }});
    return true;
}

void CTlPageView::ResetPlayer(bool tell) {
    if (!player_) return;
    player_.reset();
    playerComposition_ = nullptr;
    flash_ = nullptr;
    flashTimer_.stop();
    composer_.SetButtonView({});
    if (tell) SetWalkStatus({});
}

void CTlPageView::StopWalk() {
    if (!player_) return;
    ResetPlayer();
    Recompose();
}

void CTlPageView::PlayerFollows(tessel::CPage* page, const tessel::CBdButton* button) {
    if (!player_) return;
    if (!page || CompositionOf(page) != playerComposition_ || player_->Ended()) {
        ResetPlayer();
        return;
    }
    const tessel::SMenuStep step = player_->Show(page->id, button ? button->id : -1);
    SetWalkStatus(WalkStatusText(step, *player_));
}

void CTlPageView::PressMenuKey(tessel::EMenuKey key) {
    if (clock_) {
        // The walk shows the still view.
        Hold();
        DropClock();
    }
    tessel::CPage* page = composer_.Page();
    if (!page) return;
    if (!player_) {
        if (!StartPlayer()) return;
        player_->Start();
        // The walk goes on from what the view shows: its page and the
        // focused button.
        const tessel::SButtonHit focus = composer_.Focus();
        const tessel::CBdButton* focused = nullptr;
        if (focus.bog >= 0 && focus.bog < page->GetSize()) {
            const tessel::CBog& bog = *page->GetAt(focus.bog);
            if (focus.button >= 0 && focus.button < bog.GetSize() && bog.GetAt(focus.button)->used)
                focused = bog.GetAt(focus.button);
        }
        if (page != player_->Page() || (focused && focused != player_->Selected()))
            player_->Show(page->id, focused ? focused->id : -1);
    }
    tessel::CBdButton* before = player_->Selected();
    const tessel::CPage* beforePage = player_->Page();
    const tessel::SMenuStep step = player_->Press(key);
    tessel::CBdButton* activated = nullptr;
    if (step.activated)
        activated = step.autoActivated >= 0 ? ButtonById(beforePage, step.autoActivated) : before;
    FollowPlayer(step, activated);
}

void CTlPageView::RestartWalk() {
    if (!composer_.Page()) return;
    // The new start's status replaces the old one.
    ResetPlayer(false);
    if (!StartPlayer()) {
        SetWalkStatus({});
        return;
    }
    FollowPlayer(player_->Start(), nullptr);
}

void CTlPageView::FollowPlayer(const tessel::SMenuStep& step, tessel::CBdButton* activated) {
    tessel::CPage* before = composer_.Page();
    auto* page = const_cast<tessel::CPage*>(player_->Page());
    flashTimer_.stop();
    flash_ = nullptr;
    if (page && page != before) composer_.ShowPage(*page);
    tessel::CBdButton* selected = player_->Selected();
    if (page) {
        // An activation the player is done with shows for a moment.
        if (activated && tessel::PageOfButton(*activated) == page &&
            player_->ButtonState(*activated) != tessel::CMenuPlayer::kActivated) {
            flash_ = activated;
            flashTimer_.start(kActivationFlashMs);
        }
        if (!selected || !composer_.SelectFromTree(*selected)) {
            tessel::ClearButtonMarks(*page);
            composer_.SetFocus(-1, -1);
            composer_.Recompose();
        }
    }
    Redraw();
    SetWalkStatus(WalkStatusText(step, *player_));
    EmitPageChange(before);
    if (selection_) selection_->Step(selected, activated);
    emit walkStepped(selected, activated);
}

void CTlPageView::SetWalkStatus(const QString& status) {
    if (status == walkStatus_) return;
    walkStatus_ = status;
    emit walkStatusChanged(status);
}

QImage CTlPageView::FrameImage() const {
    return WrapArgb(composer_.ViewPicture(true)).copy();
}

void CTlPageView::RebuildPicture() {
    if (ShowPlay()) return;
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
    if (fit_)
        Redraw();
    else
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
    if (outcome.notify && PlayerShowsPage()) {
        // The walk goes on from the clicked button.
        PlayerFollows(composer_.Page(), outcome.notify);
        composer_.Recompose();
    }
    if (outcome.recomposed || outcome.notify) RebuildPicture();
    if (outcome.notify) {
        if (selection_) selection_->Pick(outcome.notify);
        emit buttonClicked(outcome.notify);
    }
    viewport()->update();
}

void CTlPageView::keyPressEvent(QKeyEvent* event) {
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (!composer_.Page() || !plain) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
        case Qt::Key_Up:
            TakeKey(tessel::EMenuKey::Up);
            break;
        case Qt::Key_Down:
            TakeKey(tessel::EMenuKey::Down);
            break;
        case Qt::Key_Left:
            TakeKey(tessel::EMenuKey::Left);
            break;
        case Qt::Key_Right:
            TakeKey(tessel::EMenuKey::Right);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            TakeKey(tessel::EMenuKey::Enter);
            break;
        case Qt::Key_P:
            TakeKey(tessel::EMenuKey::Popup);
            break;
        case Qt::Key_Home:
            if (clock_) {
                DropClock();
                StartClock();
            } else {
                RestartWalk();
            }
            break;
        default:
            if (event->key() >= Qt::Key_0 && event->key() <= Qt::Key_9) {
                TakeKey(tessel::DigitKey(event->key() - Qt::Key_0));
                break;
            }
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    event->accept();
}

void CTlPageView::SetSelection(CSelection* selection) {
    if (selection_) disconnect(selection_, nullptr, this, nullptr);
    selection_ = selection;
    if (!selection) return;
    connect(selection, &CSelection::chosen, this, &CTlPageView::FollowChosen);
    connect(selection, &CSelection::opened, this, &CTlPageView::FollowOpened);
}

void CTlPageView::FollowChosen(tessel::CNamedObject* node) {
    if (auto* page = dynamic_cast<tessel::CPage*>(node); page && Page() != page) ShowPage(*page);
    if (auto* event = dynamic_cast<tessel::CPgEventObject*>(node)) ShowSubtitle(*event);
    if (auto* button = dynamic_cast<tessel::CBdButton*>(node)) SelectFromTree(*button);
}

void CTlPageView::FollowOpened(tessel::CNamedObject* node) {
    if (auto* page = dynamic_cast<tessel::CPage*>(node))
        ShowPage(*page);
    else if (auto* bog = dynamic_cast<tessel::CBog*>(node))
        ShowPageOf(*bog);
    else if (auto* button = dynamic_cast<tessel::CBdButton*>(node))
        ShowButton(*button);
}
