// The Rip image command: the output folder dialog answered by the test, the
// rip and its message, and the output folder kept even when the rip fails.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_frame.h"
#include "app/tessel_app.h"
#include "app_test_support.h"

class CRipTest : public QObject, protected apptest::CStartedApp {
    Q_OBJECT
private slots:
    void init() {
        StartApp();
        recorder_ = std::make_unique<apptest::CMessageRecorder>(tessel::EAnswer::Yes);
    }
    void cleanup() {
        recorder_.reset();
        StopApp();
    }

    void DisabledAndIdleWithoutDisc() {
        QVERIFY(!frame_->Action(ECommand::RipImage)->isEnabled());
        frame_->RipImage();  // no dialog: the clip list is empty
        QVERIFY(app_->OutputFolder().isEmpty());
    }

    void RipsTheSample() {
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        QTemporaryDir out;
        app_->SetOutputFolder(out.path());
        QString startFolder;
        apptest::CDialogAnswer answer([&](QFileDialog& dialog) {
            startFolder = dialog.directory().absolutePath();
            dialog.setDirectory(out.path());
            static_cast<QDialog&>(dialog).accept();
        });
        frame_->Action(ECommand::RipImage)->trigger();
        QVERIFY(answer.Answered());
        QCOMPARE(startFolder, QDir(out.path()).absolutePath());
        QCOMPARE(app_->OutputFolder(), out.path() + "/");
        const auto messages = recorder_->Messages();
        QCOMPARE(messages.size(), size_t(1));
        QCOMPARE(messages.front(), std::string("The images have been successfully extracted! "));
        QVERIFY(QFile::exists(out.filePath("demo/tessel.rip")));
        app_->ExitInstance();
        QSettings settings;
        QCOMPARE(settings.value("General/OutFolder").toString(), out.path() + "/");
    }

    void FailedRipStillStoresTheFolder() {
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        QTemporaryDir out;
        // A file where the disc folder would go.
        QFile blocker(out.filePath("demo"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        apptest::CDialogAnswer answer([&](QFileDialog& dialog) {
            dialog.setDirectory(out.path());
            static_cast<QDialog&>(dialog).accept();
        });
        frame_->RipImage();
        QVERIFY(answer.Answered());
        QCOMPARE(app_->OutputFolder(), out.path() + "/");
        const auto messages = recorder_->Messages();
        QVERIFY(!messages.empty());
        for (const auto& m : messages)
            QVERIFY(m != "The images have been successfully extracted! ");
    }

    // A second rip into the same folder asks first; Yes rips again.
    void SecondRipAsksBeforeReusingTheDiscFolder() {
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        QTemporaryDir out;
        for (int round = 0; round < 2; ++round) {
            apptest::CDialogAnswer answer([&](QFileDialog& dialog) {
                dialog.setDirectory(out.path());
                static_cast<QDialog&>(dialog).accept();
            });
            frame_->RipImage();
            QVERIFY(answer.Answered());
        }
        QCOMPARE(recorder_->Questions().size(), size_t(1));
        const auto messages = recorder_->Messages();
        QCOMPARE(messages.size(), size_t(2));
        QCOMPARE(messages.back(), std::string("The images have been successfully extracted! "));
        QVERIFY(frame_->isEnabled());
    }

    void CancelledDialogChangesNothing() {
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        app_->SetOutputFolder("/kept/");
        apptest::CDialogAnswer answer([](QFileDialog& dialog) { dialog.reject(); });
        frame_->RipImage();
        QVERIFY(answer.Answered());
        QCOMPARE(app_->OutputFolder(), QString("/kept/"));
        QVERIFY(recorder_->Messages().empty());
    }

private:
    std::unique_ptr<apptest::CMessageRecorder> recorder_;
};

TESSEL_APP_TEST_GROUP(CRipTest, "rip");
#include "rip_test.moc"
