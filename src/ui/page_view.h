// The page preview: the composed page over the background frame with the
// safe-area frames, centred in a larger window and scrolled in a smaller
// one; a click selects a button here and in the explorer tree. The keys
// walk the menu as a player does.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "model/bog.h"
#include "model/page.h"  // complete for the signals' meta types
#include "platform/bitmap.h"
#include "player/menu_clock.h"
#include "player/menu_player.h"
#include "render/page_composer.h"
#include "render/play_frames.h"

class CSelection;

namespace tessel {
class CIcData;
class CPgEventObject;
}  // namespace tessel

// What the player says after a step: the page and selected button, the
// commands an activation ran and what they changed, or where it left the
// menu.
QString WalkStatusText(const tessel::SMenuStep& step, const tessel::CMenuPlayer& player);

class CTlPageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CTlPageView(QWidget* parent = nullptr);

    // The shown page (not owned; null for none), then recompose and redraw.
    void SetPage(tessel::CPage* page);
    tessel::CPage* Page() const { return composer_.Page(); }
    // Button state 0 Normal, 1 Selected, 2 Activated; recompose and redraw.
    void SetState(int state);
    int State() const { return composer_.State(); }
    // Zoom by index of kZoomFactors: recompose; a new factor resizes the
    // scroll range and redraws. kFitZoomIndex fits the frame to the
    // viewport and follows its size.
    static constexpr int kFitZoomIndex = static_cast<int>(tessel::kZoomFactors.size());
    void SetZoomIndex(int index);
    int ZoomIndex() const { return fit_ ? kFitZoomIndex : composer_.ZoomIndex(); }
    bool Fit() const { return fit_; }
    // The factor that fits the frame into the viewport.
    double FitFactor() const;
    // Colour value 0x00BBGGRR behind the page; redraws.
    void SetBackground(uint32_t colourValue);
    uint32_t BackgroundColourValue() const;

    // Rebuilds the page bitmap and redraws.
    void Recompose();
    // Repaints from the composer's current page bitmap; call it after
    // changing the composer directly.
    void Redraw();

    // The tree's requests, each recomposing and redrawing when it changes
    // something: a button selected in the tree, a page, a group's page or a
    // button's page double-clicked.
    bool SelectFromTree(tessel::CBdButton& button);
    void ShowPage(tessel::CPage& page);
    bool ShowPageOf(tessel::CBog& bog);
    bool ShowButton(tessel::CBdButton& button);

    // A subtitle event's picture at its place on the video frame, as a
    // player shows it, instead of a page; the walk ends.
    void ShowSubtitle(const tessel::CPgEventObject& event);

    tessel::CPageComposer& Composer() { return composer_; }
    const tessel::CPageComposer& Composer() const { return composer_; }
    // The picture shown: the composer's view picture with the safe-area
    // frames, as ARGB32.
    QImage FrameImage() const;
    // Where the frame's top-left corner lies in the viewport (centring
    // offsets less the scroll position).
    QPoint FrameOrigin() const;

    // The selection the view follows (a page chosen is shown, a subtitle
    // event's picture, a button marked and focused on the shown page; a
    // node opened shows its page) and sets: a button a click chose, the
    // steps of the walk. May be null.
    void SetSelection(CSelection* selection);

    // The walk: the arrow keys, Enter and Home (or these calls) drive a menu
    // player over the shown page's composition, which then says which
    // button each group shows and in which state. The first key starts the
    // player on the shown page and focused button; Home starts it afresh on
    // the first page. A state chosen for all buttons (SetState) or a page of
    // another composition ends the walk.
    void PressMenuKey(tessel::EMenuKey key);
    void RestartWalk();
    void StopWalk();
    bool Walking() const { return player_ != nullptr; }
    const tessel::CMenuPlayer* Player() const { return player_.get(); }
    const QString& WalkStatus() const { return walkStatus_; }
    // How long an activated button shows its Activated state before the
    // player's state returns.
    static constexpr int kActivationFlashMs = 250;
    // The state a button is drawn in.
    int ShownState(const tessel::CBdButton& button) const;

    // Play: the shown page in time as a player shows it (a menu clock at
    // its video frame rate: effects, animations, keys, time-outs), or
    // paused: the still view. A page shown while playing starts over with
    // its in-effects; keys then go to the clock.
    void SetPlaying(bool playing);
    bool Playing() const { return playing_; }
    // One frame further (the play pauses).
    void StepFrame();
    // Plays without the timer until the clock's time reaches seconds, then
    // holds that frame (paused at it).
    void PlayTo(double seconds);
    // "1.251 s" and any running effect; empty when not playing.
    QString PlayStatus() const;

signals:
    // The play's time or effect changed (empty when it stopped).
    void playStatusChanged(const QString& status);
    // The timer started or stopped.
    void playingChanged(bool playing);
    // A click chose a button (after the page view and the tree followed).
    void buttonClicked(tessel::CBdButton* button);
    // A step of the walk (after the view and the tree followed): the
    // selected button and the one whose commands ran (null for none).
    void walkStepped(tessel::CBdButton* selected, tessel::CBdButton* activated);
    // The player's status; empty when the walk ends.
    void walkStatusChanged(const QString& status);
    // Another page is shown (null for none).
    void pageShown(tessel::CPage* page);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QPoint CentringOffset() const;
    // While fitting, the factor follows the viewport (recomposing when it
    // changes).
    void ApplyFit();
    void UpdateScrollBars();
    void RebuildPicture();
    // Starts the player for the shown page's composition; false when the
    // page is in none.
    bool StartPlayer();
    // Ends the walk without recomposing; tells of the empty status.
    void ResetPlayer(bool tell = true);
    // The player walks and shows the view's page.
    bool PlayerShowsPage() const;
    // A page or button shown from outside: the player follows when it walks
    // the same composition, else the walk ends.
    void PlayerFollows(tessel::CPage* page, const tessel::CBdButton* button);
    // Shows the player's page and selection after a step, then tells.
    void FollowPlayer(const tessel::SMenuStep& step, tessel::CBdButton* activated);
    void SetWalkStatus(const QString& status);
    void EmitPageChange(tessel::CPage* before);
    // The play over the shown page; false when it has no composition.
    bool StartClock();
    void StopClock();
    // Ends the play without redrawing.
    void DropClock();
    void StartTimer();
    // Stops the timer, keeping the frame shown.
    void Hold();
    // Shows the play instead of the still view when playing or stepping;
    // false when the still view is to be shown.
    bool ShowPlay();
    void NextClockFrame();
    // Shows the clock's frame, composed anew when the zoom or the
    // background changed.
    void ShowClockFrame(bool changed);
    // A key for the play or, paused, the walk.
    void TakeKey(tessel::EMenuKey key);

    // What the selection asks for.
    void FollowChosen(tessel::CNamedObject* node);
    void FollowOpened(tessel::CNamedObject* node);

    tessel::CPageComposer composer_;
    CSelection* selection_ = nullptr;
    tessel::Bitmap picture_;  // the view picture, rebuilt when it changes
    QImage pictureImage_;     // shares picture_'s pixels
    std::unique_ptr<tessel::CMenuPlayer> player_;
    const tessel::CIcData* playerComposition_ = nullptr;
    const tessel::CBdButton* flash_ = nullptr;  // drawn Activated until the timer ends
    QTimer flashTimer_;
    QString walkStatus_;
    bool fit_ = false;
    std::unique_ptr<tessel::CMenuClock> clock_;
    std::unique_ptr<tessel::CPlayFrames> frames_;
    const tessel::CPage* clockPage_ = nullptr;
    QTimer playTimer_;
    bool playing_ = false;
};
