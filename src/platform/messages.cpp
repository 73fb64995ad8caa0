#include "platform/messages.h"

#include <cstdio>

namespace tessel {

namespace {
CStderrMessageSink g_stderrSink;
IMessageSink* g_sink = &g_stderrSink;
}  // namespace

void CStderrMessageSink::ShowMessage(const std::string& text) {
    std::fprintf(stderr, "tessel: %s\n", text.c_str());
}

EAnswer CStderrMessageSink::Ask(const std::string& text) {
    std::fprintf(stderr, "tessel: %s\n", text.c_str());
    return EAnswer::Cancel;
}

IMessageSink* SetMessageSink(IMessageSink* sink) {
    IMessageSink* old = g_sink;
    g_sink = sink ? sink : &g_stderrSink;
    return old;
}

IMessageSink& MessageSink() {
    return *g_sink;
}

void ShowMessage(const std::string& text) {
    g_sink->ShowMessage(text);
}

EAnswer AskYesNoCancel(const std::string& text) {
    return g_sink->Ask(text);
}

}  // namespace tessel
