#include "platform/TypedStream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

// The sequential archive is a stream of typed values. Multi-byte integers are compacted:
// a value that fits one byte is that byte, read signed or unsigned as the value's type
// says (a length of 200 is the single byte 0xC8), otherwise a tag byte announces two
// (0x81) or four (0x82) bytes; 0x83 announces a raw IEEE float or double. The bytes
// 0x80-0x91 are tags, never values. The strings naming types and classes ("shared
// strings") are written once ("new", 0x84) and afterwards referred to by a label; so are
// objects, classes and C strings, which share a second table: labels count from -110
// (0x92) in each. A C string is written new as 0x84 followed by its text as a shared
// string. A number writes its type as such a C string before its value, so every number
// after the first of its type refers to that C string by its object label. 0x85 stands
// for nil and 0x86 ends an object.

namespace quorly::TypedStream {

namespace {

constexpr quint8 tagInt16 = 0x81;
constexpr quint8 tagInt32 = 0x82;
constexpr quint8 tagReal = 0x83;
constexpr quint8 tagNew = 0x84;
constexpr quint8 tagNil = 0x85;
constexpr quint8 tagEndOfObject = 0x86;
constexpr qint64 firstLabel = -110;
constexpr quint8 firstTag = 0x80;
constexpr quint8 lastTag = 0x91;

constexpr int maxObjectDepth = 256;
constexpr int maxClassChain = 64;

struct ReadError {
    QString message;
};

[[noreturn]] void fail(const QString& message) { throw ReadError{message}; }

struct Counted {
    ArchiveValue value;
    std::size_t nodes = 1;
};

class Reader {
public:
    explicit Reader(const QByteArray& bytes)
        : data_(reinterpret_cast<const quint8*>(bytes.constData())),
          size_(static_cast<std::size_t>(bytes.size())),
          // Each reference to an earlier object copies it; a legitimate archive spends a
          // byte on every reference, so this only stops graphs built to multiply.
          budget_(size_ * 4 + 1024)
    {
    }

    ArchiveValue root()
    {
        readHeader();
        const QByteArray type = typeString();
        if (type != "@")
            fail(QStringLiteral("The archive does not begin with an object."));
        std::optional<Counted> object = readObject(0);
        if (!object)
            fail(QStringLiteral("The archive holds no root object."));
        return std::move(object->value);
    }

private:
    enum class SlotKind { Pending, Object, Class, CString };
    struct Slot {
        SlotKind kind = SlotKind::Pending;
        Counted object;
        QByteArray text;  // a class's name or a C string's text
    };

    quint8 byte()
    {
        if (pos_ >= size_)
            fail(QStringLiteral("The archive ends in the middle of an object."));
        return data_[pos_++];
    }

    quint64 raw(int width)
    {
        if (size_ - pos_ < static_cast<std::size_t>(width))
            fail(QStringLiteral("The archive ends in the middle of a value."));
        quint64 v = 0;
        for (int i = 0; i < width; ++i) {
            const quint64 b = data_[pos_ + static_cast<std::size_t>(i)];
            v |= bigEndian_ ? b << (8 * (width - 1 - i)) : b << (8 * i);
        }
        pos_ += static_cast<std::size_t>(width);
        return v;
    }

    // The compacted integer whose first byte has already been read, as a signed value.
    qint64 integerAfter(quint8 first)
    {
        switch (first) {
        case tagInt16:
            return static_cast<qint16>(raw(2));
        case tagInt32:
            return static_cast<qint32>(raw(4));
        case tagReal:
            // Some writers announce a 64-bit integer with the real tag.
            return static_cast<qint64>(raw(8));
        default:
            return static_cast<qint8>(untagged(first));
        }
    }

    // The same as an unsigned value: lengths, counts and numbers of unsigned types.
    quint64 unsignedAfter(quint8 first)
    {
        switch (first) {
        case tagInt16:
            return raw(2);
        case tagInt32:
            return raw(4);
        case tagReal:
            return raw(8);
        default:
            return untagged(first);
        }
    }

