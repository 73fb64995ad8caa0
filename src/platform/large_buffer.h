// Storage for buffers of many megabytes (pictures, decoded streams): aligned
// to 2 MiB and offered to the kernel's transparent huge pages, so that
// filling one costs a page fault per 2 MiB instead of one per 4 KiB. Smaller
// requests are ordinary allocations.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace tessel {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kLargeBufferMinimum = size_t{4} << 20;

// bytes of storage (uninitialised); null when memory runs out.
inline void* AllocateLarge(size_t bytes) {
    if (bytes < kLargeBufferMinimum) return ::operator new(bytes, std::nothrow);
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (p) ::madvise(p, rounded, MADV_HUGEPAGE);  // a hint: refused is fine
    return p;
}

inline void FreeLarge(void* p, size_t bytes) {
    if (!p) return;
    if (bytes < kLargeBufferMinimum)
        ::operator delete(p);
    else
        std::free(p);
}

template <class T>
struct CLargeAllocator {
    using value_type = T;
    CLargeAllocator() = default;
    template <class U>
    CLargeAllocator(const CLargeAllocator<U>&) {}
    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
        void* p = AllocateLarge(n * sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) { FreeLarge(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const CLargeAllocator<U>&) const {
        return true;
    }
};

using LargeBytes = std::vector<uint8_t, CLargeAllocator<uint8_t>>;

// An uninitialised array of bytes in large storage.
class CLargeArray {
public:
    CLargeArray() = default;
    explicit CLargeArray(size_t size) : data_(static_cast<uint8_t*>(AllocateLarge(size))) {
        if (data_) size_ = size;
    }
    ~CLargeArray() { FreeLarge(data_, size_); }
    CLargeArray(CLargeArray&& other) noexcept : data_(other.data_), size_(other.size_) {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    CLargeArray& operator=(CLargeArray&& other) noexcept {
        if (this != &other) {
            FreeLarge(data_, size_);
            data_ = other.data_;
            size_ = other.size_;
            other.data_ = nullptr;
            other.size_ = 0;
        }
        return *this;
    }

    explicit operator bool() const { return data_ != nullptr; }
    uint8_t* get() const { return data_; }
    size_t size() const { return size_; }
    void reset() {
        FreeLarge(data_, size_);
        data_ = nullptr;
        size_ = 0;
    }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace tessel
