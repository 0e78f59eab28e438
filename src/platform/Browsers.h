#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace quorly {

class Entry;

// A browser the user can choose for an entry: an installed application whose desktop
// entry handles https links.
struct Browser {
    QString title;       // the entry's Name (localized when the file has the user's language)
    QString identifier;  // the desktop-file id, "firefox-esr.desktop"; stored per entry
    QString exec;        // its Exec line, string escapes already resolved
    QString path;        // the desktop file it was read from
};

// The folders searched for desktop entries, in order of precedence:
// $XDG_DATA_HOME/applications (~/.local/share/applications), then each of
// $XDG_DATA_DIRS (/usr/local/share:/usr/share) followed by /applications.
QStringList applicationDirs();

// The browsers of the desktop entries in `dirs` (precedence order) whose MimeType lists
// x-scheme-handler/https, sorted with `browsersSort`. An id found in an earlier folder
// hides the same id in later ones, also when the earlier file is Hidden or NoDisplay,
// which is how a user takes a system browser off the list.
QList<Browser> discoverBrowsers(const QStringList& dirs, const QString& locale);
QList<Browser> discoverBrowsers();  // applicationDirs() and messagesLocale()

// The desktop file of the desktop-file id `id` in `dirs` (precedence order), where a
// subfolder's files have ids with '-' for '/' ("kde/konqueror.desktop" is
// "kde-konqueror.desktop"). None when no folder has it.
std::optional<QString> desktopEntryPath(const QString& id, const QStringList& dirs);

// The application of the desktop file at `path` as a browser to start: none when the
// file is no application, is Hidden, or has no Name or no usable Exec line.
std::optional<Browser> applicationFrom(const QString& id, const QString& path, const QString& locale);

// `browsersSort`: plain case-sensitive comparison of the titles; the id settles a tie
// so the order never depends on the file system. True when `a` goes first.
bool browsersSort(const Browser& a, const Browser& b);

// The browser pop-up: "Default Browser", the built-in "Cardwell" item, then `browsers`.
namespace BrowserPopup {
constexpr int DefaultBrowserIndex = 0;
constexpr int BuiltInIndex = 1;
constexpr int FirstFoundIndex = 2;
inline const QString DefaultBrowserTitle = QStringLiteral("Default Browser");
inline const QString BuiltInTitle = QStringLiteral("Cardwell");

QStringList titles(const QList<Browser>& browsers);

// The item an entry's stored choice shows. The built-in browser wins; then the browser
// whose id the entry stored; then, for files written elsewhere whose ids mean nothing
// here, the first browser of the stored title; otherwise "Default Browser" (the stored
// keys stay until the user chooses again).
int indexForEntry(const Entry& entry, const QList<Browser>& browsers);
// The installed browser that item stands for, or none (default or built-in browser).
// Opening a website uses this, so the browser that opens is the one the editor shows.
const Browser* browserForEntry(const Entry& entry, const QList<Browser>& browsers);
}  // namespace BrowserPopup

// A command to start: a program and its arguments, never a shell line.
struct LaunchCommand {
    QString program;
    QStringList arguments;
    friend bool operator==(const LaunchCommand&, const LaunchCommand&) = default;
};

// Expands an Exec line (string escapes already resolved) for opening `url`: arguments
// split at blanks outside double quotes, \" \` \$ \\ resolved inside them; %u %U %f %F
// become the URL, %% a percent sign, every other field code is dropped (an argument that
// was nothing but such codes goes away). A line without any of the four URL codes gets
// the URL as its last argument, so a browser started without one still opens the page.
// None for an empty line or an unterminated quote.
std::optional<LaunchCommand> expandExec(const QString& exec, const QString& url);

}  // namespace quorly
