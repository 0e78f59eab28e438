#include "platform/KeyedArchiveWriter.h"

#include "platform/BinaryPlistStream.h"
#include "platform/ByteSink.h"
#include "platform/Crypto.h"
#include "platform/TextViews.h"

#include <algorithm>
#include <cstring>

namespace quorly::KeyedArchive {

namespace {

constexpr uint64_t archiveVersion = 100000;

// Texts of the archiver's own layout, which the property list shares with equal texts
// of the archived objects.
bool isArchiverText(QAnyStringView s)
{
    if (s.isEmpty() || s.size() > 19 || (s.front() != u'$' && s.front() != u'N' && s.front() != u'r'))
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

// A quick hash for the writer's own uniquing of the texts it is given, eight bytes at
// a time: they are the user's own entries, not input from elsewhere. A text that Latin-1
// can hold hashes by its Latin-1 bytes whichever form it comes in (an entry's texts are
// Latin-1, the keys UTF-16), so that equal texts meet.
class TextHash {
public:
    explicit TextHash(std::size_t length) : h_(0x9E3779B97F4A7C15ULL ^ length) {}
    void add(unsigned char byte)
    {
        chunk_ |= uint64_t(byte) << (8 * used_);
        if (++used_ == 8)
            mix();
    }
    void add(const unsigned char* bytes, std::size_t length)
    {
        for (; used_ == 0 && length >= 8; bytes += 8, length -= 8) {
            std::memcpy(&chunk_, bytes, 8);
            mix();
        }
        for (std::size_t i = 0; i < length; ++i)
            add(bytes[i]);
    }
    uint32_t value()
    {
        if (used_ > 0)
            mix();
        return uint32_t(h_ ^ (h_ >> 32)) | 1;  // 0 marks a free slot
    }

private:
    void mix()
    {
        h_ = (h_ ^ chunk_) * 0xFF51AFD7ED558CCDULL;
        h_ ^= h_ >> 29;
        chunk_ = 0;
        used_ = 0;
    }
    uint64_t h_;
    uint64_t chunk_ = 0;
    int used_ = 0;
};

uint32_t textHash(QAnyStringView s)
{
    const auto length = std::size_t(s.size());
    TextHash hash(length);
    if (isLatin1(s)) {
        hash.add(static_cast<const unsigned char*>(s.data()), length);
        return hash.value();
    }
    const QStringView units = utf16Of(s);
    const bool narrow = std::all_of(units.begin(), units.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    if (!narrow) {
        hash.add(reinterpret_cast<const unsigned char*>(units.utf16()), 2 * length);
        return hash.value();
    }
    for (const QChar c : units)
        hash.add(static_cast<unsigned char>(c.unicode()));
    return hash.value();
}

// Equal texts, whichever form each is held in.
bool sameText(QAnyStringView a, QAnyStringView b)
{
    if (a.size() != b.size())
        return false;
    if (isLatin1(a) && isLatin1(b))
        return std::memcmp(a.data(), b.data(), std::size_t(a.size())) == 0;
    return a == b;
}

uint64_t uidArray(BinaryPlist::StreamWriter& w, const uint32_t* refs, std::size_t count, std::vector<uint64_t>& uids)
{
    const uint64_t array = w.beginContainer();
    uids.clear();
    for (std::size_t i = 0; i < count; ++i)
        uids.push_back(w.uid(refs[i]));
    w.setArray(array, uids);
    return array;
}

uint64_t writeClass(BinaryPlist::StreamWriter& w, const QString& name, const QString& immutableName)
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

}  // namespace

Writer::Writer()
{
    objects_.push_back(Object{});  // "$null"
}

void Writer::reserve(std::size_t objects, std::size_t refs)
{
    objects_.reserve(objects);
    refs_.reserve(refs);
}

uint64_t Writer::append(Kind kind, uint64_t payload, uint32_t first)
{
    Object object;
    object.kind = kind;
    object.payload = payload;
    object.first = first;
    objects_.push_back(object);
    return objects_.size() - 1;
}

QAnyStringView Writer::textOf(const Object& object) const
{
    if (object.count == 1)
        return QLatin1StringView(reinterpret_cast<const char*>(object.payload), qsizetype(object.first));
    return QStringView(reinterpret_cast<const char16_t*>(object.payload), qsizetype(object.first));
}

uint64_t Writer::string(QAnyStringView s)
{
    // Open addressing over (hash, object) pairs: a miss costs one look at the table
    // and no look at any other text, which a node-based map cannot offer.
    const uint32_t hash = textHash(s);
    if (stringCount_ * 2 >= stringSlots_.size())
        growStrings();
    const std::size_t mask = stringSlots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        StringSlot& slot = stringSlots_[i];
        if (slot.hash == 0) {
            Q_ASSERT(isLatin1(s) || isUtf16(s));
            const uint64_t uid =
                append(Kind::String, reinterpret_cast<uint64_t>(s.data()), static_cast<uint32_t>(s.size()));
            objects_[uid].count = isLatin1(s) ? 1 : 0;
            slot = StringSlot{hash, static_cast<uint32_t>(uid)};
            ++stringCount_;
            return uid;
        }
        if (slot.hash == hash && sameText(textOf(objects_[slot.uid]), s))
            return slot.uid;
    }
}

void Writer::growStrings()
{
    std::vector<StringSlot, large_memory::Allocator<StringSlot>> old(std::max<std::size_t>(64, stringSlots_.size() * 2));
    old.swap(stringSlots_);
    const std::size_t mask = stringSlots_.size() - 1;
    for (const StringSlot& slot : old) {
        if (slot.hash == 0)
            continue;
        std::size_t i = slot.hash & mask;
        while (stringSlots_[i].hash != 0)
            i = (i + 1) & mask;
        stringSlots_[i] = slot;
    }
}

uint64_t Writer::scalar(Kind kind, uint64_t bits, QHash<uint64_t, uint64_t>& shared)
{
    auto found = shared.constFind(bits);
    if (found != shared.constEnd())
        return *found;
    const uint64_t uid = append(kind, bits);
    shared.insert(bits, uid);
    return uid;
}

uint64_t Writer::boolean(bool value)
{
    return scalar(Kind::Bool, value ? 1 : 0, bools_);
}

uint64_t Writer::integer(qint64 value)
{
    // A 64-bit two's-complement pattern is what the binary format stores for a signed
    // integer, so negative values come out as the platform writes them.
    return scalar(Kind::Integer, static_cast<uint64_t>(value), integers_);
}

uint64_t Writer::real(double value)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return scalar(Kind::Real, bits, reals_);
}

uint64_t Writer::openArray()
{
    const uint64_t uid = append(Kind::Array);
    open_.push_back(Open{uid, scratch_.size()});
    return uid;
}

uint64_t Writer::openDictionary()
{
    const uint64_t uid = append(Kind::Dictionary);
    open_.push_back(Open{uid, scratch_.size()});
    return uid;
}

void Writer::add(uint64_t member)
{
    scratch_.push_back(member);
}

void Writer::close()
{
    const Open container = open_.back();
    open_.pop_back();
    Object& object = objects_[container.uid];
    object.first = static_cast<uint32_t>(refs_.size());
    object.count = static_cast<uint32_t>(scratch_.size() - container.from);
    for (std::size_t i = container.from; i < scratch_.size(); ++i)
        refs_.push_back(static_cast<uint32_t>(scratch_[i]));
    scratch_.resize(container.from);
    // The class description follows the members of the first container of its kind.
    uint64_t& cls = object.kind == Kind::Array ? arrayClass_ : dictionaryClass_;
    if (cls == 0)
        cls = append(object.kind == Kind::Array ? Kind::ArrayClass : Kind::DictionaryClass);
    objects_[container.uid].payload = cls;
}

// The keyed archiver's top dictionary around the table, depth first and in the order
// of its keys, as the platform writes it.
uint64_t Writer::makeObjects(BinaryPlist::StreamWriter& w)
{
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
    // The table's members are known from the numbering run. Setting them (and the top
    // dictionary's) now lets everything after them be written as it comes.
    w.setDictionary(top, pairs);
    if (w.writing())
        w.setArray(pairs[7], std::span<const uint32_t>(table_));
    const bool numbering = !w.writing();
    if (numbering)
        table_.reserve(objects_.size());
    std::vector<uint64_t> uids;
    auto table = [&](uint64_t number) {
        if (numbering)
            table_.push_back(uint32_t(number));
    };
    for (const Object& object : objects_) {
        switch (object.kind) {
        case Kind::Null:
            table(w.string(QStringLiteral("$null")));
            break;
        case Kind::String: {
            // The table holds each text once already.
            const QAnyStringView text = textOf(object);
            table(isArchiverText(text) ? w.string(text.toString()) : w.distinctString(text));
            break;
        }
        case Kind::Bool:
            table(w.boolean(object.payload != 0));
            break;
        case Kind::Integer:
            table(w.integer(object.payload));
            break;
        case Kind::Real: {
            double r = 0;
            std::memcpy(&r, &object.payload, sizeof r);
            table(w.real(r));
            break;
        }
        case Kind::Array: {
            const uint64_t node = w.beginContainer();
            uint64_t members[4];
            members[0] = w.string(QStringLiteral("NS.objects"));
            members[2] = uidArray(w, refs_.data() + object.first, object.count, uids);
            members[1] = w.string(QStringLiteral("$class"));
            members[3] = w.uid(object.payload);
            w.setDictionary(node, members);
            table(node);
            break;
        }
        case Kind::Dictionary: {
            const uint64_t node = w.beginContainer();
            const uint32_t pairCount = object.count / 2;
            uint64_t members[6];
            members[0] = w.string(QStringLiteral("NS.keys"));
            members[3] = uidArray(w, refs_.data() + object.first, pairCount, uids);
            members[1] = w.string(QStringLiteral("NS.objects"));
            members[4] = uidArray(w, refs_.data() + object.first + pairCount, pairCount, uids);
            members[2] = w.string(QStringLiteral("$class"));
            members[5] = w.uid(object.payload);
            w.setDictionary(node, members);
            table(node);
            break;
        }
        case Kind::ArrayClass:
            table(writeClass(w, QStringLiteral("NSMutableArray"), QStringLiteral("NSArray")));
            break;
        case Kind::DictionaryClass:
            table(writeClass(w, QStringLiteral("NSMutableDictionary"), QStringLiteral("NSDictionary")));
            break;
        }
    }
    if (numbering)
        w.setArray(pairs[7], std::span<const uint32_t>(table_));
    return top;
}

uint64_t Writer::number(BinaryPlist::StreamWriter& w)
{
    // No text is added from now on: the index of the texts can go.
    decltype(stringSlots_)().swap(stringSlots_);
    stringCount_ = 0;
    table_.clear();
    w.expectUidsBelow(objects_.size());
    return makeObjects(w);
}

bool Writer::write(BinaryPlist::StreamWriter& w, ByteSink& sink)
{
    w.startWriting(sink);
    const uint64_t top = makeObjects(w);
    decltype(table_)().swap(table_);
    return w.finish(top);
}

bool Writer::finish(ByteSink& sink)
{
    BinaryPlist::StreamWriter w;
    number(w);
    return write(w, sink);
}

QByteArray Writer::finish()
{
    BinaryPlist::StreamWriter w;
    number(w);
    QByteArray out;
    out.reserve(qsizetype(w.sizeBound()));
    BytesSink sink(out);
    if (!write(w, sink)) {
        crypto::cleanse(out);  // too large for any reader: no part of it is an archive
        return {};
    }
    return out;
}

}  // namespace quorly::KeyedArchive
