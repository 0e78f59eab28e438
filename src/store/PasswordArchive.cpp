#include "store/PasswordArchive.h"

#include "platform/ByteSink.h"
#include "platform/Crypto.h"
#include "platform/KeyedArchiveReader.h"
#include "platform/KeyedArchiveWriter.h"
#include "platform/TypedStream.h"

#include <QHash>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace quorly {

namespace {

void setError(QString* error, const QString& message)
{
    if (error)
        *error = message;
}

QString wrongEntriesShape()
{
    return QStringLiteral("The password file holds something other than entries.");
}

QString notAnEntryValue(const QString& key)
{
    return QStringLiteral("An entry of the password file holds a value that is not text, a number or a switch "
                          "(key \"%1\").")
        .arg(key);
}

QString wrongTitlesShape()
{
    return QStringLiteral("The recent websites file holds something other than website titles.");
}

// Makes the entries of a list from their stored pairs. A key stored twice in one entry
// keeps its first place and its last value, as a dictionary built from the stored
// pairs would hold it.
class EntryAssembler {
public:
    // `id` is the same for equal keys, and small.
    const QString* key(uint32_t id, const QString& text)
    {
        if (id >= keys_.size())
            keys_.resize(id + 1, Known{});
        Known& known = keys_[id];
        if (!known.interned)
            known.interned = Entry::internKey(text);
        // A key met again in this entry: its value replaces the earlier one.
        repeatOf_ = known.entry == entries_.size() + 1 ? int(known.position) : -1;
        if (repeatOf_ < 0) {
            known.entry = uint32_t(entries_.size() + 1);
            known.position = uint32_t(builder_.size());
        }
        return known.interned;
    }

    Entry::Builder& builder() { return builder_; }

    // After each value.
    void placed()
    {
        if (repeatOf_ >= 0)
            builder_.moveLastValueTo(repeatOf_);
    }

    void finishEntry() { entries_.append(makeEntry(builder_.build())); }
    void reserve(qsizetype count) { entries_.reserve(count); }
    QList<EntryRef> take() { return std::move(entries_); }

private:
    struct Known {
        const QString* interned = nullptr;
        uint32_t entry = 0;  // ordinal + 1 of the entry that last held the key
        uint32_t position = 0;
    };
    std::vector<Known> keys_;
    Entry::Builder builder_{Entry::Builder::Expecting::ManyEntries};
    QList<EntryRef> entries_;
    int repeatOf_ = -1;
};

// Reads the data file's archive straight into entries: an array of dictionaries whose
// values are texts, booleans or numbers.
//
// A value of another kind (a list or a dictionary) makes the file unreadable only when
// it is the key's last value: as with the platform's dictionaries, a key stored again
// takes the later value. Such a value holds the key's place until then and is skipped.
class EntriesReader : public KeyedArchive::Visitor {
public:
    bool beginArray(uint64_t count) override
    {
        if (depth_ >= inEntry)
            return enterValue();
        if (depth_ != outside)
            return refuse();
        depth_ = inList;
        // Each entry takes at least a few bytes of the archive, which bounds the count.
        assembler_.reserve(qsizetype(std::min<uint64_t>(count, 1u << 20)));
        return true;
    }
    bool endArray() override
    {
        depth_ = depth_ > inEntry ? depth_ - 1 : outside;
        return true;
    }
    bool beginDictionary(uint64_t) override
    {
        if (depth_ >= inEntry)
            return enterValue();
        if (depth_ != inList)
            return refuse();
        depth_ = inEntry;
        return true;
    }
    bool endDictionary() override
    {
        if (depth_ > inEntry) {
            --depth_;
            return true;
        }
        if (!unusable_.empty()) {
            keyText_ = unusable_.front().second;
            return refuse();
        }
        assembler_.finishEntry();
        depth_ = inList;
        return true;
    }
    bool key(const QString& key, uint32_t id) override
    {
        if (depth_ > inEntry)
            return true;  // inside a value that is skipped
        keyText_ = &key;
        keyId_ = id;
        key_ = assembler_.key(id, key);
        return true;
    }

