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

// A text is kept as Latin-1, a byte a character, unless it holds a character beyond
// U+00FF: most texts are ASCII, and a file's entries then take half the memory.
// Its payload: the byte offset of its characters, their count, and whether they are
// UTF-16 units (bit 63) or Latin-1 bytes.
constexpr uint64_t kWideText = uint64_t(1) << 63;

inline uint64_t textPayload(std::size_t offset, qsizetype length, bool wide)
{
    return uint64_t(offset) | (uint64_t(length) << 32) | (wide ? kWideText : 0);
}
inline uint32_t textOffset(uint64_t payload) { return uint32_t(payload); }
inline qsizetype textLength(uint64_t payload) { return qsizetype((payload & ~kWideText) >> 32); }
inline bool isWideText(uint64_t payload) { return (payload & kWideText) != 0; }
// The bytes a text's characters take.
inline std::size_t textBytes(uint64_t payload)
{
    return std::size_t(textLength(payload)) * (isWideText(payload) ? 2 : 1);
}

inline QAnyStringView textAt(const char* text, uint64_t payload)
{
    const char* at = text + textOffset(payload);
    if (isWideText(payload))
        return QStringView(reinterpret_cast<const char16_t*>(at), textLength(payload));
    return QLatin1StringView(at, textLength(payload));
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
    QAnyStringView text;
};

}  // namespace entry_block

// Header, then the pairs, a type byte per pair, and the texts' characters (a UTF-16
// text two-byte aligned).
struct alignas(8) Entry::Block {
    std::atomic<int> ref;
    uint32_t count;
    uint32_t textBytes;
    // The shared chunk the block lies in, or null for a block of its own.
    EntryMemory::Chunk* chunk;

    using Slot = entry_block::Slot;
    using ValueType = entry_block::ValueType;

    Slot* pairs() { return reinterpret_cast<Slot*>(this + 1); }
    ValueType* types() { return reinterpret_cast<ValueType*>(pairs() + count); }
    char* text() { return reinterpret_cast<char*>(types()) + ((count + 1) & ~1u); }

    static std::size_t bytesFor(uint32_t count, std::size_t textBytes)
    {
        return sizeof(Block) + count * sizeof(Slot) + ((count + 1) & ~1u) + textBytes;
    }

    // In `memory`'s current chunk when it has one, else a block of its own.
    static Block* make(uint32_t count, std::size_t textBytes, EntryMemory* memory = nullptr)
    {
        const std::size_t bytes = bytesFor(count, textBytes);
        EntryMemory::Chunk* chunk = nullptr;
        void* at = memory ? memory->allocate(bytes, &chunk) : nullptr;
        if (!at)
            at = ::operator new(bytes);
        auto* block = static_cast<Block*>(at);
        new (&block->ref) std::atomic<int>(1);
        block->count = count;
        block->textBytes = static_cast<uint32_t>(textBytes);
        block->chunk = chunk;
        return block;
    }

    static void release(Block* block)
    {
        if (block && block->ref.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            EntryMemory::Chunk* chunk = block->chunk;
            crypto::cleanse(block, bytesFor(block->count, block->textBytes));
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
        return entry_block::ValueRef{type, payload, entry_block::textAt(text(), payload)};
    }
};

}  // namespace quorly
