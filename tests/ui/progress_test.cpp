// The progress window: title, text, bar and estimate as reported, cancel by
// Escape, by the button and by closing, its place on the screen, and
// RunWithProgress with work on a worker thread.
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/messages.h"
#include "ui/progress_window.h"
#include "ui_test_support.h"

using namespace tessel;

namespace {

using Clock = std::chrono::steady_clock;

SProgressReport Caption(const std::string& text) {
    SProgressReport r;
    r.kind = SProgressReport::kCaption;
    r.caption = text;
    return r;
}
SProgressReport Position(int pos) {
    SProgressReport r;
    r.kind = SProgressReport::kPosition;
    r.position = pos;
    return r;
}
SProgressReport Text(const std::string& text) {
    SProgressReport r;
    r.kind = SProgressReport::kText;
    r.text = text;
    return r;
}

// A clock that runs ahead of the real one by a set amount.
class CAheadProgress : public CQtProgressWnd {
public:
    using CQtProgressWnd::CQtProgressWnd;
    int64_t ahead = 0;

protected:
    int64_t NowMs() const override { return CQtProgressWnd::NowMs() + ahead; }
};

CQtProgressWnd* FindProgress() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<CQtProgressWnd*>(w); p && p->isVisible()) return p;
    return nullptr;
}

void ClearPosition() {
    QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Tessel"));
    settings.remove(QStringLiteral("ProgressWnd"));
}

// Reports until cancelled; the report after the cancel must say so.
int ReportUntilCancelled(CProgressWnd* wnd, std::atomic<int>& reports) {
    ReportProgress(wnd, Caption("Scanning"));
    for (int i = 0; i < 3000; ++i) {
        if (!ReportProgress(wnd, Position(i % 100))) return 1;
        ++reports;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return 0;
}

}  // namespace

class ProgressTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ClearPosition(); }

    void windowShowsTheReports();
    void estimateOfTheTimeLeft();
    void positionOneHundredWaits();
    void escapeButtonAndCloseCancel();
    void placedAtTheStoredPositionOnlyOnScreen();
    void workRunsOnAWorkerThreadWhileTheWindowStaysLive();
    void escapeCancelsRunningWork();
    void messagesFromTheWorkerShowOnTheWindowThread();
    void anExceptionFromTheWorkIsPassedOn();
};

void ProgressTest::windowShowsTheReports() {
    QWidget owner;
    CQtProgressWnd wnd(&owner);
    QCOMPARE(wnd.size(), QSize(390, 130));
    QCOMPARE(wnd.windowTitle(), QString());
    QCOMPARE(wnd.CancelButton()->text(), QStringLiteral(" Cancel "));
    QVERIFY(ReportProgress(&wnd, Caption("Parsing m2ts")));
    QVERIFY(ReportProgress(&wnd, Position(50)));
    QCOMPARE(wnd.windowTitle(), QStringLiteral("Parsing m2ts [50%]"));
    QCOMPARE(wnd.BarValue(), 50);
    QVERIFY(ReportProgress(&wnd, Text("00001.m2ts")));
    QCOMPARE(wnd.LineText(), QStringLiteral("00001.m2ts"));
    QVERIFY(wnd.TimeLeftLabelText().startsWith("Estimated time left:  "));
    QVERIFY(wnd.BarShown());
    SProgressReport hide;
    hide.kind = SProgressReport::kHideBar;
    QVERIFY(ReportProgress(&wnd, hide));
    QVERIFY(!wnd.BarShown());
    QVERIFY(!wnd.Cancelled());
}

void ProgressTest::estimateOfTheTimeLeft() {
    QCOMPARE(QString::fromStdString(CProgressWnd::FormatTimeLeft(30000, 100, 25, 25)),
             QStringLiteral("Estimated time left:  1 min 30 sec"));
    CAheadProgress wnd(nullptr);
    wnd.ahead = 30000;
    ReportProgress(&wnd, Position(25));
    QCOMPARE(wnd.TimeLeftLabelText(), QStringLiteral("Estimated time left:  1 min 30 sec"));
}

