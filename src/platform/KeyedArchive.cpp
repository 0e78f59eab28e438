#include "platform/KeyedArchive.h"

#include "platform/BinaryPlistReader.h"
#include "platform/BinaryPlistWriter.h"

#include <plist/plist.h>

#include <QHash>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quorly::KeyedArchive {

namespace {

constexpr uint64_t archiveVersion = 100000;

// Texts of the archiver's own layout, which the property list shares with equal texts
// of the archived objects.
bool isArchiverText(const QString& s)
{
    if (s.isEmpty() || s.size() > 19 || (s[0] != u'$' && s[0] != u'N' && s[0] != u'r'))
        return false;
    static const char16_t* const names[] = {u"$archiver", u"NSKeyedArchiver", u"$version", u"$top",
                                            u"root", u"$objects", u"$null", u"NS.objects",
                                            u"$class", u"NS.keys", u"$classname", u"$classes",
                                            u"NSMutableArray", u"NSArray", u"NSObject",
                                            u"NSMutableDictionary", u"NSDictionary"};
    for (const char16_t* name : names) {
        if (s == QStringView(name))
            return true;
    }
    return false;
}

// A quick hash for the encoder's own uniquing of the texts it is given, eight bytes at
// a time: they are the user's own entries, not input from elsewhere.
struct TextHash {
    uint64_t operator()(QStringView s) const noexcept
    {
        const auto* p = reinterpret_cast<const unsigned char*>(s.data());
        std::size_t bytes = std::size_t(s.size()) * 2;
        uint64_t h = 0x9E3779B97F4A7C15ULL ^ bytes;
        for (; bytes >= 8; bytes -= 8, p += 8) {
            uint64_t chunk = 0;
            std::memcpy(&chunk, p, 8);
            h = (h ^ chunk) * 0xFF51AFD7ED558CCDULL;
            h ^= h >> 29;
        }
        if (bytes) {
            uint64_t chunk = 0;
            std::memcpy(&chunk, p, bytes);
            h = (h ^ chunk) * 0xFF51AFD7ED558CCDULL;
            h ^= h >> 29;
        }
        return h ^ (h >> 32);
    }
};

// ---------------------------------------------------------------------------------
// Writing

// The archiver's object table, made first in the archiver's order; the property list
// is written from it afterwards, because the table's containers are only complete once
// their members and classes have their numbers.
class Encoder {
public:
    Encoder() { objects_.push_back(Object{Kind::Null, nullptr, 0, 0, 0}); }

    uint64_t encode(const ArchiveValue& value)
    {
        switch (value.type()) {
        case ArchiveValue::Type::String:
            return encodeString(value.string());
        case ArchiveValue::Type::Bool:
            return encodeScalar(Kind::Bool, value.boolean() ? 1 : 0, bools_);
        case ArchiveValue::Type::Integer:
            // A 64-bit two's-complement pattern is what the binary format stores for
            // a signed integer, so negative values come out as the platform writes them.
            return encodeScalar(Kind::Integer, static_cast<uint64_t>(value.integer()), integers_);
        case ArchiveValue::Type::Real: {
            uint64_t bits = 0;
            const double r = value.real();
            std::memcpy(&bits, &r, sizeof bits);
            return encodeScalar(Kind::Real, bits, reals_);
        }
        case ArchiveValue::Type::Array:
            return encodeArray(value.array());
        case ArchiveValue::Type::Dictionary:
            return encodeDictionary(value.dictionary());
        }
        return 0;
    }

    // The keyed archiver's top dictionary around the table, depth first and in the
    // order of its keys, as the platform writes it.
    QByteArray write()
    {
        BinaryPlist::Writer w;
        const uint64_t top = w.beginContainer();
        uint64_t pairs[8];
        pairs[0] = w.string(QStringLiteral("$archiver"));
        pairs[4] = w.string(QStringLiteral("NSKeyedArchiver"));
        pairs[1] = w.string(QStringLiteral("$version"));
        pairs[5] = w.integer(archiveVersion);
        pairs[2] = w.string(QStringLiteral("$top"));
        pairs[6] = w.beginContainer();
        const uint64_t rootPair[2] = {w.string(QStringLiteral("root")), w.uid(1)};
        w.setDictionary(pairs[6], rootPair);
        pairs[3] = w.string(QStringLiteral("$objects"));
        pairs[7] = w.beginContainer();
        std::vector<uint64_t> table;
        table.reserve(objects_.size());
        for (const Object& object : objects_)
            table.push_back(writeObject(w, object));
        w.setArray(pairs[7], table);
        w.setDictionary(top, pairs);
        return w.finish(top);
    }

private:
    enum class Kind : uint8_t { Null, String, Bool, Integer, Real, Array, Dictionary, ArrayClass, DictionaryClass };

