// The menu walked from the page view's keys: the selection moves as the
// menu player says, Enter runs the commands (a page change shows the other
// page, an activation shows for a moment), an exit ends the walk until
// Home; the tree follows. The map pane: every button has its node, and a
// click on a node names that button.
#include <QSignalSpy>
#include <QTest>

#include "model/ig_object.h"
#include "navcmd/navcmd.h"
#include "player/menu_map.h"
#include "player/menu_player.h"
#include "render/page_composer.h"
#include "ui/command_wnd.h"
#include "ui/explorer_tree.h"
#include "ui/menu_map_wnd.h"
#include "ui/page_view.h"
#include "ui/properties_wnd.h"
#include "ui_test_support.h"

using namespace tessel;

namespace {

// Commands as the stream stores them: operands big-endian after 4 bytes.
CNavCmd Cmd(uint8_t b0, uint8_t b1, uint8_t b3, uint32_t dst, uint32_t src) {
    CNavCmd c;
    c.bytes[0] = b0, c.bytes[1] = b1, c.bytes[3] = b3;
    for (int i = 0; i < 4; ++i) {
        c.bytes[4 + i] = static_cast<uint8_t>(dst >> (24 - 8 * i));
        c.bytes[8 + i] = static_cast<uint8_t>(src >> (24 - 8 * i));
    }
    return c;
}
CNavCmd SetButtonPage(int button, int page) {
    return Cmd(0x51, 0xC0, 3, 0x80000000u | static_cast<uint32_t>(button),
               0x80000000u | static_cast<uint32_t>(page));
}
CNavCmd SetGpr(int reg, uint32_t value) {
    return Cmd(0x50, 0x40, 1, static_cast<uint32_t>(reg), value);
}

// Two pages of two groups of two buttons; each group's first button is
// enabled, left and right cross the groups, up and down stay in a group
// (and so go nowhere). Every button jumps to title id + 1.
struct SWalk : uitest::SPanes {
    CBdButton* TreeButton() const {
        return dynamic_cast<CBdButton*>(CFileView::ObjectOf(tree.Tree()->currentItem()));
    }
};

}  // namespace

class WalkTest : public QObject {
    Q_OBJECT
private slots:
    void arrowKeysMoveTheSelectionAsThePlayerDoes();
    void enterRunsTheCommandsOfTheSelection();
    void anExitEndsTheWalkUntilHome();
    void clicksAndChosenStatesMeetTheWalk();
    void everyButtonHasANodeAndAClickNamesIt();
};

void WalkTest::arrowKeysMoveTheSelectionAsThePlayerDoes() {
    SWalk w;
    QVERIFY2(w.scanned.ok, w.scanned.error.c_str());
    w.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.view));
    w.view.ShowPage(*w.Page(0));
    QVERIFY(!w.view.Walking());
    QSignalSpy stepped(&w.view, &CTlPageView::walkStepped);

    CMenuPlayer reference(*w.Composition());
    reference.Start();
    const std::pair<Qt::Key, EMenuKey> keys[] = {
        {Qt::Key_Right, EMenuKey::Right}, {Qt::Key_Down, EMenuKey::Down},
        {Qt::Key_Right, EMenuKey::Right}, {Qt::Key_Left, EMenuKey::Left},
        {Qt::Key_Up, EMenuKey::Up},       {Qt::Key_Right, EMenuKey::Right}};
    for (const auto& [qtKey, key] : keys) {
        reference.Press(key);
        QTest::keyClick(&w.view, qtKey);
        QVERIFY(w.view.Walking());
        CBdButton* selected = w.view.Player()->Selected();
        QVERIFY(selected);
        QCOMPARE(selected->id, reference.SelectedId());
        QCOMPARE(w.view.Page(), w.Page(0));
        // Drawn as the player says: the selection Selected, the rest Normal;
        // marked and focused, with its node current in the tree.
        for (int g = 0; g < 2; ++g) {
            CBdButton* shown = w.Button(0, g, 0);
            QCOMPARE(w.view.ShownState(*shown), shown == selected ? 1 : 0);
        }
        QCOMPARE(selected->used, uint8_t{1});
        QCOMPARE(CountButtonMarks(*w.Page(0)), 1);
        QCOMPARE(w.TreeButton(), selected);
        QCOMPARE(stepped.last()[0].value<CBdButton*>(), selected);
        QVERIFY(w.view.WalkStatus().contains(QString("button %1 (id %2)")
                                                 .arg(QString::fromStdString(selected->name))
                                                 .arg(selected->id)));
    }
    QCOMPARE(reference.SelectedId(), 2);  // the walk went somewhere
    QCOMPARE(stepped.size(), 6);

    // Keys with Ctrl are the scroll area's.
    QTest::keyClick(&w.view, Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(w.view.Player()->SelectedId(), 2);
    QCOMPARE(stepped.size(), 6);
}

