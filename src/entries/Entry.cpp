#include "entries/Entry.h"

#include "platform/Crypto.h"

#include <QByteArray>
#include <QHash>

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <new>
#include <vector>

namespace quorly {

namespace {

bool isSpace(QChar c) { return c.isSpace(); }

// Index of the first character after leading white space and an optional sign.
qsizetype skipSpaceAndSign(QStringView s, bool* negative)
{
    qsizetype i = 0;
    while (i < s.size() && isSpace(s.at(i)))
        ++i;
    *negative = false;
    if (i < s.size() && (s.at(i) == u'+' || s.at(i) == u'-')) {
        *negative = s.at(i) == u'-';
        ++i;
    }
    return i;
}

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// A string reads as a number by its leading decimal digits, like the platform's
// string accessors: "12abc" is 12, "abc" is 0, and too many digits saturate.
qint64 leadingInteger(QStringView s)
{
    bool negative = false;
    qsizetype i = skipSpaceAndSign(s, &negative);
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    qint64 value = 0;
    for (; i < s.size() && isDigit(s.at(i)); ++i) {
        const int digit = s.at(i).unicode() - u'0';
        if (!negative) {
            if (value > (max - digit) / 10)
                return max;
            value = value * 10 + digit;
        } else {
            if (value < (min + digit) / 10)
                return min;
            value = value * 10 - digit;
        }
    }
    return value;
}

double leadingReal(QStringView s)
{
    bool negative = false;
    qsizetype i = skipSpaceAndSign(s, &negative);
    const qsizetype start = i;
    qsizetype end = i;
    bool digits = false;
    while (end < s.size() && isDigit(s.at(end))) {
        ++end;
        digits = true;
    }
    if (end < s.size() && s.at(end) == u'.') {
        ++end;
        while (end < s.size() && isDigit(s.at(end))) {
            ++end;
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    // An exponent counts only when digits follow it ("1e" is 1).
    if (end < s.size() && (s.at(end) == u'e' || s.at(end) == u'E')) {
        qsizetype e = end + 1;
        if (e < s.size() && (s.at(e) == u'+' || s.at(e) == u'-'))
            ++e;
        if (e < s.size() && isDigit(s.at(e))) {
            while (e < s.size() && isDigit(s.at(e)))
                ++e;
            end = e;
        }
    }
    // from_chars ignores the process locale, which Qt sets from the environment.
    const QByteArray text = s.mid(start, end - start).toLatin1();
    double value = 0.0;
    const auto result = std::from_chars(text.constData(), text.constData() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too small underflows to zero; too large is infinite, as the platform reads it.
        const bool tiny = text.contains("e-") || text.contains("E-");
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

// YES for a string whose first significant character (after white space, a sign and
// leading zeros) is Y, y, T, t or a digit 1-9: "1", "YES", "true", "007" read as true.
bool leadingBool(QStringView s)
{
    bool negative = false;
    qsizetype i = skipSpaceAndSign(s, &negative);
    while (i < s.size() && s.at(i) == u'0')
        ++i;
    if (i >= s.size())
        return false;
    const QChar c = s.at(i);
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

// Reals beyond the range of qint64 (and NaN) would be undefined behaviour to convert.
qint64 realToInteger(double r)
{
    if (std::isnan(r))
        return 0;
    if (r >= 9223372036854775807.0)
        return std::numeric_limits<qint64>::max();
    if (r <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return qint64(r);
}

bool integerEqualsReal(qint64 i, double r)
{
    // Exact comparison: 2^53 + 1 is not the real 2^53, though converting would say so.
    if (!std::isfinite(r) || r != std::trunc(r))
        return false;
    if (r < -9223372036854775808.0 || r >= 9223372036854775808.0)
        return false;
    return qint64(r) == i;
}

enum class ValueType : uint8_t { Text, Bool, Integer, Real };

// A pair of the block: the interned key, and the value's bits (for a text, where its
// units begin in the block's text and how many there are).
struct Slot {
    const QString* key;
    uint64_t payload;
};

uint64_t textPayload(std::size_t offset, qsizetype length)
{
    return uint64_t(offset) | (uint64_t(length) << 32);
}

uint64_t bitsOf(double r)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &r, sizeof bits);
    return bits;
}

double realOf(uint64_t bits)
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

bool valuesEqual(const ValueRef& a, const ValueRef& b)
{
    if (a.type == ValueType::Text || b.type == ValueType::Text)
        return a.type == b.type && a.text == b.text;
    // Both are numbers. Booleans count as the integers 0 and 1.
    const bool aReal = a.type == ValueType::Real;
    const bool bReal = b.type == ValueType::Real;
    auto asInteger = [](const ValueRef& v) { return v.type == ValueType::Bool ? qint64(v.payload != 0) : qint64(v.payload); };
    if (!aReal && !bReal)
        return asInteger(a) == asInteger(b);
    if (!aReal)
        return integerEqualsReal(asInteger(a), realOf(b.payload));
    if (!bReal)
        return integerEqualsReal(asInteger(b), realOf(a.payload));
    const double ra = realOf(a.payload);
    const double rb = realOf(b.payload);
    // NaN equals NaN here: an entry must equal its own copy, or every merge of a
    // conflicted copy would add it again.
    if (std::isnan(ra) || std::isnan(rb))
        return std::isnan(ra) && std::isnan(rb);
    return ra == rb;
}

}  // namespace

// Header, then the pairs, a type byte per pair, and the texts' UTF-16 units.
struct alignas(8) Entry::Block {
    std::atomic<int> ref;
    uint32_t count;
    uint32_t textUnits;

    Slot* pairs() { return reinterpret_cast<Slot*>(this + 1); }
    ValueType* types() { return reinterpret_cast<ValueType*>(pairs() + count); }
    char16_t* text() { return reinterpret_cast<char16_t*>(reinterpret_cast<char*>(types()) + ((count + 1) & ~1u)); }

    static std::size_t bytesFor(uint32_t count, std::size_t textUnits)
    {
        return sizeof(Block) + count * sizeof(Slot) + ((count + 1) & ~1u) + textUnits * sizeof(char16_t);
    }

    static Block* make(uint32_t count, std::size_t textUnits)
    {
        void* memory = ::operator new(bytesFor(count, textUnits));
        auto* block = static_cast<Block*>(memory);
        new (&block->ref) std::atomic<int>(1);
        block->count = count;
        block->textUnits = static_cast<uint32_t>(textUnits);
        return block;
    }

    static void release(Block* block)
    {
        if (block && block->ref.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            const std::size_t bytes = bytesFor(block->count, block->textUnits);
            crypto::cleanse(block, bytes);
            ::operator delete(block);
        }
    }

    ValueRef value(uint32_t i)
    {
        const uint64_t payload = pairs()[i].payload;
        const ValueType type = types()[i];
        if (type != ValueType::Text)
            return ValueRef{type, payload, {}};
        return ValueRef{type, payload, QStringView(text() + uint32_t(payload), qsizetype(payload >> 32))};
    }
};

namespace {

EntryValue entryValueOf(const ValueRef& v)
{
    switch (v.type) {
    case ValueType::Text:
        return v.text.toString();
    case ValueType::Bool:
        return v.payload != 0;
    case ValueType::Integer:
        return qint64(v.payload);
    case ValueType::Real:
        return realOf(v.payload);
    }
    return QString();
}

}  // namespace

Entry::Entry(const Entry& other) noexcept : block_(other.block_)
{
    if (block_)
        block_->ref.fetch_add(1, std::memory_order_relaxed);
}

Entry& Entry::operator=(const Entry& other) noexcept
{
    if (other.block_)
        other.block_->ref.fetch_add(1, std::memory_order_relaxed);
    Block::release(std::exchange(block_, other.block_));
    return *this;
}

Entry& Entry::operator=(Entry&& other) noexcept
{
    if (this != &other)
        Block::release(std::exchange(block_, std::exchange(other.block_, nullptr)));
    return *this;
}

Entry::~Entry()
{
    Block::release(block_);
}

const QString* Entry::internKey(const QString& key)
{
    static std::mutex mutex;
    static std::deque<QString> keys;  // stays put while more are added
    static QHash<QString, const QString*> index;
    const std::lock_guard<std::mutex> lock(mutex);
    if (index.isEmpty()) {
        // The program's own keys are their constants, so that looking one up finds
        // the same text at the same address.
        for (const QString* known : {&EntryKey::Path, &EntryKey::Button, &EntryKey::WebsiteURL,
                                     &EntryKey::WebsiteUserID, &EntryKey::WebsiteUserID2, &EntryKey::WebsitePassword,
                                     &EntryKey::Notes, &EntryKey::UserIDTabSwitch, &EntryKey::UserIDTabCount,
                                     &EntryKey::PasswordTabSwitch, &EntryKey::PasswordTabCount,
                                     &EntryKey::NewUserIDOptions, &EntryKey::UserIDOptions,
                                     &EntryKey::PasswordOptions, &EntryKey::UserIDReturnSwitch,
                                     &EntryKey::PasswordReturnSwitch, &EntryKey::PasswordEnter, &EntryKey::Browser,
                                     &EntryKey::BrowserBundleID, &EntryKey::UseCWBrowser, &EntryKey::PasswordLength,
                                     &EntryKey::IncludeSpecials})
            index.insert(*known, known);
    }
    if (const auto found = index.constFind(key); found != index.constEnd())
        return *found;
    keys.push_back(key);
    index.insert(key, &keys.back());
    return &keys.back();
}

int Entry::size() const
{
    return block_ ? int(block_->count) : 0;
}

int Entry::find(const QString& key) const
{
    if (!block_)
        return -1;
    const Slot* pairList = block_->pairs();
    for (uint32_t i = 0; i < block_->count; ++i) {
        const QString& k = *pairList[i].key;
        if ((k.constData() == key.constData() && k.size() == key.size()) || k == key)
            return int(i);
    }
    return -1;
}

const QString& Entry::keyAt(int i) const
{
    return *block_->pairs()[i].key;
}

EntryValue Entry::valueAt(int i) const
{
    return entryValueOf(block_->value(uint32_t(i)));
}

bool Entry::isTextAt(int i) const
{
    return block_->types()[i] == ValueType::Text;
}

QStringView Entry::textAt(int i) const
{
    return block_->value(uint32_t(i)).text;
}

QList<Entry::Item> Entry::items() const
{
    QList<Item> items;
    items.reserve(size());
    for (int i = 0; i < size(); ++i)
        items.append(Item(keyAt(i), valueAt(i)));
    return items;
}

std::optional<EntryValue> Entry::value(const QString& key) const
{
    const int i = find(key);
    if (i < 0)
        return std::nullopt;
    return valueAt(i);
}

QStringView Entry::stringView(const QString& key) const
{
    const int i = find(key);
    if (i < 0)
        return {};
    return block_->value(uint32_t(i)).text;
}

QString Entry::string(const QString& key) const
{
    return stringView(key).toString();
}

bool Entry::boolean(const QString& key) const
{
    const int i = find(key);
    if (i < 0)
        return false;
    const ValueRef v = block_->value(uint32_t(i));
    switch (v.type) {
    case ValueType::Text:
        return leadingBool(v.text);
    case ValueType::Real:
        return realOf(v.payload) != 0.0 && !std::isnan(realOf(v.payload));
    case ValueType::Bool:
    case ValueType::Integer:
        return v.payload != 0;
    }
    return false;
}

qint64 Entry::integer(const QString& key) const
{
    const int i = find(key);
    if (i < 0)
        return 0;
    const ValueRef v = block_->value(uint32_t(i));
    switch (v.type) {
    case ValueType::Text:
        return leadingInteger(v.text);
    case ValueType::Real:
        return realToInteger(realOf(v.payload));
    case ValueType::Bool:
        return v.payload != 0 ? 1 : 0;
    case ValueType::Integer:
        return qint64(v.payload);
    }
    return 0;
}

double Entry::real(const QString& key) const
{
    const int i = find(key);
    if (i < 0)
        return 0.0;
    const ValueRef v = block_->value(uint32_t(i));
    switch (v.type) {
    case ValueType::Text:
        return leadingReal(v.text);
    case ValueType::Real:
        return realOf(v.payload);
    case ValueType::Bool:
        return v.payload != 0 ? 1.0 : 0.0;
    case ValueType::Integer:
        return double(qint64(v.payload));
    }
    return 0.0;
}

namespace {

void appendValue(Entry::Builder& builder, const QString* key, const EntryValue& value)
{
    std::visit(
        [&](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, QString>)
                builder.text(key, x);
            else if constexpr (std::is_same_v<T, bool>)
                builder.boolean(key, x);
            else if constexpr (std::is_same_v<T, qint64>)
                builder.integer(key, x);
            else
                builder.real(key, x);
        },
        value);
}

// Appends pair i of `entry` to `builder`, its text without a copy in between.
void appendPair(Entry::Builder& builder, const Entry& entry, int i)
{
    const QString* key = &entry.keyAt(i);  // the interned key itself
    if (entry.isTextAt(i))
        builder.text(key, entry.textAt(i));
    else
        appendValue(builder, key, entry.valueAt(i));
}

}  // namespace

// A change makes a new block: copies of the entry keep the old one, and the old one is
// wiped when its last holder lets it go.
void Entry::set(const QString& key, const EntryValue& value)
{
    const int at = find(key);
    Builder builder;
    for (int i = 0; i < size(); ++i) {
        if (i == at)
            appendValue(builder, block_->pairs()[i].key, value);  // a key keeps its place
        else
            appendPair(builder, *this, i);
    }
    if (at < 0)
        appendValue(builder, internKey(key), value);
    *this = builder.build();
}

void Entry::remove(const QString& key)
{
    const int at = find(key);
    if (at < 0)
        return;
    Builder builder;
    for (int i = 0; i < size(); ++i) {
        if (i != at)
            appendPair(builder, *this, i);
    }
    *this = builder.build();
}

bool operator==(const Entry& a, const Entry& b)
{
    if (a.size() != b.size())
        return false;
    if (a.block_ == b.block_)
        return true;
    // Keys are unique within an entry, so equal sizes and every key of one found with
    // an equal value in the other means the same key set.
    for (int i = 0; i < a.size(); ++i) {
        const int j = b.find(a.keyAt(i));
        if (j < 0 || !valuesEqual(a.block_->value(uint32_t(i)), b.block_->value(uint32_t(j))))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------
// Builder

struct Entry::Builder::Pending {
    std::vector<Slot> pairList;
    std::vector<ValueType> types;
    std::vector<char16_t, crypto::CleansingAllocator<char16_t>> text;
};

Entry::Builder::Builder() : pending_(new Pending) {}

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
    Block* block = Block::make(count, units);
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
