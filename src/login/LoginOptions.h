#pragma once

#include "entries/Entry.h"
#include "platform/Browsers.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace quorly {

// Titles of the option pop-ups. Only the indexes are stored.
namespace LoginOptionTitles {
inline constexpr int StandardTabCounts = 6;
QStringList userIDOptions();    // index = "websiteNewUserIDOptions"
QStringList passwordOptions();  // index = "websitePasswordOptions"
QString tabCount(int index);    // index = the stored count: TABs pressed = index + 1
QStringList tabCounts(int items = StandardTabCounts);
}  // namespace LoginOptionTitles

struct CheckBoxState {
    bool checked = false;
    bool enabled = true;
    friend bool operator==(const CheckBoxState&, const CheckBoxState&) = default;
};

struct PopUpState {
    QStringList items;
    int selected = 0;  // -1: no item shown
    bool enabled = true;
    friend bool operator==(const PopUpState&, const PopUpState&) = default;
};

struct TextFieldState {
    QString text;
    bool hidden = false;
    friend bool operator==(const TextFieldState&, const TextFieldState&) = default;
};

// Everything the login-option part of the entry editor shows. The editor's widgets
// mirror this after every change (LoginOptions::controlsChanged).
struct LoginOptionControls {
    PopUpState userIDOptions;
    CheckBoxState userIDTabSwitch;
    PopUpState userIDTabs;
    CheckBoxState userIDReturnSwitch;
    PopUpState passwordOptions;
    CheckBoxState passwordTabSwitch;
    PopUpState passwordTabs;
    CheckBoxState passwordReturnSwitch;
    PopUpState browserPopup;
    CheckBoxState includeSpecialsSwitch;

    TextFieldState url;
    // The plain fields lie over their bullet twins; hiding a plain one shows bullets.
    TextFieldState userID, userID2, password;
    TextFieldState secureUserID, secureUserID2, securePassword;
    QString showHideTitle;  // "Hide ID/Password" or "Show ID/Password"

    friend bool operator==(const LoginOptionControls&, const LoginOptionControls&) = default;
};

// The login options of the entry being edited: the working copy's option keys, the
// URL, user-ID and password fields, and the rules that tie them together. The user's
// actions arrive here (each sets its control, then runs the handler of that control);
// every change is stored in the working copy at once.
class LoginOptions {
public:
    enum class Field { URL, UserID, UserID2, Password };

    static inline const QString HideTitle = QStringLiteral("Hide ID/Password");
    static inline const QString ShowTitle = QStringLiteral("Show ID/Password");

    explicit LoginOptions(QList<Browser> browsers = {});

    // `writeAttributesFileForItem:` then `changed`: the working copy changed.
    std::function<void(const EntryRef&)> entryChanged;
    // The controls changed: the widgets mirror controls() again.
    std::function<void()> controlsChanged;
    // The password was edited: the floating password panel goes away.
    std::function<void()> passwordEdited;

    const QList<Browser>& browsers() const { return browsers_; }
    const EntryRef& entry() const { return entry_; }
    const LoginOptionControls& controls() const { return controls_; }

    // `-loadAttributes:forWindow:`: `entry` becomes the current entry (gWebsiteItem) and
    // is shown. An entry of the older option scheme is converted in place, and the rules
    // of its options are applied; true when that changed the working copy. That is not
    // reported through entryChanged: the user has changed nothing yet, and a new entry
    // (which always converts) must not become saveable just by being opened.
    bool loadAttributes(const EntryRef& entry);

    // The user's actions. An action on a disabled control, an index its pop-up does not
    // have, or any action before an entry is loaded is ignored.
    void chooseUserIDOption(int index);      // `-userIDOptionsChanged:`
    void setUserIDTabSwitch(bool on);        // `-userIDTabChanged:`
    void chooseUserIDTabCount(int index);    // `-userIDTabChanged:`
    void setUserIDReturnSwitch(bool on);     // `-userIDReturnChanged:`
    void choosePasswordOption(int index);    // `-passwordOptionsChanged:`
    void setPasswordTabSwitch(bool on);      // `-passwordTabChanged:`
    void choosePasswordTabCount(int index);  // `-passwordTabChanged:`
    void setPasswordReturnSwitch(bool on);   // `-passwordReturnChanged:`
    void chooseBrowser(int index);           // `-browserChanged:`

    // `-fieldChanged:` for a field whose text is now `text`.
    void fieldChanged(Field field, const QString& text);
    // `-setURL:`: as if the URL had been typed.
    void setURL(const QString& url);
    bool urlPresent() const { return !controls_.url.text.isEmpty(); }

    // `-showHideUserIDPassword:`; the caller ends editing in the editor first.
    void showHideUserIDPassword();
    void showBullets();
    void hideBullets();

    // The rules of the two option pop-ups.
    void displayUserIDOption(qint64 option);
    void displayPasswordOption(qint64 option) { applyPasswordOption(option, false); }

private:
    void userIDOptionsChanged();
    void userIDTabChanged();
    void passwordOptionsChanged();
    void passwordTabChanged();
    void browserChanged();
    void applyPasswordOption(qint64 option, bool loading);
    void tabChanged(CheckBoxState& box, PopUpState& tabs, const QString& switchKey,
                    const QString& countKey);

    void convertOlderScheme();
    void setBullets(bool bullets);
    void notify();
    void showControls();

    QList<Browser> browsers_;
    EntryRef entry_;
    LoginOptionControls controls_;
    // Field keys the working copy held as empty strings when it was loaded.
    QSet<QString> loadedEmpty_;
};

}  // namespace quorly
