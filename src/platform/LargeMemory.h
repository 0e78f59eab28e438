#pragma once

#include <cstddef>

// The few big buffers of reading or saving a large file (its entries, the archive and
// its tables) are mapped on their own and aligned so that the kernel may back them with
// huge pages where it allows that. On virtual machines the first touch of a page costs
// more than what is then written to it, and a huge page is touched once where 512 small
// ones would be touched one by one. Small requests go to the ordinary heap.
namespace quorly::large_memory {

inline constexpr std::size_t kHugePage = 2 * 1024 * 1024;
// From this size on a buffer is mapped on its own.
inline constexpr std::size_t kMappedFrom = 1024 * 1024;

// Null when the memory cannot be had.
void* map(std::size_t bytes);
void unmap(void* at, std::size_t bytes);

// Overwrites what was ever written of a mapping: only its resident pages, since the
// others were never touched (or lie in swap, where overwriting in memory would not
// reach them either), and touching them now would cost what mapping saved.
void wipeMapped(void* at, std::size_t bytes);

void* allocate(std::size_t bytes);
// `bytes` as given to allocate(); the first leaves the memory as it is.
void release(void* at, std::size_t bytes) noexcept;
void releaseWiped(void* at, std::size_t bytes) noexcept;

// For the tables of the archive writers, which hold no secrets but grow large.
template <typename T>
struct Allocator {
    using value_type = T;
    Allocator() = default;
    template <typename U>
    Allocator(const Allocator<U>&) noexcept {}

    T* allocate(std::size_t n) { return static_cast<T*>(large_memory::allocate(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { large_memory::release(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const Allocator<U>&) const noexcept { return true; }
};

}  // namespace quorly::large_memory
