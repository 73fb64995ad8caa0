// The properties pane: every row of each node class on the sample disc, the
// rows that come and go, and the texts of sizes, time codes and ids.
#include <QFileInfo>
#include <QHeaderView>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>

#include "database/clpi.h"
#include "model/ig_object.h"
#include "ui/properties_wnd.h"
#include "ui/property_text.h"
#include "ui_test_support.h"

using namespace tessel;

class PropertiesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void sizeText_data();
    void sizeText();
    void timeCode_data();
    void timeCode();
    void shownIds();

    void discRows();
    void clipRows();
    void igObjectRows();
    void pageRows();
    void bogRows();
    void buttonRows();
    void rowsThatComeAndGo();
    void otherClassesAndNothingShowNoRows();
    void checkBoxesAreReadOnly();
    void epochAndDisplaySetRows();
    void labelsAreNotCut();

private:
    uitest::CScannedDisc* sample_ = nullptr;
    CPropertiesWnd* pane_ = nullptr;
    CTlM2tsObject* Clip(int n) { return uitest::FindClip(sample_->disc, n); }
    CPage* Page(int clip, int ig, int page) {
        return Clip(clip)->igObjects[static_cast<size_t>(ig)]->GetAt(0)->GetAt(0)->GetAt(page);
    }
};

void PropertiesTest::initTestCase() {
    sample_ = new uitest::CScannedDisc;
    QVERIFY2(sample_->ok, sample_->error.c_str());
    pane_ = new CPropertiesWnd;
    QCOMPARE(pane_->List()->columnCount(), 2);
    QCOMPARE(pane_->List()->headerItem()->text(0), QStringLiteral("Property"));
    QCOMPARE(pane_->List()->headerItem()->text(1), QStringLiteral("Value"));
}

void PropertiesTest::cleanupTestCase() {
    delete pane_;
    delete sample_;
}

void PropertiesTest::sizeText_data() {
    QTest::addColumn<qulonglong>("packets");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << 0ull << "0 K";
    QTest::newRow("five packets round down") << 5ull << "0 K";
    QTest::newRow("six packets") << 6ull << "1 K";
    QTest::newRow("one million") << 1000000ull << "187500 K";
    QTest::newRow("thirty million, about 5.4 GiB") << 30000000ull << "5625000 K";
    QTest::newRow("largest 32-bit count") << 0xFFFFFFFFull << "805306367 K";
}

void PropertiesTest::sizeText() {
    QFETCH(qulonglong, packets);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(ui::SizeText(packets)), text);
}

void PropertiesTest::timeCode_data() {
    QTest::addColumn<uint>("ticks45k");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0u << 1 << "00:00:00:00";
    QTest::newRow("65.48 s at 25") << 65480u * 45 << 3 << "00:01:05:12";
    QTest::newRow("half a frame rounds up") << 65500u * 45 << 3 << "00:01:05:13";
    QTest::newRow("milliseconds round down") << 65480u * 45 + 44 << 3 << "00:01:05:12";
    QTest::newRow("999 ms at 24 carries") << 999u * 45 << 2 << "00:00:01:00";
    QTest::newRow("999 ms at 23.976 carries") << 999u * 45 << 1 << "00:00:01:00";
    QTest::newRow("979 ms at 23.976") << 979u * 45 << 1 << "00:00:00:23";
    QTest::newRow("500 ms at 29.97") << 500u * 45 << 4 << "00:00:00:15";
    QTest::newRow("500 ms at 59.94") << 500u * 45 << 7 << "00:00:00:30";
    QTest::newRow("500 ms at 50") << 500u * 45 << 6 << "00:00:00:25";
    QTest::newRow("code 5 has no frames") << 500u * 45 << 5 << "00:00:00:00";
    QTest::newRow("code 0 has no frames") << 500u * 45 << 0 << "00:00:00:00";
    QTest::newRow("code 9 has no frames") << 500u * 45 << 9 << "00:00:00:00";
    QTest::newRow("hours") << (3u * 3600 + 25 * 60 + 7) * 45000 << 3 << "03:25:07:00";
    QTest::newRow("largest time") << 0xFFFFFFFFu << 3 << "26:30:43:18";
}

