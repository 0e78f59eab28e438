// Makes entries pair by pair, each into one block of its own or, for a reader making
// thousands, into shared chunks.
#include "entries/Entry.h"

#include "entries/EntryBlock.h"
#include "platform/Crypto.h"

#include <optional>
#include <vector>

namespace quorly {

using namespace entry_block;

struct Entry::Builder::Pending {
    std::vector<Slot> pairList;
    std::vector<ValueType> types;
    std::vector<char16_t, crypto::CleansingAllocator<char16_t>> text;
    std::optional<EntryMemory> memory;
};

Entry::Builder::Builder(Expecting expecting) : pending_(new Pending)
{
    if (expecting == Expecting::ManyEntries)
        pending_->memory.emplace();
}

Entry::Builder::~Builder()
{
    crypto::cleanse(pending_->text.data(), pending_->text.size() * sizeof(char16_t));
    delete pending_;
}

void Entry::Builder::text(const QString* key, QStringView text)
{
    char16_t* units = this->text(key, text.size());
    if (!text.isEmpty())  // an empty view may point nowhere
        std::memcpy(units, text.utf16(), std::size_t(text.size()) * sizeof(char16_t));
}

char16_t* Entry::Builder::text(const QString* key, qsizetype length)
{
    const std::size_t at = pending_->text.size();
    pending_->pairList.push_back(Slot{key, textPayload(at, length)});
    pending_->types.push_back(ValueType::Text);
    pending_->text.resize(at + std::size_t(length));
    return pending_->text.data() + at;
}

void Entry::Builder::boolean(const QString* key, bool value)
{
    pending_->pairList.push_back(Slot{key, value ? 1u : 0u});
    pending_->types.push_back(ValueType::Bool);
}

void Entry::Builder::integer(const QString* key, qint64 value)
{
    pending_->pairList.push_back(Slot{key, uint64_t(value)});
    pending_->types.push_back(ValueType::Integer);
}

void Entry::Builder::real(const QString* key, double value)
{
    pending_->pairList.push_back(Slot{key, bitsOf(value)});
    pending_->types.push_back(ValueType::Real);
}

void Entry::Builder::moveLastValueTo(int i)
{
    // The replaced text stays unused in the text until build() copies what is used.
    pending_->pairList[std::size_t(i)].payload = pending_->pairList.back().payload;
    pending_->types[std::size_t(i)] = pending_->types.back();
    pending_->pairList.pop_back();
    pending_->types.pop_back();
}

int Entry::Builder::size() const
{
    return int(pending_->pairList.size());
}

Entry Entry::Builder::build()
{
    Pending& p = *pending_;
    const auto count = static_cast<uint32_t>(p.pairList.size());
    if (count == 0) {
        p.text.clear();
        return Entry();
    }
    std::size_t units = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (p.types[i] == ValueType::Text)
            units += std::size_t(p.pairList[i].payload >> 32);
    }
    Block* block = Block::make(count, units, p.memory ? &*p.memory : nullptr);
    Slot* pairList = block->pairs();
    char16_t* text = block->text();
    std::size_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        pairList[i] = p.pairList[i];
        block->types()[i] = p.types[i];
        if (p.types[i] == ValueType::Text) {
            const auto length = std::size_t(p.pairList[i].payload >> 32);
            if (length > 0)
                std::memcpy(text + at, p.text.data() + uint32_t(p.pairList[i].payload), length * sizeof(char16_t));
            pairList[i].payload = textPayload(at, qsizetype(length));
            at += length;
        }
    }
    crypto::cleanse(p.text.data(), p.text.size() * sizeof(char16_t));
    p.pairList.clear();
    p.types.clear();
    p.text.clear();
    return Entry(block);
}

}  // namespace quorly
