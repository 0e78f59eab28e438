#include "store/PasswordArchive.h"

#include "platform/KeyedArchive.h"
#include "platform/TypedStream.h"

namespace quorly {

namespace {

void setError(QString* error, const QString& message)
{
    if (error)
        *error = message;
}

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

}  // namespace

std::optional<QList<EntryRef>> entriesFromArchive(const ArchiveValue& root, QString* error)
{
    const QString wrongShape = QStringLiteral("The password file holds something other than entries.");
    if (root.type() != ArchiveValue::Type::Array) {
        setError(error, wrongShape);
        return std::nullopt;
    }
    QList<EntryRef> entries;
    entries.reserve(qsizetype(root.array().size()));
    for (const ArchiveValue& element : root.array()) {
        if (element.type() != ArchiveValue::Type::Dictionary) {
            setError(error, wrongShape);
            return std::nullopt;
        }
        Entry entry;
        for (const auto& [key, value] : element.dictionary()) {
            const auto entryValue = entryValueFrom(value);
            if (!entryValue) {
                setError(error, QStringLiteral("An entry of the password file holds a value that is "
                                               "not text, a number or a switch (key \"%1\").")
                                    .arg(key));
                return std::nullopt;
            }
            // A key stored twice keeps its first place and its last value, as a
            // dictionary built from the stored pairs would hold it.
            entry.set(key, *entryValue);
        }
        entries.append(makeEntry(std::move(entry)));
    }
    return entries;
}

ArchiveValue archiveFromEntries(const EntryList& entries)
{
    ArchiveValue::Array array;
    array.reserve(size_t(entries.size()));
    for (const EntryRef& entry : entries.entries()) {
        ArchiveValue::Dictionary dictionary;
        dictionary.reserve(size_t(entry->size()));
        for (const Entry::Item& item : entry->items())
            dictionary.emplace_back(item.first, archiveValueFrom(item.second));
        array.push_back(ArchiveValue::fromDictionary(std::move(dictionary)));
    }
    return ArchiveValue::fromArray(std::move(array));
}

std::optional<QStringList> titlesFromArchive(const ArchiveValue& root, QString* error)
{
    const QString wrongShape =
        QStringLiteral("The recent websites file holds something other than website titles.");
    if (root.type() != ArchiveValue::Type::Array) {
        setError(error, wrongShape);
        return std::nullopt;
    }
    QStringList titles;
    titles.reserve(qsizetype(root.array().size()));
    for (const ArchiveValue& element : root.array()) {
        if (element.type() != ArchiveValue::Type::String) {
            setError(error, wrongShape);
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

QByteArray keyedArchiveFromEntries(const EntryList& entries)
{
    return KeyedArchive::encode(archiveFromEntries(entries));
}

std::optional<QList<EntryRef>> entriesFromKeyedArchive(const QByteArray& bytes, QString* error)
{
    const ArchiveReadResult read = KeyedArchive::decode(bytes);
    if (!read) {
        setError(error, read.error);
        return std::nullopt;
    }
    return entriesFromArchive(*read.root, error);
}

QByteArray keyedArchiveFromTitles(const QStringList& titles)
{
    return KeyedArchive::encode(archiveFromTitles(titles));
}

std::optional<QStringList> titlesFromKeyedArchive(const QByteArray& bytes, QString* error)
{
    const ArchiveReadResult read = KeyedArchive::decode(bytes);
    if (!read) {
        setError(error, read.error);
        return std::nullopt;
    }
    return titlesFromArchive(*read.root, error);
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