void ProgressTest::positionOneHundredWaits() {
    CQtProgressWnd wnd(nullptr);
    const auto start = Clock::now();
    ReportProgress(&wnd, Position(100));
    QVERIFY(Clock::now() - start >= std::chrono::milliseconds(50));
    QCOMPARE(wnd.BarValue(), 100);
}

void ProgressTest::escapeButtonAndCloseCancel() {
    QWidget owner;
    owner.resize(600, 400);
    owner.show();
    {
        CQtProgressWnd wnd(&owner);
        wnd.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wnd));
        wnd.move(40, 30);
        QTest::keyClick(&wnd, Qt::Key_Escape);
        QVERIFY(wnd.Cancelled());
        QVERIFY(!wnd.isVisible());
        QVERIFY(!ReportProgress(&wnd, Position(10)));
        QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Tessel"));
        QCOMPARE(settings.value("ProgressWnd/X").toInt(), wnd.pos().x());
        QCOMPARE(settings.value("ProgressWnd/Y").toInt(), wnd.pos().y());
    }
    {
        CQtProgressWnd wnd(&owner);
        wnd.show();
        QTest::mouseClick(wnd.CancelButton(), Qt::LeftButton);
        QVERIFY(wnd.Cancelled());
        QVERIFY(!wnd.isVisible());
    }
    {
        CQtProgressWnd wnd(&owner, false);
        wnd.show();
        ClearPosition();
        wnd.close();
        QVERIFY(wnd.Cancelled());
        // Not kept: nothing stored.
        QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Tessel"));
        QVERIFY(!settings.contains("ProgressWnd/X"));
    }
}

void ProgressTest::placedAtTheStoredPositionOnlyOnScreen() {
    QWidget owner;
    owner.setGeometry(100, 80, 600, 400);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    const QSize screen = owner.screen()->size();
    QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Tessel"));
    settings.setValue("ProgressWnd/X", 30);
    settings.setValue("ProgressWnd/Y", 20);
    settings.sync();
    {
        CQtProgressWnd wnd(&owner);
        QCOMPARE(wnd.pos(), QPoint(30, 20));
    }
    const QPoint centred = owner.frameGeometry().center() - QPoint(195, 65);
    for (const QPoint& off : {QPoint(screen.width(), 20), QPoint(30, screen.height()),
                              QPoint(-1, 20), QPoint(30, -5)}) {
        settings.setValue("ProgressWnd/X", off.x());
        settings.setValue("ProgressWnd/Y", off.y());
        settings.sync();
        CQtProgressWnd wnd(&owner);
        QCOMPARE(wnd.pos(), centred);
    }
    ClearPosition();
    CQtProgressWnd wnd(&owner);
    QCOMPARE(wnd.pos(), centred);
}

