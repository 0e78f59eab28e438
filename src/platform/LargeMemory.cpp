#include "platform/LargeMemory.h"

#include "platform/Crypto.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <new>
#include <vector>

namespace quorly::large_memory {

namespace {

std::size_t pageSize()
{
    static const auto size = std::size_t(::sysconf(_SC_PAGESIZE));
    return size;
}

// Small mappings in whole pages; large ones in whole huge pages, as a last huge page
// cut short would be made of small ones.
std::size_t mappedLength(std::size_t bytes)
{
    const std::size_t unit = bytes < kMappedFrom ? pageSize() : kHugePage;
    return (bytes + unit - 1) / unit * unit;
}

}  // namespace

void* map(std::size_t bytes)
{
    bytes = mappedLength(bytes);
    if (bytes < kHugePage) {
        void* at = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return at == MAP_FAILED ? nullptr : at;
    }
    const std::size_t padded = bytes + kHugePage;
    void* raw = ::mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(std::uintptr_t(kHugePage) - 1);
    if (aligned > start)
        ::munmap(raw, aligned - start);
    if (const std::uintptr_t end = start + padded; end > aligned + bytes)
        ::munmap(reinterpret_cast<void*>(aligned + bytes), end - (aligned + bytes));
    ::madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void unmap(void* at, std::size_t bytes)
{
    if (at)
        ::munmap(at, mappedLength(bytes));
}

void wipeMapped(void* at, std::size_t bytes)
{
    const std::size_t page = pageSize();
    const std::size_t length = mappedLength(bytes);
    std::vector<unsigned char> resident(length / page);
    if (::mincore(at, length, resident.data()) != 0) {
        crypto::cleanse(at, length);
        return;
    }
    auto* base = static_cast<unsigned char*>(at);
    for (std::size_t i = 0; i < resident.size();) {
        if (!(resident[i] & 1)) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < resident.size() && (resident[j] & 1))
            ++j;
        crypto::cleanse(base + i * page, (j - i) * page);
        i = j;
    }
}

void* allocate(std::size_t bytes)
{
    if (bytes < kMappedFrom)
        return ::operator new(bytes);
    void* at = map(bytes);
    if (!at)
        throw std::bad_alloc();
    return at;
}

void release(void* at, std::size_t bytes) noexcept
{
    if (bytes < kMappedFrom)
        ::operator delete(at);
    else
        unmap(at, bytes);
}

void releaseWiped(void* at, std::size_t bytes) noexcept
{
    if (!at)
        return;
    if (bytes < kMappedFrom) {
        crypto::cleanse(at, bytes);
        ::operator delete(at);
        return;
    }
    wipeMapped(at, bytes);
    unmap(at, bytes);
}

}  // namespace quorly::large_memory