    static quint8 untagged(quint8 first)
    {
        if (first >= firstTag && first <= lastTag)
            fail(QStringLiteral("The archive has a marker (0x%1) where a number belongs.").arg(first, 2, 16));
        return first;
    }

    qint64 integer() { return integerAfter(byte()); }
    quint64 unsignedInteger() { return unsignedAfter(byte()); }

    std::size_t length()
    {
        const quint64 n = unsignedInteger();
        if (n > size_ - pos_)
            fail(QStringLiteral("The archive announces %1 bytes where only %2 remain.").arg(n).arg(size_ - pos_));
        return static_cast<std::size_t>(n);
    }

    std::size_t labelIndex(quint8 first, std::size_t tableSize, const char* what)
    {
        const qint64 label = integerAfter(first);
        const qint64 index = label - firstLabel;
        if (index < 0 || static_cast<quint64>(index) >= tableSize)
            fail(QStringLiteral("The archive refers to %1 %2, which it has not defined.")
                     .arg(QLatin1String(what))
                     .arg(index));
        return static_cast<std::size_t>(index);
    }

    void readHeader()
    {
        const quint8 version = byte();
        if (version != 4)
            fail(QStringLiteral("The data is not a sequential archive (version byte %1).").arg(version));
        const std::size_t n = length();
        const QByteArray signature(reinterpret_cast<const char*>(data_ + pos_), static_cast<qsizetype>(n));
        pos_ += n;
        if (signature == "typedstream")
            bigEndian_ = true;
        else if (signature != "streamtyped")
            fail(QStringLiteral("The data is not a sequential archive."));
        integer();  // the writing system's version: 1000 on every known system, no meaning here
    }

    std::optional<QByteArray> sharedString()
    {
        const quint8 first = byte();
        if (first == tagNil)
            return std::nullopt;
        if (first == tagNew) {
            const std::size_t n = length();
            strings_.emplace_back(reinterpret_cast<const char*>(data_ + pos_), static_cast<qsizetype>(n));
            pos_ += n;
            return strings_.back();
        }
        return strings_[labelIndex(first, strings_.size(), "string")];
    }

    // A C string ("*"): an object of the shared table whose text is a shared string.
    QByteArray cString()
    {
        const quint8 first = byte();
        if (first == tagNil)
            fail(QStringLiteral("The archive has a number without its type."));
        if (first == tagNew) {
            const std::size_t slot = objects_.size();
            objects_.emplace_back();
            std::optional<QByteArray> text = sharedString();
            if (!text)
                fail(QStringLiteral("The archive has a number without its type."));
            objects_[slot].kind = SlotKind::CString;
            objects_[slot].text = *text;
            return *text;
        }
        const std::size_t slot = labelIndex(first, objects_.size(), "type");
        if (objects_[slot].kind != SlotKind::CString)
            fail(QStringLiteral("The archive names an object where a number's type belongs."));
        return objects_[slot].text;
    }

    QByteArray typeString()
    {
        std::optional<QByteArray> type = sharedString();
        if (!type || type->isEmpty())
            fail(QStringLiteral("The archive has a value without a type."));
        return *type;
    }

    // Returns the table slot of the class, or nothing at the end of a class chain.
    std::optional<std::size_t> readClass(int chain)
    {
        if (chain > maxClassChain)
            fail(QStringLiteral("The archive has a class chain that does not end."));
        const quint8 first = byte();
        if (first == tagNil)
            return std::nullopt;
        if (first == tagNew) {
            const std::size_t slot = objects_.size();
            objects_.emplace_back();
            std::optional<QByteArray> name = sharedString();
            if (!name)
                fail(QStringLiteral("The archive has a class without a name."));
            integer();  // class version: the layouts read here never changed with it
            objects_[slot].kind = SlotKind::Class;
            objects_[slot].text = *name;
            readClass(chain + 1);  // superclasses: only the object's own class decides its layout
            return slot;
        }
        const std::size_t slot = labelIndex(first, objects_.size(), "class");
        if (objects_[slot].kind != SlotKind::Class)
            fail(QStringLiteral("The archive names something else where a class belongs."));
        return slot;
    }

