// The panes together: a button selected in the tree marks and focuses it in
// the page view and lists its commands; a click in the view selects the node
// without feeding back; double-clicks show pages; right-click selects.
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include "model/ig_object.h"
#include "navcmd/navcmd.h"
#include "render/page_composer.h"
#include "ui/command_wnd.h"
#include "ui/explorer_tree.h"
#include "ui/page_view.h"
#include "ui/properties_wnd.h"
#include "ui_test_support.h"

using namespace tessel;

namespace {

// Two pages of two groups of two buttons (48 x 24 pictures); group k's
// buttons at x = 120 + 88 k, button j at y = 240 + 48 j.
struct SPanes : uitest::SPanes {
    void Select(const CNamedObject* object) {
        QTreeWidgetItem* node = tree.FindNode(object);
        QVERIFY(node);
        tree.Tree()->setCurrentItem(node);
    }
    void DoubleClick(const CNamedObject* object) {
        QTreeWidgetItem* node = tree.FindNode(object);
        QVERIFY(node);
        emit tree.Tree()->itemDoubleClicked(node, 0);
    }
    // A point inside the page rectangle (left, top) in viewport coordinates.
    QPoint ViewPoint(int left, int top) const {
        const double zoom = view.Composer().Zoom();
        return view.FrameOrigin() + QPoint(qRound(left * zoom) + 3, qRound(top * zoom) + 3);
    }
};

CNavCmd Command(uint8_t op, uint8_t value) {
    CNavCmd c;
    c.bytes[0] = op;
    c.bytes[1] = 0x81;
    c.bytes[7] = value;
    return c;
}

}  // namespace

class SelectionTest : public QObject {
    Q_OBJECT
private slots:
    void selectingAButtonMarksFocusesAndListsItsCommands();
    void selectingAButtonOfAnotherPageOnlyClearsItsMarks();
    void otherNodesShowTheirProperties();
    void aClickInTheViewSelectsTheNodeWithoutFeedback();
    void modifiedClicks();
    void doubleClicksShowPages();
    void rightClickSelects();
    void suppressedHandlingIgnoresChanges();
};

void SelectionTest::selectingAButtonMarksFocusesAndListsItsCommands() {
    SPanes panes;
    QVERIFY2(panes.scanned.ok, panes.scanned.error.c_str());
    panes.DoubleClick(panes.Page(0));
    QCOMPARE(panes.view.Page(), panes.Page(0));
    CBdButton* button = panes.Button(0, 1, 1);
    button->commands.records.clear();
    for (uint8_t i = 0; i < 7; ++i) button->commands.records.push_back(Command(0x21, i + 1));
    panes.Button(0, 0, 0)->used = 1;

    const Bitmap before = panes.view.Composer().PageBitmap();
    panes.Select(button);
    QCOMPARE(button->used, uint8_t{1});
    QCOMPARE(panes.Button(0, 0, 0)->used, uint8_t{0});
    QCOMPARE(panes.Page(0)->GetAt(1)->currentButton, button);
    QCOMPARE(panes.view.Composer().Focus(), (SButtonHit{1, 1}));
    // The group now shows the selected button: the page changed.
    const Bitmap after = panes.view.Composer().PageBitmap();
    QVERIFY(!after.IsEmpty());
    QVERIFY(
        std::vector<uint8_t>(before.Data(), before.Data() + before.Stride() * before.Height()) !=
        std::vector<uint8_t>(after.Data(), after.Data() + after.Stride() * after.Height()));
    QCOMPARE(panes.view.FrameImage(), QImage(panes.view.Composer().ViewPicture(true).Data(), 960,
                                             540, QImage::Format_ARGB32));

    const QStringList lines = panes.commands.Lines();
    QCOMPARE(lines.size(), 7);
    for (int i = 0; i < 7; ++i) {
        // Operation, destination and source: three groups of eight digits.
        QVERIFY(QRegularExpression(
                    QString::asprintf("^%04d:  [0-9A-F]{8} [0-9A-F]{8} [0-9A-F]{8}  \\(", i + 1))
                    .match(lines[i])
                    .hasMatch());
        QCOMPARE(lines[i],
                 QString::fromStdString(GroupedCommandLine(i + 1, button->commands.records[i])));
        std::string text;
        DecodeCommand(button->commands.records[i], text);
        QVERIFY(lines[i].endsWith(QString::fromStdString("  (" + text + ")")));
    }
    QCOMPARE(panes.properties.Node(), button);
    QCOMPARE(panes.properties.Value("Basic", "Name"), QString::fromStdString(button->name));

    // Another button: its commands replace the list.
    panes.Select(panes.Button(0, 0, 1));
    QCOMPARE(panes.commands.Lines().size(), 1);
    QCOMPARE(button->used, uint8_t{0});
    QCOMPARE(panes.view.Composer().Focus(), (SButtonHit{0, 1}));
}

