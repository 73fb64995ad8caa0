// The main window as its users meet it: settings kept through File > Exit,
// a first window that fits the screen, the page fitted to the view, one
// selection followed by every pane, a readable map, a disc kept when an open
// fails, the rip's question and result, and scripted starts that never wait.
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/folder_dialog.h"
#include "app/main_frame.h"
#include "app/rip_flow.h"
#include "app/tessel_app.h"
#include "app_test_support.h"
#include "model/ic_data.h"
#include "model/page.h"
#include "player/menu_map.h"
#include "render/page_composer.h"
#include "ui/command_wnd.h"
#include "ui/explorer_tree.h"
#include "ui/menu_map_wnd.h"
#include "ui/page_view.h"
#include "ui/progress_window.h"
#include "ui/properties_wnd.h"

namespace {

// tessel-gui run with fresh settings; the exit code (-1 when it did not end
// within the time), its stdout and stderr.
struct SRun {
    int code = -1;
    QString out, err;
};
SRun RunGui(const QStringList& args, bool display, int timeoutMs = 60000) {
    QTemporaryDir config;
    QProcess gui;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    if (display)
        env.insert("QT_QPA_PLATFORM", "offscreen");
    else
        env.remove("QT_QPA_PLATFORM");
    gui.setProcessEnvironment(env);
    gui.start(TESSEL_GUI_PATH, args);
    SRun run;
    if (!gui.waitForFinished(timeoutMs)) {
        gui.kill();
        gui.waitForFinished();
        return run;
    }
    run.code = gui.exitStatus() == QProcess::NormalExit ? gui.exitCode() : -1;
    run.out = QString::fromLocal8Bit(gui.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(gui.readAllStandardError());
    return run;
}

using apptest::TreeButton;

// The first button with commands that a click at its centre hits.
QPoint ClickPoint(CTlPageView& view, tessel::CBdButton** hit) {
    for (tessel::CBdButton* b : view.Page()->AllButtons()) {
        int l, t, r, btm;
        b->GetRect(l, t, r, btm);
        const double z = view.Composer().Zoom();
        const QPoint at(qRound((l + r) / 2.0 * z), qRound((t + btm) / 2.0 * z));
        const tessel::SButtonHit h = view.Composer().HitTest(at.x(), at.y());
        if (h.bog < 0) continue;
        *hit = view.Page()->GetAt(h.bog)->GetAt(h.button);
        if (!(*hit)->commands.records.empty()) return view.FrameOrigin() + at;
    }
    *hit = nullptr;
    return {};
}

}  // namespace

class CWindowTest : public QObject, protected apptest::CStartedApp {
    Q_OBJECT
private slots:
    void init() { StartApp(); }
    void cleanup() {
        recorder_.reset();
        StopApp();
    }

    // File > Exit closes the window before the application saves: the
    // status bar and the panes come back as they were.
    void SettingsKeptThroughFileExit_data() {
        QTest::addColumn<bool>("statusBar");
        QTest::newRow("status bar shown") << true;
        QTest::newRow("status bar hidden") << false;
    }
    void SettingsKeptThroughFileExit() {
        QFETCH(bool, statusBar);
        if (!statusBar) frame_->Action(ECommand::StatusBar)->trigger();
        frame_->Action(ECommand::ButtonCommand)->trigger();
        frame_->Action(ECommand::Exit)->trigger();
        QVERIFY(!frame_->isVisible());
        app_->ExitInstance();
        app_ = std::make_unique<CTesselApp>();
        app_->InitInstance();
        frame_ = app_->MainFrame();
        QCOMPARE(frame_->Action(ECommand::StatusBar)->isChecked(), statusBar);
        QCOMPARE(frame_->statusBar()->isVisible(), statusBar);
        QVERIFY(!frame_->CommandDock()->isVisible());
        QVERIFY(frame_->ExplorerDock()->isVisible());
    }

    // The first window lies in the screen's available area; the page is
    // fitted to the view and follows its size.
    void FirstWindowFitsAndPagesFit() {
        const QRect room = frame_->screen()->availableGeometry();
        const QRect window = frame_->frameGeometry();
        QVERIFY2(room.contains(window), qPrintable(QString("%1,%2 %3x%4 in %5,%6 %7x%8")
                                                       .arg(window.x())
                                                       .arg(window.y())
                                                       .arg(window.width())
                                                       .arg(window.height())
                                                       .arg(room.x())
                                                       .arg(room.y())
                                                       .arg(room.width())
                                                       .arg(room.height())));
        QCOMPARE(frame_->ZoomBox()->currentText(), QString("Fit"));
        QCOMPARE(frame_->ZoomBox()->count(), 6);
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        QVERIFY(frame_->ShowFirstPage());
        frame_->PageView()->SetPlaying(false);  // the still view: clicks and keys walk
        CTlPageView* view = frame_->PageView();
        QVERIFY(view->Fit());
        auto fits = [view] {
            const QSize room = view->viewport()->size();
            const int w = view->Composer().ScaledWidth(), h = view->Composer().ScaledHeight();
            return w <= room.width() && h <= room.height() &&
                   (w >= room.width() - 1 || h >= room.height() - 1);
        };
        QVERIFY(fits());
        const double before = view->Composer().Zoom();
        frame_->resize(frame_->width() - 200, frame_->height() - 100);
        QTest::qWait(20);
        QVERIFY(fits());
        QVERIFY(view->Composer().Zoom() < before);
        frame_->SetZoomIndex(0);
        QVERIFY(!view->Fit());
        QCOMPARE(view->Composer().Zoom(), 1.0);
    }

