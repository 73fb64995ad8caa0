// The outcome of an operation below the disc and clip entry points: ok,
// cancelled by the user, or failed with the file, the byte offset and the
// reason. Exceptions are kept for running out of memory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace tessel {

enum class EOutcome { Ok, Cancelled, Failed };

class CResult {
public:
    CResult() = default;
    static CResult Fail(std::string text, int64_t offset = -1, std::string path = {});
    // A failure of the file at path, which the message names even when the
    // path is empty (a name given as "").
    static CResult FailIn(std::string path, std::string text, int64_t offset = -1);
    static CResult Cancel();

    bool Ok() const { return kind_ == EOutcome::Ok; }
    bool Cancelled() const { return kind_ == EOutcome::Cancelled; }
    bool Failed() const { return kind_ == EOutcome::Failed; }
    explicit operator bool() const { return Ok(); }
    EOutcome Kind() const { return kind_; }

    const std::string& Path() const { return path_; }
    int64_t Offset() const { return offset_; }
    const std::string& Text() const { return text_; }

    // Names the file when the failure does not name one yet.
    CResult& In(const std::string& path);
    // Moves the offset by base (a record read from inside a larger file).
    CResult& Shifted(int64_t base);
    // "<path>: <text> (at byte N)"; the parts that are not known are left out.
    std::string Message() const;

private:
    EOutcome kind_ = EOutcome::Ok;
    int64_t offset_ = -1;
    bool named_ = false;  // the path is named even when empty
    std::string path_;
    std::string text_;
};

// The code of a result where callers count in codes: 0 ok, 1 cancelled, 2
// failed.
inline int ResultCode(const CResult& result) {
    return result.Ok() ? 0 : result.Cancelled() ? 1 : 2;
}

// A value, or the result that says why there is none.
template <class T>
class CResultOf {
public:
    CResultOf(T value) : value_(std::move(value)) {}
    CResultOf(CResult failure) : result_(std::move(failure)) {}

    bool Ok() const { return value_.has_value(); }
    explicit operator bool() const { return Ok(); }
    const CResult& Result() const { return result_; }
    T& Value() { return *value_; }
    const T& Value() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }

private:
    std::optional<T> value_;
    CResult result_;
};

}  // namespace tessel
