#include "platform/KeyedArchiveReader.h"

#include "platform/XmlPlistReader.h"

#include <plist/plist.h>

#include <QHash>

#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <unordered_map>
#include <vector>

namespace quorly::KeyedArchive {

namespace {

using Kind = PlistTable::Kind;
using Object = PlistTable::Object;

struct ReadError {
    QString message;
};

// One archived object, looked up but not yet handed on: a scalar or a text as it is,
// a container by its members.
struct Resolved {
    enum class Kind : uint8_t { Null, Text, Bool, Integer, Real, Array, Dictionary };
    Kind kind = Kind::Null;
    PlistTable::TextView text;
    uint64_t bits = 0;           // the scalar; for a container its uid
    Object members;              // an array's items; a dictionary's keys
    Object values;               // a dictionary's values
    const QString* cls = nullptr;  // a container's class name, for messages
};

class Decoder {
public:
    Decoder(const PlistTable& table, const Object& objects, std::size_t inputSize, Visitor& visitor)
        : table_(table),
          objects_(objects),
          count_(objects.count),
          visitor_(visitor),
          inProgress_(count_, false),
          keyIds_(count_, -1),
          // Shared objects are handed on once per reference; a legitimate archive
          // spends at least a byte on every reference, so this bound only stops
          // graphs built to multiply themselves.
          budget_(inputSize * 4 + 1024)
    {
    }

    void root(uint64_t uid)
    {
        const Resolved root = resolve(uid, 0);
        if (root.kind == Resolved::Kind::Null)
            throw ReadError{QStringLiteral("The keyed archive holds no root object.")};
        hand(root, 0);
    }

