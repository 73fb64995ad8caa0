// Shared by the fuzz harnesses: the libFuzzer entry point each harness
// defines, a message sink that keeps the run quiet, and the checks that turn
// a broken memory bound into a crash the fuzzer reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/messages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace tessel::fuzz {

// Swallows messages and answers every question with Cancel.
class CQuietSink : public IMessageSink {
public:
    void ShowMessage(const std::string&) override {}
    EAnswer Ask(const std::string&) override { return EAnswer::Cancel; }
};

// Installs the quiet sink once per process.
inline void Quiet() {
    static CQuietSink sink;
    static const bool installed = (SetMessageSink(&sink), true);
    (void)installed;
}

// A property every input must keep; aborts (a finding) when it does not.
inline void Require(bool holds, const char* what) {
    if (holds) return;
    // To the descriptor: a harness may point stdio's stderr elsewhere.
    dprintf(2, "property broken: %s\n", what);
    std::abort();
}

// Gives libFuzzer a -max_len of `bytes` unless its command line has one.
// Without it the fuzzer makes inputs as large as the largest seed or corpus
// file, and the harnesses whose work grows with the segments, buttons and
// objects of a stream ran at a sixth of the rate with no more coverage.
inline int DefaultMaxLen(int* argc, char*** argv, size_t bytes) {
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp((*argv)[i], "-max_len=", 9) == 0) return 0;
    static std::string flag;
    static std::vector<char*> args;
    flag = "-max_len=" + std::to_string(bytes);
    args.assign(*argv, *argv + *argc);
    args.insert(args.begin() + 1, flag.data());
    args.push_back(nullptr);
    *argc += 1;
    *argv = args.data();
    return 0;
}

}  // namespace tessel::fuzz

// Defines the libFuzzer initialisation hook of a harness with its default
// input size (the replay driver has its own --max-len).
#define TESSEL_FUZZ_MAX_LEN(bytes)                                 \
    extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) { \
        return tessel::fuzz::DefaultMaxLen(argc, argv, bytes);     \
    }

#include "codec/display_set.h"

namespace tessel::fuzz {

// Pixels the ODS heads of the epochs declare. The harnesses build the menu
// tree only below a cap: the decode and encode work grows with the pixels,
// not with the input, and large objects take the same code paths as small
// ones (their bounds have their own tests).
constexpr int64_t kModelPixelCap = int64_t{1} << 16;

inline int64_t DeclaredPixels(const CEpochList& epochs) {
    int64_t pixels = 0;
    for (const auto& epoch : epochs)
        for (const auto& ds : epoch->items)
            if (ds->odsList)
                for (const auto& ods : *ds->odsList)
                    if (ods->firstInSequence && ods->fragment.size() >= kObjectHeadSize)
                        pixels += int64_t{ods->fragment[3] << 8 | ods->fragment[4]} *
                                  (ods->fragment[5] << 8 | ods->fragment[6]);
    return pixels;
}

}  // namespace tessel::fuzz
