// The state, zoom and colour commands drive the page view.
#include <QComboBox>
#include <QTest>

#include "app/colour_button.h"
#include "app/main_frame.h"
#include "app/tessel_app.h"
#include "app_test_support.h"
#include "render/page_composer.h"
#include "ui/page_view.h"

class CCommandsTest : public QObject, protected apptest::CStartedApp {
    Q_OBJECT
private slots:
    void init() {
        StartApp();
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        QVERIFY(frame_->ShowFirstPage());
        QVERIFY(frame_->PageView()->Page());
    }
    void cleanup() { StopApp(); }

    void StateCommandsRecompose() {
        CTlPageView* view = frame_->PageView();
        const QImage normal = view->FrameImage();
        QCOMPARE(view->State(), 0);

        frame_->Action(ECommand::Selected)->trigger();
        QCOMPARE(view->State(), 1);
        QVERIFY(frame_->Action(ECommand::Selected)->isChecked());
        QVERIFY(!frame_->Action(ECommand::Normal)->isChecked());
        const QImage selected = view->FrameImage();
        QVERIFY(selected != normal);

        frame_->Action(ECommand::Activated)->trigger();
        QCOMPARE(view->State(), 2);
        QVERIFY(frame_->Action(ECommand::Activated)->isChecked());
        QVERIFY(view->FrameImage() != selected);

        frame_->Action(ECommand::Normal)->trigger();
        QCOMPARE(view->State(), 0);
        QCOMPARE(view->FrameImage(), normal);
    }

    void ZoomBoxSetsTheZoom() {
        CTlPageView* view = frame_->PageView();
        QVERIFY(view->Fit());  // until another zoom is chosen
        QComboBox* box = frame_->ZoomBox();
        const struct {
            int index;
            QSize size;
        } cases[] = {
            {0, {1920, 1080}}, {1, {1440, 810}}, {3, {480, 270}}, {4, {240, 135}}, {2, {960, 540}}};
        for (const auto& c : cases) {
            box->setCurrentIndex(c.index);
            emit box->activated(c.index);
            QCOMPARE(view->ZoomIndex(), c.index);
            QCOMPARE(view->Composer().Zoom(), tessel::kZoomFactors[c.index]);
            QCOMPARE(view->FrameImage().size(), c.size);
        }
        emit box->activated(CTlPageView::kFitZoomIndex);
        QVERIFY(view->Fit());
        QCOMPARE(view->Composer().Zoom(), view->FitFactor());
    }

    void ColourButtonSetsTheBackground() {
        CTlPageView* view = frame_->PageView();
        frame_->ColourButton()->ChooseColour(0x000000FF);  // red
        QCOMPARE(app_->BackgroundColour(), 0x000000FFu);
        QCOMPARE(view->BackgroundColourValue(), 0x000000FFu);
        // Without a page (the sample's pages cover the whole frame) the
        // frame shows the colour.
        view->SetPage(nullptr);
        QCOMPARE(view->FrameImage().pixelColor(2, 2), QColor(255, 0, 0));
        frame_->ColourButton()->ChooseColour(0x00808000);
        QCOMPARE(view->FrameImage().pixelColor(2, 2), QColor(0, 128, 128));
    }

    void StateBeforeOpenIsKept() {
        frame_->SetState(2);
        QCOMPARE(frame_->OpenFolder(apptest::SampleBdmv()), 0);
        QCOMPARE(frame_->PageView()->State(), 2);
        QVERIFY(frame_->Action(ECommand::Activated)->isChecked());
    }
};

TESSEL_APP_TEST_GROUP(CCommandsTest, "commands");
#include "commands_test.moc"
