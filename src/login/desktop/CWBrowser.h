#pragma once

#include "login/LoginPanels.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace quorly {

// "Cardwell", the built-in browser an entry can choose. Decided here: it embeds no web
// engine (a password manager must not carry a browser engine whose security updates
// lag behind the browsers'), so its window is not a dead end but a plain one: the
// address, and a button that opens it in the default browser. Its three operations for
// the fill sequences do nothing, as in the original; the fill sequences need only know
// that the key window is one.
//
// Decided for its auto-login flag: the window shows no page, so nothing can be filled
// into it; with the flag 1 (the entry fills in its login by itself) the window says
// that this needs a browser chosen for the entry, and nothing more happens.
class CWBrowser final : public QWidget, public CWBrowserDocument {
    Q_OBJECT
public:
    CWBrowser();

    void loadURLRequest(const QString& url, int autoLogin) override;
    void setAutoLogin(int) override {}
    void showAutoWarning() override {}
    void clearAutoWarning() override {}

    const QString& url() const { return url_; }
    QLabel* addressLabel() const { return address_; }
    QLabel* autoLoginNote() const { return autoLoginNote_; }
    QPushButton* openButton() const { return open_; }
    QLabel* failureMessage() const { return failure_; }

    // Makes one and shows its window; the window deletes itself when it is closed.
    static CWBrowser* make();
    // The key window when it is a CWBrowser, else nullptr.
    static CWBrowser* keyWindowBrowser();

private:
    void openInDefaultBrowser();

    QString url_;
    QLabel* address_;
    QLabel* autoLoginNote_;
    QLabel* failure_;
    QPushButton* open_;
};

}  // namespace quorly