void SelectionTest::selectingAButtonOfAnotherPageOnlyClearsItsMarks() {
    SPanes panes;
    QVERIFY2(panes.scanned.ok, panes.scanned.error.c_str());
    panes.DoubleClick(panes.Page(0));
    panes.Select(panes.Button(0, 0, 1));
    const SButtonHit focus = panes.view.Composer().Focus();
    panes.Button(1, 0, 0)->used = 1;
    panes.Button(1, 1, 1)->used = 1;
    panes.Select(panes.Button(1, 1, 0));
    QCOMPARE(panes.view.Page(), panes.Page(0));
    QCOMPARE(panes.view.Composer().Focus(), focus);
    QCOMPARE(CountButtonMarks(*panes.Page(1)), 0);
    QCOMPARE(panes.Button(0, 0, 1)->used, uint8_t{1});
    QCOMPARE(panes.commands.Lines().size(), 1);
    QCOMPARE(panes.properties.Node(), panes.Button(1, 1, 0));
}

void SelectionTest::otherNodesShowTheirProperties() {
    SPanes panes;
    QVERIFY2(panes.scanned.ok, panes.scanned.error.c_str());
    panes.Select(panes.Page(1));
    QCOMPARE(panes.properties.Node(), panes.Page(1));
    QCOMPARE(panes.properties.Value("Basic", "Name"), QStringLiteral("Page#2"));
    QCOMPARE(panes.view.Page(), panes.Page(1));  // a selected page is shown
    panes.Select(panes.Page(1)->GetAt(0));
    QCOMPARE(panes.properties.Value("Basic", "Button(s)"), QStringLiteral("2"));
    panes.Select(&panes.scanned.disc);
    QCOMPARE(panes.properties.Value("Basic", "IG M2ts(s)"), QStringLiteral("1"));
    // A new fill forgets the shown node.
    panes.tree.FillTree(&panes.scanned.disc);
    QCOMPARE(panes.properties.Node(), nullptr);
    QVERIFY(panes.properties.Rows().isEmpty());
}

void SelectionTest::aClickInTheViewSelectsTheNodeWithoutFeedback() {
    SPanes panes;
    QVERIFY2(panes.scanned.ok, panes.scanned.error.c_str());
    panes.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panes.view));
    panes.DoubleClick(panes.Page(0));
    panes.Select(panes.Page(0));
    QCOMPARE(panes.view.FrameOrigin(), QPoint(20, 80));
    QSignalSpy clicked(&panes.view, &CTlPageView::buttonClicked);

    // The second group's shown button (its default, the first).
    CBdButton* target = panes.Button(0, 1, 0);
    QTest::mouseClick(panes.view.viewport(), Qt::LeftButton, {}, panes.ViewPoint(208, 240));
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked[0][0].value<CBdButton*>(), target);
    QCOMPARE(panes.tree.Tree()->currentItem(), panes.tree.FindNode(target));
    QVERIFY(panes.tree.SelectionHandling());
    // No feedback: the tree's handling did not run.
    QCOMPARE(panes.properties.Node(), panes.Page(0));
    QVERIFY(panes.commands.Lines().isEmpty());
    QCOMPARE(target->used, uint8_t{1});
    QCOMPARE(panes.view.Composer().Focus(), (SButtonHit{1, 0}));

    // Outside every button: nothing happens.
    QTest::mouseClick(panes.view.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(panes.view.viewport(), Qt::LeftButton, {}, panes.ViewPoint(600, 600));
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(target->used, uint8_t{1});
    // The second button of a group is hidden behind its shown one.
    QTest::mouseClick(panes.view.viewport(), Qt::LeftButton, {}, panes.ViewPoint(120, 288));
    QCOMPARE(clicked.size(), 1);

    // The right button does not select.
    QTest::mouseClick(panes.view.viewport(), Qt::RightButton, {}, panes.ViewPoint(120, 240));
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(panes.Button(0, 0, 0)->used, uint8_t{0});
}