    bool text(const PlistTable::TextView& text) override
    {
        return place([&](Entry::Builder& builder) {
            // The entry keeps a Latin-1 text as it stands in the file.
            if (text.encoding == PlistTable::Text::Latin1) {
                builder.text(key_, QLatin1StringView(reinterpret_cast<const char*>(text.units), text.length));
                return;
            }
            if (!text.isUtf8()) {
                text.toUtf16(builder.text(key_, text.length));
                return;
            }
            // Only an XML file's text comes as UTF-8; its one copy is wiped at once.
            QString units = text.toString();
            builder.text(key_, units);
            crypto::cleanse(units.data(), std::size_t(units.size()) * sizeof(QChar));
        });
    }
    bool boolean(bool value) override
    {
        return place([&](Entry::Builder& builder) { builder.boolean(key_, value); });
    }
    bool integer(qint64 value) override
    {
        return place([&](Entry::Builder& builder) { builder.integer(key_, value); });
    }
    bool real(double value) override
    {
        return place([&](Entry::Builder& builder) { builder.real(key_, value); });
    }

    QList<EntryRef> take() { return assembler_.take(); }

private:
    enum : int { outside = 0, inList = 1, inEntry = 2 };  // deeper: inside a skipped value

    // A value of the current entry, made by `add`.
    template <typename Add>
    bool place(Add add)
    {
        if (depth_ > inEntry)
            return true;
        if (depth_ != inEntry)
            return refuse();
        add(assembler_.builder());
        assembler_.placed();
        std::erase_if(unusable_, [this](const auto& bad) { return bad.first == keyId_; });
        return true;
    }

    // A list or a dictionary as an entry's value, or inside one.
    bool enterValue()
    {
        if (depth_ == inEntry) {
            assembler_.builder().boolean(key_, false);  // holds the key's place
            assembler_.placed();
            if (std::none_of(unusable_.begin(), unusable_.end(), [this](const auto& bad) { return bad.first == keyId_; }))
                unusable_.emplace_back(keyId_, keyText_);
        }
        ++depth_;
        return true;
    }

    bool refuse()
    {
        error = depth_ == inEntry ? notAnEntryValue(*keyText_) : wrongEntriesShape();
        return false;
    }

    int depth_ = outside;
    const QString* keyText_ = nullptr;
    uint32_t keyId_ = 0;
    const QString* key_ = nullptr;
    // Keys of the current entry whose value so far is neither text nor a number.
    std::vector<std::pair<uint32_t, const QString*>> unusable_;
    EntryAssembler assembler_;
};

class TitlesReader : public KeyedArchive::Visitor {
public:
    QStringList titles;

    bool beginArray(uint64_t) override { return !inList_++ || refuse(); }
    bool endArray() override { return true; }
    bool beginDictionary(uint64_t) override { return refuse(); }
    bool endDictionary() override { return true; }
    bool key(const QString&, uint32_t) override { return true; }
    bool text(const PlistTable::TextView& text) override
    {
        if (!inList_)
            return refuse();
        titles.append(text.toString());
        return true;
    }
    bool boolean(bool) override { return refuse(); }
    bool integer(qint64) override { return refuse(); }
    bool real(double) override { return refuse(); }

private:
    bool refuse()
    {
        error = wrongTitlesShape();
        return false;
    }
    int inList_ = 0;
};

std::optional<EntryValue> entryValueFrom(const ArchiveValue& v)
{
    switch (v.type()) {
    case ArchiveValue::Type::String:
        return EntryValue(v.string());
    case ArchiveValue::Type::Bool:
        return EntryValue(v.boolean());
    case ArchiveValue::Type::Integer:
        return EntryValue(v.integer());
    case ArchiveValue::Type::Real:
        return EntryValue(v.real());
    case ArchiveValue::Type::Array:
    case ArchiveValue::Type::Dictionary:
        break;
    }
    return std::nullopt;
}

ArchiveValue archiveValueFrom(const EntryValue& v)
{
    return std::visit(
        [](const auto& x) -> ArchiveValue {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, QString>)
                return ArchiveValue(x);
            else if constexpr (std::is_same_v<T, bool>)
                return ArchiveValue::fromBool(x);
            else if constexpr (std::is_same_v<T, qint64>)
                return ArchiveValue::fromInteger(x);
            else
                return ArchiveValue::fromReal(x);
        },
        v);
}

