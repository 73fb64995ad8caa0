// The page view's play in the main window: Play/Pause and Next Frame in the
// View menu and the tool bar, and a status bar pane with the play's time
// and running effect.
#pragma once

class CTlPageView;
class QAction;
class QMenu;
class QStatusBar;
class QToolBar;

struct SPlayControls {
    QAction* play = nullptr;  // checked while playing
    QAction* step = nullptr;
};

// Adds the controls (on the bar before its action barBefore, null: at the
// end), the play on (as a player starts).
SPlayControls AddPlayControls(CTlPageView& view, QMenu& menu, QToolBar& bar, QAction* barBefore,
                              QStatusBar& status);
