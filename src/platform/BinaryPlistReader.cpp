#include "platform/BinaryPlistReader.h"

#include <cstring>
#include <utility>

namespace quorly {

namespace {

constexpr std::size_t headerSize = 8;
constexpr std::size_t trailerSize = 32;

uint64_t readBigEndian(const unsigned char* p, int bytes)
{
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

struct Malformed {};

// Reads objects out of the bytes between the header and the offset table.
class ObjectReader {
public:
    ObjectReader(const unsigned char* data, uint64_t end, int refSize) : data_(data), end_(end), refSize_(refSize)
    {
    }

    PlistTable::Object read(uint64_t offset) const
    {
        using Kind = PlistTable::Kind;
        if (offset < headerSize || offset >= end_)
            throw Malformed{};
        const unsigned marker = data_[offset];
        const unsigned low = marker & 0x0f;
        uint64_t pos = offset + 1;
        PlistTable::Object object;
        switch (marker >> 4) {
        case 0x0:
            if (marker != 0x08 && marker != 0x09)
                throw Malformed{};
            object.kind = Kind::Bool;
            object.value = marker == 0x09;
            return object;
        case 0x1: {
            if (low > 4)
                throw Malformed{};
            const uint64_t bytes = uint64_t(1) << low;
            need(pos, bytes);
            object.kind = Kind::Integer;
            // Sixteen bytes hold an unsigned value whose low half is all this format
            // can give a 64-bit reader.
            object.value = readBigEndian(data_ + pos + (bytes == 16 ? 8 : 0), bytes == 16 ? 8 : int(bytes));
            object.bigUnsigned = bytes == 16 && object.value > uint64_t(INT64_MAX);
            return object;
        }
        case 0x2: {
            if (low != 2 && low != 3)
                throw Malformed{};
            need(pos, uint64_t(1) << low);
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
            return object;
        }
        case 0x3:
            if (marker != 0x33)
                throw Malformed{};
            need(pos, 8);
            object.kind = Kind::Date;
            return object;
        case 0x4:
            object.kind = Kind::Data;
            object.count = count(low, pos);
            need(pos, object.count);
            object.value = pos;
            return object;
        case 0x5:
        case 0x6: {
            object.kind = Kind::String;
            object.text = marker >> 4 == 0x5 ? PlistTable::Text::Latin1 : PlistTable::Text::Utf16BigEndian;
            object.count = count(low, pos);
            const uint64_t unit = marker >> 4 == 0x5 ? 1 : 2;
            if (object.count > (end_ - pos) / unit)
                throw Malformed{};
            object.value = pos;
            return object;
        }
        case 0x8:
            if (low > 7)
                throw Malformed{};
            need(pos, low + 1);
            object.kind = Kind::Uid;
            object.value = readBigEndian(data_ + pos, int(low) + 1);
            return object;
        case 0xA:
        case 0xD: {
            object.kind = marker >> 4 == 0xA ? Kind::Array : Kind::Dictionary;
            object.count = count(low, pos);
            const uint64_t refs = (end_ - pos) / uint64_t(refSize_);
            if (object.count > (object.kind == Kind::Dictionary ? refs / 2 : refs))
                throw Malformed{};
            object.value = pos;
            return object;
        }
        default:
            throw Malformed{};
        }
    }

private:
    void need(uint64_t pos, uint64_t bytes) const
    {
        if (bytes > end_ - pos)
            throw Malformed{};
    }

    // A count in the marker's low nibble, or 0xF and an integer object after it.
    uint64_t count(unsigned low, uint64_t& pos) const
    {
        if (low != 0x0f)
            return low;
        need(pos, 1);
        const unsigned marker = data_[pos];
        if (marker >> 4 != 0x1 || (marker & 0x0f) > 3)
            throw Malformed{};
        const int bytes = 1 << (marker & 0x0f);
        need(pos + 1, uint64_t(bytes));
        const uint64_t value = readBigEndian(data_ + pos + 1, bytes);
        pos += 1 + uint64_t(bytes);
        return value;
    }

    const unsigned char* data_;
    uint64_t end_;
    int refSize_;
};

}  // namespace

uint64_t PlistTable::member(const Object& container, uint64_t i) const
{
    if (refSize_ == 0)
        return members_[container.value + i];
    return readBigEndian(source_ + container.value + i * uint64_t(refSize_), refSize_);
}

QString PlistTable::string(const Object& text) const
{
    const auto n = static_cast<qsizetype>(text.count);
    switch (text.text) {
    case Text::Latin1:
        // Eight-bit text: bytes above 0x7F, which no writer of this format makes, are
        // taken one character each rather than as UTF-8 sequences.
        return QString::fromLatin1(reinterpret_cast<const char*>(source_ + text.value), n);
    case Text::Utf16BigEndian: {
        QString s(n, Qt::Uninitialized);
        char16_t* out = reinterpret_cast<char16_t*>(s.data());
        const unsigned char* in = source_ + text.value;
        for (qsizetype i = 0; i < n; ++i)
            out[i] = char16_t((in[2 * i] << 8) | in[2 * i + 1]);
        return s;
    }
    case Text::Utf8:
        return QString::fromUtf8(utf8_.data() + text.value, n);
    }
    return {};
}

bool PlistTable::textIs(const Object& text, std::string_view ascii) const
{
    if (text.kind != Kind::String)
        return false;
    switch (text.text) {
    case Text::Latin1:
        return text.count == ascii.size() && std::memcmp(source_ + text.value, ascii.data(), ascii.size()) == 0;
    case Text::Utf8:
        return text.count == ascii.size() && std::memcmp(utf8_.data() + text.value, ascii.data(), ascii.size()) == 0;
    case Text::Utf16BigEndian: {
        if (text.count != ascii.size())
            return false;
        const unsigned char* in = source_ + text.value;
        for (std::size_t i = 0; i < ascii.size(); ++i) {
            if (in[2 * i] != 0 || in[2 * i + 1] != static_cast<unsigned char>(ascii[i]))
                return false;
        }
        return true;
    }
    }
    return false;
}

std::optional<uint64_t> PlistTable::find(const Object& dictionary, std::string_view key) const
{
    for (uint64_t i = 0; i < dictionary.count; ++i) {
        if (textIs(objects_[member(dictionary, i)], key))
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
    table.refSize_ = refSize;
    table.top_ = top;
    table.objects_.reserve(objectCount);
    try {
        const ObjectReader reader(data, tableOffset, refSize);
        for (uint64_t i = 0; i < objectCount; ++i)
            table.objects_.push_back(reader.read(readBigEndian(data + tableOffset + i * uint64_t(offsetSize), offsetSize)));
    } catch (const Malformed&) {
        return std::nullopt;
    }

    // One walk over what the top object reaches, without recursion: every reference
    // names an object, keys are text, no container lies inside itself. Containers of a
    // well-formed list never share bytes, so their members cannot outnumber the bytes;
    // more means containers laid over one another to multiply the work.
    enum : uint8_t { unseen, open, done };
    std::vector<uint8_t> state(objectCount, unseen);
    std::vector<std::pair<uint64_t, uint64_t>> stack;  // container, next member
    uint64_t budget = size;
    auto isContainer = [&](uint64_t i) {
        const Kind k = table.objects_[i].kind;
        return k == Kind::Array || k == Kind::Dictionary;
    };
    if (isContainer(top)) {
        state[top] = open;
        stack.emplace_back(top, 0);
    }
    while (!stack.empty()) {
        auto& [index, next] = stack.back();
        const Object& container = table.objects_[index];
        const uint64_t members = container.kind == Kind::Dictionary ? container.count * 2 : container.count;
        if (next == members) {
            state[index] = done;
            stack.pop_back();
            continue;
        }
        if (budget-- == 0)
            return std::nullopt;
        const uint64_t child = table.member(container, next);
        if (child >= objectCount)
            return std::nullopt;
        if (container.kind == Kind::Dictionary && next < container.count &&
            table.objects_[child].kind != Kind::String)
            return std::nullopt;
        ++next;
        if (!isContainer(child) || state[child] == done)
            continue;
        if (state[child] == open)
            return std::nullopt;
        state[child] = open;
        stack.emplace_back(child, 0);
    }
    return table;
}

}  // namespace quorly
