#include "entries/MenuValidation.h"

namespace quorly {

MenuItemState validateMenuItem(const QString& title, const MenuState& state)
{
    MenuItemState item;
    if (title == QLatin1String("Save File Password In Keychain")) {
        item.checked = state.passwordInKeychain;
    } else if (title == QLatin1String("Go To URL")) {
        item.enabled = state.websiteItemHasURL;
    } else if (title.startsWith(QLatin1String("View/Edit"))) {
        item.enabled = state.selectedRows == 1;
    } else if (title.startsWith(QLatin1String("Export"))) {
        item.enabled = state.selectedRows >= 1;
    } else if (title == QLatin1String("Find Again")) {
        item.enabled = state.searchTextPresent;
    } else if (title.startsWith(QLatin1String("Print"))) {
        item.enabled = state.entryCount >= 1;
    }
    // Copying an empty field would only empty the user's clipboard.
    else if (title.startsWith(QLatin1String("Copy User ID"))) {
        item.enabled = state.selectedRows == 1 && state.selectedHasUserID;
    } else if (title.startsWith(QLatin1String("Copy Password"))) {
        item.enabled = state.selectedRows == 1 && state.selectedHasPassword;
    } else if (title.startsWith(QLatin1String("Copy URL"))) {
        item.enabled = state.selectedRows == 1 && state.selectedHasURL;
    }
    // The commands below change the list. The window hides their buttons when the
    // package cannot be written, and a menu item must not slip past that: the save that
    // follows would fail and the change would be lost at the next reload.
    else if (title.startsWith(QLatin1String("Duplicate"))) {
        item.enabled = state.writeable && state.selectedRows == 1;
    } else if (title.startsWith(QLatin1String("Delete Entr"))) {
        item.enabled = state.writeable && state.selectedRows >= 1;
    } else if (title.startsWith(QLatin1String("New Entry")) ||
               title.startsWith(QLatin1String("Add Entry")) ||
               title.startsWith(QLatin1String("Import"))) {
        item.enabled = state.writeable;
    }
    return item;
}

}  // namespace quorly
