// The window plays the sample disc's first page: by default, to a time
// asked for, and two grabs at different times differ exactly where the
// buttons animate; the command line grabs the window at a time.
#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_frame.h"
#include "app/tessel_app.h"
#include "app_test_support.h"
#include "model/ic_data.h"
#include "model/page.h"
#include "player/menu_clock.h"
#include "ui/page_view.h"

namespace {

// The buttons a clock over the page shows in the given frames.
std::vector<std::vector<tessel::SShownButton>> ShownButtons(const tessel::CPage& page,
                                                            std::vector<int64_t> frames) {
    tessel::SFrameRate rate;
    tessel::FrameRateOf(1, rate);
    tessel::CMenuClock clock(*dynamic_cast<const tessel::CIcData*>(page.parent), rate);
    clock.StartAt(page.id);
    std::vector<std::vector<tessel::SShownButton>> out;
    for (int64_t f = 0; f <= frames.back(); ++f) {
        const tessel::SMenuFrame& frame = clock.Advance();
        if (std::find(frames.begin(), frames.end(), f) != frames.end())
            out.push_back(frame.buttons);
    }
    return out;
}

}  // namespace

class CPlayTest : public QObject {
    Q_OBJECT
private slots:
    void init() { apptest::ClearSettings(); }

    void GrabsDifferExactlyWhereTheButtonsAnimate() {
        CTesselApp app;
        app.InitInstance();
        CMainFrame* frame = app.MainFrame();
        QCOMPARE(frame->OpenFolder(apptest::SampleBdmv()), 0);
        // 50%: button rectangles on whole pixels (Fit's scale smears their edges).
        frame->ZoomBox()->setCurrentIndex(2);
        QVERIFY(frame->ShowFirstPage());
        CTlPageView* view = frame->PageView();
        QVERIFY2(view->Playing(), "the window plays by default");
        const QImage still = view->FrameImage();

        // Frames 23 (0.959 s) and 26 (1.084 s).
        view->PlayTo(1.0);
        QVERIFY(!view->Playing());
        QCOMPARE(view->PlayStatus(), QString("0.959 s"));
        const QImage a = view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        view->PlayTo(1.1);
        QCOMPARE(view->PlayStatus(), QString("1.084 s"));
        const QImage b = view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(a.size(), b.size());

        const auto shown = ShownButtons(*view->Page(), {23, 26});
        QCOMPARE(shown[0].size(), shown[1].size());
        const double zoom = view->Composer().Zoom();
        const QPoint origin = view->FrameOrigin();
        std::vector<QRect> animated;
        for (size_t i = 0; i < shown[0].size(); ++i) {
            if (shown[0][i].object == shown[1][i].object) continue;
            const tessel::CBdButton& btn = *shown[0][i].button;
            const QRect r(btn.x * zoom, btn.y * zoom, shown[0][i].object->width * zoom,
                          shown[0][i].object->height * zoom);
            // Two pixels for the scaled edges, rounded either way.
            animated.push_back(r.translated(origin).adjusted(-2, -2, 2, 2));
        }
        QVERIFY(!animated.empty());
        std::vector<int> hits(animated.size());
        int outside = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                if (a.pixel(x, y) == b.pixel(x, y)) continue;
                bool in = false;
                for (size_t i = 0; i < animated.size(); ++i)
                    if (animated[i].contains(x, y)) ++hits[i], in = true;
                if (!in) ++outside;
            }
        QCOMPARE(outside, 0);
        for (size_t i = 0; i < hits.size(); ++i)
            QVERIFY2(hits[i] > 0, qPrintable(QString::number(i)));

        view->SetPlaying(false);
        QCOMPARE(view->PlayStatus(), QString());
        QCOMPARE(view->FrameImage(), still);
    }

    void CommandLineGrabsTheWindowAtATime() {
        QTemporaryDir dir;
        const QString png = dir.filePath("at1s.png");
        QProcess gui;
        gui.start(TESSEL_GUI_PATH,
                  {apptest::SampleBdmv(), "--show-page", "--play-seconds", "1", "--grab", png});
        QVERIFY(gui.waitForFinished(120000));
        QVERIFY2(gui.exitCode() == 0, gui.readAllStandardError().constData());
        QVERIFY(!QImage(png).isNull());
        gui.start(TESSEL_GUI_PATH, {apptest::SampleBdmv(), "--play-seconds", "1"});
        QVERIFY(gui.waitForFinished(120000));
        QCOMPARE(gui.exitCode(), 2);
        QVERIFY(gui.readAllStandardError().contains("--play-seconds needs --show-page"));
    }
};

TESSEL_APP_TEST_GROUP(CPlayTest, "play");

#include "play_test.moc"
