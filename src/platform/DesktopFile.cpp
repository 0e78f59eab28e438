#include "platform/DesktopFile.h"

#include <QFile>

namespace quorly {

namespace {

// Desktop files may be written with spaces around '=' and with CRLF line ends.
QString trimmed(QStringView s) { return s.trimmed().toString(); }

}  // namespace

QString unescapeDesktopValue(const QString& raw)
{
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c != u'\\' || i + 1 == raw.size()) {
            out.append(c);
            continue;
        }
        const QChar next = raw.at(i + 1);
        switch (next.unicode()) {
        case u's': out.append(u' '); break;
        case u'n': out.append(u'\n'); break;
        case u't': out.append(u'\t'); break;
        case u'r': out.append(u'\r'); break;
        case u'\\': out.append(u'\\'); break;
        default:
            out.append(c);
            out.append(next);
            break;
        }
        ++i;
    }
    return out;
}

std::optional<DesktopFile> DesktopFile::parse(const QByteArray& content, const QString& group)
{
    const QString header = u'[' + group + u']';
    DesktopFile file;
    bool found = false;
    bool inEntryGroup = false;
    const QString text = QString::fromUtf8(content);
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            // Only the first such group counts; a repeated one is another group.
            inEntryGroup = !found && line == header;
            found = found || inEntryGroup;
            continue;
        }
        if (!inEntryGroup)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;  // not a key line: skipped rather than refusing the whole file
        const QString key = trimmed(line.left(eq));
        if (!file.raw_.contains(key))  // a key given twice: the first one holds
            file.raw_.insert(key, line.mid(eq + 1).trimmed().toString());
    }
    if (!found)
        return std::nullopt;
    return file;
}

std::optional<DesktopFile> DesktopFile::read(const QString& path, const QString& group)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parse(f.readAll(), group);
}

QString DesktopFile::string(const QString& key) const
{
    return unescapeDesktopValue(raw_.value(key));
}

QString DesktopFile::localeString(const QString& key, const QString& locale) const
{
    // lang_COUNTRY.ENCODING@MODIFIER: the encoding never takes part in matching.
    QString lang = locale;
    QString modifier;
    if (const qsizetype at = lang.indexOf(u'@'); at >= 0) {
        modifier = lang.mid(at + 1);
        lang.truncate(at);
    }
    if (const qsizetype dot = lang.indexOf(u'.'); dot >= 0)
        lang.truncate(dot);
    QString country;
    if (const qsizetype us = lang.indexOf(u'_'); us >= 0) {
        country = lang.mid(us + 1);
        lang.truncate(us);
    }

    QStringList candidates;
    if (!lang.isEmpty()) {
        if (!country.isEmpty() && !modifier.isEmpty())
            candidates << lang + u'_' + country + u'@' + modifier;
        if (!country.isEmpty())
            candidates << lang + u'_' + country;
        if (!modifier.isEmpty())
            candidates << lang + u'@' + modifier;
        candidates << lang;
    }
    for (const QString& c : candidates) {
        const QString localized = key + u'[' + c + u']';
        if (raw_.contains(localized))
            return string(localized);
    }
    return string(key);
}

bool DesktopFile::boolean(const QString& key) const
{
    const QString v = raw_.value(key);
    return v == u"true" || v == u"1";
}

QStringList DesktopFile::list(const QString& key) const
{
    const QString raw = raw_.value(key);
    QStringList items;
    QString current;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c == u'\\' && i + 1 < raw.size()) {
            // A pair is taken whole, so "\\;" is a backslash ending its element.
            if (raw.at(i + 1) == u';') {
                current.append(u';');
            } else {
                current.append(c);
                current.append(raw.at(i + 1));
            }
            ++i;
        } else if (c == u';') {
            items << unescapeDesktopValue(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    // The list normally ends with ';'; a last element without one still counts.
    if (!current.isEmpty())
        items << unescapeDesktopValue(current);
    return items;
}

QString messagesLocale()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(name);
        if (value.isEmpty())
            continue;
        if (value == u"C" || value == u"POSIX" || value.startsWith(u"C."))
            return {};
        return value;
    }
    return {};
}

}  // namespace quorly
