// The Open command: the folder dialog answered by the test, the scan, and
// the window after a successful and after a failed open.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <QMenuBar>

#include "app/folder_dialog.h"
#include "app/main_frame.h"
#include "app/quick_scan_pane.h"
#include "app/tessel_app.h"
#include "app_test_support.h"
#include "authoring/sample_disc.h"
#include "ui/explorer_tree.h"
#include "ui/page_view.h"
#include "ui/progress_window.h"
#include "ui/properties_wnd.h"

namespace {

int RootNodes(CMainFrame& frame) {
    return frame.Explorer()->Tree()->topLevelItemCount();
}

}  // namespace

class COpenTest : public QObject, protected apptest::CStartedApp {
    Q_OBJECT
private slots:
    void init() {
        StartApp();
        recorder_ = std::make_unique<apptest::CMessageRecorder>();
    }
    void cleanup() {
        recorder_.reset();
        StopApp();
    }

    // The dialog starts at the source folder; the test picks BDMV there.
    void SampleThroughTheDialog() {
        const QString sample = apptest::SampleBdmv();
        app_->SetSourceFolder(QFileInfo(sample).absolutePath());
        QString startFolder;
        bool enabledOnBdmv = false;
        apptest::CDialogAnswer answer([&](QFileDialog& dialog) {
            auto& bdmv = static_cast<CDefinedFolderDialog&>(dialog);
            startFolder = bdmv.directory().absolutePath();
            bdmv.SelectEntry("BDMV");
            enabledOnBdmv = bdmv.AcceptButtonEnabled();
            bdmv.accept();
        });
        frame_->Action(ECommand::Open)->trigger();
        QVERIFY(answer.Answered());
        QCOMPARE(startFolder, QFileInfo(sample).absolutePath());
        QVERIFY(enabledOnBdmv);

        const auto messages = recorder_->Messages();
        QVERIFY2(messages.empty(), messages.empty() ? "" : messages.front().c_str());
        QVERIFY(!app_->Disc().clips.empty());
        const QString expected = sample + "/";
        QCOMPARE(app_->CurrentFolder(), expected);
        QCOMPARE(app_->SourceFolder(), expected);
        QCOMPARE(frame_->FolderEdit()->text(), expected);
        QVERIFY(frame_->Action(ECommand::RipImage)->isEnabled());
        QVERIFY(frame_->Action(ECommand::ImportImage)->isEnabled());
        QCOMPARE(RootNodes(*frame_), 1);
        QCOMPARE(frame_->Explorer()->Tree()->topLevelItem(0)->childCount(),
                 int(app_->Disc().clips.size()));
        QVERIFY(!frame_->PageView()->Page());
        QVERIFY(frame_->isEnabled());
    }

    void CancelledDialogChangesNothing() {
        app_->SetSourceFolder("/nowhere/");
        apptest::CDialogAnswer answer([](QFileDialog& dialog) { dialog.reject(); });
        frame_->OpenDisc();
        QVERIFY(answer.Answered());
        QCOMPARE(app_->SourceFolder(), QString("/nowhere/"));
        QVERIFY(app_->CurrentFolder().isEmpty());
        QVERIFY(frame_->FolderEdit()->text().isEmpty());
        QVERIFY(recorder_->Messages().empty());
    }

    void BrowseButtonRunsTheOpenFlow() {
        apptest::CDialogAnswer answer([](QFileDialog& dialog) {
            static_cast<CDefinedFolderDialog&>(dialog).SetCurrentFolder(apptest::SampleBdmv());
            static_cast<QDialog&>(dialog).accept();
        });
        frame_->FolderEdit()->BrowseAction()->trigger();
        QVERIFY(answer.Answered());
        QCOMPARE(frame_->FolderEdit()->text(), apptest::SampleBdmv() + "/");
        QVERIFY(!app_->Disc().clips.empty());
    }