void SelectionTest::modifiedClicks() {
    SPanes panes;
    QVERIFY2(panes.scanned.ok, panes.scanned.error.c_str());
    panes.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panes.view));
    panes.DoubleClick(panes.Page(0));
    QSignalSpy clicked(&panes.view, &CTlPageView::buttonClicked);
    const QPoint first = panes.ViewPoint(120, 240), second = panes.ViewPoint(208, 240);
    QTest::mouseClick(panes.view.viewport(), Qt::LeftButton, {}, first);
    // Plain click on the only marked focused button: nothing more.
    QTest::mouseClick(panes.view.viewport(), Qt::LeftButton, {}, first);
    QCOMPARE(clicked.size(), 1);
    // Ctrl adds the second button and moves the focus to it.
    QTest::mouseClick(panes.view.viewport(), Qt::LeftButton, Qt::ControlModifier, second);
    QCOMPARE(clicked.size(), 2);
    QCOMPARE(CountButtonMarks(*panes.Page(0)), 2);
    QCOMPARE(panes.view.Composer().Focus(), (SButtonHit{1, 0}));
    // Shift wins over Ctrl: the marked focus button is unmarked, the focus
    // moves to the other marked one.
    QTest::mouseClick(panes.view.viewport(), Qt::LeftButton,
                      Qt::ShiftModifier | Qt::ControlModifier, second);
    QCOMPARE(clicked.size(), 3);
    QCOMPARE(panes.Button(0, 1, 0)->used, uint8_t{0});
    QCOMPARE(panes.view.Composer().Focus(), (SButtonHit{0, 0}));
    QCOMPARE(panes.tree.Tree()->currentItem(), panes.tree.FindNode(panes.Button(0, 1, 0)));
    // A plain click clears the others.
    QTest::mouseClick(panes.view.viewport(), Qt::LeftButton, {}, second);
    QCOMPARE(CountButtonMarks(*panes.Page(0)), 1);
    QCOMPARE(panes.Button(0, 1, 0)->used, uint8_t{1});
}

void SelectionTest::doubleClicksShowPages() {
    SPanes panes;
    QVERIFY2(panes.scanned.ok, panes.scanned.error.c_str());
    // A button of a page not shown: its page with the button marked and focused.
    panes.DoubleClick(panes.Button(1, 1, 1));
    QCOMPARE(panes.view.Page(), panes.Page(1));
    QCOMPARE(panes.view.Composer().Focus(), (SButtonHit{1, 1}));
    QCOMPARE(panes.Button(1, 1, 1)->used, uint8_t{1});
    QVERIFY(!panes.view.Composer().PageBitmap().IsEmpty());
    // A button or group of the shown page: nothing happens.
    panes.DoubleClick(panes.Button(1, 0, 0));
    panes.DoubleClick(panes.Page(1)->GetAt(0));
    QCOMPARE(panes.view.Composer().Focus(), (SButtonHit{1, 1}));
    QCOMPARE(panes.Button(1, 0, 0)->used, uint8_t{0});
    // The shown page itself recomposes with no focus and no marks.
    panes.DoubleClick(panes.Page(1));
    QCOMPARE(panes.view.Page(), panes.Page(1));
    QCOMPARE(panes.view.Composer().Focus(), (SButtonHit{-1, -1}));
    QCOMPARE(CountButtonMarks(*panes.Page(1)), 0);
    // A group of another page: that page, no focus.
    panes.Button(1, 0, 1)->used = 1;
    panes.DoubleClick(panes.Page(0)->GetAt(1));
    QCOMPARE(panes.view.Page(), panes.Page(0));
    QCOMPARE(panes.view.Composer().Focus(), (SButtonHit{-1, -1}));
    QCOMPARE(CountButtonMarks(*panes.Page(1)), 0);
    // Other kinds do nothing.
    panes.DoubleClick(&panes.scanned.disc);
    panes.DoubleClick(panes.scanned.disc.clips[0].get());
    QCOMPARE(panes.view.Page(), panes.Page(0));
}

void SelectionTest::rightClickSelects() {
    SPanes panes;
    QVERIFY2(panes.scanned.ok, panes.scanned.error.c_str());
    panes.tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panes.tree));
    QTreeWidgetItem* node = panes.tree.FindNode(panes.Page(0));
    panes.tree.Tree()->expandAll();
    const QRect rect = panes.tree.Tree()->visualItemRect(node);
    QVERIFY(rect.isValid());
    emit panes.tree.Tree()->customContextMenuRequested(rect.center());
    QCOMPARE(panes.tree.Tree()->currentItem(), node);
    QCOMPARE(panes.properties.Node(), panes.Page(0));
    // No menu opened.
    QVERIFY(!QApplication::activePopupWidget());
}

void SelectionTest::suppressedHandlingIgnoresChanges() {
    SPanes panes;
    QVERIFY2(panes.scanned.ok, panes.scanned.error.c_str());
    panes.tree.SetSelectionHandling(false);
    panes.Select(panes.Button(0, 0, 0));
    QCOMPARE(panes.properties.Node(), nullptr);
    QVERIFY(panes.commands.Lines().isEmpty());
    panes.tree.SetSelectionHandling(true);
    panes.tree.SelectNode(panes.Button(0, 1, 0));
    QCOMPARE(panes.tree.Tree()->currentItem(), panes.tree.FindNode(panes.Button(0, 1, 0)));
    QVERIFY(panes.tree.SelectionHandling());
    QCOMPARE(panes.properties.Node(), nullptr);
}

TESSEL_UI_TEST_GROUP(SelectionTest, "selection");

#include "selection_test.moc"
