#include "platform/messages.h"

#include <atomic>
#include <cstdio>

namespace tessel {

namespace {
CStderrMessageSink g_stderrSink;
std::atomic<IMessageSink*> g_sink{&g_stderrSink};
}  // namespace

void CStderrMessageSink::ShowMessage(const std::string& text) {
    std::fprintf(stderr, "tessel: %s\n", text.c_str());
}

EAnswer CStderrMessageSink::Ask(const std::string& text) {
    std::fprintf(stderr, "tessel: %s\n", text.c_str());
    return EAnswer::Cancel;
}

IMessageSink* SetMessageSink(IMessageSink* sink) {
    return g_sink.exchange(sink ? sink : &g_stderrSink);
}

IMessageSink& MessageSink() {
    return *g_sink.load();
}

void ShowMessage(const std::string& text) {
    g_sink.load()->ShowMessage(text);
}

EAnswer AskYesNoCancel(const std::string& text) {
    return g_sink.load()->Ask(text);
}

}  // namespace tessel
