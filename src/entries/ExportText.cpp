#include "entries/ExportText.h"

#include "platform/AtomicFile.h"

#include <algorithm>

namespace quorly {

namespace {

void appendQuoted(QString& line, const QString& value)
{
    line.append(u'"');
    for (const QChar c : value) {
        line.append(c);
        if (c == u'"')
            line.append(u'"');
    }
    line.append(u'"');
}

}  // namespace

QString exportLine(const Entry& entry)
{
    QString line;
    bool first = true;
    for (const QString* key : {&EntryKey::Path, &EntryKey::WebsiteURL, &EntryKey::WebsiteUserID,
                               &EntryKey::WebsiteUserID2, &EntryKey::WebsitePassword, &EntryKey::Notes}) {
        if (!first)
            line.append(u',');
        first = false;
        appendQuoted(line, entry.string(*key));
    }
    line.append(u'\n');
    return line;
}

QByteArray exportText(const EntryList& list, QList<int> selectedRows)
{
    std::sort(selectedRows.begin(), selectedRows.end());
    QString text;
    int last = -1;
    for (const int row : selectedRows) {
        if (row == last || row < 0 || row >= list.size())
            continue;
        last = row;
        text.append(exportLine(*list.at(row)));
    }
    return text.toUtf8();
}

bool writeExportFile(const QString& path, const QByteArray& text, QString* error)
{
    return writeFileAtomically(path, text, 0600, error);
}

}  // namespace quorly
