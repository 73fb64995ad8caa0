// Messages the user must see, and questions, through the front end's sink.
#pragma once

#include <string>

namespace tessel {

enum class EAnswer { Yes, No, Cancel };

class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    // A modal message with an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // A Yes/No/Cancel question.
    virtual EAnswer Ask(const std::string& text) = 0;
};

// Prints "tessel: <text>" to stderr and answers every question with Cancel.
class CStderrMessageSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override;
    EAnswer Ask(const std::string& text) override;
};

// Installs a sink (null restores the stderr sink); returns the previous one.
IMessageSink* SetMessageSink(IMessageSink* sink);
IMessageSink& MessageSink();

void ShowMessage(const std::string& text);
EAnswer AskYesNoCancel(const std::string& text);

// Line-oriented log for checks and reports (the CLI prints it).
class ILogSink {
public:
    virtual ~ILogSink() = default;
    virtual void Log(const std::string& line) = 0;
};

}  // namespace tessel
