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
    menu_->clear();
    for (const QString& title : titles) {
        // An entry name may hold '&', which a menu would take for a mnemonic.
        QAction* item = menu_->addAction(QString(title).replace(QLatin1Char('&'), QStringLiteral("&&")));
        item->setEnabled(bool(goToRecent_));
        connect(item, &QAction::triggered, this, [this, title] {
            if (owner_ && goToRecent_)
                goToRecent_(owner_, title);
        });
    }
    if (!titles.isEmpty())
        menu_->addSeparator();
    QAction* clear = menu_->addAction(tr("Clear Menu"));
    clear->setEnabled(!titles.isEmpty() && owner);
    connect(clear, &QAction::triggered, this, [this] {
        if (owner_)
            owner_->clearRecentWebsiteMenu();
    });
}

}  // namespace quorly
