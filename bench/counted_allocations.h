#pragma once
// Included by exactly one file of a benchmark program: it replaces the
// program's global operator new and delete.
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

// Every allocation of the program is counted, so that a call's peak is known.
namespace {
std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};
constexpr std::size_t Header = 16;  // keeps the block's alignment

void* allocate(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + Header));
    if (!block) throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = size;
    const std::size_t live = liveBytes.fetch_add(size) + size;
    std::size_t peak = peakBytes.load();
    while (live > peak && !peakBytes.compare_exchange_weak(peak, live)) {
    }
    return block + Header;
}

void release(void* pointer) {
    if (!pointer) return;
    auto* block = static_cast<unsigned char*>(pointer) - Header;
    liveBytes.fetch_sub(*reinterpret_cast<std::size_t*>(block));
    std::free(block);
}
}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* pointer) noexcept { release(pointer); }
void operator delete[](void* pointer) noexcept { release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { release(pointer); }
