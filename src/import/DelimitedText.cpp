#include "import/DelimitedText.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace quorly {

namespace {

// No password export comes near this; a file that big was chosen by mistake, and
// reading it whole would only exhaust the memory.
constexpr qint64 kMaxImportFileSize = qint64(256) << 20;

const QChar kQuote = u'"';

QChar separatorChar(Separator separator)
{
    switch (separator) {
    case Separator::Tab: return u'\t';
    case Separator::Comma: return u',';
    case Separator::Semicolon: return u';';
    }
    return u',';
}

bool startsWith(const QByteArray& bytes, std::initializer_list<unsigned char> prefix)
{
    if (bytes.size() < qsizetype(prefix.size()))
        return false;
    qsizetype i = 0;
    for (unsigned char b : prefix) {
        if (static_cast<unsigned char>(bytes.at(i++)) != b)
            return false;
    }
    return true;
}

std::optional<QString> decodeStrictly(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// The length of `text` cut to at most `maxBytes` of UTF-8, never inside a character.
qsizetype prefixWithinUtf8Bytes(QStringView text, qsizetype maxBytes)
{
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char16_t u = text.at(i).unicode();
        qsizetype units = 1;
        qsizetype width = 3;
        if (u < 0x80)
            width = 1;
        else if (u < 0x800)
            width = 2;
        else if (QChar::isHighSurrogate(u) && i + 1 < text.size() && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            units = 2;
            width = 4;
        }
        if (bytes + width > maxBytes)
            break;
        bytes += width;
        i += units;
    }
    return i;
}

// Unquotes a comma or semicolon field: a field that begins with a quotation mark loses
// its first and its last character (the closing mark), and every doubled mark becomes
// one.
QString unquote(QStringView raw)
{
    if (raw.startsWith(kQuote))
        raw = raw.size() >= 2 ? raw.mid(1, raw.size() - 2) : QStringView();
    if (!raw.contains(kQuote))
        return raw.toString();
    QString field;
    field.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        field.append(raw.at(i));
        if (raw.at(i) == kQuote && i + 1 < raw.size() && raw.at(i + 1) == kQuote)
            ++i;
    }
    return field;
}

}  // namespace

Separator separatorForTag(int tag)
{
    return tag == 0 ? Separator::Tab : tag == 1 ? Separator::Comma : Separator::Semicolon;
}

int tagForSeparator(Separator separator)
{
    return separator == Separator::Tab ? 0 : separator == Separator::Comma ? 1 : 2;
}

std::optional<ImportText> decodeImportText(const QByteArray& bytes, QString* error)
{
    ImportText result;
    std::optional<QString> text;
    if (startsWith(bytes, {0xFF, 0xFE})) {
        result.encoding = ImportEncoding::UTF16LE;
        text = decodeStrictly(QStringConverter::Utf16LE, QByteArrayView(bytes).sliced(2));
    } else if (startsWith(bytes, {0xFE, 0xFF})) {
        result.encoding = ImportEncoding::UTF16BE;
        text = decodeStrictly(QStringConverter::Utf16BE, QByteArrayView(bytes).sliced(2));
    } else {
        const QByteArrayView body = startsWith(bytes, {0xEF, 0xBB, 0xBF}) ? QByteArrayView(bytes).sliced(3)
                                                                          : QByteArrayView(bytes);
        text = decodeStrictly(QStringConverter::Utf8, body);
        // Not UTF-8: every byte is then one Latin-1 character, so nothing is lost or
        // replaced by a substitute, and the user can still see what the file held.
        if (!text) {
            result.encoding = ImportEncoding::Latin1;
            text = QString::fromLatin1(body);
        }
    }
    // Half of a surrogate pair has no UTF-8 form: the text could not be stored or
    // exported as it reads, so such a file is no text this program can keep.
    if (!text || text->contains(QChar(0)) || !text->isValidUtf16()) {
        if (error)
            *error = QStringLiteral("it is not a text file");
        return std::nullopt;
    }
    result.text = std::move(*text);
    return result;
}

