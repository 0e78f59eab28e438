#include "platform/BinaryPlistReader.h"

#include <cstring>
#include <utility>

namespace quorly {

namespace {

using Kind = PlistTable::Kind;
using Object = PlistTable::Object;

constexpr std::size_t headerSize = 8;
constexpr std::size_t trailerSize = 32;

// References and offsets are 1, 2, 4 or 8 bytes in every list a writer makes; the
// other widths are legal and read the slow way.
inline uint64_t readBigEndian(const unsigned char* p, int bytes)
{
    switch (bytes) {
    case 1:
        return p[0];
    case 2:
        return (uint64_t(p[0]) << 8) | p[1];
    case 4:
        return (uint64_t(p[0]) << 24) | (uint64_t(p[1]) << 16) | (uint64_t(p[2]) << 8) | p[3];
    default: {
        uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | p[i];
        return value;
    }
    }
}

// Reads objects out of the bytes between the header and the offset table. Every read
// is bounded by `end`; false means the object is malformed.
class ObjectParser {
public:
    ObjectParser(const unsigned char* data, uint64_t end, int refSize) : data_(data), end_(end), refSize_(refSize) {}

    bool parse(uint64_t offset, Object& object) const
    {
        if (offset < headerSize || offset >= end_)
            return false;
        const unsigned marker = data_[offset];
        const unsigned low = marker & 0x0f;
        uint64_t pos = offset + 1;
        object = Object{};
        switch (marker >> 4) {
        case 0x0:
            if (marker != 0x08 && marker != 0x09)
                return false;
            object.kind = Kind::Bool;
            object.value = marker == 0x09;
            return true;
        case 0x1: {
            if (low > 4)
                return false;
            const uint64_t bytes = uint64_t(1) << low;
            if (!fits(pos, bytes))
                return false;
            object.kind = Kind::Integer;
            // Sixteen bytes hold an unsigned value whose low half is all this format
            // can give a 64-bit reader.
            object.value = readBigEndian(data_ + pos + (bytes == 16 ? 8 : 0), bytes == 16 ? 8 : int(bytes));
            object.bigUnsigned = bytes == 16 && object.value > uint64_t(INT64_MAX);
            return true;
        }
        case 0x2: {
            if ((low != 2 && low != 3) || !fits(pos, uint64_t(1) << low))
                return false;
            object.kind = Kind::Real;
            if (low == 2) {
                const auto bits = static_cast<uint32_t>(readBigEndian(data_ + pos, 4));
                float f = 0;
                std::memcpy(&f, &bits, sizeof f);
                const double d = f;
                std::memcpy(&object.value, &d, sizeof d);
            } else {
                object.value = readBigEndian(data_ + pos, 8);
            }
            return true;
        }
        case 0x3:
            object.kind = Kind::Date;
            return marker == 0x33 && fits(pos, 8);
        case 0x4:
            object.kind = Kind::Data;
            if (!count(low, pos, object.count) || !fits(pos, object.count))
                return false;
            object.value = pos;
            return true;
        case 0x5:
        case 0x6: {
            object.kind = Kind::String;
            object.text = marker >> 4 == 0x5 ? PlistTable::Text::Latin1 : PlistTable::Text::Utf16BigEndian;
            if (!count(low, pos, object.count))
                return false;
            const uint64_t unit = marker >> 4 == 0x5 ? 1 : 2;
            object.value = pos;
            return object.count <= (end_ - pos) / unit;
        }
        case 0x8:
            if (low > 7 || !fits(pos, low + 1))
                return false;
            object.kind = Kind::Uid;
            object.value = readBigEndian(data_ + pos, int(low) + 1);
            return true;
        case 0xA:
        case 0xD: {
            object.kind = marker >> 4 == 0xA ? Kind::Array : Kind::Dictionary;
            if (!count(low, pos, object.count))
                return false;
            const uint64_t refs = (end_ - pos) / uint64_t(refSize_);
            object.value = pos;
            return object.count <= (object.kind == Kind::Dictionary ? refs / 2 : refs);
        }
        default:
            return false;
        }
    }

private:
    bool fits(uint64_t pos, uint64_t bytes) const { return bytes <= end_ - pos; }

    // A count in the marker's low nibble, or 0xF and an integer object after it.
    bool count(unsigned low, uint64_t& pos, uint64_t& value) const
    {
        if (low != 0x0f) {
            value = low;
            return true;
        }
        if (!fits(pos, 1))
            return false;
        const unsigned marker = data_[pos];
        if (marker >> 4 != 0x1 || (marker & 0x0f) > 3)
            return false;
        const int bytes = 1 << (marker & 0x0f);
        if (!fits(pos + 1, uint64_t(bytes)))
            return false;
        value = readBigEndian(data_ + pos + 1, bytes);
        pos += 1 + uint64_t(bytes);
        return true;
    }

