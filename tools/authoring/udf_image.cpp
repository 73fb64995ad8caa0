#include "authoring/udf_image.h"

#include <cstdlib>

namespace tessel::authoring {

namespace {

std::string Quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

bool HaveGenisoimage() {
    return std::system("command -v genisoimage >/dev/null 2>&1") == 0;
}

CResult MakeUdfImage(const std::string& folder, const std::string& image) {
    if (!HaveGenisoimage()) return CResult::Fail("genisoimage is not installed");
    const std::string cmd =
        "genisoimage -quiet -udf -o " + Quoted(image) + " " + Quoted(folder) + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return CResult::Fail("genisoimage failed on " + folder);
    return {};
}

}  // namespace tessel::authoring
