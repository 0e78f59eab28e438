#include "platform/KeyedArchive.h"

#include "platform/BinaryPlistWriter.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quorly::KeyedArchive {

namespace {

constexpr uint64_t archiveVersion = 100000;

// Owns a libplist tree so that every early return frees it.
struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// ---------------------------------------------------------------------------------
// Writing

class Encoder {
public:
    Encoder() : objects_(plist_new_array()) { plist_array_append_item(objects_, plist_new_string("$null")); }
    ~Encoder() { plist_free(objects_); }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // Hands the finished object table to the caller.
    plist_t release()
    {
        plist_t result = objects_;
        objects_ = nullptr;
        return result;
    }

    uint64_t encode(const ArchiveValue& value)
    {
        switch (value.type()) {
        case ArchiveValue::Type::String:
            return encodeString(value.string());
        case ArchiveValue::Type::Bool:
            return encodeScalar(0, value.boolean() ? 1 : 0, [&] { return plist_new_bool(value.boolean()); });
        case ArchiveValue::Type::Integer:
            // A 64-bit two's-complement pattern is what the binary format stores for
            // a signed integer, so negative values come out as the platform writes them.
            return encodeScalar(1, static_cast<uint64_t>(value.integer()),
                                [&] { return plist_new_uint(static_cast<uint64_t>(value.integer())); });
        case ArchiveValue::Type::Real: {
            uint64_t bits = 0;
            const double r = value.real();
            std::memcpy(&bits, &r, sizeof bits);
            return encodeScalar(2, bits, [&] { return plist_new_real(r); });
        }
        case ArchiveValue::Type::Array:
            return encodeArray(value.array());
        case ArchiveValue::Type::Dictionary:
            return encodeDictionary(value.dictionary());
        }
        return 0;
    }

private:
    uint64_t append(plist_t node)
    {
        // Counted here: libplist counts an array's items by walking it.
        plist_array_append_item(objects_, node);
        return objectCount_++;
    }

    // Equal strings and equal numbers of the same kind become one object referred to
    // from several places, as the platform's archiver does for shared objects.
    uint64_t encodeString(const QString& s)
    {
        auto found = strings_.find(s);
        if (found != strings_.end())
            return found->second;
        // libplist strings are C strings: a NUL character would end the stored text.
        const uint64_t uid = append(plist_new_string(s.toUtf8().constData()));
        strings_.emplace(s, uid);
        return uid;
    }

    template <typename Make>
    uint64_t encodeScalar(int kind, uint64_t bits, Make make)
    {
        const auto key = std::make_pair(kind, bits);
        auto found = numbers_.find(key);
        if (found != numbers_.end())
            return found->second;
        const uint64_t uid = append(make());
        numbers_.emplace(key, uid);
        return uid;
    }

    uint64_t classUid(uint64_t& slot, const char* name, const char* immutableName)
    {
        if (slot == 0) {
            plist_t description = plist_new_dict();
            plist_t classes = plist_new_array();
            plist_array_append_item(classes, plist_new_string(name));
            plist_array_append_item(classes, plist_new_string(immutableName));
            plist_array_append_item(classes, plist_new_string("NSObject"));
            plist_dict_set_item(description, "$classname", plist_new_string(name));
            plist_dict_set_item(description, "$classes", classes);
            slot = append(description);
        }
        return slot;
    }

    static plist_t uidArray(const std::vector<uint64_t>& uids)
    {
        plist_t array = plist_new_array();
        for (uint64_t uid : uids)
            plist_array_append_item(array, plist_new_uid(uid));
        return array;
    }

    // The container takes its place in the table before its members, and its class
    // description follows them: the order in which the platform's archiver fills it.
    uint64_t encodeArray(const ArchiveValue::Array& array)
    {
        plist_t node = plist_new_dict();
        const uint64_t uid = append(node);
        std::vector<uint64_t> members;
        members.reserve(array.size());
        for (const ArchiveValue& item : array)
            members.push_back(encode(item));
        plist_dict_set_item(node, "NS.objects", uidArray(members));
        plist_dict_set_item(node, "$class", plist_new_uid(classUid(arrayClass_, "NSMutableArray", "NSArray")));
        return uid;
    }

