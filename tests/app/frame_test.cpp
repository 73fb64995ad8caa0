// The main window as laid out at start-up: menus, commands, toolbar, band,
// status bar and panes.
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include "app/colour_button.h"
#include "app/main_frame.h"
#include "app/tessel_app.h"
#include "app_test_support.h"
#include "ui/page_view.h"

namespace {

QStringList MenuTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* a : menu->actions()) texts << (a->isSeparator() ? "-" : a->text());
    return texts;
}

QMenu* MenuNamed(CMainFrame& frame, const QString& title) {
    for (QAction* a : frame.menuBar()->actions())
        if (a->text() == title) return a->menu();
    return nullptr;
}

}  // namespace

class CFrameTest : public QObject, protected apptest::CStartedApp {
    Q_OBJECT
private slots:
    void init() { StartApp(); }
    void cleanup() { StopApp(); }

    void Menus() {
        QStringList titles;
        for (const QAction* a : frame_->menuBar()->actions()) titles << a->text();
        QCOMPARE(titles, (QStringList{"&File", "&Tool", "&View", "&Help"}));
        QCOMPARE(MenuTexts(MenuNamed(*frame_, "&File")),
                 (QStringList{"&Open...", "Open disc image...", "Quick open...", "-", "E&xit"}));
        QCOMPARE(MenuTexts(MenuNamed(*frame_, "&Tool")),
                 (QStringList{"Rip image...", "Import new image..."}));
        QCOMPARE(MenuTexts(MenuNamed(*frame_, "&View")),
                 (QStringList{"IG View", "Properties View", "Button Command", "Menu map",
                              "Problems", "&Status Bar", "-", "Normal", "Selected", "Activated",
                              "-", "Show all display sets", "-", "&Play", "Next &Frame"}));
        QCOMPARE(MenuTexts(MenuNamed(*frame_, "&Help")),
                 (QStringList{"&About Tessel...", "&WebSite"}));
        QCOMPARE(frame_->Action(ECommand::Open)->shortcut(), QKeySequence("Ctrl+O"));
    }

