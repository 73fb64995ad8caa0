// The main window's layout: its first size on the screen, the layout kept
// in the settings, and pictures of the window and its panes.
#include <QCloseEvent>
#include <QDockWidget>
#include <QGuiApplication>
#include <QScreen>
#include <QStatusBar>
#include <QWindow>
#include <algorithm>

#include "app/main_frame.h"
#include "ui/command_wnd.h"
#include "ui/explorer_tree.h"
#include "ui/menu_map_wnd.h"
#include "ui/page_view.h"
#include "ui/properties_wnd.h"
#include "ui/tessel_settings.h"

namespace {

// Room left around the first window for its frame and title bar.
constexpr QSize kFrameMargin(16, 48);

}  // namespace

void CMainFrame::FitToScreen() {
    // At most 1400 x 880, within the screen's available area less room for
    // the window's frame, centred there; the panes share it in proportion.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1400, 880);
    const QSize size(std::min(1400, room.width() - kFrameMargin.width()),
                     std::min(880, room.height() - kFrameMargin.height()));
    resize(size);
    // Centred across, at the top: move() places the frame, whose title bar
    // and borders take the margin.
    move(room.x() + (room.width() - size.width()) / 2, room.y());
    const int side = size.width() * 24 / 100;
    resizeDocks({explorerDock_, menuMapDock_}, {side, side}, Qt::Horizontal);
    resizeDocks({explorerDock_, propertiesDock_},
                {size.height() * 38 / 100, size.height() * 30 / 100}, Qt::Vertical);
    resizeDocks({commandDock_}, {std::max(100, size.height() * 16 / 100)}, Qt::Vertical);
}

void CMainFrame::SaveLayout() const {
    CTesselSettings::SLayout layout;
    layout.geometry = saveGeometry();
    layout.state = saveState();
    // The command's tick: the bar of a closed window is hidden with it.
    layout.statusBar = Action(ECommand::StatusBar)->isChecked();
    CTesselSettings::WriteLayout(layout);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // Saved while the window and its panes are still shown.
    SaveLayout();
    QMainWindow::closeEvent(event);
}

void CMainFrame::RestoreLayout() {
    const CTesselSettings::SLayout layout = CTesselSettings::ReadLayout();
    if (!layout.geometry.isEmpty()) restoreGeometry(layout.geometry);
    if (!layout.state.isEmpty()) restoreState(layout.state);
    Action(ECommand::StatusBar)->setChecked(layout.statusBar);
    statusBar()->setVisible(layout.statusBar);
}

bool CMainFrame::Exposed() const {
    const QWindow* window = windowHandle();
    return isVisible() && isEnabled() && window && window->isExposed();
}

bool CMainFrame::Busy() const {
    return menuMap_->Busy();
}

QImage CMainFrame::Grab() {
    return grab().toImage();
}

QImage CMainFrame::GrabPane(const QString& pane) {
    QWidget* widget = pane == "page"         ? static_cast<QWidget*>(pageView_)
                      : pane == "map"        ? static_cast<QWidget*>(menuMapDock_)
                      : pane == "tree"       ? static_cast<QWidget*>(explorerDock_)
                      : pane == "properties" ? static_cast<QWidget*>(propertiesDock_)
                      : pane == "commands"   ? static_cast<QWidget*>(commandDock_)
                                             : static_cast<QWidget*>(this);
    return widget->grab().toImage();
}