void WalkTest::enterRunsTheCommandsOfTheSelection() {
    SWalk w;
    QVERIFY2(w.scanned.ok, w.scanned.error.c_str());
    // Page 0's first button leads to page 1's button 2; page 1's button 2
    // only sets a register.
    w.Button(0, 0, 0)->commands.records = {SetButtonPage(2, 1)};
    w.Button(1, 1, 0)->commands.records = {SetGpr(3, 9)};
    w.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.view));
    w.view.ShowPage(*w.Page(0));
    QSignalSpy shown(&w.view, &CTlPageView::pageShown);
    QSignalSpy stepped(&w.view, &CTlPageView::walkStepped);

    QTest::keyClick(&w.view, Qt::Key_Return);
    QCOMPARE(w.view.Page(), w.Page(1));
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0][0].value<CPage*>(), w.Page(1));
    CBdButton* target = w.Button(1, 1, 0);
    QCOMPARE(w.view.Player()->Selected(), target);
    QCOMPARE(stepped.last()[0].value<CBdButton*>(), target);
    QCOMPARE(stepped.last()[1].value<CBdButton*>(), w.Button(0, 0, 0));
    QCOMPARE(w.view.ShownState(*target), 1);
    QCOMPARE(w.view.Composer().Focus(), (SButtonHit{1, 0}));
    QCOMPARE(w.TreeButton(), target);
    QVERIFY(w.view.WalkStatus().contains("page changed"));
    QVERIFY(w.view.WalkStatus().contains("SetButtonPage"));

    // An activation on the page shows Activated, then the player's state.
    const Bitmap selected = w.view.Composer().PageBitmap();
    QTest::keyClick(&w.view, Qt::Key_Enter);
    QCOMPARE(w.view.Page(), w.Page(1));
    QCOMPARE(shown.size(), 1);
    QCOMPARE(w.view.Player()->Register(false, 3), 9u);
    QCOMPARE(w.view.ShownState(*target), 2);
    const Bitmap activated = w.view.Composer().PageBitmap();
    QVERIFY(!std::equal(activated.Data(),
                        activated.Data() + activated.Stride() * activated.Height(),
                        selected.Data()));
    QTRY_COMPARE_WITH_TIMEOUT(w.view.ShownState(*target), 1, CTlPageView::kActivationFlashMs * 8);
    const Bitmap after = w.view.Composer().PageBitmap();
    QVERIFY(
        std::equal(after.Data(), after.Data() + after.Stride() * after.Height(), selected.Data()));
}

void WalkTest::anExitEndsTheWalkUntilHome() {
    SWalk w;
    QVERIFY2(w.scanned.ok, w.scanned.error.c_str());
    w.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.view));
    // A walk starts where the view is: page 1 with its second group's button.
    w.view.ShowButton(*w.Button(1, 1, 0));
    QTest::keyClick(&w.view, Qt::Key_Return);
    QVERIFY(w.view.Player()->Ended());
    QCOMPARE(w.view.WalkStatus(), QString("Left the menu for Title 3 (JumpTitle 3); Home starts "
                                          "it again"));
    QCOMPARE(w.view.ShownState(*w.Button(1, 1, 0)), 2);
    QTest::keyClick(&w.view, Qt::Key_Left);
    QCOMPARE(w.view.Player()->SelectedId(), 2);

    QSignalSpy status(&w.view, &CTlPageView::walkStatusChanged);
    QTest::keyClick(&w.view, Qt::Key_Home);
    QVERIFY(!w.view.Player()->Ended());
    QCOMPARE(w.view.Page(), w.Page(0));
    QCOMPARE(w.view.Player()->Selected(), w.Button(0, 0, 0));
    QCOMPARE(w.view.ShownState(*w.Button(0, 0, 0)), 1);
    QCOMPARE(status.size(), 1);
    QVERIFY(status[0][0].toString().startsWith("Page Page#1 (id 0), button Button#1 (id 0)"));
}

