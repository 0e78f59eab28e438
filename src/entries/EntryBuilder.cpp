// Makes entries pair by pair, each into one block of its own or, for a reader making
// thousands, into shared chunks.
#include "entries/Entry.h"

#include "entries/EntryBlock.h"
#include "platform/Crypto.h"
#include "platform/TextViews.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace quorly {

using namespace entry_block;

struct Entry::Builder::Pending {
    std::vector<Slot> pairList;
    std::vector<ValueType> types;
    // The texts' characters as they came, Latin-1 or (two-byte aligned) UTF-16.
    std::vector<char, crypto::CleansingAllocator<char>> text;
    // Per pair, at build(): a text held as UTF-16 that goes into the block as Latin-1.
    std::vector<bool> narrowed;
    std::optional<EntryMemory> memory;

    // Room for a text's characters; its pair is appended.
    char* append(const QString* key, qsizetype length, bool wide)
    {
        std::size_t at = text.size();
        if (wide)
            at = (at + 1) & ~std::size_t(1);
        pairList.push_back(Slot{key, textPayload(at, length, wide)});
        types.push_back(ValueType::Text);
        text.resize(at + std::size_t(length) * (wide ? 2 : 1));
        return text.data() + at;
    }
};

namespace {

bool fitsLatin1(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

}  // namespace

Entry::Builder::Builder(Expecting expecting) : pending_(new Pending)
{
    if (expecting == Expecting::ManyEntries)
        pending_->memory.emplace();
}

Entry::Builder::~Builder()
{
    crypto::cleanse(pending_->text.data(), pending_->text.size());
    delete pending_;
}

void Entry::Builder::text(const QString* key, QAnyStringView text)
{
    const qsizetype length = text.size();
    if (isLatin1(text) || isUtf16(text)) {
        const bool wide = isUtf16(text);
        char* at = pending_->append(key, length, wide);
        if (length > 0)  // an empty view may point nowhere
            std::memcpy(at, text.data(), std::size_t(length) * (wide ? 2 : 1));
        return;
    }
    // UTF-8 from a caller: its one copy as UTF-16 is wiped at once.
    QString units = text.toString();
    this->text(key, QAnyStringView(units));
    crypto::cleanse(units.data(), std::size_t(units.size()) * sizeof(QChar));
}

char16_t* Entry::Builder::text(const QString* key, qsizetype length)
{
    return reinterpret_cast<char16_t*>(pending_->append(key, length, true));
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
    // UTF-16 texts that Latin-1 can hold (a reader's "Zürich") are narrowed here.
    p.narrowed.assign(count, false);
    std::size_t bytes = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (p.types[i] != ValueType::Text)
            continue;
        uint64_t& payload = p.pairList[i].payload;
        if (isWideText(payload)) {
            const QStringView units(reinterpret_cast<const char16_t*>(p.text.data() + textOffset(payload)),
                                    textLength(payload));
            if (fitsLatin1(units)) {
                payload &= ~kWideText;  // the offset still names the units
                p.narrowed[i] = true;
            } else {
                bytes = (bytes + 1) & ~std::size_t(1);
            }
        }
        bytes += textBytes(payload);
    }
    Block* block = Block::make(count, bytes, p.memory ? &*p.memory : nullptr);
    Slot* pairList = block->pairs();
    char* text = block->text();
    std::size_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        pairList[i] = p.pairList[i];
        block->types()[i] = p.types[i];
        if (p.types[i] != ValueType::Text)
            continue;
        const uint64_t payload = p.pairList[i].payload;
        const qsizetype length = textLength(payload);
        const char* from = p.text.data() + textOffset(payload);
        const bool wide = isWideText(payload);
        if (wide)
            at = (at + 1) & ~std::size_t(1);
        if (p.narrowed[i]) {
            const auto* units = reinterpret_cast<const char16_t*>(from);
            for (qsizetype k = 0; k < length; ++k)
                text[at + std::size_t(k)] = static_cast<char>(units[k]);
        } else if (length > 0) {
            std::memcpy(text + at, from, textBytes(payload));
        }
        pairList[i].payload = textPayload(at, length, wide);
        at += textBytes(payload);
    }
    crypto::cleanse(p.text.data(), p.text.size());
    p.pairList.clear();
    p.types.clear();
    p.text.clear();
    return Entry(block);
}

}  // namespace quorly
