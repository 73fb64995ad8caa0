// What the main window tells the user: the scan's messages in one box, the
// title, the about box and the web site.
#include <QDesktopServices>
#include <QMessageBox>
#include <QStatusBar>
#include <QUrl>

#include "app/main_frame.h"
#include "disc/disc_scan.h"
#include "platform/text.h"
#include "ui/progress_window.h"

void CMainFrame::ShowScanMessages(const std::vector<std::string>& messages, size_t faults) {
    if (faults > 0)
        statusBar()->showMessage(
            QString("%1 file(s) of the disc could not be read or were read in part").arg(faults));
    if (messages.empty()) return;
    // One box for them all, at most kShownMessages lines.
    constexpr size_t kShownMessages = 20;
    std::string text = faults > 0 ? "Some files of the disc could not be read; the tree flags "
                                    "them:\n\n"
                                  : "";
    for (size_t i = 0; i < messages.size() && i < kShownMessages; ++i)
        text += (i ? "\n" : "") + messages[i];
    if (messages.size() > kShownMessages)
        text += tessel::StrFormat("\n(and %zu more)", messages.size() - kShownMessages);
    // A box of the window (a warning), as the scan's own would have been.
    CQtMessageSink(this).ShowMessage(text);
}

void CMainFrame::UpdateTitle() {
    const std::string& name = app_.Disc().Name();
    if (discShown_ && !name.empty())
        setWindowTitle(QString("%1 - %2").arg(QString::fromStdString(name), IAppHost::kProduct));
    else
        setWindowTitle(IAppHost::kProduct);
}

void CMainFrame::ShowAbout() {
    QMessageBox::about(this, "About Tessel",
                       QString("<b>%1</b><br>Version %2<br><br>Shows and rips the Interactive "
                               "Graphics menus of Blu-ray BDMV folders.<br>%3")
                           .arg(IAppHost::kProduct, IAppHost::Version(), IAppHost::kCompany));
}

void CMainFrame::OpenWebSite() {
    QDesktopServices::openUrl(QUrl(kWebSite));
}
