// Shapes of the explorer tree: clips, IG objects, pages, groups and buttons,
// the one-object and one-display-set rules, and the display-set levels.
#include <QTest>

#include "codec/segment.h"
#include "model/display_set_runs.h"
#include "ui/explorer_tree.h"
#include "ui_test_support.h"

using namespace tessel;
using uitest::ChildLabels;

namespace {

// Every node's object pointer names the object whose label it shows.
void CheckPointers(const QTreeWidgetItem* item) {
    const CNamedObject* object = CFileView::ObjectOf(item);
    QVERIFY(object);
    // Streams are named as the command line names them.
    if (auto* ig = dynamic_cast<const CIgObject*>(object))
        QCOMPARE(item->text(0), QString::asprintf("PID 0x%04X", ig->id));
    else if (!dynamic_cast<const CTlM2tsObject*>(object) &&
             !dynamic_cast<const CDisplaySet*>(object))
        QCOMPARE(item->text(0), QString::fromStdString(object->name));
    for (int i = 0; i < item->childCount(); ++i) {
        const CNamedObject* child = CFileView::ObjectOf(item->child(i));
        QVERIFY(child);
        QVERIFY(!item->child(i)->icon(0).isNull());
        CheckPointers(item->child(i));
    }
}

}  // namespace

class TreeTest : public QObject {
    Q_OBJECT
private slots:
    void oneStreamShowsPagesUnderTheClip();
    void twoStreamsShowTwoIgObjectNodes();
    void twoEpochsShowNoPagesUnlessAllDisplaySetsAreShown();
    void identicalDisplaySetsShowAsOneNodeWithTheirCount();
    void findNodeAndImageStrip();
};

void TreeTest::oneStreamShowsPagesUnderTheClip() {
    authoring::SDiscOptions o;
    o.clips = {uitest::Clip(7, {0x1400}, uitest::SmallMenu(2, 2, 3))};
    uitest::CScannedDisc scanned(o);
    QVERIFY2(scanned.ok, scanned.error.c_str());
    CFileView view;
    view.FillTree(&scanned.disc);
    CViewTree* tree = view.Tree();
    QCOMPARE(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* discNode = tree->topLevelItem(0);
    QCOMPARE(discNode->text(0), QStringLiteral("Film"));
    QVERIFY(discNode->font(0).bold());
    QVERIFY(discNode->isExpanded());
    QCOMPARE(CFileView::ObjectOf(discNode), &scanned.disc);
    QCOMPARE(ChildLabels(discNode), QStringList{QStringLiteral("00007.m2ts")});
    QTreeWidgetItem* clipNode = discNode->child(0);
    QCOMPARE(ChildLabels(clipNode), (QStringList{"Page#1", "Page#2"}));
    QTreeWidgetItem* page = clipNode->child(1);
    QCOMPARE(page->childCount(), 2);
    QCOMPARE(page->child(1)->childCount(), 3);
    const CPage* model = scanned.disc.clips[0]->igObjects[0]->GetAt(0)->GetAt(0)->GetAt(1);
    QCOMPARE(CFileView::ObjectOf(page), model);
    QCOMPARE(CFileView::ObjectOf(page->child(1)->child(2)), model->GetAt(1)->GetAt(2));
    QCOMPARE(page->child(1)->child(2)->text(0),
             QString::fromStdString(model->GetAt(1)->GetAt(2)->name));
    CheckPointers(discNode);

    // A new fill replaces the tree; no disc leaves it empty.
    view.FillTree(&scanned.disc);
    QCOMPARE(tree->topLevelItemCount(), 1);
    view.FillTree(nullptr);
    QCOMPARE(tree->topLevelItemCount(), 0);
}

void TreeTest::twoStreamsShowTwoIgObjectNodes() {
    authoring::SDiscOptions o;
    o.clips = {uitest::Clip(1, {0x1400}, uitest::SmallMenu(1, 1, 1)),
               uitest::Clip(2, {0x1400, 0x1401}, uitest::SmallMenu(3, 1, 2))};
    uitest::CScannedDisc scanned(o);
    QVERIFY2(scanned.ok, scanned.error.c_str());
    CFileView view;
    view.FillTree(&scanned.disc);
    QTreeWidgetItem* discNode = view.Tree()->topLevelItem(0);
    QCOMPARE(ChildLabels(discNode), (QStringList{"00001.m2ts", "00002.m2ts"}));
    QCOMPARE(ChildLabels(discNode->child(0)), QStringList{"Page#1"});
    QTreeWidgetItem* clip = discNode->child(1);
    QCOMPARE(ChildLabels(clip), (QStringList{"PID 0x1400", "PID 0x1401"}));
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(CFileView::ObjectOf(clip->child(i)), scanned.disc.clips[1]->igObjects[i].get());
        QCOMPARE(ChildLabels(clip->child(i)), (QStringList{"Page#1", "Page#2", "Page#3"}));
    }
    CheckPointers(discNode);
}

