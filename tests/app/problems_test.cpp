// The "Problems" pane of the main window: the sample disc's findings listed
// after the open, a double-click showing a finding's button (or page) in the
// view and the tree, and the pane's place kept like the other panes'.
#include <QDockWidget>
#include <QMenuBar>
#include <QTest>

#include "app/main_frame.h"
#include "app/tessel_app.h"
#include "app_test_support.h"
#include "render/page_composer.h"
#include "ui/explorer_tree.h"
#include "ui/page_view.h"
#include "ui/problems_wnd.h"

namespace {

const tessel::CNamedObject* TreeNode(CMainFrame& frame) {
    return CFileView::ObjectOf(frame.Explorer()->Tree()->currentItem());
}

// The first row of the rule whose button is (not) given.
int RowOf(const CProblemsWnd& pane, const char* rule, bool withButton) {
    const auto& findings = pane.Findings();
    for (size_t i = 0; i < findings.size(); ++i)
        if (findings[i].rule == rule && (findings[i].place.button >= 0) == withButton)
            return static_cast<int>(i);
    return -1;
}

void DoubleClickRow(CProblemsWnd& pane, int row) {
    QTreeWidgetItem* item = pane.topLevelItem(row);
    pane.scrollToItem(item);
    const QRect r = pane.visualItemRect(item);
    // The press before lets the view take the second click as a double-click.
    QTest::mouseClick(pane.viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(pane.viewport(), Qt::LeftButton, {}, r.center());
}

}  // namespace

class CProblemsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { apptest::ClearSettings(); }

    void SampleFindingsAndDoubleClicks() {
        CTesselApp app;
        app.InitInstance();
        CMainFrame* frame = app.MainFrame();
        QVERIFY(frame->ProblemsDock()->isVisible());
        QCOMPARE(frame->ProblemsDock()->windowTitle(), QString("Problems"));
        QAction* toggle = frame->Action(ECommand::ProblemsView);
        QVERIFY(toggle->isChecked());
        QMenu* view = nullptr;
        for (QAction* a : frame->menuBar()->actions())
            if (a->text() == "&View") view = a->menu();
        QVERIFY(view && view->actions().contains(toggle));

        CProblemsWnd* pane = frame->Problems();
        QCOMPARE(pane->topLevelItemCount(), 0);
        QCOMPARE(frame->OpenFolder(apptest::SampleBdmv()), 0);
        const int rows = pane->topLevelItemCount();
        QCOMPARE(rows, static_cast<int>(pane->Findings().size()));
        QVERIFY(rows > 0);
        for (int i = 0; i < rows; ++i) QVERIFY(pane->topLevelItem(i)->text(0) != "error");

        // A background tile; nothing is shown yet.
        QVERIFY(!frame->PageView()->Page());
        const int tile = RowOf(*pane, "decoration", true);
        QVERIFY(tile >= 0);
        const tessel::SCheckFinding f = pane->Findings()[static_cast<size_t>(tile)];
        QVERIFY(
            pane->topLevelItem(tile)->text(2).contains(QString("Button %1").arg(f.place.button)));
        DoubleClickRow(*pane, tile);
        const tessel::CPage* page = frame->PageView()->Page();
        QVERIFY(page);
        QCOMPARE(page->id, f.place.page);
        QCOMPARE(page->parent, pane->CompositionOf(f));
        const auto* button = dynamic_cast<const tessel::CBdButton*>(TreeNode(*frame));
        QVERIFY(button);
        QCOMPARE(button->id, f.place.button);
        QCOMPARE(tessel::PageOfButton(*button), page);

        // A page nothing shows: the page itself.
        const int unreachable = RowOf(*pane, "unreachable-page", false);
        QVERIFY(unreachable >= 0);
        const tessel::SCheckFinding g = pane->Findings()[static_cast<size_t>(unreachable)];
        DoubleClickRow(*pane, unreachable);
        QCOMPARE(frame->PageView()->Page()->id, g.place.page);
        QCOMPARE(TreeNode(*frame), frame->PageView()->Page());

        // A new open lets the old findings go first.
        QCOMPARE(frame->OpenFolder(apptest::SampleBdmv()), 0);
        QCOMPARE(pane->topLevelItemCount(), rows);
    }

    void PaneKept() {
        {
            CTesselApp app;
            app.InitInstance();
            CMainFrame* frame = app.MainFrame();
            QCOMPARE(frame->dockWidgetArea(frame->ProblemsDock()), Qt::BottomDockWidgetArea);
            frame->Action(ECommand::ProblemsView)->trigger();
            QVERIFY(!frame->ProblemsDock()->isVisible());
            app.ExitInstance();
        }
        CTesselApp app;
        app.InitInstance();
        QVERIFY(!app.MainFrame()->ProblemsDock()->isVisible());
        QVERIFY(!app.MainFrame()->Action(ECommand::ProblemsView)->isChecked());
    }
};

TESSEL_APP_TEST_GROUP(CProblemsTest, "problems");
#include "problems_test.moc"
