#include "login/LoginOptions.h"

#include "store/Globals.h"

namespace quorly {

namespace LoginOptionTitles {

QStringList userIDOptions()
{
    return {QStringLiteral("Wait for hot key"), QStringLiteral("Fill in after page load")};
}

QStringList passwordOptions()
{
    return {QStringLiteral("Same page"), QStringLiteral("Next page"), QStringLiteral("No password"),
            QStringLiteral("Show in floating window")};
}

QString tabCount(int index)
{
    return index == 0 ? QStringLiteral("1 TAB") : QStringLiteral("%1 TABs").arg(index + 1);
}

QStringList tabCounts(int items)
{
    QStringList titles;
    for (int i = 0; i < items; ++i)
        titles << tabCount(i);
    return titles;
}

}  // namespace LoginOptionTitles

namespace {

// A stored count or option the pop-up has no item for (only a file written by hand or
// by another program has one). Decision: the stored value is kept as it is until the
// user picks an item, and the pop-up shows what the login sequences will do with it:
// - a count up to this limit grows its pop-up ("9 TABs"), since any count is pressed;
//   a larger or negative count shows no item;
// - a user-ID option other than 0 fills in by itself, so it shows as option 1;
// - a password option other than 1, 2 and 3 behaves as the same page, so it shows (and
//   gets the rules of) option 0.
constexpr qint64 MaxShownTabCount = 98;

qint64 shownUserIDOption(qint64 option) { return option == 0 ? 0 : 1; }

qint64 shownPasswordOption(qint64 option) { return option >= 1 && option <= 3 ? option : 0; }

void showCount(PopUpState& tabs, qint64 count)
{
    if (count < 0 || count > MaxShownTabCount) {
        tabs.selected = -1;
        return;
    }
    if (count >= tabs.items.size())
        tabs.items = LoginOptionTitles::tabCounts(int(count) + 1);
    tabs.selected = int(count);
}

bool validIndex(const PopUpState& popup, int index)
{
    return popup.enabled && index >= 0 && index < popup.items.size();
}

}  // namespace

LoginOptions::LoginOptions(QList<Browser> browsers) : browsers_(std::move(browsers))
{
    controls_.browserPopup.items = BrowserPopup::titles(browsers_);
    controls_.userIDOptions.items = LoginOptionTitles::userIDOptions();
    controls_.passwordOptions.items = LoginOptionTitles::passwordOptions();
    controls_.userIDTabs.items = LoginOptionTitles::tabCounts();
    controls_.passwordTabs.items = LoginOptionTitles::tabCounts();
    controls_.showHideTitle = HideTitle;
}

void LoginOptions::notify()
{
    if (entryChanged)
        entryChanged(entry_);
}

void LoginOptions::showControls()
{
    if (controlsChanged)
        controlsChanged();
}

// ---------------------------------------------------------------------------
// Loading

void LoginOptions::convertOlderScheme()
{
    Entry& e = *entry_;
    e.setBool(EntryKey::UserIDTabSwitch, false);
    e.setInteger(EntryKey::UserIDTabCount, 0);
    const qint64 old = e.integer(EntryKey::UserIDOptions);
    if (old == 2) {
        e.setBool(EntryKey::UserIDTabSwitch, true);
        e.setInteger(EntryKey::NewUserIDOptions, 1);
    } else {
        e.setInteger(EntryKey::NewUserIDOptions, old);
    }
    bool passwordTabs = false;
    switch (e.integer(EntryKey::PasswordOptions)) {
    case 0: passwordTabs = true; break;
    case 1: e.setBool(EntryKey::UserIDReturnSwitch, true); break;
    case 3: e.remove(EntryKey::PasswordEnter); break;
    default: break;
    }
    e.setBool(EntryKey::PasswordTabSwitch, passwordTabs);
    e.setInteger(EntryKey::PasswordTabCount, 0);
}

bool LoginOptions::loadAttributes(const EntryRef& entry)
{
    entry_ = entry;
    gWebsiteItem = entry;
    if (!entry_)
        return false;
    const Entry before = *entry_;
    // Every control starts from its resting state, so nothing of the entry shown
    // before leaks into this one.
    controls_ = LoginOptions(browsers_).controls_;

    const Entry& e = *entry_;
    if (!e.contains(EntryKey::NewUserIDOptions))
        convertOlderScheme();

    loadedEmpty_.clear();
    for (const QString& key : {EntryKey::WebsiteURL, EntryKey::WebsiteUserID, EntryKey::WebsitePassword}) {
        if (e.value(key) == std::optional<EntryValue>(QString()))
            loadedEmpty_.insert(key);
    }

    controls_.url.text = e.string(EntryKey::WebsiteURL);
    controls_.secureUserID.text = e.string(EntryKey::WebsiteUserID);
    controls_.secureUserID2.text = e.string(EntryKey::WebsiteUserID2);
    controls_.securePassword.text = e.string(EntryKey::WebsitePassword);
    controls_.userID.text = controls_.secureUserID.text;
    controls_.userID2.text = controls_.secureUserID2.text;
    controls_.password.text = controls_.securePassword.text;
    setBullets(!controls_.userID.text.isEmpty() || !controls_.userID2.text.isEmpty()
               || !controls_.password.text.isEmpty());

    controls_.includeSpecialsSwitch.checked = e.boolean(EntryKey::IncludeSpecials);

    const qint64 userIDOption = e.integer(EntryKey::NewUserIDOptions);
    controls_.userIDOptions.selected = int(shownUserIDOption(userIDOption));
    controls_.userIDTabSwitch.checked = e.boolean(EntryKey::UserIDTabSwitch);
    controls_.userIDTabs.enabled = controls_.userIDTabSwitch.checked;
    showCount(controls_.userIDTabs, e.integer(EntryKey::UserIDTabCount));
    controls_.userIDReturnSwitch.checked = e.boolean(EntryKey::UserIDReturnSwitch);
    displayUserIDOption(userIDOption);

    const qint64 passwordOption = e.integer(EntryKey::PasswordOptions);
    controls_.passwordOptions.selected = int(shownPasswordOption(passwordOption));
    controls_.passwordTabSwitch.checked = e.boolean(EntryKey::PasswordTabSwitch);
    controls_.passwordTabs.enabled = controls_.passwordTabSwitch.checked;
    showCount(controls_.passwordTabs, e.integer(EntryKey::PasswordTabCount));
    controls_.passwordReturnSwitch.checked = e.boolean(EntryKey::PasswordEnter);
    applyPasswordOption(passwordOption, true);

    controls_.browserPopup.selected = BrowserPopup::indexForEntry(e, browsers_);

    showControls();
    return *entry_ != before;
}

// ---------------------------------------------------------------------------
// The rules

void LoginOptions::displayUserIDOption(qint64 option)
{
    CheckBoxState& box = controls_.userIDTabSwitch;
    PopUpState& tabs = controls_.userIDTabs;
    if (option == 0) {
        box.enabled = false;
        box.checked = false;
        tabs.enabled = false;
        tabs.selected = 0;
        return;
    }
    // The box was showing option 0's forced "off" over whatever the entry stores: show
    // the stored switch and count again, or the box could read off while the login
    // presses TABs.
    if (!box.enabled && entry_) {
        box.checked = entry_->boolean(EntryKey::UserIDTabSwitch);
        showCount(tabs, entry_->integer(EntryKey::UserIDTabCount));
    }
    box.enabled = true;
    tabs.enabled = box.checked;
}

void LoginOptions::applyPasswordOption(qint64 option, bool loading)
{
    Entry& e = *entry_;
    CheckBoxState& tabBox = controls_.passwordTabSwitch;
    PopUpState& tabs = controls_.passwordTabs;
    CheckBoxState& returnBox = controls_.passwordReturnSwitch;
    CheckBoxState& userIDReturn = controls_.userIDReturnSwitch;
    const qint64 shown = shownPasswordOption(option);

    tabBox.enabled = shown == 1;
    switch (shown) {
    case 1:
        // Decision: loading an entry of option 1 keeps its stored TAB switch, which the
        // box shows; only choosing option 1 resets both (the box is turned off by the
        // handler, the key removed here). Otherwise the box would read on while the
        // saved copy had lost the switch.
        if (!loading)
            e.remove(EntryKey::PasswordTabSwitch);
        break;
    case 0:
        tabBox.checked = true;
        e.setBool(EntryKey::PasswordTabSwitch, true);
        tabs.selected = 0;
        e.setInteger(EntryKey::PasswordTabCount, 0);
        break;
    case 3:
        tabBox.checked = false;
        e.setBool(EntryKey::PasswordTabSwitch, false);
        tabs.selected = 0;
        e.setInteger(EntryKey::PasswordTabCount, 0);
        break;
    case 2:
        tabBox.checked = false;
        e.setBool(EntryKey::PasswordTabSwitch, false);
        break;
    }
    // The count pop-up follows its box's state too, as the user-ID one does: an enabled
    // count beside a box that is off would only snap back to "1 TAB" when used.
    tabs.enabled = tabBox.enabled && tabBox.checked;

    // Option 3 turns the Return box off without removing "websitePasswordEnter" (the
    // floating panel types nothing, so the key does nothing there). When the box comes
    // back it shows the key again: off while Return would be pressed must never happen.
    if (shown != 3 && !returnBox.enabled)
        returnBox.checked = e.boolean(EntryKey::PasswordEnter);
    returnBox.enabled = shown != 3;

    switch (shown) {
    case 3:
        returnBox.checked = false;
        e.setBool(EntryKey::PasswordReturnSwitch, false);
        userIDReturn.enabled = true;
        break;
    case 2:
        userIDReturn.enabled = true;
        break;
    case 1:
        userIDReturn.enabled = false;
        userIDReturn.checked = true;
        e.setBool(EntryKey::UserIDReturnSwitch, true);
        break;
    default:
        userIDReturn.enabled = false;
        userIDReturn.checked = false;
        e.remove(EntryKey::UserIDReturnSwitch);
        break;
    }
}

// ---------------------------------------------------------------------------
// Handlers

void LoginOptions::userIDOptionsChanged()
{
    const int index = controls_.userIDOptions.selected;
    displayUserIDOption(index);
    if (index == 0)
        entry_->setBool(EntryKey::UserIDTabSwitch, false);
    entry_->setInteger(EntryKey::NewUserIDOptions, index);
    notify();
}

void LoginOptions::tabChanged(CheckBoxState& box, PopUpState& tabs, const QString& switchKey,
                              const QString& countKey)
{
    if (!box.checked) {
        tabs.enabled = false;
        tabs.selected = 0;
        entry_->remove(switchKey);
    } else {
        tabs.enabled = true;
        // A count the pop-up could not show must not be stored again behind a box the
        // user just turned on: the first item is what is seen.
        if (tabs.selected < 0)
            tabs.selected = 0;
        entry_->setBool(switchKey, true);
    }
    entry_->setInteger(countKey, tabs.selected);
    notify();
}

void LoginOptions::userIDTabChanged()
{
    tabChanged(controls_.userIDTabSwitch, controls_.userIDTabs, EntryKey::UserIDTabSwitch,
               EntryKey::UserIDTabCount);
}

void LoginOptions::passwordTabChanged()
{
    tabChanged(controls_.passwordTabSwitch, controls_.passwordTabs, EntryKey::PasswordTabSwitch,
               EntryKey::PasswordTabCount);
}

void LoginOptions::passwordOptionsChanged()
{
    const int index = controls_.passwordOptions.selected;
    if (index == 0) {
        entry_->remove(EntryKey::PasswordOptions);
        entry_->remove(EntryKey::PasswordReturnSwitch);
    } else {
        if (index == 1)
            controls_.passwordTabSwitch.checked = false;
        entry_->setInteger(EntryKey::PasswordOptions, index);
    }
    applyPasswordOption(index, false);
    notify();
}

void LoginOptions::browserChanged()
{
    // The item is known by its place, not by its title: an installed browser may well
    // be called "Cardwell" or "Default Browser" too.
    const int index = controls_.browserPopup.selected;
    Entry& e = *entry_;
    if (index == BrowserPopup::BuiltInIndex) {
        e.setBool(EntryKey::UseCWBrowser, true);
    } else {
        e.remove(EntryKey::UseCWBrowser);
        if (index == BrowserPopup::DefaultBrowserIndex) {
            e.remove(EntryKey::Browser);
            e.remove(EntryKey::BrowserBundleID);
        } else {
            const Browser& b = browsers_.at(index - BrowserPopup::FirstFoundIndex);
            e.setString(EntryKey::Browser, b.title);
            e.setString(EntryKey::BrowserBundleID, b.identifier);
        }
    }
    notify();
}

// ---------------------------------------------------------------------------
// User actions

void LoginOptions::chooseUserIDOption(int index)
{
    if (!entry_ || !validIndex(controls_.userIDOptions, index))
        return;
    controls_.userIDOptions.selected = index;
    userIDOptionsChanged();
    showControls();
}

void LoginOptions::setUserIDTabSwitch(bool on)
{
    if (!entry_ || !controls_.userIDTabSwitch.enabled)
        return;
    controls_.userIDTabSwitch.checked = on;
    userIDTabChanged();
    showControls();
}

void LoginOptions::chooseUserIDTabCount(int index)
{
    if (!entry_ || !validIndex(controls_.userIDTabs, index))
        return;
    controls_.userIDTabs.selected = index;
    userIDTabChanged();
    showControls();
}

void LoginOptions::setUserIDReturnSwitch(bool on)
{
    if (!entry_ || !controls_.userIDReturnSwitch.enabled)
        return;
    controls_.userIDReturnSwitch.checked = on;
    if (on)
        entry_->setBool(EntryKey::UserIDReturnSwitch, true);
    else
        entry_->remove(EntryKey::UserIDReturnSwitch);
    notify();
    showControls();
}

void LoginOptions::choosePasswordOption(int index)
{
    if (!entry_ || !validIndex(controls_.passwordOptions, index))
        return;
    controls_.passwordOptions.selected = index;
    passwordOptionsChanged();
    showControls();
}

void LoginOptions::setPasswordTabSwitch(bool on)
{
    if (!entry_ || !controls_.passwordTabSwitch.enabled)
        return;
    controls_.passwordTabSwitch.checked = on;
    passwordTabChanged();
    showControls();
}

void LoginOptions::choosePasswordTabCount(int index)
{
    if (!entry_ || !validIndex(controls_.passwordTabs, index))
        return;
    controls_.passwordTabs.selected = index;
    passwordTabChanged();
    showControls();
}

void LoginOptions::setPasswordReturnSwitch(bool on)
{
    if (!entry_ || !controls_.passwordReturnSwitch.enabled)
        return;
    controls_.passwordReturnSwitch.checked = on;
    if (on)
        entry_->setBool(EntryKey::PasswordEnter, true);
    else
        entry_->remove(EntryKey::PasswordEnter);
    notify();
    showControls();
}

void LoginOptions::chooseBrowser(int index)
{
    if (!entry_ || !validIndex(controls_.browserPopup, index))
        return;
    controls_.browserPopup.selected = index;
    browserChanged();
    showControls();
}

// ---------------------------------------------------------------------------
// Fields

// Decision on the fields the editor and this controller both handle (URL, user IDs,
// password): one rule, this one, runs on every change of the text, so the save button
// always judges the copy that would be saved. An emptied field removes its key, except
// that a key the entry held as an empty string when it was loaded gets its empty string
// back: typing a character and deleting it leaves the copy equal to the entry. User ID 2
// is always removed when emptied, as the record promises.
void LoginOptions::fieldChanged(Field field, const QString& text)
{
    if (!entry_)
        return;
    QString key;
    switch (field) {
    case Field::URL:
        key = EntryKey::WebsiteURL;
        controls_.url.text = text;
        break;
    case Field::UserID:
        key = EntryKey::WebsiteUserID;
        controls_.userID.text = text;
        controls_.secureUserID.text = text;
        break;
    case Field::UserID2:
        key = EntryKey::WebsiteUserID2;
        controls_.userID2.text = text;
        controls_.secureUserID2.text = text;
        break;
    case Field::Password:
        key = EntryKey::WebsitePassword;
        controls_.password.text = text;
        controls_.securePassword.text = text;
        if (passwordEdited)
            passwordEdited();
        break;
    }

    Entry& e = *entry_;
    if (!text.isEmpty()) {
        const auto stored = e.value(key);
        if (!stored || !std::holds_alternative<QString>(*stored) || std::get<QString>(*stored) != text)
            e.setString(key, text);
        notify();
    } else if (loadedEmpty_.contains(key)) {
        const auto stored = e.value(key);
        if (!stored || !std::holds_alternative<QString>(*stored) || !std::get<QString>(*stored).isEmpty()) {
            e.setString(key, QString());
            notify();
        }
    } else if (e.contains(key)) {
        e.remove(key);
        notify();
    }
    showControls();
}

void LoginOptions::setURL(const QString& url)
{
    fieldChanged(Field::URL, url);
}

void LoginOptions::showHideUserIDPassword()
{
    if (controls_.showHideTitle.startsWith(QStringLiteral("Hide")))
        showBullets();
    else
        hideBullets();
}

void LoginOptions::setBullets(bool bullets)
{
    controls_.showHideTitle = bullets ? ShowTitle : HideTitle;
    controls_.userID.hidden = controls_.userID2.hidden = controls_.password.hidden = bullets;
}

void LoginOptions::showBullets()
{
    setBullets(true);
    showControls();
}

void LoginOptions::hideBullets()
{
    setBullets(false);
    showControls();
}

}  // namespace quorly