void PropertiesTest::timeCode() {
    QFETCH(uint, ticks45k);
    QFETCH(int, rate);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(ui::TimeCodeText(ticks45k, rate)), text);
}

void PropertiesTest::shownIds() {
    QCOMPARE(ui::ShownObjectId(0xFFFF), -1);
    QCOMPARE(ui::ShownObjectId(0xFFFE), 0xFFFE);
    QCOMPARE(ui::ShownObjectId(5), 5);
    QCOMPARE(ui::ShownSoundId(255), -1);
    QCOMPARE(ui::ShownSoundId(254), 254);
    QCOMPARE(ui::ShownSoundId(0), 0);
}

void PropertiesTest::discRows() {
    pane_->ShowNode(&sample_->disc);
    QCOMPARE(pane_->Rows(), (QStringList{"Basic/Name=demo", "Basic/IG M2ts(s)=2"}));
    QCOMPARE(pane_->Groups(), QStringList{"Basic"});
}

void PropertiesTest::clipRows() {
    for (int n : {1, 2}) {
        CTlM2tsObject* clip = Clip(n);
        QVERIFY(clip);
        const CClpiObject& info = *clip->clipInfo;
        QCOMPARE(info.sequenceInfo.stcSequences.size(), size_t{1});
        const SStcSequence& stc = info.sequenceInfo.stcSequences[0];
        // Every source packet is 192 bytes of the stream file.
        const qint64 bytes =
            QFileInfo(QStringLiteral(TESSEL_SOURCE_DIR "/samples/demo/BDMV/STREAM/%1.m2ts")
                          .arg(n, 5, 10, QChar('0')))
                .size();
        QCOMPARE(qint64{info.clipInfo.numberOfSourcePackets} * 192, bytes);
        QStringList expected{QString::asprintf("Basic/Name=%05d", n)};
        if (n == 2) expected << "Basic/PID(s)=2";
        expected << QString::asprintf("Basic/Size=%lld K", bytes / 1024)
                 << QString::asprintf("Basic/Application Type=%d", n == 1 ? 1 : 5)
                 << "Basic/Recording Rate=48000000 bit/s"
                 << "Basic/Start PTS=" + QString::fromStdString(ui::TimeCodeText(stc.startPts, 1))
                 << "Basic/End PTS=" + QString::fromStdString(ui::TimeCodeText(stc.endPts, 1))
                 << QString::asprintf("Basic/Track(s)=%d", n);
        if (n == 1) {
            // The one stream has no node of its own: its rows are the clip's.
            const CIgObject& ig = *clip->igObjects[0];
            const CEpoch& epoch = *ig.GetAt(0);
            expected << "IG Stream/PID=0x1400"
                     << "IG Stream/Epoch(s)=1"
                     << "IG Stream/Video Mode=1920x1080 23.976"
                     << QString::asprintf("IG Stream/Page(s)=%d", epoch.GetAt(0)->GetSize())
                     << QString::asprintf("IG Stream/Graphic(s)=%zu", epoch.graphics.items.size())
                     << QString::asprintf("IG Stream/Palette(s)=%zu", epoch.palettes.items.size())
                     << QString("IG Stream/User Interface=") +
                            (epoch.GetAt(0)->uiModel ? "Pop-up" : "Always-on");
        }
        pane_->ShowNode(clip);
        QCOMPARE(pane_->Rows(), expected);
        // Hours, minutes, seconds and frames; the clip ends ten seconds
        // after its last menu.
        const QRegularExpression timeCode(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d$"));
        QVERIFY(timeCode.match(pane_->Value("Basic", "Start PTS")).hasMatch());
        QVERIFY(timeCode.match(pane_->Value("Basic", "End PTS")).hasMatch());
        QVERIFY(pane_->Value("Basic", "End PTS") > pane_->Value("Basic", "Start PTS"));
    }
}

namespace {

QString Name(const CNamedObject* node) {
    return node ? QString::fromStdString(node->name) : QString();
}

template <class T>
QString RefName(const CRef<T>& ref) {
    return Name(ref.ptr);
}

int Shown(int32_t id, int32_t none) {
    return id == none ? -1 : id;
}

}  // namespace

void PropertiesTest::igObjectRows() {
    for (int n : {1, 2})
        for (const auto& ig : Clip(n)->igObjects) {
            const CEpoch& epoch = *ig->GetAt(0);
            QCOMPARE(ig->GetSize(), 1);
            QCOMPARE(epoch.GetSize(), 1);
            pane_->ShowNode(ig.get());
            QCOMPARE(
                pane_->Rows(),
                (QStringList{
                    "Basic/Name=" + Name(ig.get()), QString::asprintf("Basic/PID=0x%04X", ig->id),
                    "Basic/Epoch(s)=1", "Advanced/Video Mode=1920x1080 23.976",
                    QString::asprintf("Advanced/Page(s)=%d", epoch.GetAt(0)->GetSize()),
                    QString::asprintf("Advanced/Graphic(s)=%zu", epoch.graphics.items.size()),
                    QString::asprintf("Advanced/Palette(s)=%zu", epoch.palettes.items.size()),
                    QString("Advanced/User Interface=") +
                        (epoch.GetAt(0)->uiModel ? "Pop-up" : "Always-on")}));
            QCOMPARE(pane_->Groups(), (QStringList{"Basic", "Advanced"}));
        }
    pane_->ShowNode(Clip(1)->igObjects[0].get());
    QCOMPARE(pane_->Value("Basic", "Name"), QStringLiteral("5120"));
    QCOMPARE(pane_->Value("Advanced", "Page(s)"), QStringLiteral("3"));
    QVERIFY(pane_->Value("Advanced", "Graphic(s)").toInt() >= 36);
    QCOMPARE(pane_->Value("Advanced", "Palette(s)"), QStringLiteral("1"));
    pane_->ShowNode(Clip(2)->igObjects[1].get());
    QCOMPARE(pane_->Value("Basic", "Name"), QStringLiteral("5121"));
    QCOMPARE(pane_->Value("Advanced", "Page(s)"), QStringLiteral("2"));
}

void PropertiesTest::pageRows() {
    for (int n : {1, 2})
        for (size_t ig = 0; ig < Clip(n)->igObjects.size(); ++ig)
            for (const auto& page : Clip(n)->igObjects[ig]->GetAt(0)->GetAt(0)->items) {
                int buttons = 0;
                for (const auto& bog : page->items) buttons += bog->GetSize();
                pane_->ShowNode(page.get());
                QCOMPARE(pane_->Rows(),
                         (QStringList{
                             "Basic/Name=" + Name(page.get()),
                             QString::asprintf("Basic/Version=%d", page->version),
                             QString::asprintf("Basic/Palette ID=%d", page->palette.ptr->id),
                             "Basic/Default Selected=" + RefName(page->defaultSelected),
                             "Basic/Default Activated=" + RefName(page->defaultActivated),
                             "Basic/UO Mask=0x0000000000000000",
                             QString::asprintf("Basic/Bog(s)=%d", page->GetSize()),
                             QString::asprintf("Basic/Button(s)=%d", buttons),
                             QString::asprintf("Basic/In Effect(s)=%d", page->inEffects.GetSize()),
                             "Basic/Out Effect(s)=0",
                             QString::asprintf("Basic/Animation FrameRate Code=%d",
                                               page->frameRateCode)}));
            }
    // The movie menu's second page: two groups of two buttons, as generated.
    CPage* page = Page(1, 0, 1);
    pane_->ShowNode(page);
    QCOMPARE(pane_->Value("Basic", "Name"), QStringLiteral("Page#2"));
    QCOMPARE(pane_->Value("Basic", "Palette ID"), QStringLiteral("0"));
    QCOMPARE(pane_->Value("Basic", "Default Selected"), QStringLiteral("Button#1"));
    QCOMPARE(pane_->Value("Basic", "Default Activated"), QString());
    QVERIFY(pane_->Value("Basic", "Button(s)").toInt() >= 4);
    // The mask bytes in stored order, lower-case hex.
    const uint8_t mask[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    std::copy(mask, mask + 8, page->uoMask);
    page->version = 3;
    page->frameRateCode = 2;
    page->inEffects.AddNewEffect();
    page->outEffects.AddNewEffect();
    page->outEffects.AddNewEffect();
    pane_->ShowNode(page);
    QCOMPARE(pane_->Value("Basic", "UO Mask"), QStringLiteral("0x0123456789abcdef"));
    QCOMPARE(pane_->Value("Basic", "Version"), QStringLiteral("3"));
    QCOMPARE(pane_->Value("Basic", "Animation FrameRate Code"), QStringLiteral("2"));
    QCOMPARE(pane_->Value("Basic", "In Effect(s)"), QStringLiteral("1"));
    QCOMPARE(pane_->Value("Basic", "Out Effect(s)"), QStringLiteral("2"));
    std::fill(page->uoMask, page->uoMask + 8, 0);
    page->version = 0;
    page->frameRateCode = 0;
    page->inEffects.Clear();
    page->outEffects.Clear();
}

void PropertiesTest::bogRows() {
    for (int n : {1, 2})
        for (const auto& ig : Clip(n)->igObjects)
            for (const auto& page : ig->GetAt(0)->GetAt(0)->items)
                for (const auto& bog : page->items) {
                    pane_->ShowNode(bog.get());
                    QCOMPARE(
                        pane_->Rows(),
                        (QStringList{"Basic/Name=" + Name(bog.get()),
                                     "Basic/Default=" + RefName(bog->defaultValid),
                                     QString::asprintf("Basic/Button(s)=%d", bog->GetSize())}));
                    QVERIFY(bog->defaultValid.ptr);
                }
}

void PropertiesTest::buttonRows() {
    int checked = 0;
    for (int n : {1, 2})
        for (const auto& ig : Clip(n)->igObjects)
            for (const auto& page : ig->GetAt(0)->GetAt(0)->items)
                for (CBdButton* b : page->AllButtons()) {
                    const int w = b->SizeObject() ? b->SizeObject()->width : 0;
                    const int h = b->SizeObject() ? b->SizeObject()->height : 0;
                    QStringList expected{
                        "Basic/Name=" + Name(b),
                        QString::asprintf("Basic/ID=%d", b->id),
                        QStringLiteral("Basic/AutoAction=%1").arg(b->autoAction ? "true" : "false"),
                        QString::asprintf("Basic/Rect=(%d, %d), (%d, %d)", b->x, b->y, b->x + w,
                                          b->y + h),
                        QString::asprintf("Basic/Commands=%zu", b->commands.records.size()),
                        "Neighbor/Up=" + RefName(b->neighbors.upper),
                        "Neighbor/Down=" + RefName(b->neighbors.lower),
                        "Neighbor/Left=" + RefName(b->neighbors.left),
                        "Neighbor/Right=" + RefName(b->neighbors.right)};
                    const char* names[3] = {"Normal", "Selected", "Activated"};
                    for (int s = 0; s < 3; ++s) {
                        const CButtonStateInfo& st = b->states[s];
                        const int start = st.start.ptr ? st.start.ptr->id : st.start.id;
                        const int end = st.end.ptr ? st.end.ptr->id : st.end.id;
                        expected << QString::asprintf("%s/Graphics=(%d, %d)", names[s],
                                                      Shown(start, 0xFFFF), Shown(end, 0xFFFF));
                        if (s < 2)
                            expected << QStringLiteral("%1/Repeat=%2")
                                            .arg(names[s], st.repeat ? "true" : "false")
                                     << QStringLiteral("%1/Complete=%2")
                                            .arg(names[s], st.complete ? "true" : "false");
                        if (s > 0)
                            expected << QString::asprintf("%s/Sound=%d", names[s],
                                                          Shown(st.soundId, 255));
                    }
                    pane_->ShowNode(b);
                    QCOMPARE(pane_->Rows(), expected);
                    ++checked;
                }
    QVERIFY(checked >= 3 * 4 + 2 * 2 * 3);

    // Movie menu: four groups of one button in a row, each picture its
    // 200 x 80 patch of the page's background with the button in its middle,
    // group k at x = 120 + 240 k, three objects per button in authoring order.
    CBdButton* button = nullptr;
    for (CBdButton* b : Page(1, 0, 0)->AllButtons())
        if (b->name == "Button#2") button = b;
    QVERIFY(button);
    pane_->ShowNode(button);
    QCOMPARE(pane_->Groups(),
             (QStringList{"Basic", "Neighbor", "Normal", "Selected", "Activated"}));
    QCOMPARE(pane_->Value("Basic", "ID"), QStringLiteral("1"));
    QCOMPARE(pane_->Value("Basic", "Rect"), QStringLiteral("(360, 228), (560, 308)"));
    QCOMPARE(pane_->Value("Basic", "Commands"), QStringLiteral("1"));
    QCOMPARE(pane_->Value("Neighbor", "Up"), QStringLiteral("Button#2"));
    QCOMPARE(pane_->Value("Neighbor", "Down"), QStringLiteral("Button#2"));
    QCOMPARE(pane_->Value("Neighbor", "Left"), QStringLiteral("Button#1"));
    QCOMPARE(pane_->Value("Neighbor", "Right"), QStringLiteral("Button#3"));
    QCOMPARE(pane_->Value("Selected", "Sound"), QStringLiteral("-1"));
    QCOMPARE(pane_->Value("Basic", "AutoAction"), QStringLiteral("false"));
    QVERIFY(pane_->IsCheckRow("Basic", "AutoAction"));
    QVERIFY(pane_->IsCheckRow("Normal", "Repeat"));
    QVERIFY(pane_->IsCheckRow("Selected", "Repeat"));
    QVERIFY(!pane_->IsCheckRow("Basic", "ID"));
}

void PropertiesTest::rowsThatComeAndGo() {
    // A clip whose information has no STC sequence: no Start or End PTS.
    CTlM2tsObject* clip = Clip(1);
    auto saved = clip->clipInfo->sequenceInfo.stcSequences;
    const uint32_t packets = clip->clipInfo->clipInfo.numberOfSourcePackets;
    clip->clipInfo->sequenceInfo.stcSequences.clear();
    clip->clipInfo->clipInfo.numberOfSourcePackets = 30000000;
    pane_->ShowNode(clip);
    QCOMPARE(pane_->Rows().mid(0, 5),
             (QStringList{"Basic/Name=00001", "Basic/Size=5625000 K", "Basic/Application Type=1",
                          "Basic/Recording Rate=48000000 bit/s", "Basic/Track(s)=1"}));
    QCOMPARE(pane_->Groups(), (QStringList{"Basic", "IG Stream"}));
    clip->clipInfo->clipInfo.numberOfSourcePackets = 1000000;
    pane_->ShowNode(clip);
    QCOMPARE(pane_->Value("Basic", "Size"), QStringLiteral("187500 K"));
    clip->clipInfo->sequenceInfo.stcSequences = saved;
    clip->clipInfo->clipInfo.numberOfSourcePackets = packets;

    // A state without end object; sound ids and flags as shown.
    CBdButton* button = Page(1, 0, 2)->AllButtons().back();
    const CButtonStateInfo normal = button->states[0], selected = button->states[1];
    button->states[0].start.ptr = nullptr;
    button->states[0].start.id = 5;
    button->states[0].end.ptr = nullptr;
    button->states[0].end.id = 0xFFFF;
    button->states[0].repeat = true;
    button->states[1].complete = true;
    button->states[1].soundId = 7;
    button->autoAction = true;
    pane_->ShowNode(button);
    QCOMPARE(pane_->Value("Normal", "Graphics"), QStringLiteral("(5, -1)"));
    QCOMPARE(pane_->Value("Normal", "Repeat"), QStringLiteral("true"));
    QCOMPARE(pane_->Value("Selected", "Complete"), QStringLiteral("true"));
    QCOMPARE(pane_->Value("Normal", "Complete"), QStringLiteral("false"));
    QCOMPARE(pane_->Value("Selected", "Sound"), QStringLiteral("7"));
    QCOMPARE(pane_->Value("Basic", "AutoAction"), QStringLiteral("true"));
    QVERIFY(pane_->Checked("Basic", "AutoAction"));
    QVERIFY(pane_->Value("Normal", "Sound").isEmpty());
    QVERIFY(pane_->Value("Activated", "Repeat").isEmpty());
    button->states[0] = normal;
    button->states[1] = selected;
    button->autoAction = false;

    // An IG object of two epochs, or of two display sets, has no advanced group.
    CIgObject ig;
    ig.name = "5122";
    ig.AddNewEpoch();
    ig.AddNewEpoch();
    ig.id = 5122;
    pane_->ShowNode(&ig);
    QCOMPARE(pane_->Rows(),
             (QStringList{"Basic/Name=5122", "Basic/PID=0x1402", "Basic/Epoch(s)=2"}));
    CIgObject one;
    one.name = "5123";
    one.video = {720, 480, 9, 0};
    CEpoch* epoch = one.AddNewEpoch();
    AddDisplaySet(*epoch);
    pane_->ShowNode(&one);
    QCOMPARE(pane_->Value("Advanced", "Video Mode"), QStringLiteral("720x480"));
    QCOMPARE(pane_->Value("Advanced", "Page(s)"), QStringLiteral("0"));
    AddDisplaySet(*epoch);
    one.id = 5123;
    pane_->ShowNode(&one);
    QCOMPARE(pane_->Rows(),
             (QStringList{"Basic/Name=5123", "Basic/PID=0x1403", "Basic/Epoch(s)=1"}));
}

void PropertiesTest::otherClassesAndNothingShowNoRows() {
    pane_->ShowNode(Page(1, 0, 0));
    QVERIFY(!pane_->Rows().isEmpty());
    pane_->ShowNode(Clip(1)->igObjects[0]->GetAt(0)->graphics.items[0].get());  // an object
    QVERIFY(pane_->Rows().isEmpty());
    QCOMPARE(pane_->List()->topLevelItemCount(), 0);
    pane_->ShowNode(Page(1, 0, 0));
    pane_->ShowNode(nullptr);
    QVERIFY(pane_->Rows().isEmpty());
    QVERIFY(pane_->Value("Basic", "Name").isEmpty());
}

void PropertiesTest::checkBoxesAreReadOnly() {
    pane_->ShowNode(Page(1, 0, 0)->GetAt(0)->GetAt(0));
    for (int g = 0; g < pane_->List()->topLevelItemCount(); ++g) {
        QTreeWidgetItem* heading = pane_->List()->topLevelItem(g);
        QVERIFY(heading->isExpanded());
        for (int r = 0; r < heading->childCount(); ++r) {
            const Qt::ItemFlags flags = heading->child(r)->flags();
            QVERIFY(!(flags & Qt::ItemIsUserCheckable));
            QVERIFY(!(flags & Qt::ItemIsEditable));
        }
    }
}

TESSEL_UI_TEST_GROUP(PropertiesTest, "properties");

#include "properties_test.moc"

void PropertiesTest::epochAndDisplaySetRows() {
    CEpoch& epoch = *Clip(1)->igObjects[0]->GetAt(0);
    pane_->ShowNode(&epoch);
    QCOMPARE(pane_->Value("Basic", "Display Set(s)"), QStringLiteral("1"));
    QCOMPARE(pane_->Value("Basic", "Graphic(s)").toInt(), int(epoch.graphics.items.size()));
    CDisplaySet& ds = *epoch.GetAt(0);
    pane_->ShowNode(&ds);
    QCOMPARE(pane_->Value("Basic", "Composition State"), QStringLiteral("Epoch Start"));
    QCOMPARE(pane_->Value("Basic", "Page(s)"), QString::number(ds.GetSize()));
    QVERIFY(!pane_->Value("Basic", "Frame").isEmpty());
    const struct {
        int state;
        const char* text;
    } states[] = {{0, "Normal"}, {1, "Acquisition Point"}, {2, "Epoch Start"}, {3, "Reserved (3)"}};
    for (const auto& s : states) QCOMPARE(ui::CompositionStateText(s.state), std::string(s.text));
    QCOMPARE(ui::UiModelText(1), std::string("Pop-up"));
    QCOMPARE(ui::UiModelText(0), std::string("Always-on"));
}

void PropertiesTest::labelsAreNotCut() {
    pane_->ShowNode(Page(1, 0, 0));
    const QFontMetrics metrics(pane_->List()->font());
    const int needed = metrics.horizontalAdvance("Animation FrameRate Code");
    QVERIFY(pane_->List()->header()->sectionSize(0) > needed);
}