void ProgressTest::workRunsOnAWorkerThreadWhileTheWindowStaysLive() {
    QWidget owner;
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    const std::thread::id uiThread = std::this_thread::get_id();
    std::atomic<bool> seen{false};
    QString title, text;
    bool ownerEnabled = true, windowEnabled = false;
    bool cursorWaiting = false;
    QTimer::singleShot(150, [&] {
        if (CQtProgressWnd* wnd = FindProgress()) {
            title = wnd->windowTitle();
            text = wnd->LineText();
            windowEnabled = wnd->isEnabled();
            QCOMPARE(wnd->parentWidget(), &owner);
        }
        ownerEnabled = owner.isEnabled();
        cursorWaiting = QApplication::overrideCursor() &&
                        QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        seen = true;
    });
    std::thread::id workThread;
    const int result = RunWithProgress(&owner, [&](CProgressWnd* wnd) {
        workThread = std::this_thread::get_id();
        ReportProgress(wnd, Caption("Parsing m2ts"));
        ReportProgress(wnd, Text("00002.m2ts"));
        ReportProgress(wnd, Position(50));
        while (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return 7;
    });
    QCOMPARE(result, 7);
    QVERIFY(workThread != uiThread);
    QCOMPARE(title, QStringLiteral("Parsing m2ts [50%]"));
    QCOMPARE(text, QStringLiteral("00002.m2ts"));
    QVERIFY(!ownerEnabled);
    QVERIFY(windowEnabled);
    QVERIFY(cursorWaiting);
    // Afterwards: the owner enabled, the window gone, the cursor back.
    QVERIFY(owner.isEnabled());
    QVERIFY(!owner.findChild<CQtProgressWnd*>());
    QVERIFY(!QApplication::overrideCursor());
}

void ProgressTest::escapeCancelsRunningWork() {
    QWidget owner;
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    std::atomic<int> reports{0};
    std::atomic<int> reportsAtEscape{-1};
    Clock::time_point escapeAt;
    QTimer::singleShot(200, [&] {
        CQtProgressWnd* wnd = FindProgress();
        QVERIFY(wnd);
        escapeAt = Clock::now();
        QTest::keyClick(wnd, Qt::Key_Escape);
        QVERIFY(wnd->Cancelled());
        reportsAtEscape = reports.load();
    });
    const int result = RunWithProgress(
        &owner, [&](CProgressWnd* wnd) { return ReportUntilCancelled(wnd, reports); });
    const auto answered = Clock::now() - escapeAt;
    QCOMPARE(result, 1);
    QVERIFY(reportsAtEscape > 0);
    // The next report after the key said so (one may have been under way).
    QVERIFY(reports - reportsAtEscape <= 1);
    QVERIFY2(
        answered < std::chrono::milliseconds(100),
        qPrintable(QString::number(std::chrono::duration<double, std::milli>(answered).count())));
    QVERIFY(owner.isEnabled());
    QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Tessel"));
    QVERIFY(settings.contains("ProgressWnd/X"));
}

void ProgressTest::messagesFromTheWorkerShowOnTheWindowThread() {
    QWidget owner;
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QStringList shown;
    // Answers each box as it comes: OK, then No.
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        shown << box->text();
        QAbstractButton* button = box->button(
            box->standardButtons() & QMessageBox::No ? QMessageBox::No : QMessageBox::Ok);
        QVERIFY(button);
        button->click();
    });
    answer.start();
    EAnswer answered = EAnswer::Yes;
    const int result = RunWithProgress(&owner, [&](CProgressWnd*) {
        ShowMessage("Wrong M2ts format ! ");
        answered = AskYesNoCancel("Overwrite?");
        return 0;
    });
    answer.stop();
    QCOMPARE(result, 0);
    QCOMPARE(shown, (QStringList{"Wrong M2ts format ! ", "Overwrite?"}));
    QCOMPARE(answered, EAnswer::No);
    // The previous sink is back.
    QVERIFY(dynamic_cast<CStderrMessageSink*>(&MessageSink()));

    // On the window thread itself the box shows at once.
    CQtMessageSink sink(&owner);
    shown.clear();
    answer.start();
    sink.ShowMessage("Done");
    QCOMPARE(sink.Ask("Again?"), EAnswer::No);
    answer.stop();
    QCOMPARE(shown, (QStringList{"Done", "Again?"}));
}

void ProgressTest::anExceptionFromTheWorkIsPassedOn() {
    QWidget owner;
    bool caught = false;
    try {
        RunWithProgress(&owner, [](CProgressWnd*) -> int { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error& e) {
        caught = std::string(e.what()) == "boom";
    }
    QVERIFY(caught);
    QVERIFY(owner.isEnabled());
    QVERIFY(!QApplication::overrideCursor());
}

TESSEL_UI_TEST_GROUP(ProgressTest, "progress");

#include "progress_test.moc"