    // A page is shown by a single selection or Enter in the tree, not only
    // by a double-click.
    void PageShownBySelectionOrEnter() {
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        tessel::CPage* first = FirstPageOfDisc(app_->Disc());
        QVERIFY(first);
        auto* composition = dynamic_cast<tessel::CIcData*>(first->parent);
        QVERIFY(composition && composition->GetSize() > 1);
        CFileView* tree = frame_->Explorer();
        tree->Tree()->setCurrentItem(tree->FindNode(first));
        QCOMPARE(frame_->PageView()->Page(), first);
        tessel::CPage* second = composition->GetAt(1);
        tree->SelectNode(second);  // the keys' way, without handling
        QCOMPARE(frame_->PageView()->Page(), first);
        QTest::keyClick(tree->Tree(), Qt::Key_Return);
        QCOMPARE(frame_->PageView()->Page(), second);
    }

    // Clicks, walk steps and tree selections move the tree, Properties, the
    // command pane and the map's mark together.
    void OneSelectionForEveryPane() {
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        QVERIFY(frame_->ShowFirstPage());
        frame_->PageView()->SetPlaying(false);  // the still view: clicks and keys walk
        CTlPageView* view = frame_->PageView();
        CMenuMapWnd* map = frame_->MenuMap();
        auto together = [&](tessel::CBdButton* button) {
            QCOMPARE(TreeButton(*frame_), button);
            QCOMPARE(frame_->Properties()->Node(), button);
            QCOMPARE(frame_->Commands()->Button(), button);
            QCOMPARE(map->MarkedButton(), button->id);
            QCOMPARE(map->MarkedPage(), tessel::PageOfButton(*button)->id);
        };
        tessel::CBdButton* clicked = nullptr;
        const QPoint at = ClickPoint(*view, &clicked);
        QVERIFY(clicked);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        together(clicked);
        QVERIFY(frame_->Commands()->Caption().startsWith("Commands of button"));

        QTest::keyClick(view, Qt::Key_Down);
        together(view->Player()->Selected());
        // N/S/A tick nothing while the walk draws; a state ends the walk.
        for (ECommand c : {ECommand::Normal, ECommand::Selected, ECommand::Activated})
            QVERIFY(!frame_->Action(c)->isChecked());
        QTest::keyClick(view, Qt::Key_Return);
        QVERIFY(frame_->Commands()->Caption().startsWith("Ran by activating button"));

        frame_->Action(ECommand::Activated)->trigger();
        QVERIFY(!view->Walking());
        QVERIFY(frame_->Action(ECommand::Activated)->isChecked());
        QVERIFY(!frame_->Action(ECommand::Normal)->isChecked());

        tessel::CPage* page = view->Page();
        tessel::CBdButton* other = page->AllButtons().back();
        frame_->Explorer()->Tree()->setCurrentItem(frame_->Explorer()->FindNode(other));
        together(other);
    }

    // The map opens readable and brings the shown page's button into view;
    // buttons no key reaches are left out unless asked for.
    void MapReadableAndFollowing() {
        if (!tessel::MapPicturesAvailable()) QSKIP("built without Graphviz");
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        QVERIFY(frame_->ShowFirstPage());
        frame_->PageView()->SetPlaying(false);  // the still view: clicks and keys walk
        CMenuMapWnd* map = frame_->MenuMap();
        QVERIFY(map->WaitForMap(60000));
        QVERIFY(map->Fit() || map->Zoom() >= CMenuMapWnd::kReadableZoom - 1e-9);
        tessel::CPage* page = frame_->PageView()->Page();
        tessel::CBdButton* last = nullptr;
        for (tessel::CBdButton* b : page->AllButtons())
            if (!b->commands.records.empty()) last = b;
        QVERIFY(last);
        frame_->Explorer()->Tree()->setCurrentItem(frame_->Explorer()->FindNode(last));
        const QPoint centre = map->NodeCentre(page->id, last->id) - map->ScrollPosition();
        QVERIFY2(QRect(QPoint(0, 0), map->ViewportSize()).contains(centre),
                 qPrintable(QString("%1,%2 in %3x%4, zoom %5")
                                .arg(centre.x())
                                .arg(centre.y())
                                .arg(map->ViewportSize().width())
                                .arg(map->ViewportSize().height())
                                .arg(map->Zoom())));
        QVERIFY(!map->ShowDecoration());
        const size_t nodes = map->Picture().nodes.size();
        map->SetShowDecoration(true);
        QVERIFY(map->WaitForMap(60000));
        QVERIFY(map->Picture().nodes.size() >= nodes);
    }

