#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace quorly {

// The two floating panels of the login sequences. Both float above every window and
// never take the keyboard focus, so keys typed meanwhile still reach the browser.
class FloatingPanels {
public:
    virtual ~FloatingPanels() = default;
    // Shows `password` (of the entry named `entryName`) to be typed by hand.
    virtual void showFloatingPassword(const QString& password, const QString& entryName) = 0;
    virtual void hideFloatingPassword() = 0;
    // The note that the program is waiting for a page to load and will type into it.
    virtual void showFloatingWarning() = 0;
    virtual void hideFloatingWarning() = 0;
};

// The panels the sequences use; until the desktop installs its own, none are shown.
FloatingPanels& floatingPanels();
void setFloatingPanels(std::shared_ptr<FloatingPanels> panels);

// The built-in browser's document. Go To URL makes one for an entry that chose it and
// loads the URL into it; the fill sequences ask only whether the key window's document
// is one, and send it the other three.
class CWBrowserDocument {
public:
    virtual ~CWBrowserDocument() = default;
    // `autoLogin` is 1 when the entry fills in its login by itself, else 0.
    virtual void loadURLRequest(const QString& url, int autoLogin) = 0;
    virtual void showAutoWarning() = 0;
    virtual void clearAutoWarning() = 0;
    virtual void setAutoLogin(int autoLogin) = 0;
};

// The key window's document when it is exactly a CWBrowser, else nullptr. Until the
// built-in browser exists nothing is one.
CWBrowserDocument* keyWindowCWBrowser();
void setKeyWindowCWBrowserLookup(std::function<CWBrowserDocument*()> lookup);

// A new built-in browser document with its window shown, or nullptr where there is no
// screen (until the desktop installs its maker).
CWBrowserDocument* makeCWBrowser();
void setCWBrowserMaker(std::function<CWBrowserDocument*()> maker);

}  // namespace quorly