    static uint64_t uidOf(const PlistTable& table, std::optional<uint64_t> index, const char* where)
    {
        if (index) {
            const Object node = table.at(*index);
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

    Object entry(uint64_t uid) const { return table_.at(table_.member(objects_, uid)); }

    void check(bool ok) const
    {
        if (!ok)
            throw ReadError{visitor_.error.isEmpty() ? QStringLiteral("The archive holds what was not expected.")
                                                     : visitor_.error};
    }

    Resolved resolve(uint64_t uid, int depth)
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
        const Object node = entry(uid);
        Resolved r;
        switch (node.kind) {
        case Kind::String:
            if (uid == 0 && table_.textIs(node, "$null"))
                return r;
            r.kind = Resolved::Kind::Text;
            r.text = table_.view(node);
            return r;
        case Kind::Bool:
            r.kind = Resolved::Kind::Bool;
            r.bits = node.value;
            return r;
        case Kind::Integer:
            if (node.bigUnsigned) {
                const double magnitude = static_cast<double>(node.value);
                r.kind = Resolved::Kind::Real;
                std::memcpy(&r.bits, &magnitude, sizeof magnitude);
            } else {
                r.kind = Resolved::Kind::Integer;
                r.bits = node.value;
            }
            return r;
        case Kind::Real:
            r.kind = Resolved::Kind::Real;
            r.bits = node.value;
            return r;
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

    Resolved required(std::optional<uint64_t> uidNode, int depth, const char* where)
    {
        Resolved r = resolve(uidOf(table_, uidNode, where), depth);
        if (r.kind == Resolved::Kind::Null)
            throw ReadError{QStringLiteral("The archive holds a null object in %1.").arg(QLatin1String(where))};
        return r;
    }

    // Every object of a class names the same description: it is read once.
    const ClassInfo& classOf(const Object& object)
    {
        const uint64_t classId = uidOf(table_, table_.find(object, "$class"), "an object's class");
        if (classId >= count_)
            throw ReadError{QStringLiteral("The archive refers to class %1, but it holds only %2 objects.")
                                .arg(classId)
                                .arg(count_)};
        if (const auto known = classes_.find(classId); known != classes_.end())
            return *known->second;
        const Object description = entry(classId);
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
        knownClasses_.push_back(ClassInfo{kind, cls});
        classes_.emplace(classId, &knownClasses_.back());
        return knownClasses_.back();
    }

    Object member(const Object& object, const char* key, Kind kind, const QString& cls) const
    {
        const std::optional<uint64_t> index = table_.find(object, key);
        if (!index || table_.at(*index).kind != kind)
            throw ReadError{QStringLiteral("The archive's %1 has no usable \"%2\".").arg(cls, QLatin1String(key))};
        return table_.at(*index);
    }

    Resolved classed(uint64_t uid, const Object& object, int depth)
    {
        const ClassInfo& info = classOf(object);
        Resolved r;
        r.bits = uid;
        r.cls = &info.name;
        switch (info.kind) {
        case Class::String: {
            const std::optional<uint64_t> text = table_.find(object, "NS.string");
            if (text && table_.at(*text).kind == Kind::String) {
                r.kind = Resolved::Kind::Text;
                r.text = table_.view(table_.at(*text));
                return r;
            }
            if (inProgress_[uid])
                throw ReadError{QStringLiteral("The archive's %1 contains itself.").arg(info.name)};
            inProgress_[uid] = true;
            const Resolved inner = required(text, depth + 1, "a string");
            inProgress_[uid] = false;
            if (inner.kind != Resolved::Kind::Text)
                throw ReadError{QStringLiteral("The archive's %1 holds no text.").arg(info.name)};
            return inner;
        }
        case Class::Array:
            r.kind = Resolved::Kind::Array;
            r.members = member(object, "NS.objects", Kind::Array, info.name);
            return r;
        case Class::Dictionary:
            r.kind = Resolved::Kind::Dictionary;
            r.members = member(object, "NS.keys", Kind::Array, info.name);
            r.values = member(object, "NS.objects", Kind::Array, info.name);
            if (r.values.count != r.members.count)
                throw ReadError{QStringLiteral("The archive's %1 has %2 keys but %3 values.")
                                    .arg(info.name)
                                    .arg(r.members.count)
                                    .arg(r.values.count)};
            return r;
        case Class::Other:
            break;
        }
        throw ReadError{QStringLiteral("The archive holds an object of class %1, which a password file never contains.")
                            .arg(info.name)};
    }

    // The one text of every key equal to the key of object `uid`.
    uint32_t keyId(uint64_t uid, const PlistTable::TextView& text)
    {
        if (keyIds_[uid] >= 0)
            return uint32_t(keyIds_[uid]);
        const QString key = text.toString();
        auto found = keyIndex_.constFind(key);
        uint32_t id = 0;
        if (found != keyIndex_.constEnd()) {
            id = *found;
        } else {
            id = uint32_t(keys_.size());
            keys_.push_back(key);
            keyIndex_.insert(key, id);
        }
        keyIds_[uid] = int32_t(id);
        return id;
    }

    void hand(const Resolved& r, int depth)
    {
        switch (r.kind) {
        case Resolved::Kind::Null:
            break;
        case Resolved::Kind::Text:
            check(visitor_.text(r.text));
            break;
        case Resolved::Kind::Bool:
            check(visitor_.boolean(r.bits != 0));
            break;
        case Resolved::Kind::Integer:
            check(visitor_.integer(static_cast<qint64>(r.bits)));
            break;
        case Resolved::Kind::Real: {
            double value = 0;
            std::memcpy(&value, &r.bits, sizeof value);
            check(visitor_.real(value));
            break;
        }
        case Resolved::Kind::Array:
        case Resolved::Kind::Dictionary:
            if (inProgress_[r.bits])
                throw ReadError{QStringLiteral("The archive's %1 contains itself.").arg(*r.cls)};
            inProgress_[r.bits] = true;
            if (r.kind == Resolved::Kind::Array)
                handArray(r, depth);
            else
                handDictionary(r, depth);
            inProgress_[r.bits] = false;
            break;
        }
    }

    void handArray(const Resolved& array, int depth)
    {
        check(visitor_.beginArray(array.members.count));
        for (uint64_t i = 0; i < array.members.count; ++i)
            hand(required(table_.member(array.members, i), depth + 1, "an array"), depth + 1);
        check(visitor_.endArray());
    }

    void handDictionary(const Resolved& dictionary, int depth)
    {
        const uint64_t n = dictionary.members.count;
        check(visitor_.beginDictionary(n));
        for (uint64_t i = 0; i < n; ++i) {
            const uint64_t keyUid = uidOf(table_, table_.member(dictionary.members, i), "a dictionary key");
            // Every entry names the same few key objects: one already known to be text
            // is not looked at again, though it still counts against the budget.
            const bool knownKey = keyUid < count_ && keyIds_[keyUid] >= 0;
            Resolved key;
            if (knownKey) {
                if (budget_ == 0)
                    throw ReadError{QStringLiteral("The archive refers to its objects too many times.")};
                --budget_;
            } else {
                key = resolve(keyUid, depth + 1);
                if (key.kind == Resolved::Kind::Null)
                    throw ReadError{QStringLiteral("The archive holds a null object in a dictionary key.")};
                if (key.kind != Resolved::Kind::Text)
                    throw ReadError{
                        QStringLiteral("The archive's %1 has a key that is not text.").arg(*dictionary.cls)};
            }
            const Resolved value = resolve(uidOf(table_, table_.member(dictionary.values, i), "a dictionary"), depth + 1);
            // A null value is the same as no value: every reader treats a missing key
            // as empty, so dropping it loses nothing a user could see.
            if (value.kind == Resolved::Kind::Null)
                continue;
            const uint32_t id = knownKey ? uint32_t(keyIds_[keyUid]) : keyId(keyUid, key.text);
            check(visitor_.key(keys_[id], id));
            hand(value, depth + 1);
        }
        check(visitor_.endDictionary());
    }

    const PlistTable& table_;
    const Object objects_;
    uint64_t count_;
    Visitor& visitor_;
    std::vector<bool> inProgress_;
    std::vector<int32_t> keyIds_;
    std::vector<QString> keys_;
    QHash<QString, uint32_t> keyIndex_;
    std::deque<ClassInfo> knownClasses_;  // stays put while more are added
    std::unordered_map<uint64_t, const ClassInfo*> classes_;
    std::size_t budget_;
};

bool failure(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

}  // namespace

bool read(QByteArrayView bytes, Visitor& visitor, QString* error)
{
    if (bytes.isEmpty())
        return failure(error, QStringLiteral("The archive is empty."));
    if (static_cast<quint64>(bytes.size()) > std::numeric_limits<uint32_t>::max())
        return failure(error, QStringLiteral("The archive is too large."));
    // Binary lists, which every archive this program writes is, are read in place;
    // libplist reads the XML ones.
    const std::optional<PlistTable> read = plist_is_binary(bytes.data(), static_cast<uint32_t>(bytes.size()))
                                               ? PlistTable::readBinary(bytes)
                                               : readXmlPlist(bytes);
    if (!read)
        return failure(error, QStringLiteral("The data is not a property list."));
    const PlistTable& table = *read;
    const PlistTable::Object top = table.at(table.top());
    if (top.kind != PlistTable::Kind::Dictionary)
        return failure(error, QStringLiteral("The property list is not a keyed archive."));

    const std::optional<uint64_t> archiver = table.find(top, "$archiver");
    if (!archiver || !table.textIs(table.at(*archiver), "NSKeyedArchiver"))
        return failure(error, QStringLiteral("The property list was not written by a keyed archiver."));
    const std::optional<uint64_t> version = table.find(top, "$version");
    if (version && table.at(*version).kind != PlistTable::Kind::Integer)
        return failure(error, QStringLiteral("The keyed archive has an unreadable version."));
    const std::optional<uint64_t> objects = table.find(top, "$objects");
    if (!objects || table.at(*objects).kind != PlistTable::Kind::Array)
        return failure(error, QStringLiteral("The keyed archive has no object table."));
    const std::optional<uint64_t> topRefs = table.find(top, "$top");
    if (!topRefs || table.at(*topRefs).kind != PlistTable::Kind::Dictionary)
        return failure(error, QStringLiteral("The keyed archive has no top object."));

    try {
        Decoder decoder(table, table.at(*objects), static_cast<std::size_t>(bytes.size()), visitor);
        decoder.root(Decoder::uidOf(table, table.find(table.at(*topRefs), "root"), "its top object"));
        return true;
    } catch (const ReadError& e) {
        return failure(error, e.message);
    }
}

}  // namespace quorly::KeyedArchive
