#pragma once

// How the binary property list ("bplist00") writes its numbers, markers and texts;
// shared by the writers. `Out` takes push_back(char) and append(const char*, size).
#include "platform/TextViews.h"

#include <QAnyStringView>
#include <QStringView>

#include <cstddef>
#include <cstdint>

namespace quorly::BinaryPlist {

inline int bytesFor(uint64_t value)
{
    if (value <= 0xff)
        return 1;
    if (value <= 0xffff)
        return 2;
    if (value <= 0xffffffffULL)
        return 4;
    return 8;
}

inline int log2Of(int bytes)
{
    return bytes == 1 ? 0 : bytes == 2 ? 1 : bytes == 4 ? 2 : 3;
}

template <typename Out>
void appendBigEndian(Out& out, uint64_t value, int bytes)
{
    char buffer[8];
    for (int i = bytes - 1; i >= 0; --i) {
        buffer[i] = static_cast<char>(value & 0xff);
        value >>= 8;
    }
    out.append(buffer, static_cast<std::size_t>(bytes));
}

// Values from 2^63 up are stored in 8 bytes, which readers take as negative
// two's-complement numbers: the way signed values are kept in this format.
template <typename Out>
void appendInteger(Out& out, uint64_t value)
{
    const int bytes = bytesFor(value);
    out.push_back(static_cast<char>(0x10 | log2Of(bytes)));
    appendBigEndian(out, value, bytes);
}

// The marker of a sized object: the count in its low nibble, or 0xF and an integer.
template <typename Out>
void appendMarker(Out& out, unsigned kind, uint64_t count)
{
    if (count < 15) {
        out.push_back(static_cast<char>(kind | count));
    } else {
        out.push_back(static_cast<char>(kind | 0x0f));
        appendInteger(out, count);
    }
}

// The bytes of a marker of `count` members.
inline uint64_t markerLength(uint64_t count)
{
    return count < 15 ? 1 : 2 + uint64_t(bytesFor(count));
}

inline bool isAscii(QAnyStringView text)
{
    if (isUtf16(text)) {
        char16_t all = 0;
        for (const QChar c : utf16Of(text))
            all |= c.unicode();
        return all < 0x80;
    }
    Q_ASSERT(isLatin1(text));
    unsigned char all = 0;
    const auto* bytes = static_cast<const unsigned char*>(text.data());
    for (qsizetype i = 0; i < text.size(); ++i)
        all |= bytes[i];
    return all < 0x80;
}

// The bytes of a text object: ASCII as single bytes, anything else as UTF-16BE.
inline uint64_t stringLength(QAnyStringView text)
{
    const auto units = uint64_t(text.size());
    return markerLength(units) + (isAscii(text) ? units : 2 * units);
}

// `text` is Latin-1 or UTF-16.
template <typename Out>
void appendString(Out& out, QAnyStringView text)
{
    const auto length = static_cast<std::size_t>(text.size());
    const bool ascii = isAscii(text);
    appendMarker(out, ascii ? 0x50 : 0x60, length);
    if (ascii && isLatin1(text)) {
        out.append(static_cast<const char*>(text.data()), length);
        return;
    }
    const char16_t* wide = isUtf16(text) ? utf16Of(text).utf16() : nullptr;
    const auto* narrow = static_cast<const unsigned char*>(text.data());
    auto unit = [wide, narrow](std::size_t i) -> char16_t { return wide ? wide[i] : narrow[i]; };
    // A stretch at a time, so that the output sees a few calls rather than one a byte.
    char stretch[512];
    std::size_t used = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (used + 2 > sizeof stretch) {
            out.append(stretch, used);
            used = 0;
        }
        const char16_t u = unit(i);
        if (ascii) {
            stretch[used++] = static_cast<char>(u);
        } else {
            stretch[used++] = static_cast<char>(u >> 8);
            stretch[used++] = static_cast<char>(u & 0xff);
        }
    }
    out.append(stretch, used);
}

}  // namespace quorly::BinaryPlist
