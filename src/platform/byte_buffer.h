// A growable byte array for large streams gathered in memory. It grows with
// realloc, which moves large blocks by remapping their pages instead of
// copying them, so gathering N bytes costs about N bytes at its peak (a
// std::vector holds its old and new storage at once while it grows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <utility>

namespace tessel {

class CByteBuffer {
public:
    CByteBuffer() = default;
    ~CByteBuffer() { std::free(data_); }
    CByteBuffer(const CByteBuffer&) = delete;
    CByteBuffer& operator=(const CByteBuffer&) = delete;
    CByteBuffer(CByteBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    CByteBuffer& operator=(CByteBuffer&& other) noexcept {
        if (this != &other) {
            std::free(data_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }

    // Appends size bytes; throws std::bad_alloc when memory runs out.
    void Append(const uint8_t* data, size_t size) {
        if (size == 0) return;
        if (capacity_ - size_ < size) Grow(size_ + size);
        std::memcpy(data_ + size_, data, size);
        size_ += size;
    }

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    operator std::span<const uint8_t>() const { return {data_, size_}; }

private:
    void Grow(size_t need) {
        size_t capacity = capacity_ ? capacity_ : 4096;
        while (capacity < need) capacity = capacity > SIZE_MAX / 2 ? need : capacity * 2;
        auto* grown = static_cast<uint8_t*>(std::realloc(data_, capacity));
        if (!grown) throw std::bad_alloc();
        data_ = grown;
        capacity_ = capacity;
    }

    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace tessel
