#include "entries/EntryMemory.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace quorly {

namespace {

// A small list fits in the first chunk; a large one goes on in huge-page chunks.
constexpr std::size_t kFirstChunk = 256 * 1024;
constexpr std::size_t kLargestChunk = 4 * 1024 * 1024;
constexpr std::size_t kHugePage = 2 * 1024 * 1024;

}  // namespace

struct EntryMemory::Chunk {
    // Blocks in the chunk, plus one while an EntryMemory allocates from it.
    std::atomic<long> holders{1};
    std::size_t size = 0;
    std::size_t used = 0;
};

namespace {

constexpr std::size_t kHeader = (sizeof(EntryMemory::Chunk) + 15) & ~std::size_t(15);

// A mapping of `size` bytes; from the huge page size on, aligned to it so that the
// kernel can give it huge pages (where it is allowed to; otherwise it is simply memory).
void* mapChunk(std::size_t size)
{
    if (size < kHugePage) {
        void* at = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return at == MAP_FAILED ? nullptr : at;
    }
    const std::size_t padded = size + kHugePage;
    void* raw = ::mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(std::uintptr_t(kHugePage) - 1);
    if (aligned > start)
        ::munmap(raw, aligned - start);
    if (const std::uintptr_t end = start + padded; end > aligned + size)
        ::munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
    ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void dropHold(EntryMemory::Chunk* chunk)
{
    if (chunk && chunk->holders.fetch_sub(1, std::memory_order_acq_rel) == 1)
        ::munmap(chunk, chunk->size);
}

}  // namespace

EntryMemory::~EntryMemory()
{
    dropHold(current_);
}

void* EntryMemory::allocate(std::size_t bytes, Chunk** chunk)
{
    *chunk = nullptr;
    bytes = (bytes + 7) & ~std::size_t(7);
    // A long entry (a book in its notes) would waste the rest of a chunk.
    if (bytes > kLargestChunk / 8)
        return nullptr;
    if (!current_ || current_->size - current_->used < bytes) {
        const std::size_t size = nextSize_ == 0 ? kFirstChunk : nextSize_;
        void* at = mapChunk(size);
        if (!at)
            return nullptr;
        dropHold(current_);
        current_ = new (at) Chunk;
        current_->size = size;
        current_->used = kHeader;
        nextSize_ = size < kHugePage ? kHugePage : kLargestChunk;
    }
    void* block = reinterpret_cast<char*>(current_) + current_->used;
    current_->used += bytes;
    current_->holders.fetch_add(1, std::memory_order_relaxed);
    *chunk = current_;
    return block;
}

void EntryMemory::release(Chunk* chunk)
{
    dropHold(chunk);
}

}  // namespace quorly
