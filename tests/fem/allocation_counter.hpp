// Replaces the global allocation functions with counting ones, for a test executable that checks
// a whole run allocates nothing. Include from exactly one source file of the executable.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace pipenet::testing {

inline std::atomic<bool> counting_allocations{false};
inline std::atomic<long> allocations_counted{0};

// Counts the allocations made from construction to stop().
class AllocationWindow {
public:
    AllocationWindow() {
        allocations_counted = 0;
        counting_allocations = true;
    }
    long stop() {
        counting_allocations = false;
        return allocations_counted;
    }
    ~AllocationWindow() { counting_allocations = false; }
};

inline void* counted_allocation(std::size_t size, std::size_t alignment) {
    if (counting_allocations) ++allocations_counted;
    if (size == 0) size = 1;
    void* p = alignment > alignof(std::max_align_t)
                  ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
                  : std::malloc(size);
    return p;
}

} // namespace pipenet::testing

// g++ sees operator new inlined as malloc at the call site and takes the matching free in
// operator delete for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    if (void* p = pipenet::testing::counted_allocation(size, 0)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = pipenet::testing::counted_allocation(size, 0)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    if (void* p = pipenet::testing::counted_allocation(size, static_cast<std::size_t>(alignment)))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    if (void* p = pipenet::testing::counted_allocation(size, static_cast<std::size_t>(alignment)))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return pipenet::testing::counted_allocation(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return pipenet::testing::counted_allocation(size, 0);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
