#pragma once

#include "entries/EntryList.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace quorly {

// What a document changed in its list since it last read or stored the file, and how
// that change is carried over onto a newer list another program stored meanwhile.
//
// A document's entries are shared objects that every edit changes in place, so the
// change is found by comparing each object with a copy of it taken at the last read or
// store: objects that are new were added, objects that are gone were removed, objects
// whose content differs from their copy were changed. Callers change the list as they
// always did and need not describe their edits.

// The list as last read or stored: each entry object with a copy of its content.
class EntryListBaseline {
public:
    EntryListBaseline() = default;
    explicit EntryListBaseline(const QList<EntryRef>& entries);

    int size() const { return int(items_.size()); }

private:
    friend struct EntryListChanges;
    QList<QPair<EntryRef, Entry>> items_;
};

struct EntryChange {
    enum class Kind { Added, Changed, Removed };
    Kind kind;
    Entry before;    // Changed, Removed: the content as last read or stored
    EntryRef entry;  // Added, Changed: the document's own object, with its new content
};

// When an entry was changed on both sides, only the user can say which change counts.
struct EntryConflict {
    enum class Kind {
        BothChanged,       // changed here, and changed there too
        RemovedHere,       // deleted here, changed there
        RemovedThere,      // changed here, deleted there
    };
    Kind kind;
    QString name;    // the entry's name as it was before either change
    EntryRef mine;   // BothChanged, RemovedThere: the entry as changed here
    EntryRef theirs; // BothChanged, RemovedHere: the entry as changed there

    // Identifies the conflict across attempts of one save.
    QString key() const { return QString::number(int(kind)) + QLatin1Char('/') + name; }
};

// The answer to a conflict. Keep loses nothing of either side: both versions of an entry
// changed on both sides (this side's under a "(CONFLICTED)" name if its name is taken),
// the other side's change of an entry deleted here, this side's version of an entry
// deleted there. Mine lets this side's change win: it replaces the other version,
// deletes the changed entry, or leaves the deleted one deleted.
enum class ConflictChoice { Keep, Mine };

using ConflictAnswers = QHash<QString, ConflictChoice>;

struct EntryListChanges {
    // The changes of `list` against `baseline`, removals first, in list order.
    static QList<EntryChange> since(const EntryListBaseline& baseline, const QList<EntryRef>& list);

    struct Merged {
        QList<EntryRef> entries;
        // Conflicts `answers` did not cover; they were treated as Keep.
        QList<EntryConflict> unanswered;
        // Names our entries take in `entries` because theirs were taken meanwhile. They
        // are not set on the objects here: a merge may be dropped and done again after
        // the user's answers.
        QList<QPair<EntryRef, QString>> renamed;
        // The newer list as `entries` holds it before the changes: what the document has
        // read, should the write that follows fail.
        EntryListBaseline baseline;
    };

    // Applies `changes` to `newer` (the list another program stored). An entry of
    // `newer` equal to one of `ours` that the changes do not concern is replaced by our
    // object, so that references held elsewhere (the selection, the current entry)
    // survive; an added entry whose name is taken meanwhile gets a number (Bank2), as an
    // add would have given it; one equal to an entry already there is not added twice.
    // Nothing is changed in place: the caller adopts the result.
    static Merged apply(const QList<EntryRef>& newer, const QList<EntryChange>& changes,
                        const QList<EntryRef>& ours, const ConflictAnswers& answers);
};

}  // namespace quorly
