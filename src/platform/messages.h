// Messages the user must see, and questions, through the front end's sink.
//
// Threads: ShowMessage and AskYesNoCancel are called on the thread where the
// failure or question arises, which for a scan or rip driven from a window
// is that window's worker thread. A sink of a GUI marshals each call to its
// user-interface thread and blocks until the box is closed (a blocking
// queued call), so that the worker goes on only after the user has seen the
// message or answered. SetMessageSink may be called from any thread.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace tessel {

enum class EAnswer { Yes, No, Cancel };

class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    // A modal message with an OK button; returns once it was closed. Called
    // on the caller's thread (see above).
    virtual void ShowMessage(const std::string& text) = 0;
    // A Yes/No/Cancel question; returns the answer. Called on the caller's
    // thread (see above).
    virtual EAnswer Ask(const std::string& text) = 0;
};

// Prints "tessel: <text>" to stderr and answers every question with Cancel.
// A message box's text as one line: its line breaks become spaces.
std::string OneLine(const std::string& text);

// Each message as one line on stderr, after "tessel: ".
class CStderrMessageSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override;
    EAnswer Ask(const std::string& text) override;
};

// Installs a sink (null restores the stderr sink); returns the previous one.
// Safe from any thread; the sink must outlive its use (a call that already
// took the old sink may still be running in it).
IMessageSink* SetMessageSink(IMessageSink* sink);
IMessageSink& MessageSink();

void ShowMessage(const std::string& text);
EAnswer AskYesNoCancel(const std::string& text);

// While alive, keeps the messages shown on the thread that made it (they are
// shown as ever): the last one as one line, and how many. Nests.
class CMessageTrail {
public:
    CMessageTrail();
    ~CMessageTrail();
    CMessageTrail(const CMessageTrail&) = delete;
    CMessageTrail& operator=(const CMessageTrail&) = delete;
    const std::string& Last() const { return last_; }
    int Count() const { return count_; }
    void Note(const std::string& text);

private:
    CMessageTrail* previous_;
    std::string last_;
    int count_ = 0;
};

// While alive, the installed sink: keeps the messages shown on any thread
// instead of showing them, and passes questions to the sink it replaced,
// which it installs again at its end.
class CMessageGather : public IMessageSink {
public:
    CMessageGather();
    ~CMessageGather() override;
    CMessageGather(const CMessageGather&) = delete;
    CMessageGather& operator=(const CMessageGather&) = delete;
    void ShowMessage(const std::string& text) override;
    EAnswer Ask(const std::string& text) override;
    std::vector<std::string> Messages() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    IMessageSink* previous_;
};

// Line-oriented log for checks and reports (the CLI prints it).
class ILogSink {
public:
    virtual ~ILogSink() = default;
    virtual void Log(const std::string& line) = 0;
};

// Writes the line to log when there is one.
inline void LogLine(ILogSink* log, const std::string& line) {
    if (log) log->Log(line);
}

// Writes the line to log when there is one, else shows it.
inline void LogOrShow(ILogSink* log, const std::string& line) {
    if (log)
        log->Log(line);
    else
        ShowMessage(line);
}

}  // namespace tessel