    std::optional<Counted> readObject(int depth)
    {
        if (depth > maxObjectDepth)
            fail(QStringLiteral("The archive nests its objects too deeply."));
        const quint8 first = byte();
        if (first == tagNil)
            return std::nullopt;
        if (first != tagNew) {
            const std::size_t slot = labelIndex(first, objects_.size(), "object");
            const Slot& target = objects_[slot];
            if (target.kind == SlotKind::Pending)
                fail(QStringLiteral("The archive has an object that contains itself."));
            if (target.kind != SlotKind::Object)
                fail(QStringLiteral("The archive names a class or a type where an object belongs."));
            spend(target.object.nodes);
            return target.object;
        }
        const std::size_t slot = objects_.size();
        objects_.emplace_back();
        const std::optional<std::size_t> cls = readClass(0);
        if (!cls)
            fail(QStringLiteral("The archive has an object without a class."));
        const QByteArray className = objects_[*cls].text;
        Counted object = contents(className, depth);
        if (byte() != tagEndOfObject)
            fail(QStringLiteral("The archive's %1 does not end where it should.").arg(QString::fromLatin1(className)));
        spend(object.nodes);
        objects_[slot].kind = SlotKind::Object;
        objects_[slot].object = object;
        return object;
    }

    void spend(std::size_t nodes)
    {
        if (nodes > budget_)
            fail(QStringLiteral("The archive refers to its objects too many times."));
        budget_ -= nodes;
    }

    Counted requiredObject(int depth, const char* where)
    {
        const QByteArray type = typeString();
        if (type != "@")
            fail(QStringLiteral("The archive has a value of type \"%1\" in %2.")
                     .arg(QString::fromLatin1(type), QLatin1String(where)));
        std::optional<Counted> object = readObject(depth);
        if (!object)
            fail(QStringLiteral("The archive holds a null object in %1.").arg(QLatin1String(where)));
        return std::move(*object);
    }

    static bool isIntegerType(const QByteArray& type)
    {
        return type.size() == 1 && QByteArrayView("sSiIlLqQ").contains(type.at(0));
    }

    std::size_t count(const char* what)
    {
        const QByteArray type = typeString();
        if (!isIntegerType(type))
            fail(QStringLiteral("The archive's %1 has no element count.").arg(QLatin1String(what)));
        const quint64 n = unsignedInteger();
        // Every element takes at least one byte, so a larger count cannot be honest.
        if (n > size_ - pos_)
            fail(QStringLiteral("The archive's %1 claims %2 elements.").arg(QLatin1String(what)).arg(n));
        return static_cast<std::size_t>(n);
    }

    Counted contents(const QByteArray& cls, int depth)
    {
        if (cls == "NSString" || cls == "NSMutableString") {
            if (typeString() != "+")
                fail(QStringLiteral("The archive's %1 holds no text.").arg(QString::fromLatin1(cls)));
            const std::size_t n = length();
            QString text = QString::fromUtf8(reinterpret_cast<const char*>(data_ + pos_), static_cast<qsizetype>(n));
            pos_ += n;
            return {ArchiveValue(std::move(text)), 1};
        }
        if (cls == "NSArray" || cls == "NSMutableArray") {
            const std::size_t n = count("array");
            ArchiveValue::Array array;
            array.reserve(n);
            std::size_t nodes = 1;
            for (std::size_t i = 0; i < n; ++i) {
                Counted item = requiredObject(depth + 1, "an array");
                nodes += item.nodes;
                array.push_back(std::move(item.value));
            }
            return {ArchiveValue::fromArray(std::move(array)), nodes};
        }
        if (cls == "NSDictionary" || cls == "NSMutableDictionary") {
            const std::size_t n = count("dictionary");
            ArchiveValue::Dictionary dictionary;
            dictionary.reserve(n);
            std::size_t nodes = 1;
            for (std::size_t i = 0; i < n; ++i) {
                Counted key = requiredObject(depth + 1, "a dictionary key");
                if (key.value.type() != ArchiveValue::Type::String)
                    fail(QStringLiteral("The archive has a dictionary key that is not text."));
                if (typeString() != "@")
                    fail(QStringLiteral("The archive has a dictionary value that is not an object."));
                std::optional<Counted> value = readObject(depth + 1);
                // A null value is the same as no value: readers treat a missing key as empty.
                if (!value)
                    continue;
                nodes += value->nodes + 1;
                auto same = std::find_if(dictionary.begin(), dictionary.end(),
                                         [&](const auto& pair) { return pair.first == key.value.string(); });
                if (same != dictionary.end())
                    same->second = std::move(value->value);
                else
                    dictionary.emplace_back(key.value.string(), std::move(value->value));
            }
            return {ArchiveValue::fromDictionary(std::move(dictionary)), nodes};
        }
        if (cls == "NSNumber") {
            if (typeString() != "*")
                fail(QStringLiteral("The archive has a number without its type."));
            const QByteArray numberType = cString();
            if (typeString() != numberType)
                fail(QStringLiteral("The archive has a number whose value does not match its type."));
            return {scalar(numberType), 1};
        }
        fail(QStringLiteral("The archive holds an object of class %1, which a password file never contains.")
                 .arg(QString::fromLatin1(cls)));
    }

