// The main window around the menu walk and the map: the status bar says
// what the player says, the command pane lists the commands of the selected
// or activated button, a click on the map shows that button in the view and
// the tree, and the map pane's place is kept like the other panes'.
#include <QDockWidget>
#include <QLabel>
#include <QTest>

#include "app/main_frame.h"
#include "app/tessel_app.h"
#include "app_test_support.h"
#include "model/ic_data.h"
#include "model/page.h"
#include "navcmd/navcmd.h"
#include "player/menu_map.h"
#include "ui/command_wnd.h"
#include "ui/explorer_tree.h"
#include "ui/menu_map_wnd.h"
#include "ui/page_view.h"
#include "ui/properties_wnd.h"

namespace {

QStringList CommandLines(const tessel::CBdButton& button) {
    QStringList lines;
    const auto& records = button.commands.records;
    for (size_t i = 0; i < records.size(); ++i)
        lines << QString::fromStdString(
            tessel::GroupedCommandLine(static_cast<int>(i) + 1, records[i]));
    return lines;
}

using apptest::TreeButton;

}  // namespace

class CWalkMapTest : public QObject {
    Q_OBJECT
private slots:
    void init() { apptest::ClearSettings(); }

    void KeysWalkTheSampleMenu() {
        CTesselApp app;
        app.InitInstance();
        CMainFrame* frame = app.MainFrame();
        QCOMPARE(frame->OpenFolder(apptest::SampleBdmv()), 0);
        QVERIFY(frame->ShowFirstPage());
        CTlPageView* view = frame->PageView();
        QVERIFY(frame->WalkPane()->text().isEmpty());
        // Paused, the keys walk the still view (playing, they go to the play).
        frame->PageView()->SetPlaying(false);

        QTest::keyClick(view, Qt::Key_Right);
        const tessel::CBdButton* selected = view->Player()->Selected();
        QVERIFY(selected);
        QCOMPARE(frame->WalkPane()->text(), view->WalkStatus());
        QVERIFY(frame->WalkPane()->text().startsWith("Page "));
        QCOMPARE(TreeButton(*frame), selected);
        QCOMPARE(frame->Properties()->Node(), selected);
        QCOMPARE(frame->Commands()->Lines(), CommandLines(*selected));

        // The sample's buttons jump to titles: Enter leaves the menu.
        QTest::keyClick(view, Qt::Key_Return);
        QVERIFY(view->Player()->Ended());
        QVERIFY(frame->WalkPane()->text().startsWith("Left the menu for Title "));
        QCOMPARE(frame->Commands()->Lines(), CommandLines(*selected));
        // A state for all buttons ends the walk and empties its pane.
        frame->Action(ECommand::Selected)->trigger();
        QVERIFY(!view->Walking());
        QVERIFY(frame->WalkPane()->text().isEmpty());
    }

    void AClickOnTheMapShowsThatButton() {
        CTesselApp app;
        app.InitInstance();
        CMainFrame* frame = app.MainFrame();
        QVERIFY(frame->MenuMapDock()->isVisible());
        QVERIFY(frame->Action(ECommand::MenuMapView)->isChecked());
        QCOMPARE(frame->OpenFolder(apptest::SampleBdmv()), 0);
        QVERIFY(frame->ShowFirstPage());
        CMenuMapWnd* map = frame->MenuMap();
        const tessel::CPage* first = frame->PageView()->Page();
        const auto* composition = dynamic_cast<const tessel::CIcData*>(first->parent);
        QCOMPARE(map->Composition(), composition);
        QVERIFY(map->WaitForMap(60000));
        if (!tessel::MapPicturesAvailable()) QSKIP("built without Graphviz");
        QVERIFY2(!map->Image().isNull(), qPrintable(map->Message()));

        // A menu button of the last page, which the view does not show yet.
        QVERIFY(composition->GetSize() > 1);
        tessel::CPage* last = composition->GetAt(composition->GetSize() - 1);
        tessel::CBdButton* target = last->GetAt(0)->GetAt(0);
        QVERIFY(!target->commands.records.empty());
        map->SetZoom(1.0);
        const QPoint centre = map->NodeCentre(last->id, target->id);
        QVERIFY(centre != QPoint(-1, -1));
        QTest::mouseClick(map->Canvas(), Qt::LeftButton, {}, centre);
        QCOMPARE(frame->PageView()->Page(), last);
        QCOMPARE(target->used, uint8_t{1});
        QCOMPARE(TreeButton(*frame), target);
        QCOMPARE(frame->Commands()->Lines(), CommandLines(*target));
        QCOMPARE(frame->Properties()->Node(), target);
        // The map stays: the page is of the same composition.
        QCOMPARE(map->Composition(), composition);
        QVERIFY(!map->Image().isNull());

        // A new open lets the old composition go first.
        QCOMPARE(frame->OpenFolder(apptest::SampleBdmv()), 0);
        QCOMPARE(map->Composition(), nullptr);
        QVERIFY(map->Image().isNull());
    }

    void KeysFromTheCommandLine() {
        SGuiOptions o;
        QString error;
        QVERIFY(ParseGuiCommandLine(
            {"tessel-gui", "d/BDMV", "--show-page", "--keys", "Right, home,enter"}, o, error));
        QCOMPARE(o.keys, QStringList({"right", "home", "enter"}));
        QVERIFY(!ParseGuiCommandLine(
            {"tessel-gui", "d/BDMV", "--show-page", "--keys", "right,jump"}, o, error));
        QVERIFY(error.contains("'jump'"));
        QVERIFY(!ParseGuiCommandLine({"tessel-gui", "d/BDMV", "--keys", "right"}, o, error));

        o.folder = apptest::SampleBdmv();
        o.showPage = true;
        o.keys = QStringList{"right", "enter"};
        CTesselApp app;
        app.InitInstance(o);
        CTlPageView* view = app.MainFrame()->PageView();
        QVERIFY(view->Walking());
        QVERIFY(view->Player()->Ended());
        // As `tessel walk --keys right,enter` says of the sample.
        QCOMPARE(QString::fromStdString(view->Player()->Exit()->target), QString("Title 2"));
    }

    void MapPaneKept() {
        {
            CTesselApp app;
            app.InitInstance();
            CMainFrame* frame = app.MainFrame();
            QCOMPARE(frame->dockWidgetArea(frame->MenuMapDock()), Qt::RightDockWidgetArea);
            frame->Action(ECommand::MenuMapView)->trigger();
            QVERIFY(!frame->MenuMapDock()->isVisible());
            app.ExitInstance();
        }
        CTesselApp app;
        app.InitInstance();
        QVERIFY(!app.MainFrame()->MenuMapDock()->isVisible());
        QVERIFY(!app.MainFrame()->Action(ECommand::MenuMapView)->isChecked());
    }
};

TESSEL_APP_TEST_GROUP(CWalkMapTest, "walk_map");
#include "walk_map_test.moc"