// The object of an entry's value; texts are only looked at, never copied.
uint64_t writeValue(KeyedArchive::Writer& writer, const Entry& entry, int i)
{
    if (entry.isTextAt(i))
        return writer.string(entry.textAt(i));
    const EntryValue value = entry.valueAt(i);
    if (const bool* b = std::get_if<bool>(&value))
        return writer.boolean(*b);
    if (const qint64* n = std::get_if<qint64>(&value))
        return writer.integer(*n);
    return writer.real(std::get<double>(value));
}

}  // namespace

std::optional<QList<EntryRef>> entriesFromArchive(const ArchiveValue& root, QString* error)
{
    if (root.type() != ArchiveValue::Type::Array) {
        setError(error, wrongEntriesShape());
        return std::nullopt;
    }
    EntryAssembler assembler;
    QHash<QString, uint32_t> ids;
    assembler.reserve(qsizetype(root.array().size()));
    for (const ArchiveValue& element : root.array()) {
        if (element.type() != ArchiveValue::Type::Dictionary) {
            setError(error, wrongEntriesShape());
            return std::nullopt;
        }
        for (const auto& [key, value] : element.dictionary()) {
            const auto entryValue = entryValueFrom(value);
            if (!entryValue) {
                setError(error, notAnEntryValue(key));
                return std::nullopt;
            }
            const uint32_t id = ids.value(key, uint32_t(ids.size()));
            if (id == uint32_t(ids.size()))
                ids.insert(key, id);
            const QString* interned = assembler.key(id, key);
            Entry::Builder& builder = assembler.builder();
            if (const QString* s = std::get_if<QString>(&*entryValue))
                builder.text(interned, *s);
            else if (const bool* b = std::get_if<bool>(&*entryValue))
                builder.boolean(interned, *b);
            else if (const qint64* n = std::get_if<qint64>(&*entryValue))
                builder.integer(interned, *n);
            else
                builder.real(interned, std::get<double>(*entryValue));
            assembler.placed();
        }
        assembler.finishEntry();
    }
    return assembler.take();
}

ArchiveValue archiveFromEntries(const EntryList& entries)
{
    ArchiveValue::Array array;
    array.reserve(size_t(entries.size()));
    for (const EntryRef& entry : entries.entries()) {
        ArchiveValue::Dictionary dictionary;
        dictionary.reserve(size_t(entry->size()));
        for (int i = 0; i < entry->size(); ++i)
            dictionary.emplace_back(entry->keyAt(i), archiveValueFrom(entry->valueAt(i)));
        array.push_back(ArchiveValue::fromDictionary(std::move(dictionary)));
    }
    return ArchiveValue::fromArray(std::move(array));
}

std::optional<QStringList> titlesFromArchive(const ArchiveValue& root, QString* error)
{
    if (root.type() != ArchiveValue::Type::Array) {
        setError(error, wrongTitlesShape());
        return std::nullopt;
    }
    QStringList titles;
    titles.reserve(qsizetype(root.array().size()));
    for (const ArchiveValue& element : root.array()) {
        if (element.type() != ArchiveValue::Type::String) {
            setError(error, wrongTitlesShape());
            return std::nullopt;
        }
        titles.append(element.string());
    }
    return titles;
}

ArchiveValue archiveFromTitles(const QStringList& titles)
{
    ArchiveValue::Array array;
    array.reserve(size_t(titles.size()));
    for (const QString& title : titles)
        array.emplace_back(title);
    return ArchiveValue::fromArray(std::move(array));
}

