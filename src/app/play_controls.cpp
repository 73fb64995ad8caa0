#include "app/play_controls.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "ui/page_view.h"

SPlayControls AddPlayControls(CTlPageView& view, QMenu& menu, QToolBar& bar, QAction* barBefore,
                              QStatusBar& status) {
    SPlayControls c;
    QStyle* style = view.style();
    c.play = new QAction(style->standardIcon(QStyle::SP_MediaPause), "&Play", &view);
    c.play->setCheckable(true);
    c.play->setStatusTip("Play the page in time as a player shows it, or pause at the still view");
    c.play->setToolTip("Play/Pause");
    c.step = new QAction(style->standardIcon(QStyle::SP_MediaSkipForward), "Next &Frame", &view);
    c.step->setStatusTip("Show the next video frame of the page played, paused");
    c.step->setToolTip("Next Frame");
    auto* pane = new QLabel(&status);
    pane->setContentsMargins(6, 0, 6, 0);
    pane->setToolTip("The play: time, effect; P is the pop-up key, 0-9 the number keys");
    status.addPermanentWidget(pane);

    QAction* play = c.play;
    auto follow = [play, style](bool on) {
        play->setChecked(on);
        play->setIcon(style->standardIcon(on ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    };
    QObject::connect(c.play, &QAction::triggered, &view, [&view](bool on) { view.SetPlaying(on); });
    QObject::connect(c.step, &QAction::triggered, &view, [&view] { view.StepFrame(); });
    QObject::connect(&view, &CTlPageView::playingChanged, play, follow);
    QObject::connect(&view, &CTlPageView::playStatusChanged, pane, &QLabel::setText);
    menu.addSeparator();
    menu.addAction(c.play);
    menu.addAction(c.step);
    bar.insertAction(barBefore, c.play);
    bar.insertAction(barBefore, c.step);
    bar.insertSeparator(barBefore);
    view.SetPlaying(true);
    follow(true);
    return c;
}