    struct Object {
        Kind kind;
        const QString* text;
        uint64_t bits;
        std::size_t refs;   // into refs_: an array's members; a dictionary's keys, then values
        std::size_t count;  // members, or pairs
        uint64_t cls = 0;
    };

    uint64_t append(const Object& object)
    {
        objects_.push_back(object);
        return objects_.size() - 1;
    }

    // Equal strings and equal numbers of the same kind become one object referred to
    // from several places, as the platform's archiver does for shared objects.
    uint64_t encodeString(const QString& s)
    {
        // Open addressing over (hash, object) pairs: a miss costs one look at the table
        // and no look at any other text, which a node-based map cannot offer.
        const uint64_t hash = TextHash{}(s) | 1;  // 0 marks a free slot
        if (stringCount_ * 2 >= stringSlots_.size())
            growStrings();
        const std::size_t mask = stringSlots_.size() - 1;
        for (std::size_t i = std::size_t(hash) & mask;; i = (i + 1) & mask) {
            StringSlot& slot = stringSlots_[i];
            if (slot.hash == 0) {
                slot = StringSlot{hash, append(Object{Kind::String, &s, 0, 0, 0})};
                ++stringCount_;
                return slot.uid;
            }
            if (slot.hash == hash && *objects_[slot.uid].text == s)
                return slot.uid;
        }
    }

    void growStrings()
    {
        std::vector<StringSlot> old(std::max<std::size_t>(64, stringSlots_.size() * 2));
        old.swap(stringSlots_);
        const std::size_t mask = stringSlots_.size() - 1;
        for (const StringSlot& slot : old) {
            if (slot.hash == 0)
                continue;
            std::size_t i = std::size_t(slot.hash) & mask;
            while (stringSlots_[i].hash != 0)
                i = (i + 1) & mask;
            stringSlots_[i] = slot;
        }
    }

    uint64_t encodeScalar(Kind kind, uint64_t bits, QHash<uint64_t, uint64_t>& shared)
    {
        auto found = shared.constFind(bits);
        if (found != shared.constEnd())
            return *found;
        const uint64_t uid = append(Object{kind, nullptr, bits, 0, 0});
        shared.insert(bits, uid);
        return uid;
    }

    uint64_t classUid(uint64_t& slot, Kind kind)
    {
        if (slot == 0)
            slot = append(Object{kind, nullptr, 0, 0, 0});
        return slot;
    }

    // Members are gathered on a stack shared by all levels: a container's own run of
    // it stays put while its members' containers push and pop above it.
    void keep(uint64_t self, std::size_t from, std::size_t count)
    {
        objects_[self].refs = refs_.size();
        objects_[self].count = count;
        refs_.insert(refs_.end(), scratch_.begin() + std::ptrdiff_t(from), scratch_.end());
        scratch_.resize(from);
    }

    // The container takes its place in the table before its members, and its class
    // description follows them: the order in which the platform's archiver fills it.
    uint64_t encodeArray(const ArchiveValue::Array& array)
    {
        const uint64_t uid = append(Object{Kind::Array, nullptr, 0, 0, 0});
        const std::size_t from = scratch_.size();
        for (const ArchiveValue& item : array) {
            const uint64_t member = encode(item);
            scratch_.push_back(member);
        }
        keep(uid, from, array.size());
        objects_[uid].cls = classUid(arrayClass_, Kind::ArrayClass);
        return uid;
    }

