// Shared pieces of the application tests: the group registry the program
// runs by name, the sample disc, a message recorder, and answering the
// folder dialogs the commands open.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/messages.h"

class QFileDialog;
class QTimer;

namespace apptest {

using GroupFactory = std::function<std::unique_ptr<QObject>()>;

struct SGroup {
    const char* name;
    GroupFactory make;
};
std::vector<SGroup>& Groups();

struct CRegisterGroup {
    CRegisterGroup(const char* name, GroupFactory make) { Groups().push_back({name, make}); }
};

#define TESSEL_APP_TEST_GROUP(Class, name)                     \
    static ::apptest::CRegisterGroup Class##Registration(name, \
                                                         [] { return std::make_unique<Class>(); })

// The folder of this run's settings (set before the application starts).
QString SettingsFolder();
// Removes every setting of the run.
void ClearSettings();

// The bundled sample disc, absolute, without a trailing separator.
QString SampleBdmv();

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