    const unsigned char* data_;
    uint64_t end_;
    int refSize_;
};

}  // namespace

QString PlistTable::TextView::toString() const
{
    switch (encoding) {
    case Text::Latin1:
        // Eight-bit text: bytes above 0x7F, which no writer of this format makes, are
        // taken one character each rather than as UTF-8 sequences.
        return QString::fromLatin1(reinterpret_cast<const char*>(units), length);
    case Text::Utf16BigEndian: {
        QString s(length, Qt::Uninitialized);
        toUtf16(reinterpret_cast<char16_t*>(s.data()));
        return s;
    }
    case Text::Utf8:
        return QString::fromUtf8(reinterpret_cast<const char*>(units), length);
    }
    return {};
}

void PlistTable::TextView::toUtf16(char16_t* out) const
{
    if (encoding == Text::Latin1) {
        for (qsizetype i = 0; i < length; ++i)
            out[i] = units[i];
    } else {
        for (qsizetype i = 0; i < length; ++i)
            out[i] = char16_t((units[2 * i] << 8) | units[2 * i + 1]);
    }
}

PlistTable::Object PlistTable::at(uint64_t index) const
{
    if (refSize_ == 0)
        return objects_[index];
    Object object;
    // Every object was checked when the table was made, so this parse succeeds.
    ObjectParser(source_, objectsEnd_, refSize_)
        .parse(readBigEndian(offsets_ + index * uint64_t(offsetSize_), offsetSize_), object);
    return object;
}

uint64_t PlistTable::member(const Object& container, uint64_t i) const
{
    if (refSize_ == 0)
        return members_[container.value + i];
    return readBigEndian(source_ + container.value + i * uint64_t(refSize_), refSize_);
}

PlistTable::TextView PlistTable::view(const Object& text) const
{
    const unsigned char* base =
        text.text == Text::Utf8 ? reinterpret_cast<const unsigned char*>(utf8_.data()) : source_;
    return TextView{text.text, base + text.value, static_cast<qsizetype>(text.count)};
}

bool PlistTable::textIs(const Object& text, std::string_view ascii) const
{
    if (text.kind != Kind::String || text.count != ascii.size())
        return false;
    const TextView v = view(text);
    if (v.encoding != Text::Utf16BigEndian)
        return std::memcmp(v.units, ascii.data(), ascii.size()) == 0;
    for (std::size_t i = 0; i < ascii.size(); ++i) {
        if (v.units[2 * i] != 0 || v.units[2 * i + 1] != static_cast<unsigned char>(ascii[i]))
            return false;
    }
    return true;
}

std::optional<uint64_t> PlistTable::find(const Object& dictionary, std::string_view key) const
{
    for (uint64_t i = 0; i < dictionary.count; ++i) {
        if (textIs(at(member(dictionary, i)), key))
            return member(dictionary, dictionary.count + i);
    }
    return std::nullopt;
}

std::optional<PlistTable> PlistTable::readBinary(QByteArrayView bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto size = static_cast<uint64_t>(bytes.size());
    if (size < headerSize + 1 + trailerSize || std::memcmp(data, "bplist00", headerSize) != 0)
        return std::nullopt;
    const unsigned char* trailer = data + size - trailerSize;
    const int offsetSize = trailer[6];
    const int refSize = trailer[7];
    const uint64_t objectCount = readBigEndian(trailer + 8, 8);
    const uint64_t top = readBigEndian(trailer + 16, 8);
    const uint64_t tableOffset = readBigEndian(trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8)
        return std::nullopt;
    if (tableOffset <= headerSize || tableOffset > size - trailerSize)
        return std::nullopt;
    if (objectCount == 0 || objectCount > (size - trailerSize - tableOffset) / uint64_t(offsetSize) ||
        top >= objectCount)
        return std::nullopt;

    PlistTable table;
    table.source_ = data;
    table.offsets_ = data + tableOffset;
    table.objectsEnd_ = tableOffset;
    table.offsetSize_ = offsetSize;
    table.refSize_ = refSize;
    table.count_ = objectCount;
    table.top_ = top;

    // Every object must be well formed, reachable or not. What the walk below needs of
    // each is kept in a byte: its kind and how far the walk has got with it.
    enum : uint8_t { unseen = 0x00, open = 0x10, done = 0x20, stateMask = 0x30 };
    std::vector<uint8_t> info(objectCount);
    const ObjectParser parser(data, tableOffset, refSize);
    Object object;
    for (uint64_t i = 0; i < objectCount; ++i) {
        if (!parser.parse(readBigEndian(table.offsets_ + i * uint64_t(offsetSize), offsetSize), object))
            return std::nullopt;
        info[i] = static_cast<uint8_t>(object.kind);
    }

    // One walk over what the top object reaches, without recursion: every reference
    // names an object, keys are text, no container lies inside itself. Containers of a
    // well-formed list never share bytes, so their members cannot outnumber the bytes;
    // more means containers laid over one another to multiply the work.
    struct Open {
        Object container;
        uint64_t index;
        uint64_t next;
    };
    std::vector<Open> stack;
    uint64_t budget = size;
    auto kindOf = [&info](uint64_t i) { return static_cast<Kind>(info[i] & 0x0f); };
    auto isContainer = [&kindOf](uint64_t i) { return kindOf(i) == Kind::Array || kindOf(i) == Kind::Dictionary; };
    if (isContainer(top)) {
        info[top] |= open;
        stack.push_back(Open{table.at(top), top, 0});
    }
    while (!stack.empty()) {
        Open& current = stack.back();
        const Object& container = current.container;
        const uint64_t members = container.kind == Kind::Dictionary ? container.count * 2 : container.count;
        if (current.next == members) {
            info[current.index] = uint8_t((info[current.index] & ~stateMask) | done);
            stack.pop_back();
            continue;
        }
        if (budget-- == 0)
            return std::nullopt;
        const uint64_t child = table.member(container, current.next);
        if (child >= objectCount)
            return std::nullopt;
        if (container.kind == Kind::Dictionary && current.next < container.count && kindOf(child) != Kind::String)
            return std::nullopt;
        ++current.next;
        if (!isContainer(child) || (info[child] & stateMask) == done)
            continue;
        if ((info[child] & stateMask) == open)
            return std::nullopt;
        info[child] |= open;
        stack.push_back(Open{table.at(child), child, 0});
    }
    return table;
}

}  // namespace quorly