    uint64_t encodeDictionary(const ArchiveValue::Dictionary& dictionary)
    {
        const uint64_t uid = append(Object{Kind::Dictionary, nullptr, 0, 0, 0});
        const std::size_t from = scratch_.size();
        for (const auto& entry : dictionary) {
            const uint64_t key = encodeString(entry.first);
            scratch_.push_back(key);
        }
        for (const auto& entry : dictionary) {
            const uint64_t value = encode(entry.second);
            scratch_.push_back(value);
        }
        keep(uid, from, dictionary.size());
        objects_[uid].cls = classUid(dictionaryClass_, Kind::DictionaryClass);
        return uid;
    }

    uint64_t uidArray(BinaryPlist::Writer& w, std::size_t from, std::size_t count)
    {
        const uint64_t array = w.beginContainer();
        uids_.clear();
        for (std::size_t i = from; i < from + count; ++i)
            uids_.push_back(w.uid(refs_[i]));
        w.setArray(array, uids_);
        return array;
    }

    uint64_t writeClass(BinaryPlist::Writer& w, const QString& name, const QString& immutableName)
    {
        const uint64_t description = w.beginContainer();
        uint64_t pairs[4];
        pairs[0] = w.string(QStringLiteral("$classname"));
        pairs[2] = w.string(name);
        pairs[1] = w.string(QStringLiteral("$classes"));
        pairs[3] = w.beginContainer();
        const uint64_t chain[3] = {w.string(name), w.string(immutableName), w.string(QStringLiteral("NSObject"))};
        w.setArray(pairs[3], chain);
        w.setDictionary(description, pairs);
        return description;
    }

    uint64_t writeObject(BinaryPlist::Writer& w, const Object& object)
    {
        switch (object.kind) {
        case Kind::Null:
            return w.string(QStringLiteral("$null"));
        case Kind::String:
            // The table holds each text once already.
            return isArchiverText(*object.text) ? w.string(*object.text) : w.distinctString(*object.text);
        case Kind::Bool:
            return w.boolean(object.bits != 0);
        case Kind::Integer:
            return w.integer(object.bits);
        case Kind::Real: {
            double r = 0;
            std::memcpy(&r, &object.bits, sizeof r);
            return w.real(r);
        }
        case Kind::Array: {
            const uint64_t node = w.beginContainer();
            uint64_t pairs[4];
            pairs[0] = w.string(QStringLiteral("NS.objects"));
            pairs[2] = uidArray(w, object.refs, object.count);
            pairs[1] = w.string(QStringLiteral("$class"));
            pairs[3] = w.uid(object.cls);
            w.setDictionary(node, pairs);
            return node;
        }
        case Kind::Dictionary: {
            const uint64_t node = w.beginContainer();
            uint64_t pairs[6];
            pairs[0] = w.string(QStringLiteral("NS.keys"));
            pairs[3] = uidArray(w, object.refs, object.count);
            pairs[1] = w.string(QStringLiteral("NS.objects"));
            pairs[4] = uidArray(w, object.refs + object.count, object.count);
            pairs[2] = w.string(QStringLiteral("$class"));
            pairs[5] = w.uid(object.cls);
            w.setDictionary(node, pairs);
            return node;
        }
        case Kind::ArrayClass:
            return writeClass(w, QStringLiteral("NSMutableArray"), QStringLiteral("NSArray"));
        case Kind::DictionaryClass:
            return writeClass(w, QStringLiteral("NSMutableDictionary"), QStringLiteral("NSDictionary"));
        }
        return 0;
    }