std::optional<ImportText> readImportFile(const QString& path, QString* error)
{
    QFile file(path);
    const QFileInfo info(path);
    QString reason;
    if (!info.exists())
        reason = QStringLiteral("it does not exist");
    else if (info.isDir())
        reason = QStringLiteral("it is a folder");
    else if (info.size() > kMaxImportFileSize)
        reason = QStringLiteral("it is too large to be a password export (%1 MB)").arg(info.size() >> 20);
    else if (!file.open(QIODevice::ReadOnly))
        reason = file.errorString();
    if (reason.isEmpty()) {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            reason = file.errorString();
        } else if (std::optional<ImportText> text = decodeImportText(bytes, &reason)) {
            return text;
        }
    }
    if (error)
        *error = QStringLiteral("\u201c%1\u201d cannot be read: %2.").arg(info.fileName(), reason);
    return std::nullopt;
}

QStringList splitTextIntoLines(QStringView text, Separator separator)
{
    QStringList lines;
    const bool quoting = separator != Separator::Tab;
    bool inQuotes = false;
    qsizetype start = 0;
    for (qsizetype i = 0;; ++i) {
        if (i == text.size()) {
            lines.append(text.mid(start).toString());
            break;
        }
        const QChar c = text.at(i);
        if (quoting && c == kQuote) {
            inQuotes = !inQuotes;
        } else if (!inQuotes && (c == u'\r' || c == u'\n')) {
            lines.append(text.mid(start, i - start).toString());
            start = i + 1;
            inQuotes = false;
            if (start == text.size())
                break;
        }
    }
    return lines;
}

bool ImportRecord::isBlank() const
{
    for (const QString& field : fields) {
        if (!field.trimmed().isEmpty())
            return false;
    }
    return true;
}

// The fields are taken exactly as written: no space is dropped or folded, and nothing
// is turned into escapes, since every character of a password counts.
ImportRecord parseRecord(QStringView line, Separator separator)
{
    ImportRecord record;
    record.fields.reserve(kMaxImportFields);
    const QChar sep = separatorChar(separator);
    const bool quoting = separator != Separator::Tab;
    qsizetype pos = 0;
    while (record.fields.size() < kMaxImportFields) {
        qsizetype scan = pos;
        if (quoting && pos < line.size() && line.at(pos) == kQuote) {
            // The quoted run: a doubled mark is an escaped one; a single mark, or the
            // end of the line, ends the run. What follows up to the separator still
            // belongs to the field.
            scan = pos + 1;
            while (scan < line.size()) {
                if (line.at(scan) == kQuote) {
                    if (scan + 1 < line.size() && line.at(scan + 1) == kQuote) {
                        scan += 2;
                        continue;
                    }
                    ++scan;
                    break;
                }
                ++scan;
            }
        }
        qsizetype end = line.indexOf(sep, scan);
        if (end < 0)
            end = line.size();
        const QStringView raw = line.mid(pos, end - pos);
        QString field = quoting ? unquote(raw) : raw.toString();
        // Cut fields are imported as far as they go and reported, never cut silently.
        if (field.size() * 3 > kMaxImportFieldBytes) {
            const qsizetype keep = prefixWithinUtf8Bytes(field, kMaxImportFieldBytes);
            if (keep < field.size()) {
                field.truncate(keep);
                record.cutFields |= quint16(1u << record.fields.size());
            }
        }
        record.fields.append(std::move(field));
        if (end >= line.size())
            break;
        pos = end + 1;
    }
    return record;
}

QList<ImportRecord> parseDelimitedText(QStringView text, Separator separator)
{
    QList<ImportRecord> records;
    for (const QString& line : splitTextIntoLines(text, separator)) {
        if (!line.isEmpty())
            records.append(parseRecord(line, separator));
    }
    return records;
}

}  // namespace quorly
