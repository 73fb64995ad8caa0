// The page view shows the same pixels as `tessel render` for the same page,
// state, zoom and background.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_frame.h"
#include "app/tessel_app.h"
#include "app_test_support.h"
#include "model/page.h"
#include "ui/page_view.h"

class CRenderTest : public QObject {
    Q_OBJECT
private slots:
    void init() { apptest::ClearSettings(); }

    void SameAsTesselRender_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("name");
        QTest::newRow("normal") << 0 << "normal";
        QTest::newRow("selected") << 1 << "selected";
        QTest::newRow("activated") << 2 << "activated";
    }
    void SameAsTesselRender() {
        QFETCH(int, state);
        QFETCH(QString, name);
        CTesselApp app;
        app.InitInstance();
        CMainFrame* frame = app.MainFrame();
        QCOMPARE(frame->OpenFolder(apptest::SampleBdmv()), 0);
        QVERIFY(frame->ShowFirstPage());
        frame->SetZoomIndex(2);  // 50%, as the window fits pages by default
        frame->Action(static_cast<ECommand>(int(ECommand::Normal) + state))->trigger();
        const tessel::CPage* page = frame->PageView()->Page();
        QVERIFY(page);
        QCOMPARE(frame->PageView()->Composer().Zoom(), 0.5);
        QCOMPARE(app.BackgroundColour(), 0x00808000u);  // RRGGBB 008080
        const QImage shown = frame->PageView()->FrameImage().convertToFormat(QImage::Format_ARGB32);

        QTemporaryDir dir;
        const QString png = dir.filePath("page.png");
        QProcess cli;
        cli.start(TESSEL_CLI_PATH, {"render", apptest::SampleBdmv(), png, "--page",
                                    QString::number(page->id), "--state", name, "--zoom", "0.5",
                                    "--bg", "008080", "--safe-areas", "--outlines"});
        QVERIFY(cli.waitForFinished(120000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
        const QImage rendered = QImage(png).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(rendered.size(), shown.size());
        int differing = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (shown.pixel(x, y) != rendered.pixel(x, y)) ++differing;
        QCOMPARE(differing, 0);
    }
};

TESSEL_APP_TEST_GROUP(CRenderTest, "render");
#include "render_test.moc"