    std::vector<Object> objects_;
    std::vector<uint64_t> refs_;
    std::vector<uint64_t> scratch_;
    std::vector<uint64_t> uids_;
    struct StringSlot {
        uint64_t hash = 0;
        uint64_t uid = 0;
    };
    std::vector<StringSlot> stringSlots_;
    std::size_t stringCount_ = 0;
    QHash<uint64_t, uint64_t> bools_;
    QHash<uint64_t, uint64_t> integers_;
    QHash<uint64_t, uint64_t> reals_;
    uint64_t arrayClass_ = 0;
    uint64_t dictionaryClass_ = 0;
};

// ---------------------------------------------------------------------------------
// Reading

struct ReadError {
    QString message;
};

// Owns a libplist tree so that every early return frees it.
struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// libplist keeps every integer as 64 bits and only remembers through its XML form
// whether a negative-looking pattern was in truth a large unsigned value.
bool isBigUnsigned(plist_t node, uint64_t value)
{
    if (value <= static_cast<uint64_t>(std::numeric_limits<qint64>::max()))
        return false;
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    const bool isNegative = xml && QByteArrayView(xml, length).contains("<integer>-");
    if (xml)
        plist_to_xml_free(xml);
    return !isNegative;
}

// An XML property list, parsed by libplist, as a table like a binary one's. Walked with
// a stack of its own, so that deep nesting costs memory, not the call stack.
PlistTable tableFromTree(plist_t root)
{
    using Object = PlistTable::Object;
    using Kind = PlistTable::Kind;
    PlistTable table;
    std::vector<std::pair<plist_t, uint64_t>> work;
    table.setTop(table.append({}));
    work.emplace_back(root, table.top());
    auto textObject = [&table](const char* text, uint64_t length) {
        Object o;
        o.kind = Kind::String;
        o.text = PlistTable::Text::Utf8;
        o.value = table.utf8().size();
        o.count = length;
        table.utf8().append(text, length);
        return o;
    };
    while (!work.empty()) {
        const auto [node, index] = work.back();
        work.pop_back();
        Object o;
        switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t b = 0;
            plist_get_bool_val(node, &b);
            o.kind = Kind::Bool;
            o.value = b != 0;
            break;
        }
        case PLIST_UINT:
            o.kind = Kind::Integer;
            plist_get_uint_val(node, &o.value);
            o.bigUnsigned = isBigUnsigned(node, o.value);
            break;
        case PLIST_REAL: {
            double r = 0;
            plist_get_real_val(node, &r);
            o.kind = Kind::Real;
            std::memcpy(&o.value, &r, sizeof r);
            break;
        }
        case PLIST_KEY:
        case PLIST_STRING: {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            o = textObject(text, length);
            break;
        }
        case PLIST_UID:
            o.kind = Kind::Uid;
            plist_get_uid_val(node, &o.value);
            break;
        case PLIST_DATA:
            o.kind = Kind::Data;
            break;
        case PLIST_DATE:
            o.kind = Kind::Date;
            break;
        case PLIST_ARRAY: {
            o.kind = Kind::Array;
            o.count = plist_array_get_size(node);
            o.value = table.members().size();
            plist_array_iter iter = nullptr;
            plist_array_new_iter(node, &iter);
            plist_t item = nullptr;
            for (plist_array_next_item(node, iter, &item); item; plist_array_next_item(node, iter, &item)) {
                const uint64_t child = table.append({});
                table.members().push_back(child);
                work.emplace_back(item, child);
            }
            std::free(iter);
            o.count = table.members().size() - o.value;
            break;
        }
        case PLIST_DICT: {
            o.kind = Kind::Dictionary;
            o.value = table.members().size();
            std::vector<uint64_t> values;
            plist_dict_iter iter = nullptr;
            plist_dict_new_iter(node, &iter);
            for (;;) {
                char* key = nullptr;
                plist_t value = nullptr;
                plist_dict_next_item(node, iter, &key, &value);
                if (!value) {
                    std::free(key);
                    break;
                }
                table.members().push_back(table.append(textObject(key, std::strlen(key))));
                std::free(key);
                const uint64_t child = table.append({});
                values.push_back(child);
                work.emplace_back(value, child);
            }
            std::free(iter);
            o.count = values.size();
            table.members().insert(table.members().end(), values.begin(), values.end());
            break;
        }
        default:
            break;
        }
        table.objectAt(index) = o;
    }
    return table;
}

class Decoder {
public:
    using Kind = PlistTable::Kind;
    using Object = PlistTable::Object;

    Decoder(const PlistTable& table, const Object& objects, std::size_t inputSize)
        : table_(table),
          objects_(objects),
          count_(objects.count),
          inProgress_(count_, false),
          cached_(count_, -1),
          // Shared objects are materialised once per reference; a legitimate archive
          // spends at least a byte on every reference, so this bound only stops
          // graphs built to multiply themselves.
          budget_(inputSize * 4 + 1024)
    {
    }

