#pragma once

#include <QString>

#include <optional>

namespace quorly {

// What a document window's menu items depend on, gathered at the moment a menu opens.
struct MenuState {
    int selectedRows = 0;
    int entryCount = 0;
    bool websiteItemHasURL = false;  // `gWebsiteItem` is set and its "websiteURL" non-empty
    bool searchTextPresent = false;
    bool passwordInKeychain = false;
    bool writeable = true;  // `PWFileWriteable`
    // The fields of the one selected entry that hold something (all false unless
    // exactly one row is selected).
    bool selectedHasUserID = false;
    bool selectedHasPassword = false;
    bool selectedHasURL = false;
};

struct MenuItemState {
    bool enabled = true;
    std::optional<bool> checked;  // set only for items that carry a check mark
};

// `validateMenuItem:`: the item is recognised by its title; the first test that matches
// decides.
MenuItemState validateMenuItem(const QString& title, const MenuState& state);

}  // namespace quorly
