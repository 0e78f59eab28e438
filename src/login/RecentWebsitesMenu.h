#pragma once

#include <QStringList>

namespace quorly {

class WebsitePasswordManager;

// The shared "Go To Recent Website" menu as the website-login controllers see it. The
// desktop implements it with the real submenu; without one (tests, the command line)
// the controllers keep their lists all the same.
class RecentWebsitesMenu {
public:
    virtual ~RecentWebsitesMenu() = default;

    // Shows `titles` (newest first), a separator and "Clear Menu" after them; with no
    // titles only "Clear Menu", disabled. The title items and "Clear Menu" act on
    // `owner`, the controller that filled the menu last.
    virtual void showTitles(WebsitePasswordManager* owner, const QStringList& titles) = 0;
};

}  // namespace quorly