    uint64_t encodeDictionary(const ArchiveValue::Dictionary& dictionary)
    {
        plist_t node = plist_new_dict();
        const uint64_t uid = append(node);
        std::vector<uint64_t> keys;
        std::vector<uint64_t> values;
        keys.reserve(dictionary.size());
        values.reserve(dictionary.size());
        for (const auto& entry : dictionary)
            keys.push_back(encodeString(entry.first));
        for (const auto& entry : dictionary)
            values.push_back(encode(entry.second));
        plist_dict_set_item(node, "NS.keys", uidArray(keys));
        plist_dict_set_item(node, "NS.objects", uidArray(values));
        plist_dict_set_item(node, "$class",
                            plist_new_uid(classUid(dictionaryClass_, "NSMutableDictionary", "NSDictionary")));
        return uid;
    }

    plist_t objects_;
    uint64_t objectCount_ = 1;  // "$null"
    std::map<QString, uint64_t> strings_;
    std::map<std::pair<int, uint64_t>, uint64_t> numbers_;
    uint64_t arrayClass_ = 0;
    uint64_t dictionaryClass_ = 0;
};

// ---------------------------------------------------------------------------------
// Reading

struct ReadError {
    QString message;
};

// The items of a plist array. libplist finds an item by index by walking the array
// from its start, so reading items one by one by index is quadratic in large archives.
std::vector<plist_t> itemsOf(plist_t array)
{
    std::vector<plist_t> items;
    items.reserve(plist_array_get_size(array));
    plist_array_iter iter = nullptr;
    plist_array_new_iter(array, &iter);
    plist_t item = nullptr;
    for (plist_array_next_item(array, iter, &item); item; plist_array_next_item(array, iter, &item))
        items.push_back(item);
    free(iter);
    return items;
}

class Decoder {
public:
    Decoder(plist_t objects, std::size_t inputSize)
        : objects_(itemsOf(objects)),
          count_(objects_.size()),
          inProgress_(count_, false),
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
        plist_t node = objects_[uid];
        switch (plist_get_node_type(node)) {
        case PLIST_STRING: {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            if (uid == 0 && length == 5 && std::memcmp(text, "$null", 5) == 0)
                return std::nullopt;
            return ArchiveValue(QString::fromUtf8(text, static_cast<qsizetype>(length)));
        }
        case PLIST_BOOLEAN: {
            uint8_t b = 0;
            plist_get_bool_val(node, &b);
            return ArchiveValue::fromBool(b != 0);
        }
        case PLIST_UINT:
            return integer(node);
        case PLIST_REAL: {
            double r = 0;
            plist_get_real_val(node, &r);
            return ArchiveValue::fromReal(r);
        }
        case PLIST_DICT:
            return classed(uid, node, depth);
        case PLIST_DATA:
            throw ReadError{QStringLiteral("The archive holds raw data, which a password file never contains.")};
        case PLIST_DATE:
            throw ReadError{QStringLiteral("The archive holds a date, which a password file never contains.")};
        default:
            throw ReadError{QStringLiteral("Object %1 of the archive has a type no archived object can have.").arg(uid)};
        }
    }

    ArchiveValue required(plist_t uidNode, int depth, const char* where)
    {
        std::optional<ArchiveValue> value = object(uidOf(uidNode, where), depth);
        if (!value)
            throw ReadError{QStringLiteral("The archive holds a null object in %1.").arg(QLatin1String(where))};
        return std::move(*value);
    }

    static uint64_t uidOf(plist_t node, const char* where)
    {
        uint64_t uid = 0;
        if (node && plist_get_node_type(node) == PLIST_UID) {
            plist_get_uid_val(node, &uid);
            return uid;
        }
        // XML has no reference type: there a reference is a dictionary {CF$UID: n}.
        if (node && plist_get_node_type(node) == PLIST_DICT && plist_dict_get_size(node) == 1) {
            plist_t value = plist_dict_get_item(node, "CF$UID");
            if (value && plist_get_node_type(value) == PLIST_UINT) {
                plist_get_uint_val(value, &uid);
                return uid;
            }
        }
        throw ReadError{QStringLiteral("The archive has no object reference in %1.").arg(QLatin1String(where))};
    }

private:
    static constexpr int maxDepth = 256;

