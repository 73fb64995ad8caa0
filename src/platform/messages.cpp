#include "platform/messages.h"

#include <atomic>
#include <cstdio>

namespace tessel {

namespace {
CStderrMessageSink g_stderrSink;
std::atomic<IMessageSink*> g_sink{&g_stderrSink};
thread_local CMessageTrail* t_trail = nullptr;
}  // namespace

std::string OneLine(const std::string& text) {
    std::string line;
    line.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') {
            line.push_back(text[i]);
            continue;
        }
        // A line break of a message box (\n, \r\n, \n\r) becomes one space.
        while (i + 1 < text.size() && (text[i + 1] == '\n' || text[i + 1] == '\r')) ++i;
        if (!line.empty() && line.back() != ' ') line.push_back(' ');
    }
    return line;
}

void CStderrMessageSink::ShowMessage(const std::string& text) {
    std::fprintf(stderr, "tessel: %s\n", OneLine(text).c_str());
}

EAnswer CStderrMessageSink::Ask(const std::string& text) {
    std::fprintf(stderr, "tessel: %s\n", OneLine(text).c_str());
    return EAnswer::Cancel;
}

IMessageSink* SetMessageSink(IMessageSink* sink) {
    return g_sink.exchange(sink ? sink : &g_stderrSink);
}

IMessageSink& MessageSink() {
    return *g_sink.load();
}

void ShowMessage(const std::string& text) {
    if (t_trail) t_trail->Note(text);
    g_sink.load()->ShowMessage(text);
}

CMessageTrail::CMessageTrail() : previous_(t_trail) {
    t_trail = this;
}

CMessageTrail::~CMessageTrail() {
    t_trail = previous_;
}

void CMessageTrail::Note(const std::string& text) {
    last_ = OneLine(text);
    ++count_;
    if (previous_) previous_->Note(text);
}

CMessageGather::CMessageGather() : previous_(SetMessageSink(this)) {}

CMessageGather::~CMessageGather() {
    SetMessageSink(previous_);
}

void CMessageGather::ShowMessage(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(text);
}

EAnswer CMessageGather::Ask(const std::string& text) {
    return previous_->Ask(text);
}

std::vector<std::string> CMessageGather::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

EAnswer AskYesNoCancel(const std::string& text) {
    return g_sink.load()->Ask(text);
}

}  // namespace tessel