    // A decoded object, or nothing for the archiver's "$null".
    std::optional<ArchiveValue> object(uint64_t uid, int depth)
    {
        if (depth > maxDepth)
            throw ReadError{QStringLiteral("The archive nests its objects too deeply.")};
        if (uid >= count_)
            throw ReadError{QStringLiteral("The archive refers to object %1, but it holds only %2 objects.")
                                .arg(uid)
                                .arg(count_)};
        if (budget_ == 0)
            throw ReadError{QStringLiteral("The archive refers to its objects too many times.")};
        --budget_;
        const Object& node = entry(uid);
        switch (node.kind) {
        case Kind::String:
            if (uid == 0 && table_.textIs(node, "$null"))
                return std::nullopt;
            return ArchiveValue(text(uid, node));
        case Kind::Bool:
            return ArchiveValue::fromBool(node.value != 0);
        case Kind::Integer:
            // Above the signed range the number is kept by its magnitude: a password
            // file holds no such values, and a real keeps it closest.
            if (node.bigUnsigned)
                return ArchiveValue::fromReal(static_cast<double>(node.value));
            return ArchiveValue::fromInteger(static_cast<qint64>(node.value));
        case Kind::Real: {
            double r = 0;
            std::memcpy(&r, &node.value, sizeof r);
            return ArchiveValue::fromReal(r);
        }
        case Kind::Dictionary:
            return classed(uid, node, depth);
        case Kind::Data:
            throw ReadError{QStringLiteral("The archive holds raw data, which a password file never contains.")};
        case Kind::Date:
            throw ReadError{QStringLiteral("The archive holds a date, which a password file never contains.")};
        default:
            throw ReadError{QStringLiteral("Object %1 of the archive has a type no archived object can have.").arg(uid)};
        }
    }

    ArchiveValue required(std::optional<uint64_t> uidNode, int depth, const char* where)
    {
        std::optional<ArchiveValue> value = object(uidOf(table_, uidNode, where), depth);
        if (!value)
            throw ReadError{QStringLiteral("The archive holds a null object in %1.").arg(QLatin1String(where))};
        return std::move(*value);
    }

    static uint64_t uidOf(const PlistTable& table, std::optional<uint64_t> index, const char* where)
    {
        if (index) {
            const Object& node = table.at(*index);
            if (node.kind == Kind::Uid)
                return node.value;
            // XML has no reference type: there a reference is a dictionary {CF$UID: n}.
            if (node.kind == Kind::Dictionary && node.count == 1) {
                const std::optional<uint64_t> value = table.find(node, "CF$UID");
                if (value && table.at(*value).kind == Kind::Integer)
                    return table.at(*value).value;
            }
        }
        throw ReadError{QStringLiteral("The archive has no object reference in %1.").arg(QLatin1String(where))};
    }

private:
    static constexpr int maxDepth = 256;

    enum class Class : int8_t { String, Array, Dictionary, Other };
    struct ClassInfo {
        Class kind;
        QString name;
    };

    const Object& entry(uint64_t uid) const { return table_.at(table_.member(objects_, uid)); }

    // Keys and common values are shared by every entry: one copy of each text serves
    // them all, which saves an allocation per reference.
    QString text(uint64_t uid, const Object& node)
    {
        if (cached_[uid] >= 0)
            return texts_[std::size_t(cached_[uid])];
        QString s = table_.string(node);
        if (texts_.size() < std::size_t(std::numeric_limits<int32_t>::max())) {
            cached_[uid] = int32_t(texts_.size());
            texts_.push_back(s);
        }
        return s;
    }

    // Every object of a class names the same description: it is read once.
    const ClassInfo& classOf(const Object& object)
    {
        const uint64_t classId = uidOf(table_, table_.find(object, "$class"), "an object's class");
        if (classId >= count_)
            throw ReadError{QStringLiteral("The archive refers to class %1, but it holds only %2 objects.")
                                .arg(classId)
                                .arg(count_)};
        const Object& description = entry(classId);
        // Only texts and class descriptions are kept, and the kind tells them apart.
        if (description.kind == Kind::Dictionary && cached_[classId] >= 0)
            return knownClasses_[std::size_t(cached_[classId])];
        const std::optional<uint64_t> name =
            description.kind == Kind::Dictionary ? table_.find(description, "$classname") : std::nullopt;
        if (!name || table_.at(*name).kind != Kind::String)
            throw ReadError{QStringLiteral("The archive has a class description without a class name.")};
        const QString cls = table_.string(table_.at(*name));
        Class kind = Class::Other;
        if (cls == u"NSString" || cls == u"NSMutableString")
            kind = Class::String;
        else if (cls == u"NSArray" || cls == u"NSMutableArray")
            kind = Class::Array;
        else if (cls == u"NSDictionary" || cls == u"NSMutableDictionary")
            kind = Class::Dictionary;
        // Few distinct classes exist in a legitimate archive; a hostile one naming a
        // new description per object only costs what its bytes pay for.
        cached_[classId] = int32_t(knownClasses_.size());
        knownClasses_.push_back(ClassInfo{kind, cls});
        return knownClasses_.back();
    }

