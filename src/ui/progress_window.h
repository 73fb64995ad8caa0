// The progress window of long operations: caption with percent, a text line,
// the bar, the estimate of the time left and the " Cancel " button; and the
// runner that does the work on a worker thread while the window stays live.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <mutex>

#include "platform/messages.h"
#include "platform/progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

// A 390 x 130 popup owned by the main window. Reports may come from any
// thread: the state is taken where the report is made and shown on the
// window's own thread; widgets are only touched there.
class CQtProgressWnd : public QDialog, public tessel::CProgressWnd {
    Q_OBJECT
public:
    static constexpr int kWidth = 390;
    static constexpr int kHeight = 130;

    // Placed at the stored position when it lies on the screen, else
    // centred on the owner.
    explicit CQtProgressWnd(QWidget* owner, bool keepPosition = true);
    ~CQtProgressWnd() override;

    // From the window's thread: stores the position (when kept), sets the
    // cancelled flag, hides the window and raises the owner. Once only.
    void CancelByUser();

    // Shown texts, for the owner and for tests.
    QString LineText() const;
    QString TimeLeftLabelText() const;
    int BarValue() const;
    bool BarShown() const;
    QPushButton* CancelButton() const { return cancel_; }

    // Window position in the settings ("ProgressWnd" / "X", "Y").
    void SavePosition() const;

protected:
    void Pump() override;
    void Redraw() override;
    void reject() override;  // Escape
    void closeEvent(QCloseEvent* event) override;

private:
    struct SShown {
        QString title;
        QString text;
        QString timeLeft;
        int percent = 0;
        bool barVisible = true;
    };
    void Place();
    void ApplyPending();
    void Apply(const SShown& shown);

    QWidget* owner_;
    bool keepPosition_;
    QLabel* text_;
    QProgressBar* bar_;
    QLabel* timeLeft_;
    QPushButton* cancel_;

    std::mutex mutex_;
    SShown pending_;
    bool posted_ = false;
};

// Messages and questions as modal boxes (OK; Yes/No/Cancel). Called on the
// user-interface thread it shows them at once; called from another thread it
// shows them on the user-interface thread and waits for the answer.
class CQtMessageSink : public tessel::IMessageSink {
public:
    explicit CQtMessageSink(QWidget* parent = nullptr) : parent_(parent) {}

    void ShowMessage(const std::string& text) override;
    tessel::EAnswer Ask(const std::string& text) override;

    void SetParent(QWidget* parent) { parent_ = parent; }
    // Scripted runs (a picture asked for on the command line) print each
    // message to stderr instead of waiting in a box; questions get Cancel.
    static void SetScripted(bool on);
    static bool Scripted();

private:
    void ShowMessageHere(const std::string& text);
    tessel::EAnswer AskHere(const std::string& text);

    QWidget* parent_;
};

// Runs work with a progress window: wait cursor, the window shown over the
// disabled owner, work on a worker thread (its messages through a
// CQtMessageSink) while this thread keeps handling events, then the owner
// enabled again and the window destroyed. Returns work's result; an
// exception from work is passed on after the clean-up.
int RunWithProgress(QWidget* owner, std::function<int(tessel::CProgressWnd*)> work);