namespace {

// The objects of the entry list, for the writer to number and write.
void archiveEntries(KeyedArchive::Writer& writer, const EntryList& entries)
{
    // Room for each entry's dictionary, its texts and its keys' and values' references
    // at once, rather than tables that grow (and are copied) as they go.
    std::size_t pairs = 0;
    for (const EntryRef& entry : entries.entries())
        pairs += std::size_t(entry->size());
    writer.reserve(std::size_t(entries.entries().size()) + pairs, 2 * pairs + std::size_t(entries.entries().size()));
    // Every entry names the same few keys: their objects are remembered by the key's
    // interned text instead of being looked up by their letters each time.
    std::vector<std::pair<const QString*, uint64_t>> keyObjects;
    auto keyObject = [&](const QString& key) {
        for (const auto& [known, uid] : keyObjects) {
            if (known == &key)
                return uid;
        }
        const uint64_t uid = writer.string(key);
        if (keyObjects.size() < 64)
            keyObjects.emplace_back(&key, uid);
        return uid;
    };
    writer.openArray();
    for (const EntryRef& entry : entries.entries()) {
        const uint64_t dictionary = writer.openDictionary();
        const int n = entry->size();
        for (int i = 0; i < n; ++i)
            writer.add(keyObject(entry->keyAt(i)));
        for (int i = 0; i < n; ++i)
            writer.add(writeValue(writer, *entry, i));
        writer.close();
        writer.add(dictionary);
    }
    writer.close();
}

void archiveTitles(KeyedArchive::Writer& writer, const QStringList& titles)
{
    writer.openArray();
    for (const QString& title : titles)
        writer.add(writer.string(title));
    writer.close();
}

template <typename Content, typename Archive>
bool writeArchive(const Content& content, Archive archive, int fd)
{
    KeyedArchive::Writer writer;
    archive(writer, content);
    FileSink sink(fd);
    if (writer.finish(sink))
        return true;
    // Nothing but its size keeps a list from being written.
    errno = sink.error() != 0 ? sink.error() : EFBIG;
    return false;
}

}  // namespace

QByteArray keyedArchiveFromEntries(const EntryList& entries)
{
    KeyedArchive::Writer writer;
    archiveEntries(writer, entries);
    return writer.finish();
}

bool writeKeyedArchiveOfEntries(const EntryList& entries, int fd)
{
    return writeArchive(entries, archiveEntries, fd);
}

bool writeKeyedArchiveOfTitles(const QStringList& titles, int fd)
{
    return writeArchive(titles, archiveTitles, fd);
}

std::optional<QList<EntryRef>> entriesFromKeyedArchive(const QByteArray& bytes, QString* error)
{
    EntriesReader reader;
    if (!KeyedArchive::read(bytes, reader, error))
        return std::nullopt;
    return reader.take();
}

QByteArray keyedArchiveFromTitles(const QStringList& titles)
{
    KeyedArchive::Writer writer;
    archiveTitles(writer, titles);
    return writer.finish();
}

std::optional<QStringList> titlesFromKeyedArchive(const QByteArray& bytes, QString* error)
{
    TitlesReader reader;
    if (!KeyedArchive::read(bytes, reader, error))
        return std::nullopt;
    return std::move(reader.titles);
}

std::optional<QList<EntryRef>> entriesFromPlaintext(const QByteArray& bytes, bool sequential, QString* error)
{
    if (!sequential)
        return entriesFromKeyedArchive(bytes, error);
    const ArchiveReadResult read = TypedStream::decode(bytes);
    if (!read) {
        setError(error, read.error);
        return std::nullopt;
    }
    return entriesFromArchive(*read.root, error);
}

std::optional<QStringList> titlesFromPlaintext(const QByteArray& bytes, bool sequential, QString* error)
{
    if (!sequential)
        return titlesFromKeyedArchive(bytes, error);
    const ArchiveReadResult read = TypedStream::decode(bytes);
    if (!read) {
        setError(error, read.error);
        return std::nullopt;
    }
    return titlesFromArchive(*read.root, error);
}

}  // namespace quorly
