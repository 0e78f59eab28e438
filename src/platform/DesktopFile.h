#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace quorly {

// The "[Desktop Entry]" group of an XDG desktop file: enough of the format to find the
// installed browsers and start one. Other groups (actions) are skipped.
class DesktopFile {
public:
    // None when the text has no "[Desktop Entry]" group.
    static std::optional<DesktopFile> parse(const QByteArray& content);
    static std::optional<DesktopFile> read(const QString& path);

    bool contains(const QString& key) const { return raw_.contains(key); }
    // The value with the string escapes (\s \n \t \r \\) resolved. Other backslash
    // pairs stay as they are: Exec has a quoting of its own that needs them.
    QString string(const QString& key) const;
    // The value for `locale` ("de_CH.UTF-8@euro", "fr", ...) by the usual fallbacks
    // (lang_COUNTRY@MODIFIER, lang_COUNTRY, lang@MODIFIER, lang), else the plain key.
    QString localeString(const QString& key, const QString& locale) const;
    // "true" (or the older "1") is true; anything else, or no key, is false.
    bool boolean(const QString& key) const;
    // A ';'-separated list; "\;" is a semicolon inside an element.
    QStringList list(const QString& key) const;

private:
    QHash<QString, QString> raw_;  // key (with its [locale] part) -> value as written
};

// Resolves the string escapes of a desktop-file value.
QString unescapeDesktopValue(const QString& raw);

// The locale the user reads messages in, from LC_ALL, LC_MESSAGES or LANG ("" for C/POSIX).
QString messagesLocale();

}  // namespace quorly
