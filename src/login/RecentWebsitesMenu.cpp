#include "login/RecentWebsitesMenu.h"

namespace quorly {

QList<RecentWebsitesMenuItem> recentWebsitesMenuItems(const QStringList& titles, bool owned)
{
    using Kind = RecentWebsitesMenuItem::Kind;
    QList<RecentWebsitesMenuItem> items;
    for (const QString& title : titles)
        items.append({Kind::Title, title, owned});
    if (!titles.isEmpty())
        items.append({Kind::Separator, QString(), false});
    items.append({Kind::ClearMenu, QStringLiteral("Clear Menu"), owned && !titles.isEmpty()});
    return items;
}

}  // namespace quorly
