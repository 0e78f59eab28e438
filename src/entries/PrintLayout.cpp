#include "entries/PrintLayout.h"

#include <QSet>

namespace quorly {

PrintFace printFontFor(PrintStyle style)
{
    switch (style) {
    case PrintStyle::EntryName: return {QStringLiteral("Helvetica"), 16.0, true};
    case PrintStyle::Label: return {QStringLiteral("Helvetica"), 12.0, true};
    case PrintStyle::Value: return {QStringLiteral("Helvetica"), 12.0, false};
    }
    return {QStringLiteral("Helvetica"), 12.0, false};
}

QList<PrintRun> printItem(const Entry& entry)
{
    QList<PrintRun> runs;
    runs.append({entry.name(), PrintStyle::EntryName});
    const auto line = [&runs](const QString& label, const QString& value) {
        runs.append({label, PrintStyle::Label});
        runs.append({value, PrintStyle::Value});
    };
    if (const QString url = entry.string(EntryKey::WebsiteURL); !url.isEmpty())
        line(QStringLiteral("\nWebsite: "), url);
    // The second user ID has no label of its own: it follows the first after a blank.
    if (const QString user = entry.string(EntryKey::WebsiteUserID); !user.isEmpty())
        line(QStringLiteral("\nUserID: "), user + u' ' + entry.string(EntryKey::WebsiteUserID2));
    if (const QString password = entry.string(EntryKey::WebsitePassword); !password.isEmpty())
        line(QStringLiteral("\nPassword: "), password);
    if (const QString notes = entry.string(EntryKey::Notes); !notes.isEmpty())
        line(QStringLiteral("\nNotes: "), notes);
    runs.append({QStringLiteral("\n\n"), PrintStyle::Value});
    return runs;
}

QList<PrintRun> printString(const EntryList& list, const QList<int>& selectedRows)
{
    const QSet<int> selected(selectedRows.begin(), selectedRows.end());
    QList<PrintRun> runs;
    for (int row = 0; row < list.size(); ++row) {
        if (!selected.isEmpty() && !selected.contains(row))
            continue;
        runs.append(printItem(*list.at(row)));
    }
    return runs;
}

QString plainText(const QList<PrintRun>& runs)
{
    QString text;
    for (const PrintRun& run : runs)
        text.append(run.text);
    return text;
}

}  // namespace quorly
