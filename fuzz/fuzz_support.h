// Shared by the fuzz harnesses: the libFuzzer entry point each harness
// defines, a message sink that keeps the run quiet, and the checks that turn
// a broken memory bound into a crash the fuzzer reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/messages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

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
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

}  // namespace tessel::fuzz

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