    const Object& member(const Object& object, const char* key, Kind kind, const QString& cls) const
    {
        const std::optional<uint64_t> index = table_.find(object, key);
        if (!index || table_.at(*index).kind != kind)
            throw ReadError{QStringLiteral("The archive's %1 has no usable \"%2\".").arg(cls, QLatin1String(key))};
        return table_.at(*index);
    }

    std::optional<ArchiveValue> classed(uint64_t uid, const Object& object, int depth)
    {
        const ClassInfo& info = classOf(object);
        // Copied: describing a later class may move the stored ones.
        const Class kind = info.kind;
        const QString cls = info.name;
        if (inProgress_[uid])
            throw ReadError{QStringLiteral("The archive's %1 contains itself.").arg(cls)};
        inProgress_[uid] = true;
        std::optional<ArchiveValue> result = classedMembers(object, kind, cls, depth);
        inProgress_[uid] = false;
        return result;
    }

    std::optional<ArchiveValue> classedMembers(const Object& object, Class kind, const QString& cls, int depth)
    {
        switch (kind) {
        case Class::String: {
            const std::optional<uint64_t> text = table_.find(object, "NS.string");
            if (text && table_.at(*text).kind == Kind::String)
                return ArchiveValue(table_.string(table_.at(*text)));
            ArchiveValue inner = required(text, depth + 1, "a string");
            if (inner.type() != ArchiveValue::Type::String)
                throw ReadError{QStringLiteral("The archive's %1 holds no text.").arg(cls)};
            return inner;
        }
        case Class::Array: {
            const Object& items = member(object, "NS.objects", Kind::Array, cls);
            ArchiveValue::Array array;
            array.reserve(std::size_t(std::min<uint64_t>(items.count, budget_)));
            for (uint64_t i = 0; i < items.count; ++i)
                array.push_back(required(table_.member(items, i), depth + 1, "an array"));
            return ArchiveValue::fromArray(std::move(array));
        }
        case Class::Dictionary:
            return dictionary(object, cls, depth);
        case Class::Other:
            break;
        }
        throw ReadError{QStringLiteral("The archive holds an object of class %1, which a password file never contains.")
                            .arg(cls)};
    }

    std::optional<ArchiveValue> dictionary(const Object& object, const QString& cls, int depth)
    {
        const Object& keys = member(object, "NS.keys", Kind::Array, cls);
        const Object& values = member(object, "NS.objects", Kind::Array, cls);
        const uint64_t n = keys.count;
        if (values.count != n)
            throw ReadError{QStringLiteral("The archive's %1 has %2 keys but %3 values.")
                                .arg(cls)
                                .arg(n)
                                .arg(values.count)};
        ArchiveValue::Dictionary dictionary;
        dictionary.reserve(std::size_t(std::min<uint64_t>(n, budget_)));
        // Entries hold a few dozen keys, where a search beats an index; a large
        // dictionary gets one so that repeated keys cannot make reading quadratic.
        constexpr std::size_t indexFrom = 32;
        QHash<QString, std::size_t> index;
        for (uint64_t i = 0; i < n; ++i) {
            ArchiveValue key = required(table_.member(keys, i), depth + 1, "a dictionary key");
            if (key.type() != ArchiveValue::Type::String)
                throw ReadError{QStringLiteral("The archive's %1 has a key that is not text.").arg(cls)};
            std::optional<ArchiveValue> value =
                this->object(uidOf(table_, table_.member(values, i), "a dictionary"), depth + 1);
            // A null value is the same as no value: every reader treats a missing key
            // as empty, so dropping it loses nothing a user could see.
            if (!value)
                continue;
            std::size_t same = dictionary.size();
            if (dictionary.size() < indexFrom) {
                for (std::size_t j = 0; j < dictionary.size(); ++j) {
                    if (dictionary[j].first == key.string()) {
                        same = j;
                        break;
                    }
                }
            } else {
                if (index.isEmpty()) {
                    for (std::size_t j = 0; j < dictionary.size(); ++j)
                        index.insert(dictionary[j].first, j);
                }
                same = index.value(key.string(), dictionary.size());
                if (same == dictionary.size())
                    index.insert(key.string(), same);
            }
            // As with the platform's dictionaries, a repeated key keeps its last value.
            if (same != dictionary.size())
                dictionary[same].second = std::move(*value);
            else
                dictionary.emplace_back(key.string(), std::move(*value));
        }
        return ArchiveValue::fromDictionary(std::move(dictionary));
    }

