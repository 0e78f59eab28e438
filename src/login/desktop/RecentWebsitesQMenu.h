#pragma once

#include "login/RecentWebsitesMenu.h"

#include <QObject>
#include "store/MyDocument.h"  // WebsitePasswordManager.h needs it complete
#include "login/WebsitePasswordManager.h"
#include <QPointer>

#include <functional>

#include <QMenu>

namespace quorly {

// The shared "Go To Recent Website" submenu: one QMenu that every document window's
// File menu shows, filled by the website-login controller of the front document.
class RecentWebsitesQMenu : public QObject, public RecentWebsitesMenu {
    Q_OBJECT
public:
    explicit RecentWebsitesQMenu(QMenu* menu);

    QMenu* menu() const { return menu_; }

    void showTitles(WebsitePasswordManager* owner, const QStringList& titles) override;

    // What a title item does: `goToRecent:` of the owner's document window, which ends
    // the editing in that window first. Without one the owner goes to the entry itself.
    using GoToRecentFn = std::function<void(WebsitePasswordManager* owner, const QString& title)>;
    void setGoToRecent(GoToRecentFn goToRecent) { goToRecent_ = std::move(goToRecent); }

private:
    QPointer<QMenu> menu_;
    QPointer<WebsitePasswordManager> owner_;
    GoToRecentFn goToRecent_;
};

}  // namespace quorly
