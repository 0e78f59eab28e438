#pragma once

#include "entries/EntryList.h"

#include <QList>
#include <QString>

namespace quorly {

// The three text attribute sets of a printout.
enum class PrintStyle {
    EntryName,     // `entryNameAttributes`: Helvetica-Bold, 16 points
    Label,         // `entryDataBoldAttributes`: Helvetica-Bold, 12 points
    Value,         // `entryDataRegularAttributes`: Helvetica, 12 points
};

struct PrintFace {
    QString family;  // resolved by the font system to its metric-compatible face
    qreal pointSize;
    bool bold;
};
PrintFace printFontFor(PrintStyle style);

// A piece of styled text.
struct PrintRun {
    QString text;
    PrintStyle style;
    friend bool operator==(const PrintRun&, const PrintRun&) = default;
};

// The shared print settings that `printInfoFit` imposes before every print.
constexpr qreal kPrintMarginPoints = 72.0;
// The off-screen text view the entries are laid out in; its width is scaled to the
// page's width when printed.
constexpr qreal kPrintViewWidth = 700.0;

// `printItem:`: the entry's bold name, one labelled line per non-empty field, and an
// empty line.
QList<PrintRun> printItem(const Entry& entry);

// `printString`: the entries at `selectedRows` or, with none selected, every entry, in
// list order.
QList<PrintRun> printString(const EntryList& list, const QList<int>& selectedRows);

// The runs as plain text (what a reader of the printout sees).
QString plainText(const QList<PrintRun>& runs);

}  // namespace quorly
