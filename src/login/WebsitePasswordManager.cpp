#include "login/WebsitePasswordManager.h"

#include "login/KeystrokeSynthesis.h"
#include "login/LoginOptions.h"
#include "login/RecentWebsitesMenu.h"
#include "store/MyDocument.h"

#include <QHash>

namespace quorly {

namespace {

// Which controller filled each menu last. The menu is shared by every document; a
// controller whose document is in the background (reloading on its timer, closing at
// quit) must not show its titles in, or empty, the front document's menu.
QHash<RecentWebsitesMenu*, QPointer<WebsitePasswordManager>>& menuOwners()
{
    static QHash<RecentWebsitesMenu*, QPointer<WebsitePasswordManager>> owners;
    return owners;
}

bool ownedByOther(RecentWebsitesMenu* menu, const WebsitePasswordManager* self)
{
    const QPointer<WebsitePasswordManager> owner = menuOwners().value(menu);
    return owner && owner != self;
}

}  // namespace

WebsitePasswordManager::WebsitePasswordManager(MyDocument* document)
    : QObject(document), document_(document)
{
    theTypeSpeed = -1;
}

WebsitePasswordManager::~WebsitePasswordManager() = default;

LoginOptions& WebsitePasswordManager::loginOptions()
{
    // Read on first use rather than with every document: opening a file should not
    // wait for a walk through the desktop's application folders.
    if (!loginOptions_)
        loginOptions_ = std::make_unique<LoginOptions>(discoverBrowsers());
    return *loginOptions_;
}

void WebsitePasswordManager::initRecentWebsitesMenu(RecentWebsitesMenu* menu,
                                                    const std::optional<QStringList>& titles)
{
    recentWebsiteTitles_ = titles.value_or(QStringList());
    recentWebsiteTitles_.reserve(MaxRecentWebsites);
    if (ownedByOther(menu, this)) {
        recentWebsiteMenu_ = menu;
        return;
    }
    setRecentWebsitesMenu(menu, recentWebsiteTitles_);
    if (!titles && menu)
        menuOwners().remove(menu);  // closing: the menu is nobody's until a window becomes main
}

void WebsitePasswordManager::setRecentWebsitesMenu(RecentWebsitesMenu* menu, const QStringList& titles)
{
    recentWebsiteMenu_ = menu;
    if (menu) {
        menuOwners().insert(menu, this);
        menu->showTitles(this, titles);
    }
}

void WebsitePasswordManager::resetRecentWebsitesMenu(RecentWebsitesMenu* menu)
{
    setRecentWebsitesMenu(menu, recentWebsiteTitles_);
}

void WebsitePasswordManager::putOnTop(const QString& title)
{
    recentWebsiteTitles_.removeAll(title);
    while (recentWebsiteTitles_.size() >= MaxRecentWebsites)
        recentWebsiteTitles_.removeLast();
    recentWebsiteTitles_.prepend(title);
}

void WebsitePasswordManager::addRecentWebsiteMenuItemWithTitle(const QString& title)
{
    putOnTop(title);
    showInMenu();
    save();
}

bool WebsitePasswordManager::addRecentWebsiteTitles(const QStringList& titles)
{
    if (titles.isEmpty())
        return true;
    for (const QString& title : titles)
        putOnTop(title);
    showInMenu();
    return save();
}

void WebsitePasswordManager::deleteRecentWebsiteMenuItemWithTitle(const QString& title, bool removeSeparator)
{
    Q_UNUSED(removeSeparator);
    recentWebsiteTitles_.removeAll(title);
    showInMenu();
    save();
}

void WebsitePasswordManager::renameRecentWebsiteTitle(const QString& oldTitle, const QString& newTitle)
{
    for (QString& t : recentWebsiteTitles_) {
        if (t == oldTitle)
            t = newTitle;
    }
    showInMenu();
    save();
}

void WebsitePasswordManager::clearRecentWebsiteMenu()
{
    recentWebsiteTitles_.clear();
    showInMenu();
    save();
}

void WebsitePasswordManager::showInMenu()
{
    if (recentWebsiteMenu_ && !ownedByOther(recentWebsiteMenu_, this))
        setRecentWebsitesMenu(recentWebsiteMenu_, recentWebsiteTitles_);
}

bool WebsitePasswordManager::save()
{
    // Saved through this controller's own document: the front document may be another
    // one, and a document that is loading in the background must store its own list.
    return document_ && document_->saveRecentWebsites();
}

}  // namespace quorly
