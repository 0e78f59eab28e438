#pragma once

#include "entries/EntryList.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quorly {

// Dragging entries from one password file's list to another's. A drag carries two
// private types, in this order: "PW Items", the dragged entries as a property list (an
// array of dictionaries of strings, numbers and booleans), and "DB Path", the source
// package's path, by which a file refuses entries dragged from itself.
namespace EntryDrag {

inline const QString ItemsType = QStringLiteral("PW Items");
inline const QString PathType = QStringLiteral("DB Path");

// `draggedTypes`: both names, in the order above.
QStringList draggedTypes();

// The "PW Items" content for `entries`, and back. Anything but an array of
// dictionaries whose values are strings, numbers or booleans is refused as a whole:
// a drop takes all of what was dragged or nothing.
QByteArray itemsPropertyList(const QList<EntryRef>& entries);
std::optional<QList<Entry>> entriesFromPropertyList(const QByteArray& propertyList);

// The "DB Path" content: the path as UTF-8.
QByteArray pathData(const QString& packagePath);
QString pathFromData(const QByteArray& data);

// Whether two package paths name the same file: the same path once cleaned, or the
// same folder on disk reached by two spellings (a link, a bind mount).
bool samePackage(const QString& a, const QString& b);

// What a drag offers and where it would land.
struct DropTarget {
    QString packagePath;   // the file of the list under the pointer
    bool writeable = true;  // its folder can be written
    bool open = true;       // it is open and no panel of it waits for an answer
};

// `validateDrop`: true (copy) when the first of the two types the drag offers is
// "PW Items", it comes from another file, and the target can take it. Foreign data,
// a drag from the same file and a read-only or busy target are refused.
bool acceptsDrop(const QStringList& offeredTypes, const QString& sourcePath, const DropTarget& target);

// The name a dropped entry takes from its "Path": the text after the last "/",
// trailing slashes ignored; a name without "/" stays as it is.
QString droppedName(const QString& path);

// `acceptDrop`: appends the dragged entries to `list`, each renamed by `droppedName`
// and made unique among the names already there (the ones dropped before it included,
// so two dropped "Mail" become Mail and Mail2). Every other key arrives unchanged.
// Returns how many were added; the caller saves once.
int appendDroppedEntries(EntryList& list, const QList<Entry>& dragged);

}  // namespace EntryDrag

}  // namespace quorly
