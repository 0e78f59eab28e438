#include "app/SupportMail.h"

#include "app/Preferences.h"
#include "platform/Diagnostics.h"

#include <QRegularExpression>
#include <QUrl>
#include <QVariant>

#include <algorithm>

#ifndef QUORLY_SUPPORT_ADDRESS
#define QUORLY_SUPPORT_ADDRESS "support@quorly.example"
#endif

namespace quorly::SupportMail {

namespace {

const QString kSubject = QStringLiteral("Quorly v3.2");
const QString kOpening = QStringLiteral(
    "\n\nDebugging info is included below.  You can delete it if irrelevant to your email, or review it to "
    "assure that it contains no information that you do not want sent.  It contains your preferences, "
    "information from recent crashes (if any), and your OS version (%@).\n\n");

QString separator(const QString& title)
{
    const QString hyphens(26, u'-');
    return hyphens + QStringLiteral("   ") + title + QStringLiteral("   ") + hyphens;
}

// A key or value as the description shows it: bare when it is a plain word or number,
// quoted (with its quotes, backslashes and line breaks escaped) otherwise.
QString described(const QString& text)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_.$:/+-]+$"));
    if (plain.match(text).hasMatch())
        return text;
    QString quoted = text;
    quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    quoted.replace(u'\n', QStringLiteral("\\n")).replace(u'\r', QStringLiteral("\\r"));
    return u'"' + quoted + u'"';
}

QString describedValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray)
        return u'<' + QString::fromLatin1(value.toByteArray().toHex()) + u'>';
    if (value.typeId() == QMetaType::QStringList) {
        QStringList items;
        for (const QString& item : value.toStringList())
            items << described(item);
        return u'(' + items.join(QStringLiteral(", ")) + u')';
    }
    return described(value.toString());
}

QByteArray escaped(const QString& text)
{
    // Everything but letters, digits and "-._~": "&", "=", "#" and "?" in the text must
    // not end the body early or start another header.
    return QUrl::toPercentEncoding(text);
}

// The body's lines, escaped, with any kind of line break between them.
QList<QByteArray> escapedLines(const QString& body)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QList<QByteArray> lines;
    for (const QString& line : body.split(lineBreak))
        lines.append(escaped(line));
    return lines;
}

const QByteArray kLineBreak = QByteArrayLiteral("%0D%0A");

}  // namespace

QString address()
{
    return QStringLiteral(QUORLY_SUPPORT_ADDRESS);
}

DiagnosticInfo gather(const std::function<QString()>& journal, const QString& crashFolder)
{
    DiagnosticInfo info;
    info.osVersion = Diagnostics::osVersion();
    info.preferences = preferencesDescription();
    info.logLines = Diagnostics::linesMentioningProgram(journal ? journal() : QString());
    info.crashReports = Diagnostics::crashReports(crashFolder);
    return info;
}

QString preferencesDescription()
{
    QStringList keys = Preferences::allKeys();
    std::sort(keys.begin(), keys.end());
    QString description = QStringLiteral("{\n");
    for (const QString& key : keys)
        description += QStringLiteral("    ") + described(key) + QStringLiteral(" = ") +
                       describedValue(Preferences::value(key)) + QStringLiteral(";\n");
    return description + u'}';
}

QString body(const DiagnosticInfo& info)
{
    QString text = QString(kOpening).replace(QStringLiteral("%@"), info.osVersion);
    text += separator(QStringLiteral("Preferences")) + u'\n';
    text += info.preferences;
    text += QStringLiteral("\n\n") + separator(QStringLiteral("Log Entries")) + QStringLiteral("\n\n");
    for (const QString& line : info.logLines)
        text += line + u'\r';
    for (const QString& report : info.crashReports)
        text += QStringLiteral("\n\n") + separator(QStringLiteral("Crash Report")) + u'\n' + report;
    return text;
}

QByteArray link(const QString& address, const QString& body, const QString& crashFolder, int maxLength)
{
    const QByteArray head = QByteArrayLiteral("mailto:") + QUrl::toPercentEncoding(address, "@") +
                            QByteArrayLiteral("?Subject=") + escaped(kSubject) + QByteArrayLiteral("&body=");
    const QList<QByteArray> lines = escapedLines(body);
    QByteArray whole = head + lines.join(kLineBreak);
    if (whole.size() <= maxLength)
        return whole;

    // Cut after the last whole line that fits with the note: never inside a line, so
    // never inside an escaped character.
    QByteArray note;
    for (const QByteArray& line : escapedLines(
             QStringLiteral("\n[The rest of the debugging info is left out: it is too long for a mail link. "
                            "The crash reports are in the folder %1; you can attach them.]")
                 .arg(crashFolder)))
        note += kLineBreak + line;
    QByteArray cut = head;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray next = i == 0 ? lines.at(i) : kLineBreak + lines.at(i);
        if (cut.size() + next.size() + note.size() > maxLength)
            break;
        cut += next;
    }
    return cut + note;
}

}  // namespace quorly::SupportMail