    ArchiveValue scalar(const QByteArray& type)
    {
        if (type.size() != 1)
            fail(QStringLiteral("The archive has a number of unknown type \"%1\".").arg(QString::fromLatin1(type)));
        switch (type.at(0)) {
        case 'c': {
            // BOOL is a signed char on the platform, so switches were stored this way.
            const qint8 c = static_cast<qint8>(byte());
            return c == 0 || c == 1 ? ArchiveValue::fromBool(c == 1) : ArchiveValue::fromInteger(c);
        }
        case 'B':
            return ArchiveValue::fromBool(byte() != 0);
        case 'C':
            return ArchiveValue::fromInteger(byte());
        case 's':
        case 'i':
        case 'l':
        case 'q':
            return ArchiveValue::fromInteger(integer());
        case 'S':
            return ArchiveValue::fromInteger(static_cast<qint64>(unsignedInteger() & 0xFFFF));
        case 'I':
        case 'L':
            return ArchiveValue::fromInteger(static_cast<qint64>(unsignedInteger() & 0xFFFFFFFF));
        case 'Q': {
            const quint64 u = unsignedInteger();
            // Beyond the signed range the magnitude is kept as a real, as the keyed reader does.
            if (u > static_cast<quint64>(std::numeric_limits<qint64>::max()))
                return ArchiveValue::fromReal(static_cast<double>(u));
            return ArchiveValue::fromInteger(static_cast<qint64>(u));
        }
        case 'f':
        case 'd': {
            const quint8 first = byte();
            if (first != tagReal)
                return ArchiveValue::fromReal(static_cast<double>(integerAfter(first)));
            if (type.at(0) == 'f') {
                const quint32 bits = static_cast<quint32>(raw(4));
                float f = 0;
                std::memcpy(&f, &bits, sizeof f);
                return ArchiveValue::fromReal(f);
            }
            const quint64 bits = raw(8);
            double d = 0;
            std::memcpy(&d, &bits, sizeof d);
            return ArchiveValue::fromReal(d);
        }
        default:
            fail(QStringLiteral("The archive has a number of unknown type \"%1\".").arg(QString::fromLatin1(type)));
        }
    }

    const quint8* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool bigEndian_ = false;
    std::size_t budget_;
    std::vector<QByteArray> strings_;
    std::vector<Slot> objects_;
};

}  // namespace

ArchiveReadResult decode(const QByteArray& bytes)
{
    ArchiveReadResult result;
    if (bytes.isEmpty()) {
        result.error = QStringLiteral("The archive is empty.");
        return result;
    }
    try {
        Reader reader(bytes);
        result.root = reader.root();
    } catch (const ReadError& error) {
        result.error = error.message;
    }
    return result;
}

}  // namespace quorly::TypedStream
