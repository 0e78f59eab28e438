#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace quorly {

// The separator radio buttons' tags: 0 tab, 1 comma, anything else semicolon.
enum class Separator { Tab, Comma, Semicolon };
Separator separatorForTag(int tag);
int tagForSeparator(Separator separator);

// At most this many fields of a line are read; the rest of the line is ignored.
constexpr int kMaxImportFields = 9;
// A field longer than this (in UTF-8 bytes) is cut, at a character boundary.
constexpr int kMaxImportFieldBytes = 8191;

// How the bytes of an import file were read.
enum class ImportEncoding { UTF8, Latin1, UTF16LE, UTF16BE };

struct ImportText {
    QString text;
    ImportEncoding encoding = ImportEncoding::UTF8;
};

// Decodes the whole file: UTF-8 (a byte-order mark dropped), UTF-16 when a UTF-16
// byte-order mark says so, and Latin-1 when the bytes are not valid UTF-8, so that no
// byte is ever lost or replaced. nullopt, with `error` set, for bytes that are no text
// at all (NUL characters).
std::optional<ImportText> decodeImportText(const QByteArray& bytes, QString* error = nullptr);

// Reads and decodes the file at `path`; nullopt with a message for the user when it
// cannot be read or is not text.
std::optional<ImportText> readImportFile(const QString& path, QString* error);

// `splitTextIntoLines:separator:`: CR and LF end a line unless inside quotation marks
// (comma and semicolon only; a tab file knows no quoting). A CR LF pair leaves an
// empty line between its two bytes, which the record parsing skips.
QStringList splitTextIntoLines(QStringView text, Separator separator);

// One parsed line: up to 9 fields, and which of them had to be cut (bit i: field i).
struct ImportRecord {
    QStringList fields;
    quint16 cutFields = 0;

    bool wasCut(int field) const { return (cutFields >> field) & 1u; }
    // Every field empty or white space only: a blank line of the file.
    bool isBlank() const;
    friend bool operator==(const ImportRecord&, const ImportRecord&) = default;
};

// Parses one line into a record.
ImportRecord parseRecord(QStringView line, Separator separator);

// `importPasswordDataRadioButtonsChanged:`'s parse: the lines of `text`, empty lines
// skipped, each parsed into a record.
QList<ImportRecord> parseDelimitedText(QStringView text, Separator separator);

}  // namespace quorly
