// The page view: the picture it shows is the composer's view picture, state
// and zoom recompose, the frame is centred in a larger window and scrolls in
// a smaller one, the background colour.
#include <QScrollBar>
#include <QTest>

#include "model/ig_object.h"
#include "render/page_composer.h"
#include "ui/page_view.h"
#include "ui_test_support.h"

using namespace tessel;

namespace {

QImage Expected(const CPageComposer& composer) {
    const Bitmap picture = composer.ViewPicture(true);
    QImage image(picture.Width(), picture.Height(), QImage::Format_ARGB32);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) image.setPixel(x, y, picture.GetPixel(x, y));
    return image;
}

std::vector<uint8_t> Pixels(const Bitmap& b) {
    return {b.Data(), b.Data() + b.Stride() * static_cast<size_t>(b.Height())};
}

class CTestDisc {
public:
    CTestDisc() : scanned(Options()) {}
    static authoring::SDiscOptions Options() {
        authoring::SDiscOptions o;
        auto menu = uitest::SmallMenu(1, 2, 1);
        menu.buttonWidth = 96;
        menu.buttonHeight = 48;
        o.clips = {uitest::Clip(1, {0x1400}, menu)};
        return o;
    }
    CPage* Page() const {
        return scanned.disc.clips[0]->igObjects[0]->GetAt(0)->GetAt(0)->GetAt(0);
    }
    uitest::CScannedDisc scanned;
};

}  // namespace

class PageViewTest : public QObject {
    Q_OBJECT
private slots:
    void theFrameImageIsTheComposersViewPicture();
    void stateAndZoomRecompose();
    void aLargerWindowCentresTheFrame();
    void aSmallerWindowScrolls();
    void backgroundColour();
};

void PageViewTest::theFrameImageIsTheComposersViewPicture() {
    CTestDisc d;
    QVERIFY2(d.scanned.ok, d.scanned.error.c_str());
    CTlPageView view;
    QCOMPARE(view.focusPolicy(), Qt::StrongFocus);
    // No page: the frame alone, 1920 x 1080 at the composer's zoom.
    QCOMPARE(view.FrameImage().size(), QSize(1920, 1080));
    view.SetZoomIndex(3);
    QCOMPARE(view.FrameImage().format(), QImage::Format_ARGB32);
    QCOMPARE(view.FrameImage(), Expected(view.Composer()));
    view.SetPage(d.Page());
    QCOMPARE(view.Page(), d.Page());
    QVERIFY(!view.Composer().PageBitmap().IsEmpty());
    QCOMPARE(view.FrameImage().size(), QSize(480, 270));
    QCOMPARE(view.FrameImage(), Expected(view.Composer()));
    // The safe-area frames are part of the picture.
    const QImage image = view.FrameImage();
    const QImage plain = [&] {
        const Bitmap b = view.Composer().ViewPicture(false);
        return QImage(b.Data(), b.Width(), b.Height(), static_cast<qsizetype>(b.Stride()),
                      QImage::Format_ARGB32)
            .copy();
    }();
    QVERIFY(image != plain);
    view.SetPage(nullptr);
    QVERIFY(view.Composer().PageBitmap().IsEmpty());
}

void PageViewTest::stateAndZoomRecompose() {
    CTestDisc d;
    QVERIFY2(d.scanned.ok, d.scanned.error.c_str());
    CTlPageView view;
    view.SetZoomIndex(2);
    view.SetPage(d.Page());
    const auto normal = Pixels(view.Composer().PageBitmap());
    const QImage normalImage = view.FrameImage();
    view.SetState(1);
    QCOMPARE(view.State(), 1);
    const auto selected = Pixels(view.Composer().PageBitmap());
    QVERIFY(selected != normal);
    QVERIFY(view.FrameImage() != normalImage);
    view.SetState(2);
    QVERIFY(Pixels(view.Composer().PageBitmap()) != selected);
    view.SetState(7);  // ignored
    QCOMPARE(view.State(), 2);
    view.SetState(0);
    QVERIFY(Pixels(view.Composer().PageBitmap()) == normal);

    // The outline width follows the zoom: the page bitmap changes with it.
    QCOMPARE(view.FrameImage().size(), QSize(960, 540));
    view.SetZoomIndex(0);
    QCOMPARE(view.ZoomIndex(), 0);
    QCOMPARE(view.Composer().Zoom(), 1.0);
    QCOMPARE(view.FrameImage().size(), QSize(1920, 1080));
    QVERIFY(Pixels(view.Composer().PageBitmap()) != normal);
    QCOMPARE(view.FrameImage(), Expected(view.Composer()));
    view.SetZoomIndex(4);
    QCOMPARE(view.FrameImage().size(), QSize(240, 135));
    view.SetZoomIndex(6);  // ignored
    QCOMPARE(view.ZoomIndex(), 4);
    view.SetZoomIndex(CTlPageView::kFitZoomIndex);  // the frame fitted to the viewport
    QVERIFY(view.Fit());
    QCOMPARE(view.Composer().Zoom(), view.FitFactor());
    view.SetZoomIndex(4);
}

