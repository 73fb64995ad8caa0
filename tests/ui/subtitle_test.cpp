// A clip's PG streams in the explorer tree: one node per PID with its events
// by their times; an event selected shows its picture at its place on the
// frame in the page view and its facts in the properties pane.
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include "platform/files.h"
#include "subtitle/pg_stream.h"
#include "ui_test_support.h"

using namespace tessel;
using uitest::ChildLabels;

class SubtitleTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void treeListsEachPidWithItsEvents();
    void selectedEventShowsItsPictureAndFacts();

private:
    std::unique_ptr<uitest::SPanes> panes_;
    const CPgStreamObject* Stream(size_t i) const {
        return panes_->scanned.disc.clips[0]->pgStreams[i].get();
    }
};

void SubtitleTest::initTestCase() {
    const QString sup = QStringLiteral(TESSEL_CORPUS_DIR "/pg/libpgs-test.sup");
    if (!QFileInfo::exists(sup)) QSKIP("shared corpus not found (" TESSEL_CORPUS_DIR "); skipping");
    std::vector<uint8_t> marked;
    const CResult read = ReadWholeFile(sup.toStdString(), marked);
    QVERIFY2(read.Ok(), read.Text().c_str());
    tessel::authoring::SDiscOptions o = uitest::SPanes::Options();
    o.clips[0].pgStreams = {{0x1200, marked}, {0x1201, marked}};
    panes_ = std::make_unique<uitest::SPanes>(o);
    QVERIFY2(panes_->scanned.ok, panes_->scanned.error.c_str());
}

void SubtitleTest::cleanupTestCase() {
    panes_.reset();
}

void SubtitleTest::treeListsEachPidWithItsEvents() {
    QTreeWidgetItem* clip = panes_->tree.Tree()->topLevelItem(0)->child(0);
    QCOMPARE(ChildLabels(clip),
             (QStringList{"Page#1", "Page#2", "PG stream 0x1200", "PG stream 0x1201"}));
    const QRegularExpression times(QStringLiteral(
        "^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d \u2013 \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$"));
    for (int i = 0; i < 2; ++i) {
        QTreeWidgetItem* node = clip->child(2 + i);
        const CPgStreamObject* stream = Stream(static_cast<size_t>(i));
        QCOMPARE(CFileView::ObjectOf(node), stream);
        QCOMPARE(node->childCount(), stream->GetSize());
        QVERIFY(node->childCount() >= 2);
        for (int e = 0; e < node->childCount(); ++e) {
            const CPgEventObject* event = stream->GetAt(e);
            QCOMPARE(CFileView::ObjectOf(node->child(e)), event);
            QVERIFY2(times.match(node->child(e)->text(0)).hasMatch(),
                     qPrintable(node->child(e)->text(0)));
            QCOMPARE(node->child(e)->text(0),
                     QString::fromStdString(ClockTime(event->Event().startPts) + " \u2013 " +
                                            ClockTime(event->Event().endPts)));
            QVERIFY(!node->child(e)->icon(0).isNull());
        }
    }
    // The clock times of the first event, as the clip's time base moves them.
    const SPgEvent& first = Stream(0)->GetAt(0)->Event();
    QVERIFY(first.endPts > first.startPts);
    QCOMPARE(QString::fromStdString(ClockTime(90000ull * 3723 + 450)),
             QStringLiteral("01:02:03.005"));
}

void SubtitleTest::selectedEventShowsItsPictureAndFacts() {
    CTlPageView& view = panes_->view;
    view.SetZoomIndex(0);  // 100 %: one frame pixel per video pixel
    const CPgEventObject* event = Stream(1)->GetAt(1);
    const SPgEvent& e = event->Event();
    QTreeWidgetItem* node = panes_->tree.FindNode(event);
    QVERIFY(node);
    panes_->tree.Tree()->setCurrentItem(node);
    QVERIFY(view.Composer().ShowsPicture());
    QVERIFY(!view.Page());
    QCOMPARE(view.Composer().FrameWidth(), int(event->Video().width));
    QCOMPARE(view.Composer().FrameHeight(), int(event->Video().height));

    // The picture lies at its place on the frame; around it the background.
    const Bitmap& page = view.Composer().PageBitmap();
    int wrong = 0, opaque = 0, matched = 0;
    const QImage frame = view.FrameImage();
    const uint32_t bg = view.Composer().Background();
    for (int r = 0; r < e.picture.Height(); ++r)
        for (int c = 0; c < e.picture.Width(); ++c) {
            const uint32_t p = e.picture.GetPixel(c, r);
            wrong += page.GetPixel(e.x + c, e.y + r) != p;
            if (p >> 24 != 0xFF) continue;
            ++opaque;
            // Safe-area lines may cross the picture; all else is the picture.
            matched += frame.pixel(e.x + c, e.y + r) == p;
        }
    QCOMPARE(wrong, 0);
    QVERIFY(opaque > 0);
    QVERIFY2(matched * 10 >= opaque * 9, qPrintable(QString("%1 of %2").arg(matched).arg(opaque)));
    QVERIFY(e.x > 0 || e.y > 0);
    QCOMPARE(page.GetPixel(0, 0), 0u);
    QCOMPARE(frame.pixel(2, 2), bg);

    // The properties pane shows the event's facts.
    CPropertiesWnd& properties = panes_->properties;
    QCOMPARE(properties.Node(), event);
    QCOMPARE(properties.Value("Basic", "Name"), node->text(0));
    QCOMPARE(properties.Value("Basic", "Start PTS"),
             QString::fromStdString(ClockTime(e.startPts)) + QString(" (%1)").arg(e.startPts));
    QCOMPARE(properties.Value("Basic", "End PTS"),
             QString::fromStdString(ClockTime(e.endPts)) + QString(" (%1)").arg(e.endPts));
    QCOMPARE(properties.Value("Basic", "Size"),
             QString("%1 x %2").arg(e.picture.Width()).arg(e.picture.Height()));
    QCOMPARE(properties.Value("Basic", "Position"), QString("(%1, %2)").arg(e.x).arg(e.y));
    QVERIFY(properties.IsCheckRow("Basic", "Forced"));
    QCOMPARE(properties.Checked("Basic", "Forced"), e.forced);
    QCOMPARE(properties.Checked("Basic", "Palette Update"), e.paletteUpdate);
    QCOMPARE(properties.Checked("Basic", "End Given"), e.endGiven);
    QCOMPARE(properties.Value("Basic", "Display Set"), QString::number(e.displaySet));
    // The last event ends with the stream: its end is not given.
    panes_->tree.Tree()->setCurrentItem(
        panes_->tree.FindNode(Stream(1)->GetAt(Stream(1)->GetSize() - 1)));
    QCOMPARE(properties.Checked("Basic", "End Given"),
             Stream(1)->GetAt(Stream(1)->GetSize() - 1)->Event().endGiven);
    panes_->tree.Tree()->setCurrentItem(panes_->tree.FindNode(Stream(1)));
    QCOMPARE(properties.Value("Basic", "PID"), QStringLiteral("0x1201"));
    QCOMPARE(properties.Value("Basic", "Event(s)"), QString::number(Stream(1)->GetSize()));

    // A page shown afterwards replaces the picture.
    view.ShowPage(*panes_->Page(0));
    QVERIFY(!view.Composer().ShowsPicture());
    QCOMPARE(view.Page(), panes_->Page(0));
}

TESSEL_UI_TEST_GROUP(SubtitleTest, "subtitles");

#include "subtitle_test.moc"