void WalkTest::clicksAndChosenStatesMeetTheWalk() {
    SWalk w;
    QVERIFY2(w.scanned.ok, w.scanned.error.c_str());
    w.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.view));
    w.view.ShowPage(*w.Page(0));
    QTest::keyClick(&w.view, Qt::Key_Up);
    QCOMPARE(w.view.Player()->SelectedId(), 0);
    // A click on the second group's drawn button: the walk goes on from it.
    const double zoom = w.view.Composer().Zoom();
    const CBdButton* second = w.Button(0, 1, 0);
    const QPoint at =
        w.view.FrameOrigin() + QPoint(qRound(second->x * zoom) + 3, qRound(second->y * zoom) + 3);
    QTest::mouseClick(w.view.viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(w.view.Player()->SelectedId(), 2);
    QCOMPARE(w.view.ShownState(*second), 1);
    QTest::keyClick(&w.view, Qt::Key_Left);
    QCOMPARE(w.view.Player()->SelectedId(), 0);
    // The tree's selection of a button the player cannot select (disabled)
    // leaves its selection.
    w.view.SelectFromTree(*w.Button(0, 1, 1));
    QCOMPARE(w.view.Player()->SelectedId(), 0);
    w.view.SelectFromTree(*w.Button(0, 1, 0));
    QCOMPARE(w.view.Player()->SelectedId(), 2);

    // A state chosen for every button ends the walk.
    w.view.SetState(2);
    QVERIFY(!w.view.Walking());
    QCOMPARE(w.view.ShownState(*second), 2);
    QVERIFY(w.view.WalkStatus().isEmpty());
    // So does a page of no walk.
    QTest::keyClick(&w.view, Qt::Key_Right);
    QVERIFY(w.view.Walking());
    w.view.SetPage(nullptr);
    QVERIFY(!w.view.Walking());
}

void WalkTest::everyButtonHasANodeAndAClickNamesIt() {
    SWalk w;
    QVERIFY2(w.scanned.ok, w.scanned.error.c_str());
    CMenuMapWnd map;
    map.resize(500, 400);
    map.show();
    QVERIFY(QTest::qWaitForWindowExposed(&map));
    map.ShowComposition(w.Composition());
    QVERIFY(map.WaitForMap(60000));
    if (!MapPicturesAvailable()) {
        QVERIFY(map.Message().contains("Graphviz"));
        QVERIFY(map.Image().isNull());
        return;
    }
    QVERIFY2(!map.Image().isNull(), qPrintable(map.Message()));
    QCOMPARE(map.Image().size(), QSize(map.Picture().width, map.Picture().height));
    for (int p = 0; p < 2; ++p)
        for (const CBdButton* b : w.Page(p)->AllButtons())
            QVERIFY(map.NodeCentre(p, b->id) != QPoint(-1, -1));
    QVERIFY(map.Message().contains("8 button(s)"));

    QSignalSpy chosen(&map, &CMenuMapWnd::buttonChosen);
    // Fitted into the pane, then at twice that zoom: the node under its
    // centre is the one clicked.
    map.SetFit(true);
    QVERIFY(map.Fit());
    QVERIFY(map.Canvas()->width() <= 500);
    for (double zoom : {map.Zoom(), map.Zoom() * 2}) {
        map.SetZoom(zoom);
        const QPoint centre = map.NodeCentre(1, 2);
        QTest::mouseClick(map.Canvas(), Qt::LeftButton, {}, centre);
        QCOMPARE(chosen.last()[0].value<const CIcData*>(), w.Composition());
        QCOMPARE(chosen.last()[1].toInt(), 1);
        QCOMPARE(chosen.last()[2].toInt(), 2);
    }
    QVERIFY(!map.Fit());
    // Beside every node: nothing.
    QTest::mouseClick(map.Canvas(), Qt::LeftButton, {}, QPoint(1, 1));
    QCOMPARE(chosen.size(), 2);
    // Letting the composition go forgets its map.
    map.ShowComposition(nullptr);
    QVERIFY(map.Image().isNull());
    QCOMPARE(map.NodeCentre(1, 2), QPoint(-1, -1));
}

TESSEL_UI_TEST_GROUP(WalkTest, "walk");

#include "walk_test.moc"
