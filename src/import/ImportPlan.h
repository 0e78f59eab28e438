#pragma once

#include "entries/EntryList.h"
#include "import/ImportColumns.h"

#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <optional>

namespace quorly {

// What an import does with each record: the marked positions and the field each fills.
class ImportPlan {
public:
    // From the dialog's header table: every marked position with its column's field.
    static ImportPlan fromColumns(const ImportColumns& columns);
    // From a list naming, in the file's column order, the field each column fills
    // ("name", "url", "user1", "user2", "password", "notes", or "-" to skip it).
    // nullopt with a message for a word it does not know or a field named twice.
    static std::optional<ImportPlan> fromList(const QString& list, QString* error);

    // The marked positions (C of them) in ascending order, each with its field.
    const QList<QPair<int, ImportField>>& marked() const { return marked_; }
    int markedCount() const { return int(marked_.size()); }
    // The marked position whose field is the name (the last one if several).
    std::optional<int> namePosition() const;
    std::optional<int> positionOf(ImportField field) const;

private:
    QList<QPair<int, ImportField>> marked_;
};

// The name an entry gets from a record, before it is made unique; nullopt when the
// record offers nothing to name it by. The name field loses one leading full stop and
// has every "/" replaced with "-". When no marked column carries the name, or the
// record's name field is missing or empty, the entry is named after its website's host
// (a browser's export has no name column), else after its first user ID.
std::optional<QString> importedEntryName(const ImportRecord& record, const ImportPlan& plan);

// Whether a record reads like a line of column titles ("url", "username", "password"
// and the like) rather than a login: every browser and password manager starts its
// export with one, and it should not become an entry.
bool looksLikeColumnTitles(const ImportRecord& record);

// Why a record was left out.
enum class ImportSkip { TooFewFields, NoName };

struct SkippedRecord {
    int index;  // in the records given to the import
    ImportRecord record;
    ImportSkip reason;
};

struct ImportOutcome {
    int imported = 0;
    // The records not imported, in file order, each with its reason. Blank records are
    // dropped silently and are not among them.
    QList<SkippedRecord> notImported;
    // Entries made from a record with a field that had to be cut: the entry's name and
    // the column titles of the cut fields.
    QList<QPair<QString, QStringList>> cutFields;
};

// Called after each record with the number of records handled so far and the total.
using ImportProgress = std::function<void(int done, int total)>;

// The import loop: every record with enough fields becomes a new entry appended to
// `list` (made by `newCategoryNamed:edit:` with the import defaults, named uniquely);
// the others are reported. Nothing is saved here: the caller saves once at the end.
// A record either becomes a complete entry or stays out; none is half-imported.
ImportOutcome importRecords(EntryList& list, const QList<ImportRecord>& records, const ImportPlan& plan,
                            const ImportProgress& progress = {});

// The sentence that tells the user which fields had to be cut.
QString cutFieldsReport(const QList<QPair<QString, QStringList>>& cutFields);

// What the user is told after an import that left records out or cut fields; empty
// when everything went in whole.
QString importReport(const ImportOutcome& outcome);

}  // namespace quorly
