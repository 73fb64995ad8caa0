#include "platform/archive.h"

#include <cstring>

namespace tessel {

void CArchive::WriteInt(uint64_t v, size_t n) {
    for (size_t i = 0; i < n; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint64_t CArchive::ReadInt(size_t n) {
    if (failed_) return 0;
    if (n > in_.size() - pos_ || pos_ > in_.size()) {
        Fail("archive ends early");
        return 0;
    }
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(in_[pos_ + i]) << (8 * i);
    pos_ += n;
    return v;
}

bool CArchive::CheckCount(uint64_t count, size_t bytesEach, const char* what) {
    if (storing_) return true;
    if (failed_) return false;
    if (bytesEach == 0) bytesEach = 1;
    if (count <= Remaining() / bytesEach) return true;
    Fail(std::string("archive ") + what + " count exceeds the bytes left");
    return false;
}

void CArchive::Fail(std::string text) {
    if (failed_) return;
    failed_ = true;
    failPos_ = pos_;
    failText_ = std::move(text);
}

CResult CArchive::Result() const {
    if (!failed_) return {};
    return CResult::Fail(failText_, static_cast<int64_t>(failPos_));
}

void CArchive::WriteBytes(const void* data, size_t n) {
    auto p = static_cast<const uint8_t*>(data);
    out_.insert(out_.end(), p, p + n);
}

void CArchive::ReadBytes(void* out, size_t n) {
    if (!failed_ && n > in_.size() - pos_) Fail("archive ends early");
    if (failed_) {
        if (n) std::memset(out, 0, n);
        return;
    }
    if (n) std::memcpy(out, in_.data() + pos_, n);
    pos_ += n;
}

void CArchive::WriteString(const std::string& s) {
    const size_t n = s.size();
    if (n < 0xFF) {
        WriteInt(n, 1);
    } else if (n < 0xFFFE) {
        WriteInt(0xFF, 1);
        WriteInt(n, 2);
    } else {
        WriteInt(0xFF, 1);
        WriteInt(0xFFFF, 2);
        WriteInt(n, 4);
    }
    WriteBytes(s.data(), n);
}

std::string CArchive::ReadString() {
    size_t n = ReadInt(1);
    if (n == 0xFF) {
        n = ReadInt(2);
        if (n == 0xFFFF) n = ReadInt(4);
    }
    if (!failed_ && n > in_.size() - pos_) Fail("archive string runs past the end");
    if (failed_) return {};
    std::string s(reinterpret_cast<const char*>(in_.data() + pos_), n);
    pos_ += n;
    return s;
}

void CArchive::IoBytes(std::vector<uint8_t>& bytes) {
    uint32_t n = static_cast<uint32_t>(bytes.size());
    Io(n);
    if (storing_) {
        WriteBytes(bytes.data(), n);
    } else {
        if (!failed_ && n > in_.size() - pos_) Fail("archive ends early");
        if (failed_) {
            bytes.clear();
            return;
        }
        bytes.assign(in_.begin() + pos_, in_.begin() + pos_ + n);
        pos_ += n;
    }
}

CResult LoadArchive(std::span<const uint8_t> data, const std::function<void(CArchive&)>& read,
                    const std::string& folder) {
    CArchive ar(data);
    ar.folder = folder;
    read(ar);
    return ar.Result();
}

}  // namespace tessel
