#include "entries/Entry.h"

#include "entries/EntryBlock.h"

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

using namespace entry_block;

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

QAnyStringView Entry::textAt(int i) const
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

QAnyStringView Entry::stringView(const QString& key) const
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
        return leadingBool(v.text.toString());
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
        return leadingInteger(v.text.toString());
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
        return leadingReal(v.text.toString());
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

}  // namespace quorly
