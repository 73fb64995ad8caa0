#include "ui/progress_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <memory>
#include <thread>

#include "ui/tessel_settings.h"

namespace {

bool OnWindowThread(const QObject* object) {
    return QThread::currentThread() == object->thread();
}

// The arrow while a box waits for an answer under the wait cursor.
class CArrowCursor {
public:
    CArrowCursor() : pushed_(QApplication::overrideCursor() != nullptr) {
        if (pushed_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~CArrowCursor() {
        if (pushed_) QApplication::restoreOverrideCursor();
    }

private:
    bool pushed_;
};

const QString kBoxTitle = QStringLiteral("Tessel");

}  // namespace

CQtProgressWnd::CQtProgressWnd(QWidget* owner, bool keepPosition)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::WindowStaysOnTopHint),
      owner_(owner),
      keepPosition_(keepPosition),
      text_(new QLabel(this)),
      bar_(new QProgressBar(this)),
      timeLeft_(new QLabel(this)),
      cancel_(new QPushButton(QString::fromLatin1(kCancelText), this)) {
    setFixedSize(kWidth, kHeight);
    setModal(false);
    setFont(QApplication::font("QMessageBox"));
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    text_->setTextFormat(Qt::PlainText);
    timeLeft_->setTextFormat(Qt::PlainText);
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &CQtProgressWnd::CancelByUser);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(timeLeft_, 1);
    bottom->addWidget(cancel_);
    layout->addLayout(bottom);
    Place();
}

CQtProgressWnd::~CQtProgressWnd() {
    if (keepPosition_ && isVisible()) SavePosition();
}

void CQtProgressWnd::Place() {
    QScreen* screen = owner_ ? owner_->screen() : QGuiApplication::primaryScreen();
    if (keepPosition_ && screen) {
        const std::optional<QPoint> stored = CTesselSettings::ReadProgressPosition();
        const QSize size = screen->size();
        if (stored && stored->x() >= 0 && stored->x() < size.width() && stored->y() >= 0 &&
            stored->y() < size.height()) {
            move(*stored);
            return;
        }
    }
    QRect around;
    if (owner_)
        around = owner_->window()->frameGeometry();
    else if (screen)
        around = screen->availableGeometry();
    if (around.isValid()) move(around.center() - QPoint(kWidth / 2, kHeight / 2));
}

void CQtProgressWnd::SavePosition() const {
    CTesselSettings::WriteProgressPosition(pos());
}

void CQtProgressWnd::CancelByUser() {
    if (Cancelled()) return;
    if (keepPosition_) SavePosition();
    Cancel();
    hide();
    if (owner_) {
        owner_->window()->raise();
        owner_->window()->activateWindow();
    }
}

void CQtProgressWnd::reject() {
    CancelByUser();
}

void CQtProgressWnd::closeEvent(QCloseEvent* event) {
    CancelByUser();
    event->accept();
}

void CQtProgressWnd::Pump() {
    // On a worker thread the window's own thread keeps handling events.
    if (OnWindowThread(this)) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CQtProgressWnd::Redraw() {
    SShown shown;
    shown.title = QString::fromStdString(Title());
    shown.text = QString::fromStdString(Text());
    shown.timeLeft = QString::fromStdString(TimeLeftText());
    shown.percent = Percent();
    shown.barVisible = BarVisible();
    if (OnWindowThread(this)) {
        Apply(shown);
        return;
    }
    // One pending update at a time: a fast worker does not flood the queue.
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ = std::move(shown);
    if (posted_) return;
    posted_ = true;
    QMetaObject::invokeMethod(this, &CQtProgressWnd::ApplyPending, Qt::QueuedConnection);
}

void CQtProgressWnd::ApplyPending() {
    SShown shown;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shown = pending_;
        posted_ = false;
    }
    Apply(shown);
}

void CQtProgressWnd::Apply(const SShown& shown) {
    setWindowTitle(shown.title);
    text_->setText(shown.text);
    timeLeft_->setText(shown.timeLeft);
    bar_->setValue(std::clamp(shown.percent, 0, 100));
    bar_->setVisible(shown.barVisible);
}

QString CQtProgressWnd::LineText() const {
    return text_->text();
}

QString CQtProgressWnd::TimeLeftLabelText() const {
    return timeLeft_->text();
}

int CQtProgressWnd::BarValue() const {
    return bar_->value();
}

bool CQtProgressWnd::BarShown() const {
    return !bar_->isHidden();
}

void CQtMessageSink::ShowMessageHere(const std::string& text) {
    CArrowCursor arrow;
    // The messages of the core are failures and warnings.
    QMessageBox box(QMessageBox::Warning, kBoxTitle, QString::fromStdString(text), QMessageBox::Ok,
                    parent_);
    box.exec();
}

tessel::EAnswer CQtMessageSink::AskHere(const std::string& text) {
    CArrowCursor arrow;
    QMessageBox box(QMessageBox::Question, kBoxTitle, QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return tessel::EAnswer::Yes;
        case QMessageBox::No:
            return tessel::EAnswer::No;
        default:
            return tessel::EAnswer::Cancel;
    }
}

namespace {
std::atomic<bool> g_scripted{false};
}

void CQtMessageSink::SetScripted(bool on) {
    g_scripted = on;
}

bool CQtMessageSink::Scripted() {
    return g_scripted;
}

void CQtMessageSink::ShowMessage(const std::string& text) {
    if (g_scripted) {
        std::fprintf(stderr, "tessel-gui: %s\n", tessel::OneLine(text).c_str());
        return;
    }
    QObject* context = parent_ ? static_cast<QObject*>(parent_) : QCoreApplication::instance();
    if (OnWindowThread(context)) {
        ShowMessageHere(text);
        return;
    }
    QMetaObject::invokeMethod(
        context, [&] { ShowMessageHere(text); }, Qt::BlockingQueuedConnection);
}

tessel::EAnswer CQtMessageSink::Ask(const std::string& text) {
    if (g_scripted) {
        std::fprintf(stderr, "tessel-gui: %s(answered Cancel)\n", tessel::OneLine(text).c_str());
        return tessel::EAnswer::Cancel;
    }
    QObject* context = parent_ ? static_cast<QObject*>(parent_) : QCoreApplication::instance();
    if (OnWindowThread(context)) return AskHere(text);
    tessel::EAnswer answer = tessel::EAnswer::Cancel;
    QMetaObject::invokeMethod(
        context, [&] { answer = AskHere(text); }, Qt::BlockingQueuedConnection);
    return answer;
}

int RunWithProgress(QWidget* owner, std::function<int(tessel::CProgressWnd*)> work) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto wnd = std::make_unique<CQtProgressWnd>(owner);
    wnd->show();
    const bool disabled = owner && owner->isEnabled();
    if (disabled) {
        owner->setEnabled(false);
        // A window of its own stays enabled under its disabled owner.
        wnd->setEnabled(true);
    }
    CQtMessageSink sink(wnd.get());
    tessel::IMessageSink* previous = tessel::SetMessageSink(&sink);

    QEventLoop loop;
    int result = 2;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            result = work(wnd.get());
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();

    tessel::SetMessageSink(previous);
    if (disabled) owner->setEnabled(true);
    wnd.reset();
    QApplication::restoreOverrideCursor();
    if (failure) std::rethrow_exception(failure);
    return result;
}