    // After a good open, a folder without playlists fails: the message comes
    // from the scan; the folders, the edit text, the disc and its panes stay.
    void FailedOpenKeepsFolders() {
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        frame_->ShowFirstPage();
        QVERIFY(frame_->PageView()->Page());
        const QString before = frame_->FolderEdit()->text();

        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("BDMV"));
        QVERIFY(frame_->OpenFolder(dir.filePath("BDMV")) != 0);
        QVERIFY(!recorder_->Messages().empty());
        QCOMPARE(app_->SourceFolder(), before);
        QCOMPARE(app_->CurrentFolder(), before);
        QCOMPARE(frame_->FolderEdit()->text(), before);
        QVERIFY(!app_->Disc().clips.empty());
        QVERIFY(frame_->Action(ECommand::RipImage)->isEnabled());
        QVERIFY(frame_->Action(ECommand::ImportImage)->isEnabled());
        QCOMPARE(RootNodes(*frame_), 1);
        QVERIFY(frame_->PageView()->Page());
        QVERIFY(frame_->isEnabled());
    }

    void FailedFirstOpenWritesNoFolder() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("BDMV"));
        QVERIFY(frame_->OpenFolder(dir.filePath("BDMV")) != 0);
        QVERIFY(app_->SourceFolder().isEmpty());
        QVERIFY(frame_->FolderEdit()->text().isEmpty());
        app_->ExitInstance();
        QSettings settings;
        QCOMPARE(settings.value("General/SrcFolder").toString(), QString());
    }

    void SourceFolderSavedAfterOpen() {
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        app_->ExitInstance();
        QSettings settings;
        QCOMPARE(settings.value("General/SrcFolder").toString(), apptest::SampleBdmv() + "/");
    }

    void ShowAllDisplaySetsRefillsTheTree() {
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        frame_->Action(ECommand::ShowAllDisplaySets)->trigger();
        QVERIFY(frame_->Explorer()->ShowAllDisplaySets());
        QCOMPARE(RootNodes(*frame_), 1);
        frame_->Action(ECommand::ShowAllDisplaySets)->trigger();
        QVERIFY(!frame_->Explorer()->ShowAllDisplaySets());
        QCOMPARE(RootNodes(*frame_), 1);
    }

    // Quick open of a 72 MiB clip samples 64 places and says so in the
    // status bar; Scan fully reads it whole and the pane goes.
    void QuickOpenSaysWhatItSampledUntilScannedFully() {
        QTemporaryDir dir;
        tessel::authoring::SDiscOptions o;
        tessel::authoring::SClipSpec clip;
        clip.igPids = {0x1400};
        clip.menu.pages = 1;
        clip.menu.buttonWidth = 24;
        clip.menu.buttonHeight = 12;
        clip.repeats = 20;
        o.clips = {clip};
        o.fillerMiB = 72;
        o.fillerByTime = true;
        const tessel::CResult written =
            tessel::authoring::WriteSampleDisc(dir.path().toStdString(), o);
        QVERIFY2(written.Ok(), written.Message().c_str());
        QVERIFY(frame_->menuBar()->actions().front()->menu()->actions().contains(
            frame_->Action(ECommand::QuickOpen)));
        QCOMPARE(frame_->OpenFolder(dir.filePath("BDMV"), true), 0);
        QVERIFY(frame_->QuickPane()->isVisibleTo(frame_));
        QCOMPARE(frame_->QuickPane()->Label()->text(), QString("Quick scan: 64 places sampled"));
        QCOMPARE(RootNodes(*frame_), 1);
        frame_->Action(ECommand::ScanFully)->trigger();
        QVERIFY(!frame_->QuickPane()->isVisibleTo(frame_));
        QCOMPARE(app_->Disc().clips.at(0)->igObjects.at(0)->GetSize(), 20);
    }

    // The demo disc without clip 2 and with clip 1 cut in its filler, 100
    // bytes into a source packet, opens: clip 1 is listed with what it says of the cut,
    // clip 2 flagged with its reason, in one message; without both clips the
    // open fails as before.
    void DiscWithMissingClipStays() {
        QTemporaryDir dir;
        tessel::authoring::SDiscOptions options = tessel::authoring::DemoDiscOptions();
        options.fillerMiB = 1;
        options.graphicsFirst = true;
        const tessel::CResult written =
            tessel::authoring::WriteSampleDisc(dir.path().toStdString(), options);
        QVERIFY2(written.Ok(), written.Message().c_str());
        const QString stream = dir.filePath("BDMV/STREAM/");
        QVERIFY(QFile::remove(stream + "00002.m2ts"));
        QFile cut(stream + "00001.m2ts");
        const qint64 size = cut.size() / 192 * 192 - 92;
        QVERIFY(cut.resize(size));
        const int opened = frame_->OpenFolder(dir.filePath("BDMV"));
        const auto messages = recorder_->Messages();
        QVERIFY2(opened == 0, messages.empty() ? "" : messages.back().c_str());
        QCOMPARE(messages.size(), size_t(1));
        QVERIFY2(QString::fromStdString(messages[0]).contains("File missing: 00002.m2ts"),
                 messages[0].c_str());
        QCOMPARE(recorder_->Boxes().back().icon, int(QMessageBox::Warning));
        QVERIFY(frame_->statusBar()->currentMessage().contains("could not be read"));

        QTreeWidgetItem* disc = frame_->Explorer()->Tree()->topLevelItem(0);
        QVERIFY(disc && disc->childCount() >= 2);
        QCOMPARE(disc->child(0)->text(0), QString("00001.m2ts"));
        QCOMPARE(disc->child(1)->text(0), QString("00002.m2ts"));
        const QImage flag = CFileView::WarningImage().pixmap(16).toImage();
        QCOMPARE(disc->child(1)->icon(0).pixmap(16).toImage(), flag);
        const struct {
            int child;
            const char* group;
            const char* label;
            QString value;
        } rows[] = {
            {0, "Faults", "Cut",
             QString("the file ends in the middle of the source packet at byte %1")
                 .arg(size / 192 * 192)},
            {1, "Basic", "File", stream + "00002.m2ts"},
        };
        for (const auto& row : rows) {
            frame_->Explorer()->Tree()->setCurrentItem(disc->child(row.child));
            QCOMPARE(frame_->Properties()->Value(row.group, row.label), row.value);
        }
        QVERIFY(frame_->Properties()->Value("Basic", "Reason").contains("File missing"));

        QVERIFY(QFile::remove(stream + "00001.m2ts"));
        QVERIFY(frame_->OpenFolder(dir.filePath("BDMV")) != 0);
        const auto failed = recorder_->Messages();
        QCOMPARE(failed.size(), size_t(2));
        QVERIFY2(QString::fromStdString(failed[1]).contains("has no IG Menu"), failed[1].c_str());
        QCOMPARE(frame_->Explorer()->Tree()->topLevelItem(0)->child(0)->text(0),
                 QString("00001.m2ts"));
    }

    // Each clip's node is in the tree while the scan still runs (the window
    // disabled), clip 1 before clip 2; at the end the tree is rebuilt the same
    // way. A second open cancelled at its first clip brings the tree back.
    void ClipsShowWhileTheScanRuns() {
        QTemporaryDir dir;
        tessel::authoring::SDiscOptions o;
        tessel::authoring::SClipSpec clip;
        clip.igPids = {0x1400};
        clip.menu.buttonWidth = 24;
        clip.menu.buttonHeight = 12;
        for (int number : {2, 1}) {
            clip.number = number;
            o.clips.push_back(clip);
        }
        const tessel::CResult written =
            tessel::authoring::WriteSampleDisc(dir.path().toStdString(), o);
        QVERIFY2(written.Ok(), written.Message().c_str());
        QTreeWidget* tree = frame_->Explorer()->Tree();
        QStringList inserted;  // each clip node: when, and the first clip's label then
        bool cancel = false;
        QObject watch;
        connect(tree->model(), &QAbstractItemModel::rowsInserted, &watch,
                [&](const QModelIndex& parent, int row) {
                    if (!parent.isValid() || parent.parent().isValid()) return;
                    const QString first =
                        row > 0 ? parent.model()->index(0, 0, parent).data().toString() : "-";
                    inserted << (frame_->isEnabled() ? "after " : "during ") + first;
                    if (auto* progress = frame_->findChild<CQtProgressWnd*>(); cancel && progress)
                        progress->CancelByUser();
                });
        QCOMPARE(frame_->OpenFolder(dir.filePath("BDMV")), 0);
        QCOMPARE(inserted,
                 QStringList({"during -", "during 00001.m2ts", "after -", "after 00001.m2ts"}));
        QCOMPARE(RootNodes(*frame_), 1);
        QCOMPARE(tree->topLevelItem(0)->childCount(), 2);

        QTreeWidgetItem* current = tree->topLevelItem(0)->child(1);
        tree->setCurrentItem(current);
        inserted.clear();
        cancel = true;
        QCOMPARE(frame_->OpenFolder(dir.filePath("BDMV")), 1);
        QCOMPARE(inserted, QStringList({"during -"}));
        QCOMPARE(RootNodes(*frame_), 1);
        QVERIFY(!tree->topLevelItem(0)->isHidden());
        QCOMPARE(tree->topLevelItem(0)->childCount(), 2);
        QCOMPARE(tree->currentItem(), current);
        QVERIFY(recorder_->Messages().empty());
    }

private:
    std::unique_ptr<apptest::CMessageRecorder> recorder_;
};

TESSEL_APP_TEST_GROUP(COpenTest, "open");
#include "open_test.moc"
