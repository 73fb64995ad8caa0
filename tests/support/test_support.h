// Helpers shared by the test programs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/messages.h"

namespace tessel::test {

// The shared corpus folder, or empty when it is absent.
std::filesystem::path CorpusDir();
std::filesystem::path SourceDir();
std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
// Whether the shell finds the program.
bool HaveTool(const std::string& name);

// One step of the 64-bit FNV-1a hash, for fingerprints of pictures.
inline uint64_t Fnv(uint64_t h, uint8_t b) {
    return (h ^ b) * 1099511628211ull;
}

// Records every message and answers questions with a set answer while alive.
class CMessageCapture : public IMessageSink {
public:
    explicit CMessageCapture(EAnswer answer = EAnswer::Cancel);
    ~CMessageCapture() override;
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    EAnswer Ask(const std::string& text) override {
        questions.push_back(text);
        return answer;
    }
    std::string Last() const { return messages.empty() ? std::string() : messages.back(); }

    EAnswer answer;
    std::vector<std::string> messages;
    std::vector<std::string> questions;

private:
    IMessageSink* previous_;
};

// A fresh empty folder under the system temp folder, removed on destruction.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    const std::filesystem::path& Path() const { return path_; }
    std::string Str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

// Runs the tessel command with arguments; returns the exit code and output.
struct SRunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
SRunResult RunCli(const std::vector<std::string>& args);
// The same with standard input read from the file input.
SRunResult RunCliWithInput(const std::vector<std::string>& args, const std::string& input);

// Growth of the resident set's high-water mark while work runs, in bytes,
// measured in a forked child so that earlier tests do not hide it; -1 when
// the child fails.
int64_t PeakMemoryGrowth(const std::function<void()>& work);

}  // namespace tessel::test

// Skips the test when the shared corpus is not beside the project.
#define TESSEL_REQUIRE_CORPUS()                                                       \
    do {                                                                              \
        if (::tessel::test::CorpusDir().empty())                                      \
            GTEST_SKIP() << "shared corpus not found (expected at " TESSEL_CORPUS_DIR \
                            "); skipping";                                            \
    } while (0)