    // A failed open keeps the disc shown before: tree, folder box, panes.
    void FailedOpenKeepsTheDisc() {
        recorder_ = std::make_unique<apptest::CMessageRecorder>();
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        QVERIFY(frame_->ShowFirstPage());
        frame_->PageView()->SetPlaying(false);  // the still view: clicks and keys walk
        tessel::CPage* page = frame_->PageView()->Page();
        const QString box = frame_->FolderEdit()->text();
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("BDMV"));
        QVERIFY(frame_->OpenFolder(dir.filePath("BDMV")) != 0);
        QCOMPARE(recorder_->Boxes().back().icon, int(QMessageBox::Warning));
        QCOMPARE(frame_->FolderEdit()->text(), box);
        QCOMPARE(frame_->PageView()->Page(), page);
        QVERIFY(frame_->Explorer()->FindNode(page));
        QVERIFY(!app_->Disc().clips.empty());
        QVERIFY(frame_->Action(ECommand::RipImage)->isEnabled());
    }

    // The overwrite question names the disc folder; No says nothing was
    // ripped, Cancel says nothing; the result says how many and where.
    void RipQuestionAndResult_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("yes") << int(tessel::EAnswer::Yes);
        QTest::newRow("no") << int(tessel::EAnswer::No);
        QTest::newRow("cancel") << int(tessel::EAnswer::Cancel);
    }
    void RipQuestionAndResult() {
        QFETCH(int, answer);
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        QTemporaryDir out;
        QVERIFY(QDir(out.path()).mkpath("demo"));
        recorder_ =
            std::make_unique<apptest::CMessageRecorder>(static_cast<tessel::EAnswer>(answer));
        const QString disc = out.filePath("demo");
        const int result = RipDiscWithProgress(frame_, app_->Disc(), out.path() + "/");
        QCOMPARE(recorder_->Questions(),
                 std::vector<std::string>{
                     ("The folder " + disc + " already exists, overwrite it? ").toStdString()});
        const auto boxes = recorder_->Boxes();
        switch (static_cast<tessel::EAnswer>(answer)) {
            case tessel::EAnswer::Yes:
                QCOMPARE(result, 0);
                QCOMPARE(boxes.back().icon, int(QMessageBox::Information));
                QVERIFY(
                    QString::fromStdString(boxes.back().details).endsWith(" image(s) in " + disc));
                break;
            case tessel::EAnswer::No:
                QCOMPARE(result, 2);
                QCOMPARE(
                    recorder_->Messages().back(),
                    (disc + ": the folder is kept as it is; no image was ripped").toStdString());
                break;
            case tessel::EAnswer::Cancel:
                QCOMPARE(result, 1);
                QVERIFY(recorder_->Messages().empty());
                break;
        }
        QCOMPARE(RipResultText(3, "/x/demo"), QString("3 image(s) in /x/demo"));
    }

    // The rip dialog starts in the last output folder, or above it when it
    // has gone.
    void RipDialogStartsInTheLastOutputFolder() {
        QTemporaryDir out;
        QVERIFY(QDir(out.path()).mkpath("kept"));
        for (const QString& last : {out.filePath("kept/"), out.filePath("gone/deeper/")}) {
            CFolderDialog dialog(frame_, last);
            QCOMPARE(
                dialog.directory().absolutePath(),
                QDir(last.contains("gone") ? out.path() : out.filePath("kept")).absolutePath());
        }
    }

    // Help without a display; a scripted start that cannot show what it was
    // asked for says so on stderr and exits 2 at once.
    void ScriptedStarts() {
        SRun help = RunGui({"--help"}, false);
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.contains("--grab"));
        QTemporaryDir dir;
        const QString missing = dir.filePath("nowhere/BDMV");
        SRun run = RunGui({missing, "--grab", dir.filePath("a.png")}, true);
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains(missing), qPrintable(run.err));
        QVERIFY(!QFile::exists(dir.filePath("a.png")));
        run = RunGui(
            {apptest::SampleBdmv(), "--show-subtitle", "999", "--grab", dir.filePath("b.png")},
            true);
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains("--show-subtitle 999"), qPrintable(run.err));
    }

private:
    std::unique_ptr<apptest::CMessageRecorder> recorder_;
};

TESSEL_APP_TEST_GROUP(CWindowTest, "window");
#include "window_test.moc"