    // libplist keeps every integer as 64 bits and only remembers through its XML form
    // whether a negative-looking pattern was in truth a large unsigned value.
    static ArchiveValue integer(plist_t node)
    {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        if (u <= static_cast<uint64_t>(std::numeric_limits<qint64>::max()))
            return ArchiveValue::fromInteger(static_cast<qint64>(u));
        char* xml = nullptr;
        uint32_t length = 0;
        plist_to_xml(node, &xml, &length);
        const bool isNegative = xml && QByteArrayView(xml, length).contains("<integer>-");
        if (xml)
            plist_to_xml_free(xml);
        if (isNegative)
            return ArchiveValue::fromInteger(static_cast<qint64>(u));
        // Above the signed range the number is kept by its magnitude: a password file
        // holds no such values, and a real keeps it closest.
        return ArchiveValue::fromReal(static_cast<double>(u));
    }

    QString className(plist_t object)
    {
        const uint64_t classId = uidOf(plist_dict_get_item(object, "$class"), "an object's class");
        if (classId >= count_)
            throw ReadError{QStringLiteral("The archive refers to class %1, but it holds only %2 objects.")
                                .arg(classId)
                                .arg(count_)};
        plist_t description = classId < count_ ? objects_[classId] : nullptr;
        plist_t name = plist_get_node_type(description) == PLIST_DICT ? plist_dict_get_item(description, "$classname")
                                                                      : nullptr;
        if (!name || plist_get_node_type(name) != PLIST_STRING)
            throw ReadError{QStringLiteral("The archive has a class description without a class name.")};
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(name, &length);
        return QString::fromUtf8(text, static_cast<qsizetype>(length));
    }

    static plist_t member(plist_t object, const char* key, plist_type type, const QString& cls)
    {
        plist_t node = plist_dict_get_item(object, key);
        if (!node || plist_get_node_type(node) != type)
            throw ReadError{QStringLiteral("The archive's %1 has no usable \"%2\".").arg(cls, QLatin1String(key))};
        return node;
    }

    std::optional<ArchiveValue> classed(uint64_t uid, plist_t object, int depth)
    {
        const QString cls = className(object);
        if (inProgress_[uid])
            throw ReadError{QStringLiteral("The archive's %1 contains itself.").arg(cls)};
        inProgress_[uid] = true;
        std::optional<ArchiveValue> result = classedMembers(object, cls, depth);
        inProgress_[uid] = false;
        return result;
    }

    std::optional<ArchiveValue> classedMembers(plist_t object, const QString& cls, int depth)
    {
        if (cls == u"NSString" || cls == u"NSMutableString") {
            plist_t text = plist_dict_get_item(object, "NS.string");
            if (text && plist_get_node_type(text) == PLIST_STRING) {
                uint64_t length = 0;
                const char* bytes = plist_get_string_ptr(text, &length);
                return ArchiveValue(QString::fromUtf8(bytes, static_cast<qsizetype>(length)));
            }
            ArchiveValue inner = required(text, depth + 1, "a string");
            if (inner.type() != ArchiveValue::Type::String)
                throw ReadError{QStringLiteral("The archive's %1 holds no text.").arg(cls)};
            return inner;
        }
        if (cls == u"NSArray" || cls == u"NSMutableArray") {
            plist_t items = member(object, "NS.objects", PLIST_ARRAY, cls);
            const std::vector<plist_t> nodes = itemsOf(items);
            ArchiveValue::Array array;
            array.reserve(nodes.size());
            for (plist_t node : nodes)
                array.push_back(required(node, depth + 1, "an array"));
            return ArchiveValue::fromArray(std::move(array));
        }
        if (cls == u"NSDictionary" || cls == u"NSMutableDictionary") {
            plist_t keys = member(object, "NS.keys", PLIST_ARRAY, cls);
            plist_t values = member(object, "NS.objects", PLIST_ARRAY, cls);
            const std::vector<plist_t> keyNodes = itemsOf(keys);
            const std::vector<plist_t> valueNodes = itemsOf(values);
            const auto n = keyNodes.size();
            if (valueNodes.size() != n)
                throw ReadError{QStringLiteral("The archive's %1 has %2 keys but %3 values.")
                                    .arg(cls)
                                    .arg(n)
                                    .arg(plist_array_get_size(values))};
            ArchiveValue::Dictionary dictionary;
            dictionary.reserve(n);
            for (std::size_t i = 0; i < n; ++i) {
                ArchiveValue key = required(keyNodes[i], depth + 1, "a dictionary key");
                if (key.type() != ArchiveValue::Type::String)
                    throw ReadError{QStringLiteral("The archive's %1 has a key that is not text.").arg(cls)};
                std::optional<ArchiveValue> value = this->object(uidOf(valueNodes[i], "a dictionary"), depth + 1);
                // A null value is the same as no value: every reader treats a missing key
                // as empty, so dropping it loses nothing a user could see.
                if (!value)
                    continue;
                auto same = std::find_if(dictionary.begin(), dictionary.end(),
                                         [&](const auto& pair) { return pair.first == key.string(); });
                // As with the platform's dictionaries, a repeated key keeps its last value.
                if (same != dictionary.end())
                    same->second = std::move(*value);
                else
                    dictionary.emplace_back(key.string(), std::move(*value));
            }
            return ArchiveValue::fromDictionary(std::move(dictionary));
        }
        throw ReadError{QStringLiteral("The archive holds an object of class %1, which a password file never contains.")
                            .arg(cls)};
    }

