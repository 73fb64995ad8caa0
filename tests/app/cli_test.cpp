// The command line of tessel-gui: parsing, and --grab of the running program.
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/gui_cli_parser.h"
#include "app_test_support.h"

class CCliTest : public QObject {
    Q_OBJECT
private slots:
    void NoArguments() {
        SGuiOptions o;
        QString error;
        QVERIFY(ParseGuiCommandLine({"tessel-gui"}, o, error));
        QVERIFY(o.folder.isEmpty());
        QVERIFY(o.grabFile.isEmpty());
        QCOMPARE(o.state, -1);
        QVERIFY(!o.showPage);
    }

    void FolderGrabStateAndPage() {
        SGuiOptions o;
        QString error;
        QVERIFY(ParseGuiCommandLine(
            {"tessel-gui", "disc/BDMV", "--grab", "out.png", "--state", "Activated", "--show-page"},
            o, error));
        QCOMPARE(o.folder, QString("disc/BDMV"));
        QCOMPARE(o.grabFile, QString("out.png"));
        QCOMPARE(o.state, 2);
        QVERIFY(o.showPage);
        QVERIFY(ParseGuiCommandLine({"tessel-gui", "disc.iso", "--show-subtitle", "3"}, o, error));
        QCOMPARE(o.subtitle, 3);
        QVERIFY(ParseGuiCommandLine({"tessel-gui", "d/BDMV", "--show-page", "--button", "4",
                                     "--zoom", "Fit", "--grab", "p.png", "--grab-pane", "page"},
                                    o, error));
        QCOMPARE(o.button, 4);
        QCOMPARE(o.zoom, 5);
        QCOMPARE(o.grabPane, QString("page"));
        QVERIFY(ParseGuiCommandLine({"tessel-gui", "--zoom", "12.5"}, o, error));
        QCOMPARE(o.zoom, 4);
    }

    void BadCommandLines_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown option") << QStringList{"tessel-gui", "--frobnicate"};
        QTest::newRow("grab without file") << QStringList{"tessel-gui", "--grab"};
        QTest::newRow("two folders") << QStringList{"tessel-gui", "a/BDMV", "b/BDMV"};
        QTest::newRow("bad state") << QStringList{"tessel-gui", "a/BDMV", "--state", "pressed"};
        QTest::newRow("page without folder") << QStringList{"tessel-gui", "--show-page"};
        QTest::newRow("subtitle without folder")
            << QStringList{"tessel-gui", "--show-subtitle", "1"};
        QTest::newRow("subtitle zero")
            << QStringList{"tessel-gui", "a/BDMV", "--show-subtitle", "0"};
        QTest::newRow("button without page")
            << QStringList{"tessel-gui", "a/BDMV", "--button", "1"};
        QTest::newRow("bad zoom") << QStringList{"tessel-gui", "a/BDMV", "--zoom", "33%"};
        QTest::newRow("pane without grab") << QStringList{"tessel-gui", "--grab-pane", "map"};
        QTest::newRow("unknown pane")
            << QStringList{"tessel-gui", "--grab", "x.png", "--grab-pane", "menu"};
    }
    void BadCommandLines() {
        QFETCH(QStringList, args);
        SGuiOptions o;
        QString error;
        QVERIFY(!ParseGuiCommandLine(args, o, error));
        QVERIFY(!error.isEmpty());
    }

    void StateNames() {
        QCOMPARE(ButtonStateOfName("normal"), 0);
        QCOMPARE(ButtonStateOfName("SELECTED"), 1);
        QCOMPARE(ButtonStateOfName("activated"), 2);
        QCOMPARE(ButtonStateOfName(""), -1);
    }

    // The program opens the sample disc, shows a page, saves its window and
    // quits with 0.
    void GrabWritesPngAndExits() {
        QTemporaryDir dir;
        const QString png = dir.filePath("window.png");
        QProcess gui;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        gui.setProcessEnvironment(env);
        gui.start(TESSEL_GUI_PATH,
                  {apptest::SampleBdmv(), "--show-page", "--state", "selected", "--grab", png});
        QVERIFY(gui.waitForFinished(120000));
        QCOMPARE(gui.exitStatus(), QProcess::NormalExit);
        QCOMPARE(gui.exitCode(), 0);
        QImage picture(png);
        QVERIFY(!picture.isNull());
        // The window fits the offscreen screen (800 x 800).
        QVERIFY(picture.width() >= 700);
        QVERIFY(picture.height() >= 500);
    }

    void GrabWithoutFolder() {
        QTemporaryDir dir;
        const QString png = dir.filePath("empty.png");
        QProcess gui;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        gui.setProcessEnvironment(env);
        gui.start(TESSEL_GUI_PATH, {"--grab", png});
        QVERIFY(gui.waitForFinished(60000));
        QCOMPARE(gui.exitCode(), 0);
        QVERIFY(!QImage(png).isNull());
    }

    void BadCommandLineExitsWith2() {
        QProcess gui;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        gui.setProcessEnvironment(env);
        gui.start(TESSEL_GUI_PATH, {"--state", "pressed", "x/BDMV"});
        QVERIFY(gui.waitForFinished(60000));
        QCOMPARE(gui.exitCode(), 2);
    }
};

TESSEL_APP_TEST_GROUP(CCliTest, "cli");
#include "cli_test.moc"