    const PlistTable& table_;
    const Object& objects_;
    uint64_t count_;
    std::vector<bool> inProgress_;
    // Per object, where its decoded form is kept: in knownClasses_ for a class
    // description, in texts_ for a text.
    std::vector<int32_t> cached_;
    std::vector<ClassInfo> knownClasses_;
    std::vector<QString> texts_;
    std::size_t budget_;
};

ArchiveReadResult failure(QString message)
{
    ArchiveReadResult result;
    result.error = std::move(message);
    return result;
}

}  // namespace

QByteArray encode(const ArchiveValue& root)
{
    Encoder encoder;
    encoder.encode(root);
    return encoder.write();
}

ArchiveReadResult decode(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return failure(QStringLiteral("The archive is empty."));
    if (static_cast<quint64>(bytes.size()) > std::numeric_limits<uint32_t>::max())
        return failure(QStringLiteral("The archive is too large."));
    // Binary lists, which every archive this program writes is, are read straight
    // into a table; libplist reads the XML ones.
    std::optional<PlistTable> read;
    if (plist_is_binary(bytes.constData(), static_cast<uint32_t>(bytes.size()))) {
        read = PlistTable::readBinary(bytes);
    } else {
        plist_t parsed = nullptr;
        plist_from_xml(bytes.constData(), static_cast<uint32_t>(bytes.size()), &parsed);
        PlistPtr tree(parsed);
        if (parsed)
            read = tableFromTree(parsed);
    }
    if (!read)
        return failure(QStringLiteral("The data is not a property list."));
    const PlistTable& table = *read;
    const PlistTable::Object& top = table.at(table.top());
    if (top.kind != PlistTable::Kind::Dictionary)
        return failure(QStringLiteral("The property list is not a keyed archive."));

    const std::optional<uint64_t> archiver = table.find(top, "$archiver");
    if (!archiver || !table.textIs(table.at(*archiver), "NSKeyedArchiver"))
        return failure(QStringLiteral("The property list was not written by a keyed archiver."));
    const std::optional<uint64_t> version = table.find(top, "$version");
    if (version && table.at(*version).kind != PlistTable::Kind::Integer)
        return failure(QStringLiteral("The keyed archive has an unreadable version."));
    const std::optional<uint64_t> objects = table.find(top, "$objects");
    if (!objects || table.at(*objects).kind != PlistTable::Kind::Array)
        return failure(QStringLiteral("The keyed archive has no object table."));
    const std::optional<uint64_t> topRefs = table.find(top, "$top");
    if (!topRefs || table.at(*topRefs).kind != PlistTable::Kind::Dictionary)
        return failure(QStringLiteral("The keyed archive has no top object."));

    try {
        Decoder decoder(table, table.at(*objects), static_cast<std::size_t>(bytes.size()));
        std::optional<ArchiveValue> root = decoder.object(
            Decoder::uidOf(table, table.find(table.at(*topRefs), "root"), "its top object"), 0);
        if (!root)
            return failure(QStringLiteral("The keyed archive holds no root object."));
        ArchiveReadResult result;
        result.root = std::move(root);
        return result;
    } catch (const ReadError& error) {
        return failure(error.message);
    }
}

}  // namespace quorly::KeyedArchive
