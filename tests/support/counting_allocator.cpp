// Counting replacements of the global operator new/delete for benchmarks and tests that
// assert on allocations or heap growth, never on time. The array, nothrow and sized forms of
// the library call these.
#include "support/counting_allocator.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {

std::atomic<std::uint64_t> gAllocations{0};
std::atomic<std::int64_t> gLiveBytes{0};

void* counted(std::size_t size, std::size_t alignment = alignof(std::max_align_t)) {
    void* block = nullptr;
    // At the default alignment glibc's posix_memalign is its malloc.
    if (posix_memalign(&block, std::max(alignment, alignof(std::max_align_t)),
                       std::max<std::size_t>(size, 1)) != 0) {
        throw std::bad_alloc();
    }
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    gLiveBytes.fetch_add(static_cast<std::int64_t>(malloc_usable_size(block)), std::memory_order_relaxed);
    return block;
}

void uncounted(void* block) noexcept {
    gLiveBytes.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(block)), std::memory_order_relaxed);
    std::free(block);
}

} // namespace

void* operator new(std::size_t size) {
    return counted(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return counted(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* block) noexcept {
    uncounted(block);
}
void operator delete(void* block, std::size_t) noexcept {
    uncounted(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    uncounted(block);
}

namespace voltrane::testing {

std::uint64_t allocationCount() {
    return gAllocations.load(std::memory_order_relaxed);
}

std::int64_t liveHeapBytes() {
    return gLiveBytes.load(std::memory_order_relaxed);
}

} // namespace voltrane::testing