    void Prompts_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("tip");
        QTest::newRow("rip") << int(ECommand::RipImage) << "Rip image from M2TS file"
                             << "Rip image";
        QTest::newRow("import") << int(ECommand::ImportImage) << "Import new image to M2TS file"
                                << "Import new image";
        QTest::newRow("ig view") << int(ECommand::IgView) << "Shows or hides the IG View"
                                 << "Toggle IG View";
        QTest::newRow("properties")
            << int(ECommand::PropertiesView) << "Shows or hides the Properties View"
            << "Toggle Properties View";
        QTest::newRow("commands") << int(ECommand::ButtonCommand)
                                  << "Shows or hides the button command"
                                  << "Toggle button command";
        QTest::newRow("problems") << int(ECommand::ProblemsView)
                                  << "Shows or hides the problems the check finds in the open disc"
                                  << "Toggle Problems";
        QTest::newRow("normal") << int(ECommand::Normal) << "Show button normal state"
                                << "Normal State";
        QTest::newRow("selected") << int(ECommand::Selected) << "Show button selected state"
                                  << "Selected State";
        QTest::newRow("activated") << int(ECommand::Activated) << "Show button activated state"
                                   << "Activated State";
        QTest::newRow("website") << int(ECommand::WebSite) << "Visit official website"
                                 << "Website";
    }
    void Prompts() {
        QFETCH(int, command);
        QFETCH(QString, status);
        QFETCH(QString, tip);
        QAction* a = frame_->Action(static_cast<ECommand>(command));
        QVERIFY(a);
        QCOMPARE(a->statusTip(), status);
        QCOMPARE(a->toolTip(), tip);
    }

    void EnableAndTickRulesWithoutDisc() {
        QVERIFY(!frame_->Action(ECommand::RipImage)->isEnabled());
        QVERIFY(!frame_->Action(ECommand::ImportImage)->isEnabled());
        QVERIFY(frame_->Action(ECommand::Open)->isEnabled());
        QVERIFY(frame_->Action(ECommand::Normal)->isChecked());
        QVERIFY(!frame_->Action(ECommand::Selected)->isChecked());
        QVERIFY(!frame_->Action(ECommand::ShowAllDisplaySets)->isChecked());
        for (ECommand c : {ECommand::IgView, ECommand::PropertiesView, ECommand::ButtonCommand,
                           ECommand::StatusBar}) {
            QVERIFY(frame_->Action(c)->isCheckable());
            QVERIFY(frame_->Action(c)->isChecked());
        }
    }

    void PaneTogglesTickWhileVisible() {
        QAction* toggle = frame_->Action(ECommand::PropertiesView);
        toggle->trigger();
        QVERIFY(!frame_->PropertiesDock()->isVisible());
        QVERIFY(!toggle->isChecked());
        toggle->trigger();
        QVERIFY(frame_->PropertiesDock()->isVisible());
        QVERIFY(toggle->isChecked());
        frame_->Action(ECommand::StatusBar)->trigger();
        QVERIFY(!frame_->statusBar()->isVisible());
        frame_->Action(ECommand::StatusBar)->trigger();
        QVERIFY(frame_->statusBar()->isVisible());
    }

    void ToolbarOrder() {
        QToolBar* bar = frame_->StandardToolBar();
        QCOMPARE(bar->windowTitle(), QString("Standard"));
        QStringList items;
        for (QAction* a : bar->actions()) {
            if (a->isSeparator())
                items << "-";
            else if (QWidget* w = bar->widgetForAction(a); w == frame_->ZoomBox())
                items << "zoom";
            else if (w == frame_->ColourButton())
                items << "colour";
            else
                items << a->text();
        }
        QCOMPARE(items, (QStringList{"&Open...", "-", "zoom", "-", "colour", "-", "Rip image...",
                                     "Import new image...", "-", "Normal", "Selected", "Activated",
                                     "-", "&Play", "Next &Frame", "-", "&About Tessel..."}));
    }

    void ZoomBox() {
        QComboBox* box = frame_->ZoomBox();
        QCOMPARE(box->width(), 100);
        QStringList texts;
        for (int i = 0; i < box->count(); ++i) texts << box->itemText(i);
        QCOMPARE(texts, (QStringList{"100%", "75%", "50%", "25%", "12.5%", "Fit"}));
        // The page fits the view until another zoom is chosen.
        QCOMPARE(box->currentText(), QString("Fit"));
        QCOMPARE(frame_->PageView()->ZoomIndex(), CTlPageView::kFitZoomIndex);
        QVERIFY(frame_->PageView()->Fit());
    }

    void ColourButton() {
        CColourButton* button = frame_->ColourButton();
        QCOMPARE(button->text(), QString("BG color"));
        QVERIFY(button->menu());
        bool more = false;
        for (QAction* a : button->menu()->actions()) more = more || a->text() == "More...";
        QVERIFY(more);
        QVERIFY(CColourButton::PaletteColours().size() >= 8);
        QCOMPARE(CColourButton::PaletteColours().front(), 8421376u);
        QCOMPARE(QColorOfColourValue(8421376u), QColor(0, 128, 128));
        QCOMPARE(ColourValueOfQColor(QColor(0x11, 0x22, 0x33)), 0x00332211u);
    }

    void BdmvBand() {
        QToolBar* band = frame_->BdmvBand();
        QLabel* label = band->findChild<QLabel*>();
        QVERIFY(label);
        QCOMPARE(label->text(), QString("BDMV:"));
        CBdmvBrowseEdit* edit = frame_->FolderEdit();
        QCOMPARE(edit->size(), QSize(200, 20));
        QVERIFY(edit->text().isEmpty());
        QVERIFY(edit->BrowseAction());
    }

    void StatusBarVersionPane() {
        QCOMPARE(frame_->VersionPane()->text(), QString("Orvane, V %1").arg(CTesselApp::Version()));
        QCOMPARE(QString(CTesselApp::Version()).count('.'), 2);
        QCOMPARE(frame_->statusBar()->currentMessage(), QString("Ready"));
    }

    void TitleAndIcon() {
        QCOMPARE(frame_->windowTitle(), QString("Tessel"));
        QVERIFY(!frame_->windowIcon().isNull());
        QCOMPARE(frame_->windowIcon().pixmap(64).toImage().pixelColor(32, 32),
                 QColor(0xf5, 0xa6, 0x23));  // the focused tile in the middle
    }

    void Panes() {
        QCOMPARE(frame_->ExplorerDock()->windowTitle(), QString("IG View"));
        QCOMPARE(frame_->PropertiesDock()->windowTitle(), QString("Properties"));
        QCOMPARE(frame_->CommandDock()->windowTitle(), QString("Button Command"));
        for (QDockWidget* dock :
             {frame_->ExplorerDock(), frame_->PropertiesDock(), frame_->CommandDock()}) {
            QCOMPARE(dock->allowedAreas(), Qt::AllDockWidgetAreas);
            QVERIFY(dock->isVisible());
        }
        QCOMPARE(frame_->centralWidget(), static_cast<QWidget*>(frame_->PageView()));
        for (Qt::DockWidgetArea area : {Qt::TopDockWidgetArea, Qt::RightDockWidgetArea,
                                        Qt::BottomDockWidgetArea, Qt::LeftDockWidgetArea}) {
            frame_->addDockWidget(area, frame_->CommandDock());
            QCOMPARE(frame_->dockWidgetArea(frame_->CommandDock()), area);
        }
    }
};

TESSEL_APP_TEST_GROUP(CFrameTest, "frame");
#include "frame_test.moc"
