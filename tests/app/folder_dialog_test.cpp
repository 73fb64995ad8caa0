// The Open command's folder dialog: its accept button follows the BDMV rule.
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/folder_dialog.h"
#include "app_test_support.h"

class CFolderDialogTest : public QObject {
    Q_OBJECT
private slots:
    void Names_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("bdmv");
        QTest::newRow("BDMV") << "BDMV" << true;
        QTest::newRow("bdmv") << "/discs/one/bdmv" << true;
        QTest::newRow("mixed case, trailing separator") << "/discs/one/BdMv/" << true;
        QTest::newRow("Film") << "/discs/Film" << false;
        QTest::newRow("longer name") << "/discs/BDMV2" << false;
        QTest::newRow("parent named BDMV") << "/BDMV/STREAM" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("root") << "/" << false;
    }
    void Names() {
        QFETCH(QString, path);
        QFETCH(bool, bdmv);
        QCOMPARE(CDefinedFolderDialog::IsBdmvFolderName(path), bdmv);
    }

    void ButtonFollowsTheFolder() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("Film"));
        QVERIFY(QDir(dir.path()).mkpath("bdmv"));
        CDefinedFolderDialog dialog(nullptr, dir.path());
        dialog.show();
        QVERIFY(!dialog.AcceptButtonEnabled());  // the start folder is not a BDMV folder
        dialog.SetCurrentFolder(dir.filePath("Film"));
        QVERIFY(!dialog.AcceptButtonEnabled());
        dialog.SetCurrentFolder(dir.filePath("bdmv"));
        QVERIFY(dialog.AcceptButtonEnabled());
        QCOMPARE(QDir(dialog.SelectedFolder()).dirName(), QString("bdmv"));
        dialog.SetCurrentFolder(dir.filePath("Film"));
        QVERIFY(!dialog.AcceptButtonEnabled());
    }

    void ButtonFollowsTheSelectedEntry() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("Film"));
        QVERIFY(QDir(dir.path()).mkpath("BDMV"));
        CDefinedFolderDialog dialog(nullptr, dir.path());
        dialog.show();
        dialog.SelectEntry("BDMV");
        QVERIFY(dialog.AcceptButtonEnabled());
        dialog.SelectEntry("Film");
        QVERIFY(!dialog.AcceptButtonEnabled());
    }

    void AcceptRefusedOutsideBdmv() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("Film"));
        CDefinedFolderDialog dialog(nullptr, dir.filePath("Film"));
        dialog.show();
        dialog.accept();
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void FoldersOnlyNoNewFolder() {
        CDefinedFolderDialog dialog(nullptr, QDir::tempPath());
        QCOMPARE(dialog.fileMode(), QFileDialog::Directory);
        QVERIFY(dialog.testOption(QFileDialog::ShowDirsOnly));
        QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
        dialog.show();
        auto* newFolder = dialog.findChild<QWidget*>("newFolderButton");
        QVERIFY(!newFolder || !newFolder->isVisible());
    }

    void RipDialogAllowsNewFolders() {
        CFolderDialog dialog(nullptr, QDir::tempPath());
        QCOMPARE(dialog.fileMode(), QFileDialog::Directory);
        QVERIFY(!dialog.testOption(QFileDialog::ReadOnly));
        QCOMPARE(dialog.directory().absolutePath(), QDir(QDir::tempPath()).absolutePath());
    }

    void TrailingSlash() {
        QCOMPARE(WithTrailingSlash("/a/BDMV"), QString("/a/BDMV/"));
        QCOMPARE(WithTrailingSlash("/a/BDMV/"), QString("/a/BDMV/"));
    }
};

TESSEL_APP_TEST_GROUP(CFolderDialogTest, "folder_dialog");
#include "folder_dialog_test.moc"
