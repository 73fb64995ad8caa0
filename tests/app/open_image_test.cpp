// The Open disc image command: the image file dialog answered by the test,
// the image scanned as its folder is, and a damaged or foreign image named
// in the message.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "app/folder_dialog.h"
#include "app/main_frame.h"
#include "app/tessel_app.h"
#include "app_test_support.h"
#include "authoring/udf_image.h"
#include "ui/explorer_tree.h"

namespace {

QStringList TreeLabels(CMainFrame& frame) {
    QStringList labels;
    for (QTreeWidgetItemIterator it(frame.Explorer()->Tree()); *it; ++it) labels << (*it)->text(0);
    return labels;
}

}  // namespace

class COpenImageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (!tessel::authoring::HaveGenisoimage()) QSKIP("genisoimage is not installed");
        QVERIFY(work_.isValid());
        // The image holds the sample disc's folder with BDMV at its root.
        const QString root = work_.filePath("demo");
        QVERIFY(QDir().mkpath(root));
        QVERIFY(CopyTree(apptest::SampleBdmv(), root + "/BDMV"));
        image_ = work_.filePath("demo.iso");
        const tessel::CResult made =
            tessel::authoring::MakeUdfImage(root.toStdString(), image_.toStdString());
        QVERIFY2(made.Ok(), made.Message().c_str());
    }
    void init() {
        apptest::ClearSettings();
        app_ = std::make_unique<CTesselApp>();
        app_->InitInstance();
        frame_ = app_->MainFrame();
        recorder_ = std::make_unique<apptest::CMessageRecorder>();
    }
    void cleanup() {
        recorder_.reset();
        app_->ExitInstance();
        app_.reset();
    }

    void ImageThroughTheDialogOpensLikeTheFolder() {
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        const QStringList fromFolder = TreeLabels(*frame_);

        app_->SetSourceFolder(work_.path() + "/");
        QString startFolder;
        QStringList filters;
        apptest::CDialogAnswer answer([&](QFileDialog& dialog) {
            startFolder = dialog.directory().absolutePath();
            filters = dialog.nameFilters();
            dialog.selectFile(image_);
            static_cast<QDialog&>(dialog).accept();
        });
        QAction* open = frame_->Action(ECommand::OpenImage);
        QVERIFY(open);
        QCOMPARE(open->text(), QStringLiteral("Open disc image..."));
        open->trigger();
        QVERIFY(answer.Answered());
        QCOMPARE(startFolder, work_.path());
        QCOMPARE(filters.value(0), QString(CDiscImageDialog::kFilter));

        const auto messages = recorder_->Messages();
        QVERIFY2(messages.empty(), messages.empty() ? "" : messages.front().c_str());
        QCOMPARE(app_->CurrentFolder(), image_);
        QCOMPARE(frame_->FolderEdit()->text(), image_);
        QCOMPARE(app_->SourceFolder(), work_.path() + "/");
        // The same clips and nodes; the disc is named after the image.
        QStringList fromImage = TreeLabels(*frame_);
        QVERIFY(!fromImage.isEmpty());
        QCOMPARE(fromImage.takeFirst(), QStringLiteral("demo"));
        QCOMPARE(fromImage, fromFolder.mid(1));
        QVERIFY(frame_->Action(ECommand::RipImage)->isEnabled());
    }

    // An image cut in its files says so.
    void CutImageSaysItIsCut() {
        const QString cut = work_.filePath("half.iso");
        {
            QFile in(image_), out(cut);
            QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
            out.write(in.read(in.size() / 2));
        }
        QVERIFY(frame_->OpenFolder(cut) != 0);
        const auto messages = recorder_->Messages();
        QCOMPARE(messages.size(), size_t(1));
        QVERIFY2(QString::fromStdString(messages[0]).contains("the image is cut short"),
                 messages[0].c_str());
        QCOMPARE(recorder_->Boxes().back().icon, int(QMessageBox::Warning));
    }

    void DamagedAndForeignImagesNameTheImage() {
        const QString cut = work_.filePath("cut.iso");
        {
            QFile in(image_), out(cut);
            QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
            out.write(in.read(40000));
        }
        const QString plain = work_.filePath("notes.img");
        {
            QFile out(plain);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("not a disc");
        }
        for (const QString& path : {cut, plain}) {
            apptest::CDialogAnswer answer([&](QFileDialog& dialog) {
                dialog.selectFile(path);
                static_cast<QDialog&>(dialog).accept();
            });
            frame_->OpenDiscImage();
            QVERIFY(answer.Answered());
            const auto messages = recorder_->Messages();
            QVERIFY(!messages.empty());
            QVERIFY2(QString::fromStdString(messages.back()).contains(path),
                     messages.back().c_str());
            QVERIFY(app_->Disc().clips.empty());
            QCOMPARE(frame_->Explorer()->Tree()->topLevelItemCount(), 0);
            QVERIFY(frame_->isEnabled());
        }
    }

private:
    static bool CopyTree(const QString& from, const QString& to) {
        if (!QDir().mkpath(to)) return false;
        const QDir source(from);
        for (const QFileInfo& entry :
             source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString target = to + "/" + entry.fileName();
            if (entry.isDir() ? !CopyTree(entry.filePath(), target)
                              : !QFile::copy(entry.filePath(), target))
                return false;
        }
        return true;
    }

    QTemporaryDir work_;
    QString image_;
    std::unique_ptr<CTesselApp> app_;
    CMainFrame* frame_ = nullptr;
    std::unique_ptr<apptest::CMessageRecorder> recorder_;
};

TESSEL_APP_TEST_GROUP(COpenImageTest, "open_image");
#include "open_image_test.moc"
