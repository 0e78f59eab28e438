#include "entries/Entry.h"

#include <QByteArray>

#include <openssl/crypto.h>

#include <charconv>
#include <cmath>
#include <limits>

namespace quorly {

namespace {

bool isSpace(QChar c) { return c.isSpace(); }

// Overwrites a text value that nothing else holds. A shared one (another copy of the
// entry, the editor's, a literal) is left alone: its last holder wipes it.
void cleanseIfSole(EntryValue& value)
{
    QString* text = std::get_if<QString>(&value);
    if (text && !text->isEmpty() && text->isDetached())
        OPENSSL_cleanse(text->data(), size_t(text->size()) * sizeof(QChar));
}

// Index of the first character after leading white space and an optional sign.
qsizetype skipSpaceAndSign(const QString& s, bool* negative)
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
qint64 leadingInteger(const QString& s)
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

double leadingReal(const QString& s)
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
    const QByteArray text = QStringView(s).mid(start, end - start).toLatin1();
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
bool leadingBool(const QString& s)
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

bool valuesEqual(const EntryValue& a, const EntryValue& b)
{
    const bool aString = std::holds_alternative<QString>(a);
    const bool bString = std::holds_alternative<QString>(b);
    if (aString || bString)
        return aString && bString && std::get<QString>(a) == std::get<QString>(b);

    // Both are numbers. Booleans count as the integers 0 and 1.
    auto asInteger = [](const EntryValue& v, qint64* out) {
        if (const bool* b = std::get_if<bool>(&v)) {
            *out = *b ? 1 : 0;
            return true;
        }
        if (const qint64* i = std::get_if<qint64>(&v)) {
            *out = *i;
            return true;
        }
        return false;
    };
    qint64 ia = 0, ib = 0;
    const bool aInt = asInteger(a, &ia);
    const bool bInt = asInteger(b, &ib);
    if (aInt && bInt)
        return ia == ib;
    if (aInt)
        return integerEqualsReal(ia, std::get<double>(b));
    if (bInt)
        return integerEqualsReal(ib, std::get<double>(a));
    const double ra = std::get<double>(a);
    const double rb = std::get<double>(b);
    // NaN equals NaN here: an entry must equal its own copy, or every merge of a
    // conflicted copy would add it again.
    if (std::isnan(ra) || std::isnan(rb))
        return std::isnan(ra) && std::isnan(rb);
    return ra == rb;
}

}  // namespace

bool Entry::contains(const QString& key) const
{
    for (const Item& item : items_) {
        if (item.first == key)
            return true;
    }
    return false;
}

std::optional<EntryValue> Entry::value(const QString& key) const
{
    for (const Item& item : items_) {
        if (item.first == key)
            return item.second;
    }
    return std::nullopt;
}

QString Entry::string(const QString& key) const
{
    const auto v = value(key);
    if (!v)
        return {};
    if (const QString* s = std::get_if<QString>(&*v))
        return *s;
    return {};
}

bool Entry::boolean(const QString& key) const
{
    const auto v = value(key);
    if (!v)
        return false;
    return std::visit(
        [](const auto& x) -> bool {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, QString>)
                return leadingBool(x);
            else if constexpr (std::is_same_v<T, double>)
                return x != 0.0 && !std::isnan(x);
            else
                return x != 0;
        },
        *v);
}

qint64 Entry::integer(const QString& key) const
{
    const auto v = value(key);
    if (!v)
        return 0;
    return std::visit(
        [](const auto& x) -> qint64 {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, QString>)
                return leadingInteger(x);
            else if constexpr (std::is_same_v<T, double>)
                return realToInteger(x);
            else
                return qint64(x);
        },
        *v);
}

double Entry::real(const QString& key) const
{
    const auto v = value(key);
    if (!v)
        return 0.0;
    return std::visit(
        [](const auto& x) -> double {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, QString>)
                return leadingReal(x);
            else
                return double(x);
        },
        *v);
}

Entry::~Entry()
{
    // Copies of an entry share one list of items until one of them changes: the items
    // are this entry's own only when no other copy holds the list.
    if (!items_.isDetached())
        return;
    for (Item& item : items_)
        cleanseIfSole(item.second);
}

void Entry::set(const QString& key, const EntryValue& value)
{
    for (Item& item : items_) {
        if (item.first == key) {
            if (&item.second != &value)
                cleanseIfSole(item.second);
            item.second = value;
            return;
        }
    }
    items_.append(Item(key, value));
}

void Entry::remove(const QString& key)
{
    for (qsizetype i = 0; i < items_.size(); ++i) {
        if (items_.at(i).first == key) {
            cleanseIfSole(items_[i].second);
            items_.removeAt(i);
            return;
        }
    }
}

bool operator==(const Entry& a, const Entry& b)
{
    if (a.items_.size() != b.items_.size())
        return false;
    // Keys are unique within an entry, so equal sizes and every key of one found with
    // an equal value in the other means the same key set.
    for (const Entry::Item& item : a.items_) {
        const auto other = b.value(item.first);
        if (!other || !valuesEqual(item.second, *other))
            return false;
    }
    return true;
}

}  // namespace quorly
