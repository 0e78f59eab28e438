#pragma once

#include <QList>
#include <QStringList>

namespace quorly {

class WebsitePasswordManager;

// One item of the "Go To Recent Website" menu.
struct RecentWebsitesMenuItem {
    enum class Kind { Title, Separator, ClearMenu };
    Kind kind;
    QString title;  // an entry's name; "Clear Menu"; empty for the separator
    bool enabled;
    friend bool operator==(const RecentWebsitesMenuItem&, const RecentWebsitesMenuItem&) = default;
};

// The menu for `titles` (newest first): the titles, a separator and "Clear Menu"; with no
// titles only "Clear Menu", disabled. Title items are enabled only when `owned` (a
// controller filled the menu and acts on what is chosen).
QList<RecentWebsitesMenuItem> recentWebsitesMenuItems(const QStringList& titles, bool owned);

// The shared "Go To Recent Website" menu as the website-login controllers see it. The
// desktop implements it with the real submenu; without one (tests, the command line)
// the controllers keep their lists all the same.
class RecentWebsitesMenu {
public:
    virtual ~RecentWebsitesMenu() = default;

    // Shows recentWebsitesMenuItems(titles, owner != nullptr). The title items and
    // "Clear Menu" act on `owner`, the controller that filled the menu last.
    virtual void showTitles(WebsitePasswordManager* owner, const QStringList& titles) = 0;
};

}  // namespace quorly
