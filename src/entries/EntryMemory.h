#pragma once

#include <atomic>
#include <cstddef>

namespace quorly {

// Memory for the entries a reader makes by the thousand. One allocation each would
// touch a fresh page every few entries, and on virtual machines a first touch costs
// more than the reading; entries made together share large chunks instead, which the
// kernel may back with huge pages. A chunk goes when the last entry in it goes and
// whoever allocates from it has let it go.
class EntryMemory {
public:
    struct Chunk;

    EntryMemory() = default;
    ~EntryMemory();
    EntryMemory(const EntryMemory&) = delete;
    EntryMemory& operator=(const EntryMemory&) = delete;

    // Room for `bytes` (8-aligned) in the current chunk or a new one; `*chunk` names
    // the chunk, which holds one more block from now on. Null (and `*chunk` null) when
    // the block is better off on its own.
    void* allocate(std::size_t bytes, Chunk** chunk);

    // One block of `chunk` is gone (already wiped).
    static void release(Chunk* chunk);

private:
    Chunk* current_ = nullptr;
    std::size_t nextSize_ = 0;
};

}  // namespace quorly
