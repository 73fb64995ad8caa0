// Test doubles that record what the code reports (check-log lines, progress
// captions and texts), and a text check.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "platform/progress.h"

namespace tessel::test {

// True when text holds part.
inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Keeps every check-log line.
class CLogLines : public ILogSink {
public:
    void Log(const std::string& line) override { lines.push_back(line); }
    bool HasLine(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    bool HasPart(const std::string& part) const {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return Has(l, part); });
    }
    std::vector<std::string> lines;
};

// Remembers every caption and text shown, without waiting.
class CRecordingProgress : public CProgressWnd {
public:
    std::vector<std::string> captions, texts;

protected:
    void Redraw() override {
        if (captions.empty() || captions.back() != Caption()) captions.push_back(Caption());
        if (!Text().empty() && (texts.empty() || texts.back() != Text())) texts.push_back(Text());
    }
    void SleepMs(int) override {}
};

}  // namespace tessel::test
