#pragma once

#include "platform/Browsers.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace quorly {

// How a website reaches a browser. The desktop program installs the XDG workspace below;
// tests install a recorder. Main thread only.
class Workspace {
public:
    virtual ~Workspace() = default;
    // Starts `browser` (an installed desktop entry) on `url`. False when its Exec line is
    // unusable or its program could not be started.
    virtual bool openURLWithBrowser(const Browser& browser, const QString& url) = 0;
    // Opens `url` in the desktop's default browser. False when nothing could be started.
    virtual bool openURL(const QString& url) = 0;
};

// The workspace the program uses. Until one is installed, one that opens nothing stands
// in (the command-line tools and the unit tests start no browser by accident).
Workspace& workspace();
// Installs `w` (nullptr restores the stand-in).
void setWorkspace(std::shared_ptr<Workspace> w);

// The mimeapps.list files of the XDG MIME Applications rules, in order of precedence:
// for each of $XDG_CONFIG_HOME, $XDG_CONFIG_DIRS, $XDG_DATA_HOME/applications and
// $XDG_DATA_DIRS/applications, first the files of the desktops named in
// $XDG_CURRENT_DESKTOP ("gnome-mimeapps.list"), then "mimeapps.list".
QStringList mimeAppsListFiles();

// The default browser for a URL of `scheme`, by the defaults of x-scheme-handler/http and
// x-scheme-handler/https (the URL's own scheme first; a file URL goes by https): in each
// list file, in order, the first listed application whose desktop entry is found in
// `applicationDirs` and can be started. None when no list names one.
std::optional<Browser> defaultBrowser(const QString& scheme, const QStringList& listFiles,
                                      const QStringList& applicationDirs, const QString& locale);

// The workspace of an XDG desktop. A chosen browser is started from its desktop entry's
// Exec line, expanded by the program itself and started without a shell. The default
// browser is the one the desktop's mimeapps.list files name (looked up at every open,
// so a change of the default takes effect at once); when they name none that can be
// started, `lastResort` ("xdg-open") is given the URL, as its only argument.
class XdgWorkspace : public Workspace {
public:
    explicit XdgWorkspace(QString lastResort = QStringLiteral("xdg-open"));

    // Variables the started browsers must not inherit (the Qt platform the program chose
    // for its own windows must not force a Qt browser onto X11).
    void setVariablesToDrop(QStringList names) { dropped_ = std::move(names); }

    bool openURLWithBrowser(const Browser& browser, const QString& url) override;
    bool openURL(const QString& url) override;

private:
    bool start(const QString& program, const QStringList& arguments) const;

    QString lastResort_;
    QStringList dropped_;
};

}  // namespace quorly