void TreeTest::twoEpochsShowNoPagesUnlessAllDisplaySetsAreShown() {
    authoring::SDiscOptions o;
    auto menu = uitest::SmallMenu(2, 1, 1);
    menu.epochs = 2;
    o.clips = {uitest::Clip(1, {0x1400}, menu), uitest::Clip(2, {0x1400, 0x1401}, menu)};
    uitest::CScannedDisc scanned(o);
    QVERIFY2(scanned.ok, scanned.error.c_str());
    QCOMPARE(scanned.disc.clips[0]->igObjects[0]->GetSize(), 2);
    CFileView view;
    QVERIFY(!view.ShowAllDisplaySets());
    view.FillTree(&scanned.disc);
    QTreeWidgetItem* discNode = view.Tree()->topLevelItem(0);
    QCOMPARE(discNode->child(0)->childCount(), 0);
    QCOMPARE(ChildLabels(discNode->child(1)), (QStringList{"PID 0x1400", "PID 0x1401"}));
    QCOMPARE(discNode->child(1)->child(0)->childCount(), 0);

    view.SetShowAllDisplaySets(true);
    discNode = view.Tree()->topLevelItem(0);
    QTreeWidgetItem* clip = discNode->child(0);
    QCOMPARE(ChildLabels(clip), (QStringList{"Epoch#1", "Epoch#2"}));
    for (int e = 0; e < 2; ++e) {
        QTreeWidgetItem* epoch = clip->child(e);
        const CEpoch* model = scanned.disc.clips[0]->igObjects[0]->GetAt(e);
        QCOMPARE(CFileView::ObjectOf(epoch), model);
        QCOMPARE(ChildLabels(epoch), QStringList{QString::fromStdString(model->GetAt(0)->name)});
        QCOMPARE(CFileView::ObjectOf(epoch->child(0)), model->GetAt(0));
        QCOMPARE(ChildLabels(epoch->child(0)), (QStringList{"Page#1", "Page#2"}));
    }
    QCOMPARE(ChildLabels(discNode->child(1)->child(1)), (QStringList{"Epoch#1", "Epoch#2"}));
    CheckPointers(discNode);

    view.SetShowAllDisplaySets(false);
    QCOMPARE(view.Tree()->topLevelItem(0)->child(0)->childCount(), 0);
}

