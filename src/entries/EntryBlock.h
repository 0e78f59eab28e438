#pragma once

// How an entry lies in memory; shared by the entry and its builder only.
#include "entries/Entry.h"
#include "entries/EntryMemory.h"
#include "platform/Crypto.h"

#include <atomic>
#include <cstdint>
#include <cstring>

namespace quorly {

namespace entry_block {

enum class ValueType : uint8_t { Text, Bool, Integer, Real };

// A pair of the block: the interned key, and the value's bits (for a text, where its
// units begin in the block's text and how many there are).
struct Slot {
    const QString* key;
    uint64_t payload;
};

inline uint64_t textPayload(std::size_t offset, qsizetype length)
{
    return uint64_t(offset) | (uint64_t(length) << 32);
}

inline uint64_t bitsOf(double r)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &r, sizeof bits);
    return bits;
}

inline double realOf(uint64_t bits)
{
    double r = 0;
    std::memcpy(&r, &bits, sizeof r);
    return r;
}

// A value as the block holds it, for comparing without copies.
struct ValueRef {
    ValueType type;
    uint64_t payload;
    QStringView text;
};

}  // namespace entry_block

// Header, then the pairs, a type byte per pair, and the texts' UTF-16 units.
struct alignas(8) Entry::Block {
    std::atomic<int> ref;
    uint32_t count;
    uint32_t textUnits;
    // The shared chunk the block lies in, or null for a block of its own.
    EntryMemory::Chunk* chunk;

    using Slot = entry_block::Slot;
    using ValueType = entry_block::ValueType;

    Slot* pairs() { return reinterpret_cast<Slot*>(this + 1); }
    ValueType* types() { return reinterpret_cast<ValueType*>(pairs() + count); }
    char16_t* text() { return reinterpret_cast<char16_t*>(reinterpret_cast<char*>(types()) + ((count + 1) & ~1u)); }

    static std::size_t bytesFor(uint32_t count, std::size_t textUnits)
    {
        return sizeof(Block) + count * sizeof(Slot) + ((count + 1) & ~1u) + textUnits * sizeof(char16_t);
    }

    // In `memory`'s current chunk when it has one, else a block of its own.
    static Block* make(uint32_t count, std::size_t textUnits, EntryMemory* memory = nullptr)
    {
        const std::size_t bytes = bytesFor(count, textUnits);
        EntryMemory::Chunk* chunk = nullptr;
        void* at = memory ? memory->allocate(bytes, &chunk) : nullptr;
        if (!at)
            at = ::operator new(bytes);
        auto* block = static_cast<Block*>(at);
        new (&block->ref) std::atomic<int>(1);
        block->count = count;
        block->textUnits = static_cast<uint32_t>(textUnits);
        block->chunk = chunk;
        return block;
    }

    static void release(Block* block)
    {
        if (block && block->ref.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            EntryMemory::Chunk* chunk = block->chunk;
            crypto::cleanse(block, bytesFor(block->count, block->textUnits));
            if (chunk)
                EntryMemory::release(chunk);
            else
                ::operator delete(block);
        }
    }

    entry_block::ValueRef value(uint32_t i)
    {
        const uint64_t payload = pairs()[i].payload;
        const ValueType type = types()[i];
        if (type != ValueType::Text)
            return entry_block::ValueRef{type, payload, {}};
        return entry_block::ValueRef{type, payload,
                                     QStringView(text() + uint32_t(payload), qsizetype(payload >> 32))};
    }
};

}  // namespace quorly