void PageViewTest::aLargerWindowCentresTheFrame() {
    CTestDisc d;
    QVERIFY2(d.scanned.ok, d.scanned.error.c_str());
    CTlPageView view;
    view.resize(700, 500);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.SetZoomIndex(3);  // 480 x 270
    view.SetPage(d.Page());
    const QSize client = view.viewport()->size();
    const QPoint origin((client.width() - 480) / 2, (client.height() - 270) / 2);
    QCOMPARE(view.FrameOrigin(), origin);
    QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
    QCOMPARE(view.verticalScrollBar()->maximum(), 0);
    const QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(shown.pixel(2, 2), qRgb(85, 85, 85));
    QCOMPARE(shown.pixel(client.width() - 2, client.height() - 2), qRgb(85, 85, 85));
    QCOMPARE(shown.copy(QRect(origin, QSize(480, 270))), view.FrameImage());
}

void PageViewTest::aSmallerWindowScrolls() {
    CTestDisc d;
    QVERIFY2(d.scanned.ok, d.scanned.error.c_str());
    CTlPageView view;
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.SetZoomIndex(2);  // 960 x 540
    view.SetPage(d.Page());
    const QSize client = view.viewport()->size();
    QCOMPARE(view.horizontalScrollBar()->maximum(), 960 - client.width());
    QCOMPARE(view.verticalScrollBar()->maximum(), 540 - client.height());
    QCOMPARE(view.FrameOrigin(), QPoint(0, 0));
    view.horizontalScrollBar()->setValue(100);
    view.verticalScrollBar()->setValue(50);
    QCOMPARE(view.FrameOrigin(), QPoint(-100, -50));
    const QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(shown, view.FrameImage().copy(QRect(QPoint(100, 50), client)));

    // A click lands where the scrolled picture shows the button: the first
    // group's button at (120, 240) page pixels, (60, 120) on the frame.
    view.horizontalScrollBar()->setValue(40);
    view.verticalScrollBar()->setValue(100);
    CBdButton* button = d.Page()->GetAt(0)->GetAt(0);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(60 - 40 + 2, 120 - 100 + 2));
    QCOMPARE(button->used, uint8_t{1});
    QCOMPARE(view.Composer().Focus(), (SButtonHit{0, 0}));
    // Zooming in widens the scroll range.
    view.SetZoomIndex(0);
    QCOMPARE(view.horizontalScrollBar()->maximum(), 1920 - client.width());
}

void PageViewTest::backgroundColour() {
    CTlPageView view;
    view.SetZoomIndex(4);
    QCOMPARE(view.BackgroundColourValue(), kDefaultBackgroundColour);
    QCOMPARE(view.FrameImage().pixel(2, 2), qRgb(0, 128, 128));
    view.SetBackground(0x00FF0000);  // blue in 0x00BBGGRR
    QCOMPARE(view.BackgroundColourValue(), 0x00FF0000u);
    QCOMPARE(view.FrameImage().pixel(2, 2), qRgb(0, 0, 255));
    view.SetBackground(0x000000FF);
    QCOMPARE(view.FrameImage().pixel(2, 2), qRgb(255, 0, 0));
}

TESSEL_UI_TEST_GROUP(PageViewTest, "page_view");

#include "page_view_test.moc"