void TreeTest::identicalDisplaySetsShowAsOneNodeWithTheirCount() {
    // One epoch whose menu repeats at acquisition points: four identical
    // display sets, then two of a changed menu, then the first menu again.
    QTemporaryDir dir;
    CIgObject authored;
    const CResult made =
        authoring::AuthorMenu(uitest::SmallMenu(1, 1, 2), dir.path().toStdString(), authored);
    QVERIFY2(made.Ok(), made.Message().c_str());
    uitest::StripBackgrounds(authored);
    CEpoch& epoch = *authored.GetAt(0);
    auto repeat = [&](const CDisplaySet& from, int frame) {
        CDisplaySet* ds = AddDisplaySet(epoch);
        const std::string name = ds->name;
        ds->CopyFrom(from);
        ds->name = name;
        ds->parent = &epoch;
        ds->compositionState = kStateAcquisitionPoint;
        ds->frameNumber = frame;
        return ds;
    };
    const CDisplaySet& first = *epoch.GetAt(0);
    for (int i = 1; i < 4; ++i) repeat(first, i * 48);
    CDisplaySet* changed = repeat(first, 4 * 48);
    changed->GetAt(0)->GetAt(0)->GetAt(1)->x += 8;
    repeat(*changed, 5 * 48);
    repeat(first, 6 * 48);
    QVERIFY(epoch.ResolveRefs());

    // Through a stream and back, as a scan sees it.
    std::vector<uint8_t> marked;
    const CResult written = authoring::MenuStream(authored, marked);
    QVERIFY2(written.Ok(), written.Message().c_str());
    CMemorySource source(marked);
    CGsData data;
    QVERIFY(data.Read(source, false));
    auto ig = std::make_unique<CIgObject>();
    ig->name = "5120";
    ig->BuildFromStream(data);
    QCOMPARE(ig->GetSize(), 1);
    QCOMPARE(ig->GetAt(0)->GetSize(), 7);
    // Different time stamps and states, the same menu.
    QVERIFY(SameDisplaySet(*ig->GetAt(0)->GetAt(0), *ig->GetAt(0)->GetAt(3)));
    QVERIFY(!SameDisplaySet(*ig->GetAt(0)->GetAt(3), *ig->GetAt(0)->GetAt(4)));

    CTlDisc disc;
    disc.name = "Menus";
    auto clip = std::make_unique<CTlM2tsObject>();
    clip->id = 1;
    CIgObject* igPtr = ig.get();
    clip->igObjects.push_back(std::move(ig));
    disc.clips.push_back(std::move(clip));

    CFileView view;
    view.FillTree(&disc);
    QCOMPARE(view.Tree()->topLevelItem(0)->child(0)->childCount(), 0);
    view.SetShowAllDisplaySets(true);
    QTreeWidgetItem* epochNode = view.Tree()->topLevelItem(0)->child(0)->child(0);
    QCOMPARE(ChildLabels(epochNode),
             (QStringList{"DisplaySet#1 (x4)", "DisplaySet#5 (x2)", "DisplaySet#7"}));
    QCOMPARE(CFileView::ObjectOf(epochNode->child(1)), igPtr->GetAt(0)->GetAt(4));
    QCOMPARE(ChildLabels(epochNode->child(1)), QStringList{"Page#1"});
    // The node's pages are those of the first display set of the run.
    QCOMPARE(CFileView::ObjectOf(epochNode->child(1)->child(0)),
             igPtr->GetAt(0)->GetAt(4)->GetAt(0));
    CheckPointers(view.Tree()->topLevelItem(0));
}

void TreeTest::findNodeAndImageStrip() {
    authoring::SDiscOptions o;
    o.clips = {uitest::Clip(3, {0x1400})};
    uitest::CScannedDisc scanned(o);
    QVERIFY2(scanned.ok, scanned.error.c_str());
    CFileView view;
    view.FillTree(&scanned.disc);
    const CPage* page = scanned.disc.clips[0]->igObjects[0]->GetAt(0)->GetAt(0)->GetAt(1);
    const CBdButton* button = page->GetAt(1)->GetAt(0);
    QTreeWidgetItem* node = view.FindNode(button);
    QVERIFY(node);
    QCOMPARE(CFileView::ObjectOf(node), button);
    QCOMPARE(node->parent()->parent(), view.FindNode(page));
    QVERIFY(!view.FindNode(nullptr));
    CTlDisc other;
    QVERIFY(!view.FindNode(&other));

    const QPixmap strip = CFileView::ImageStrip();
    QCOMPARE(strip.size(), QSize(96, 16));
    // Six different pictures, each with something drawn and a clear corner.
    const QImage image = strip.toImage();
    QList<QImage> cells;
    for (int i = 0; i < 6; ++i) {
        const QImage cell = image.copy(i * 16, 0, 16, 16);
        int drawn = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) drawn += qAlpha(cell.pixel(x, y)) > 0;
        QVERIFY2(drawn > 30, qPrintable(QString::number(i)));
        for (const QImage& earlier : cells) QVERIFY(earlier != cell);
        cells << cell;
    }
}

TESSEL_UI_TEST_GROUP(TreeTest, "tree");

#include "tree_test.moc"
