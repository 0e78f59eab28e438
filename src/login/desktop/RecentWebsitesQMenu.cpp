#include "login/desktop/RecentWebsitesQMenu.h"

#include "login/WebsitePasswordManager.h"

#include <QAction>
#include <QMenu>

namespace quorly {

RecentWebsitesQMenu::RecentWebsitesQMenu(QMenu* menu) : QObject(menu), menu_(menu)
{
    showTitles(nullptr, {});
}

void RecentWebsitesQMenu::showTitles(WebsitePasswordManager* owner, const QStringList& titles)
{
    if (!menu_)
        return;
    owner_ = owner;
    // The menu is rebuilt from inside its own items' actions (an item opens a website,
    // which puts it on top; "Clear Menu" empties it): the old items go later, not from
    // under the action that is running.
    for (QAction* old : menu_->actions()) {
        menu_->removeAction(old);
        if (old->parent() == menu_)
            old->deleteLater();
    }
    using Kind = RecentWebsitesMenuItem::Kind;
    for (const RecentWebsitesMenuItem& item : recentWebsitesMenuItems(titles, owner != nullptr)) {
        if (item.kind == Kind::Separator) {
            menu_->addSeparator();
            continue;
        }
        // An entry name may hold '&', which a menu would take for a mnemonic.
        QAction* action = menu_->addAction(QString(item.title).replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setEnabled(item.enabled);
        if (item.kind == Kind::ClearMenu) {
            connect(action, &QAction::triggered, this, [this] {
                if (owner_)
                    owner_->clearRecentWebsiteMenu();
            });
            continue;
        }
        connect(action, &QAction::triggered, this, [this, title = item.title] {
            if (!owner_)
                return;
            if (goToRecent_)
                goToRecent_(owner_, title);
            else
                owner_->goToRecent(title);
        });
    }
}

}  // namespace quorly
