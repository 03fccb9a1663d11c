// Counting replacements of the global operator new/delete for benchmarks and tests that
// assert on allocations or heap growth, never on time.
#include "support/counting_allocator.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {

std::atomic<std::uint64_t> gAllocations{0};
std::atomic<std::int64_t> gLiveBytes{0};

void* counted(std::size_t size, std::size_t alignment = 0) {
    void* block = nullptr;
    if (alignment > alignof(std::max_align_t)) {
        if (posix_memalign(&block, alignment, size == 0 ? 1 : size) != 0) {
            block = nullptr;
        }
    } else {
        block = std::malloc(size == 0 ? 1 : size);
    }
    if (block != nullptr) {
        gAllocations.fetch_add(1, std::memory_order_relaxed);
        gLiveBytes.fetch_add(static_cast<std::int64_t>(malloc_usable_size(block)), std::memory_order_relaxed);
    }
    return block;
}

void uncounted(void* block) noexcept {
    if (block != nullptr) {
        gLiveBytes.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(block)), std::memory_order_relaxed);
        std::free(block);
    }
}

} // namespace

void* operator new(std::size_t size) {
    if (void* block = counted(size)) {
        return block;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    if (void* block = counted(size, static_cast<std::size_t>(alignment))) {
        return block;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return operator new(size, alignment);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return counted(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return counted(size);
}
void operator delete(void* block) noexcept {
    uncounted(block);
}
void operator delete[](void* block) noexcept {
    uncounted(block);
}
void operator delete(void* block, std::size_t) noexcept {
    uncounted(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    uncounted(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    uncounted(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    uncounted(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    uncounted(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
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
