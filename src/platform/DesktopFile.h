#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace quorly {

// One group of a file in the XDG key file format: by default the "[Desktop Entry]"
// group of a desktop file, enough of it to find the installed browsers and start one;
// also the "[Default Applications]" of a mimeapps.list. Other groups are skipped.
class DesktopFile {
public:
    static inline const QString EntryGroup = QStringLiteral("Desktop Entry");

    // None when the text has no such group.
    static std::optional<DesktopFile> parse(const QByteArray& content, const QString& group = EntryGroup);
    static std::optional<DesktopFile> read(const QString& path, const QString& group = EntryGroup);

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
