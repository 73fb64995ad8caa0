#include "platform/result.h"

namespace tessel {

CResult CResult::Fail(std::string text, int64_t offset, std::string path) {
    CResult r;
    r.kind_ = EOutcome::Failed;
    r.text_ = std::move(text);
    r.offset_ = offset;
    r.path_ = std::move(path);
    return r;
}

CResult CResult::FailIn(std::string path, std::string text, int64_t offset) {
    CResult r = Fail(std::move(text), offset, std::move(path));
    r.named_ = true;
    return r;
}

CResult CResult::Cancel() {
    CResult r;
    r.kind_ = EOutcome::Cancelled;
    return r;
}

CResult& CResult::In(const std::string& path) {
    if (path_.empty() && !named_) path_ = path;
    return *this;
}

CResult& CResult::Shifted(int64_t base) {
    if (offset_ >= 0) offset_ += base;
    return *this;
}

std::string CResult::Message() const {
    if (kind_ == EOutcome::Cancelled) return path_.empty() ? "cancelled" : path_ + ": cancelled";
    std::string m = path_.empty() && !named_ ? text_ : path_ + ": " + text_;
    if (offset_ >= 0) m += " (at byte " + std::to_string(offset_) + ")";
    return m;
}

}  // namespace tessel
