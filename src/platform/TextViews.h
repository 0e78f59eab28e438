#pragma once

// A QAnyStringView tells how its characters are held only through visit() in this Qt;
// these say it plainly. Texts of entries are Latin-1 or UTF-16, never UTF-8.
#include <QAnyStringView>
#include <QLatin1StringView>
#include <QStringView>

#include <type_traits>

namespace quorly {

inline bool isUtf16(QAnyStringView s)
{
    return s.visit([](auto v) { return std::is_same_v<decltype(v), QStringView>; });
}

inline bool isLatin1(QAnyStringView s)
{
    return s.visit([](auto v) { return std::is_same_v<decltype(v), QLatin1StringView>; });
}

// The UTF-16 units of a UTF-16 view; empty for any other.
inline QStringView utf16Of(QAnyStringView s)
{
    return s.visit([](auto v) -> QStringView {
        if constexpr (std::is_same_v<decltype(v), QStringView>)
            return v;
        else
            return {};
    });
}

// The bytes of a Latin-1 view; empty for any other.
inline QLatin1StringView latin1Of(QAnyStringView s)
{
    return s.visit([](auto v) -> QLatin1StringView {
        if constexpr (std::is_same_v<decltype(v), QLatin1StringView>)
            return v;
        else
            return {};
    });
}

}  // namespace quorly