    std::vector<plist_t> objects_;
    uint64_t count_;
    std::vector<bool> inProgress_;
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
    PlistPtr top(plist_new_dict());
    plist_t topNode = static_cast<plist_t>(top.get());
    plist_t rootRef = plist_new_dict();
    plist_dict_set_item(rootRef, "root", plist_new_uid(1));
    plist_dict_set_item(topNode, "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_dict_set_item(topNode, "$version", plist_new_uint(archiveVersion));
    plist_dict_set_item(topNode, "$top", rootRef);
    plist_dict_set_item(topNode, "$objects", encoder.release());

    QByteArray out = BinaryPlist::write(topNode);
    if (!out.isEmpty())
        return out;
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(topNode, &bytes, &length);
    out = QByteArray(bytes, static_cast<qsizetype>(length));
    plist_to_bin_free(bytes);
    return out;
}

ArchiveReadResult decode(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return failure(QStringLiteral("The archive is empty."));
    if (static_cast<quint64>(bytes.size()) > std::numeric_limits<uint32_t>::max())
        return failure(QStringLiteral("The archive is too large."));
    plist_t parsed = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &parsed);
    PlistPtr top(parsed);
    if (!parsed)
        return failure(QStringLiteral("The data is not a property list."));
    if (plist_get_node_type(parsed) != PLIST_DICT)
        return failure(QStringLiteral("The property list is not a keyed archive."));

    plist_t archiver = plist_dict_get_item(parsed, "$archiver");
    if (!archiver || plist_get_node_type(archiver) != PLIST_STRING ||
        plist_string_val_compare(archiver, "NSKeyedArchiver") != 0)
        return failure(QStringLiteral("The property list was not written by a keyed archiver."));
    plist_t version = plist_dict_get_item(parsed, "$version");
    if (version && plist_get_node_type(version) != PLIST_UINT)
        return failure(QStringLiteral("The keyed archive has an unreadable version."));
    plist_t objects = plist_dict_get_item(parsed, "$objects");
    if (!objects || plist_get_node_type(objects) != PLIST_ARRAY)
        return failure(QStringLiteral("The keyed archive has no object table."));
    plist_t topRefs = plist_dict_get_item(parsed, "$top");
    if (!topRefs || plist_get_node_type(topRefs) != PLIST_DICT)
        return failure(QStringLiteral("The keyed archive has no top object."));

    try {
        Decoder decoder(objects, static_cast<std::size_t>(bytes.size()));
        std::optional<ArchiveValue> root =
            decoder.object(Decoder::uidOf(plist_dict_get_item(topRefs, "root"), "its top object"), 0);
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
