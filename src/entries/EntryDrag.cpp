#include "entries/EntryDrag.h"

#include "platform/BinaryPlistReader.h"
#include "platform/BinaryPlistWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <vector>

#include <sys/stat.h>

namespace quorly::EntryDrag {

namespace {

uint64_t writeValue(BinaryPlist::Writer& writer, const EntryValue& value)
{
    if (const auto* text = std::get_if<QString>(&value))
        return writer.string(*text);
    if (const auto* flag = std::get_if<bool>(&value))
        return writer.boolean(*flag);
    if (const auto* number = std::get_if<qint64>(&value))
        return writer.integer(static_cast<uint64_t>(*number));
    return writer.real(std::get<double>(value));
}

std::optional<EntryValue> readValue(const PlistTable& table, const PlistTable::Object& object)
{
    switch (object.kind) {
    case PlistTable::Kind::String:
        return EntryValue(table.string(object));
    case PlistTable::Kind::Bool:
        return EntryValue(object.value != 0);
    case PlistTable::Kind::Integer:
        if (object.bigUnsigned)
            return std::nullopt;  // beyond what an entry can hold
        return EntryValue(static_cast<qint64>(object.value));
    case PlistTable::Kind::Real: {
        double real = 0;
        std::memcpy(&real, &object.value, sizeof real);
        return EntryValue(real);
    }
    default:
        return std::nullopt;
    }
}

bool sameFolderOnDisk(const QString& a, const QString& b)
{
    struct stat first {}, second {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

}  // namespace

QStringList draggedTypes()
{
    return {ItemsType, PathType};
}

QByteArray itemsPropertyList(const QList<EntryRef>& entries)
{
    BinaryPlist::Writer writer;
    const uint64_t array = writer.beginContainer();
    std::vector<uint64_t> items;
    items.reserve(size_t(entries.size()));
    for (const EntryRef& entry : entries) {
        const uint64_t dictionary = writer.beginContainer();
        std::vector<uint64_t> keys, values;
        for (const Entry::Item& item : entry->items()) {
            keys.push_back(writer.string(item.first));
            values.push_back(writeValue(writer, item.second));
        }
        keys.insert(keys.end(), values.begin(), values.end());
        writer.setDictionary(dictionary, keys);
        items.push_back(dictionary);
    }
    writer.setArray(array, items);
    return writer.finish(array);
}

std::optional<QList<Entry>> entriesFromPropertyList(const QByteArray& propertyList)
{
    const std::optional<PlistTable> table = PlistTable::readBinary(propertyList);
    if (!table)
        return std::nullopt;
    const PlistTable::Object& top = table->at(table->top());
    if (top.kind != PlistTable::Kind::Array)
        return std::nullopt;
    QList<Entry> entries;
    for (uint64_t i = 0; i < top.count; ++i) {
        const PlistTable::Object& dictionary = table->at(table->member(top, i));
        if (dictionary.kind != PlistTable::Kind::Dictionary)
            return std::nullopt;
        Entry entry;
        for (uint64_t pair = 0; pair < dictionary.count; ++pair) {
            const PlistTable::Object& key = table->at(table->member(dictionary, pair));
            const std::optional<EntryValue> value =
                readValue(*table, table->at(table->member(dictionary, dictionary.count + pair)));
            if (!value)
                return std::nullopt;
            entry.set(table->string(key), *value);
        }
        entries.append(std::move(entry));
    }
    return entries;
}

QByteArray pathData(const QString& packagePath)
{
    return packagePath.toUtf8();
}

QString pathFromData(const QByteArray& data)
{
    return QString::fromUtf8(data);
}

bool samePackage(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    return QDir::cleanPath(a) == QDir::cleanPath(b) || sameFolderOnDisk(a, b);
}

bool acceptsDrop(const QStringList& offeredTypes, const QString& sourcePath, const DropTarget& target)
{
    // The first of the two types on offer decides; only entries are taken.
    const bool entriesOffered = offeredTypes.contains(ItemsType);
    if (!entriesOffered)
        return false;
    return !samePackage(sourcePath, target.packagePath) && target.writeable && target.open;
}

QString droppedName(const QString& path)
{
    QString name = path;
    while (name.size() > 1 && name.endsWith(u'/'))
        name.chop(1);
    const qsizetype slash = name.lastIndexOf(u'/');
    if (slash < 0 || name.size() == 1)
        return name;
    return name.mid(slash + 1);
}

int appendDroppedEntries(EntryList& list, const QList<Entry>& dragged)
{
    QSet<QString> taken = namesOf(list.entries());
    for (Entry entry : dragged) {
        const QString name = uniqueNameAmong(taken, droppedName(entry.name()));
        entry.setName(name);
        taken.insert(name);
        list.append(makeEntry(std::move(entry)));
    }
    return int(dragged.size());
}

}  // namespace quorly::EntryDrag
