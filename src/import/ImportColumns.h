#pragma once

#include "import/DelimitedText.h"

#include <QString>

#include <array>
#include <optional>

namespace quorly {

// The entry field a column of the import fills.
enum class ImportField { Name, URL, UserID1, UserID2, Password, Notes, None };

// The header title of a field's column ("Name", "URL", ... and "" for None).
QString importColumnTitle(ImportField field);
// The entry key a field is stored under; none for Name (it names the entry) and None.
std::optional<QString> entryKeyForImportField(ImportField field);

// The import dialog's header table without its widgets: 9 reorderable columns, and one
// check mark per column *position* (`importColumn`), which stays with the position when
// columns move.
class ImportColumns {
public:
    ImportColumns() { reset(); }

    // As each time a file has been chosen: the columns in their first order, "Name" at
    // position 0 and marked, every other position unmarked.
    void reset();

    ImportField fieldAt(int position) const { return order_.at(size_t(position)); }
    QString titleAt(int position) const { return importColumnTitle(fieldAt(position)); }
    bool isMarked(int position) const { return importColumn_.at(size_t(position)); }

    // Whether the check box at `position` can be clicked: not for "Name", nor for the
    // columns without a title.
    bool isCellEnabled(int position) const;

    // A click on the check box at `position`; refused under the "Name" column.
    void setMarked(int position, bool marked);

    // `tableViewColumnDidMove:`: the column at `from` now stands at `to`, the columns in
    // between shifted by one. The marks stay with the positions, and the position the
    // column was dropped on is marked.
    void columnDidMove(int from, int to);

private:
    std::array<ImportField, kMaxImportFields> order_ {};
    std::array<bool, kMaxImportFields> importColumn_ {};
};

}  // namespace quorly
