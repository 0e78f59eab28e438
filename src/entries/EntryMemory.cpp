#include "entries/EntryMemory.h"

#include "platform/LargeMemory.h"

#include <new>

namespace quorly {

namespace {

// A small list fits in the first chunk; a large one goes on in huge-page chunks.
constexpr std::size_t kFirstChunk = 256 * 1024;
constexpr std::size_t kLargestChunk = 4 * 1024 * 1024;

}  // namespace

struct EntryMemory::Chunk {
    // Blocks in the chunk, plus one while an EntryMemory allocates from it.
    std::atomic<long> holders{1};
    std::size_t size = 0;
    std::size_t used = 0;
};

namespace {

constexpr std::size_t kHeader = (sizeof(EntryMemory::Chunk) + 15) & ~std::size_t(15);

void dropHold(EntryMemory::Chunk* chunk)
{
    if (chunk && chunk->holders.fetch_sub(1, std::memory_order_acq_rel) == 1)
        large_memory::unmap(chunk, chunk->size);
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
        void* at = large_memory::map(size);
        if (!at)
            return nullptr;
        dropHold(current_);
        current_ = new (at) Chunk;
        current_->size = size;
        current_->used = kHeader;
        nextSize_ = size < large_memory::kHugePage ? large_memory::kHugePage : kLargestChunk;
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
