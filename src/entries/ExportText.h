#pragma once

#include "entries/EntryList.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace quorly {

// One exported entry: six fields in double quotes (name, URL, first and second user
// ID, password, notes), separated by commas, ended by a line feed. A double quote
// inside a value is doubled, so that every CSV reader (and the import) reads the value
// back as it was; line breaks stay as they are, inside the quotes.
QString exportLine(const Entry& entry);

// The export file's text: the lines of the entries at `selectedRows`, in list order
// whatever the order of `selectedRows`, as UTF-8.
QByteArray exportText(const EntryList& list, QList<int> selectedRows);

// Writes the export atomically, readable by its owner only (it holds every password in
// plain text). The old file at `path` is replaced only by a complete new one; on failure
// `error` says why.
bool writeExportFile(const QString& path, const QByteArray& text, QString* error);

}  // namespace quorly
