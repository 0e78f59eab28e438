#include "platform/ArchiveValue.h"

#include <cmath>
#include <limits>

namespace quorly {

namespace {

bool isNumber(ArchiveValue::Type t)
{
    return t == ArchiveValue::Type::Bool || t == ArchiveValue::Type::Integer || t == ArchiveValue::Type::Real;
}

// Numbers compare by value whatever their stored kind, as the Mac program's number
// objects do: a switch stored as true equals one stored as the integer 1.
bool numbersEqual(const ArchiveValue& a, const ArchiveValue& b)
{
    const bool aReal = a.type() == ArchiveValue::Type::Real;
    const bool bReal = b.type() == ArchiveValue::Type::Real;
    auto asInteger = [](const ArchiveValue& v) -> qint64 {
        return v.type() == ArchiveValue::Type::Bool ? (v.boolean() ? 1 : 0) : v.integer();
    };
    if (aReal && bReal)
        return a.real() == b.real();
    if (!aReal && !bReal)
        return asInteger(a) == asInteger(b);
    const double r = aReal ? a.real() : b.real();
    const qint64 i = aReal ? asInteger(b) : asInteger(a);
    // Compare without rounding the integer through a double: only an integral real
    // inside the 64-bit range can equal it.
    if (!std::isfinite(r) || std::trunc(r) != r)
        return false;
    if (r < -9223372036854775808.0 || r >= 9223372036854775808.0)
        return false;
    return static_cast<qint64>(r) == i;
}

}  // namespace

bool operator==(const ArchiveValue& a, const ArchiveValue& b)
{
    if (isNumber(a.type_) && isNumber(b.type_))
        return numbersEqual(a, b);
    if (a.type_ != b.type_)
        return false;
    switch (a.type_) {
    case ArchiveValue::Type::String:
        return a.string_ == b.string_;
    case ArchiveValue::Type::Array:
        return a.array_ == b.array_;
    case ArchiveValue::Type::Dictionary: {
        if (a.dictionary_.size() != b.dictionary_.size())
            return false;
        // Key order carries no meaning; entries hold a few dozen keys at most, so a
        // plain search per key is cheaper than building an index.
        for (const auto& [key, value] : a.dictionary_) {
            bool found = false;
            for (const auto& [otherKey, otherValue] : b.dictionary_) {
                if (otherKey == key) {
                    if (!(otherValue == value))
                        return false;
                    found = true;
                    break;
                }
            }
            if (!found)
                return false;
        }
        return true;
    }
    default:
        return false;
    }
}

}  // namespace quorly
