// Settings of the application: read at start-up, written at shutdown by the
// rules, window and pane layout kept.
#include <QDockWidget>
#include <QSettings>
#include <QTest>

#include "app/colour_button.h"
#include "app/main_frame.h"
#include "app/tessel_app.h"
#include "app_test_support.h"
#include "render/page_composer.h"
#include "ui/page_view.h"

class CSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { apptest::ClearSettings(); }

    void DefaultsWithoutSettings() {
        CTesselApp app;
        QCOMPARE(app.BackgroundColour(), tessel::kDefaultBackgroundColour);
        app.InitInstance();
        QCOMPARE(app.BackgroundColour(), 8421376u);
        QVERIFY(app.SourceFolder().isEmpty());
        QVERIFY(app.OutputFolder().isEmpty());
        QCOMPARE(app.MainFrame()->ColourButton()->Colour(), 8421376u);
        QCOMPARE(app.MainFrame()->PageView()->BackgroundColourValue(), 8421376u);
    }

    void OnlyBgColorWithEmptyFolders() {
        {
            CTesselApp app;
            app.InitInstance();
            app.ExitInstance();
        }
        QSettings settings;
        settings.beginGroup("General");
        QCOMPARE(settings.childKeys(), QStringList{"BG Color"});
        QCOMPARE(settings.value("BG Color").toInt(), 8421376);
    }

    void ReadAtStartUp() {
        {
            QSettings settings;
            settings.beginGroup("General");
            settings.setValue("BG Color", 0x00102030);
            settings.setValue("SrcFolder", "/discs/one/");
            settings.setValue("OutFolder", "/rips/");
        }
        CTesselApp app;
        app.InitInstance();
        QCOMPARE(app.BackgroundColour(), 0x00102030u);
        QCOMPARE(app.SourceFolder(), QString("/discs/one/"));
        QCOMPARE(app.OutputFolder(), QString("/rips/"));
        QCOMPARE(app.MainFrame()->ColourButton()->Colour(), 0x00102030u);
        QCOMPARE(app.MainFrame()->PageView()->BackgroundColourValue(), 0x00102030u);
    }

    void WrittenAtShutdown() {
        {
            CTesselApp app;
            app.InitInstance();
            app.MainFrame()->ColourButton()->ChooseColour(0x00332211);
            QCOMPARE(app.BackgroundColour(), 0x00332211u);
            QCOMPARE(app.MainFrame()->PageView()->BackgroundColourValue(), 0x00332211u);
            app.SetSourceFolder("/discs/two/");
            app.SetOutputFolder("/out/");
            {
                QSettings before;
                QVERIFY(!before.contains("General/BG Color"));  // nothing until shutdown
            }
            app.ExitInstance();
        }
        QSettings settings;
        QCOMPARE(settings.value("General/BG Color").toInt(), 0x00332211);
        QCOMPARE(settings.value("General/SrcFolder").toString(), QString("/discs/two/"));
        QCOMPARE(settings.value("General/OutFolder").toString(), QString("/out/"));
    }

    void EmptyFolderKeepsTheStoredOne() {
        {
            QSettings settings;
            settings.setValue("General/OutFolder", "/kept/");
        }
        CTesselApp app;
        app.InitInstance();
        app.SetOutputFolder("");
        app.ExitInstance();
        QSettings settings;
        QCOMPARE(settings.value("General/OutFolder").toString(), QString("/kept/"));
    }

    void BadColourReadsAsDefault() {
        {
            QSettings settings;
            settings.setValue("General/BG Color", "teal");
        }
        CTesselApp app;
        app.InitInstance();
        QCOMPARE(app.BackgroundColour(), tessel::kDefaultBackgroundColour);
    }

    void LayoutKept() {
        {
            CTesselApp app;
            app.InitInstance();
            CMainFrame* frame = app.MainFrame();
            QVERIFY(frame->CommandDock()->isVisible());
            frame->Action(ECommand::ButtonCommand)->trigger();
            QVERIFY(!frame->CommandDock()->isVisible());
            frame->removeDockWidget(frame->PropertiesDock());
            frame->addDockWidget(Qt::RightDockWidgetArea, frame->PropertiesDock());
            frame->PropertiesDock()->show();
            frame->Action(ECommand::StatusBar)->trigger();
            app.ExitInstance();
        }
        CTesselApp app;
        app.InitInstance();
        CMainFrame* frame = app.MainFrame();
        QVERIFY(!frame->CommandDock()->isVisible());
        QVERIFY(!frame->Action(ECommand::ButtonCommand)->isChecked());
        QCOMPARE(frame->dockWidgetArea(frame->PropertiesDock()), Qt::RightDockWidgetArea);
        QVERIFY(!frame->Action(ECommand::StatusBar)->isChecked());
    }
};

TESSEL_APP_TEST_GROUP(CSettingsTest, "settings");
#include "settings_test.moc"
