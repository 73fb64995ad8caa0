// Storage for buffers of many megabytes (pictures, decoded streams): aligned
// to 2 MiB and offered to the kernel's transparent huge pages, so that
// filling one costs a page fault per 2 MiB instead of one per 4 KiB. Smaller
// requests are ordinary allocations. Either kind is released by std::free.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace tessel {

// Aligned or large storage, released by std::free.
struct SFreeAligned {
    void operator()(uint8_t* p) const { std::free(p); }
};
using AlignedBytes = std::unique_ptr<uint8_t[], SFreeAligned>;

constexpr size_t kHugePage = size_t{2} << 20;
// From here a huge page costs less than the small pages it replaces, even
// with the rest of the last one unused (a full-HD picture of 8 bits: 1.98 MB).
constexpr size_t kLargeBufferMinimum = size_t{3} << 19;

// bytes of storage (uninitialised); null when memory runs out.
inline void* AllocateLarge(size_t bytes) {
    if (bytes < kLargeBufferMinimum) return std::malloc(bytes ? bytes : 1);
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (p) ::madvise(p, rounded, MADV_HUGEPAGE);  // a hint: refused is fine
    return p;
}

// size bytes of large storage, uninitialised; null when memory runs out.
inline AlignedBytes MakeLargeBytes(size_t size) {
    return AlignedBytes(static_cast<uint8_t*>(AllocateLarge(size)));
}

// Elements made without a value are left uninitialised (resize(n) does not
// clear); assign(n, value) and the other value-taking calls set them.
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
    void deallocate(T* p, size_t) { std::free(p); }
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... A>
    void construct(U* p, A&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
    }
    template <class U>
    bool operator==(const CLargeAllocator<U>&) const {
        return true;
    }
};

using LargeBytes = std::vector<uint8_t, CLargeAllocator<uint8_t>>;

}  // namespace tessel
