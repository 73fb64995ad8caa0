// Shared pieces of the application tests: the group registration, a
// started application, the sample disc, a message recorder, and answering
// the folder dialogs the commands open.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "support/qt_test_groups.h"

namespace tessel {
class CBdButton;
}
class CMainFrame;
class CTesselApp;
class QFileDialog;
class QTimer;

namespace apptest {

#define TESSEL_APP_TEST_GROUP(Class, name) TESSEL_QT_TEST_GROUP(Class, name)

// Removes every setting of the run.
void ClearSettings();

// A suite's application: started with fresh settings (app_ and its window
// frame_) and shut down.
class CStartedApp {
protected:
    CStartedApp();
    ~CStartedApp();
    void StartApp();
    void StopApp();

    std::unique_ptr<CTesselApp> app_;
    CMainFrame* frame_ = nullptr;
};

// The bundled sample disc, absolute, without a trailing separator.
QString SampleBdmv();

// The button selected in the window's tree, or null.
tessel::CBdButton* TreeButton(CMainFrame& frame);

// Records messages (from any thread) and answers questions with a set
// answer while it is the installed sink; message boxes that other sinks show
// meanwhile (a progress run shows its own) are recorded and answered the
// same way.
class CMessageRecorder : public tessel::IMessageSink {
public:
    explicit CMessageRecorder(tessel::EAnswer answer = tessel::EAnswer::Cancel);
    ~CMessageRecorder() override;
    void ShowMessage(const std::string& text) override;
    tessel::EAnswer Ask(const std::string& text) override;
    std::vector<std::string> Messages() const;
    std::vector<std::string> Questions() const;
    // The message boxes shown (by any sink or the window): text, details
    // and icon (QMessageBox::Icon).
    struct SBox {
        std::string text;
        std::string details;
        int icon = 0;
    };
    std::vector<SBox> Boxes() const;

private:
    void AnswerBoxes();

    mutable std::mutex mutex_;
    std::unique_ptr<QTimer> boxTimer_;
    tessel::EAnswer answer_;
    std::vector<std::string> messages_;
    std::vector<std::string> questions_;
    std::vector<SBox> boxes_;
    tessel::IMessageSink* previous_;
};

// Waits (in the event loop of the modal dialog) for a file dialog to become
// the active modal widget, then calls answer with it; answer accepts or
// rejects it. True when a dialog was answered.
class CDialogAnswer {
public:
    explicit CDialogAnswer(std::function<void(QFileDialog&)> answer);
    bool Answered() const { return *answered_; }

private:
    std::shared_ptr<bool> answered_;
};

}  // namespace apptest
