// The fill sequences of the website-login controller: which fields of the current
// entry are entered, in what order, with which TABs, Returns, waits and timers.
#include "login/WebsitePasswordManager.h"

#include "entries/Entry.h"
#include "login/KeystrokeSynthesis.h"
#include "login/LoginPanels.h"
#include "login/LoginSequence.h"
#include "platform/Clipboard.h"
#include "platform/RunLoop.h"
#include "store/Globals.h"
#include "store/MyDocument.h"

namespace quorly {

namespace {

constexpr int kPasswordOnNextPage = 1;
constexpr int kNoPassword = 2;
constexpr int kFloatingPassword = 3;
constexpr int kFloatingPasswordMsec = 10000;
constexpr int kCWBrowserFirstPollMsec = 500;
constexpr int kCWBrowserPollMsec = 1000;

// Every field of a missing entry reads as absent, as it does for an entry that lacks it.
const Entry& fieldsOf(const EntryRef& item)
{
    static const Entry none;
    return item ? *item : none;
}

}  // namespace

void WebsitePasswordManager::handleUserIDFromHotkey(bool fromHotKey)
{
    SequenceScope sequence;
    const EntryRef item = gWebsiteItem;
    const Entry& entry = fieldsOf(item);
    pasteUserIDFromHotkey(fromHotKey);
    if (entry.integer(EntryKey::PasswordOptions) == kNoPassword)
        return;
    if (entry.boolean(EntryKey::UseCWBrowser)) {
        if (CWBrowserDocument* browser = keyWindowCWBrowser())
            browser->showAutoWarning();
        scheduleOnce(kCWBrowserFirstPollMsec, &WebsitePasswordManager::pastePasswordFromTimer);
        return;
    }
    // The password after the user ID always runs as not from the hot key: its TABs and
    // its page-load wait apply.
    pastePasswordFromHotkey(false);
}

void WebsitePasswordManager::pasteUserIDFromHotkey(bool fromHotKey)
{
    SequenceScope sequence;
    const EntryRef item = gWebsiteItem;
    const Entry& entry = fieldsOf(item);
    const bool cwBrowser = entry.boolean(EntryKey::UseCWBrowser);
    // From the hot key the user has put the cursor into the page already.
    if (!fromHotKey)
        doTABs(QStringLiteral("UserID"));
    if (const QString userID = entry.string(EntryKey::WebsiteUserID); !userID.isEmpty())
        enterString(userID);
    if (const QString userID2 = entry.string(EntryKey::WebsiteUserID2); !userID2.isEmpty()) {
        if (!cwBrowser)
            sequencePause(std::chrono::seconds(1));
        tab();
        enterString(userID2);
    }
    if (!cwBrowser)
        sequencePause(std::chrono::seconds(1));
    if (entry.boolean(EntryKey::UserIDReturnSwitch)) {
        if (cwBrowser && entry.integer(EntryKey::PasswordOptions) == kPasswordOnNextPage) {
            if (CWBrowserDocument* browser = keyWindowCWBrowser())
                browser->setAutoLogin(2);
        }
        nextPage();
    }
}

void WebsitePasswordManager::pastePasswordFromHotkey(bool fromHotKey)
{
    SequenceScope sequence;
    const EntryRef item = gWebsiteItem;
    const Entry& entry = fieldsOf(item);
    const QString password = entry.string(EntryKey::WebsitePassword);
    if (password.isEmpty())
        return;
    const qint64 option = entry.integer(EntryKey::PasswordOptions);
    const bool cwBrowser = entry.boolean(EntryKey::UseCWBrowser);
    if (option == kFloatingPassword) {
        showFloatingPassword();
        hideFloatingWarning();
        return;
    }
    if (!fromHotKey) {
        if (option == kPasswordOnNextPage && !cwBrowser) {
            // The page with the password field loads after the user ID's Return.
            showFloatingWarning();
            sequencePause(pageLoadDelay());
        }
        doTABs(QStringLiteral("Password"));
    }
    enterString(password);
    if (cwBrowser) {
        scheduleOnce(kCWBrowserFirstPollMsec, entry.boolean(EntryKey::PasswordEnter)
                                                  ? &WebsitePasswordManager::pasteNextPageFromTimer
                                                  : &WebsitePasswordManager::clearCurrentScrapFromTimer);
    } else {
        sequencePause(std::chrono::seconds(1));
        clipboard().clearIfStillOurs();
        if (entry.boolean(EntryKey::PasswordEnter))
            nextPage();
    }
    hideFloatingWarning();
}

void WebsitePasswordManager::pastePasswordFromTimer()
{
    CWBrowserDocument* browser = keyWindowCWBrowser();
    if (!browser) {
        scheduleOnce(kCWBrowserPollMsec, &WebsitePasswordManager::pastePasswordFromTimer);
        return;
    }
    pastePasswordFromHotkey(false);
    // The sequence may have changed the key window; the document is asked for again.
    if (CWBrowserDocument* still = keyWindowCWBrowser())
        still->clearAutoWarning();
}

void WebsitePasswordManager::pasteNextPageFromTimer()
{
    if (!keyWindowCWBrowser()) {
        scheduleOnce(kCWBrowserPollMsec, &WebsitePasswordManager::pasteNextPageFromTimer);
        return;
    }
    SequenceScope sequence;
    clipboard().clearIfStillOurs();
    nextPage();
}

void WebsitePasswordManager::clearCurrentScrapFromTimer()
{
    clipboard().clearIfStillOurs();
}

void WebsitePasswordManager::showFloatingPassword()
{
    // Left to us: the panel shows the current entry's stored password, the one the
    // sequence found, not the editor's field, which may hold another entry's.
    const EntryRef item = gWebsiteItem;
    if (!item || item->string(EntryKey::WebsitePassword).isEmpty())
        return;
    floatingPanels().showFloatingPassword(item->string(EntryKey::WebsitePassword), item->name());
    // One timer, restarted: a panel shown again is not hidden early by the timer of
    // the one before.
    if (!hidePasswordTimer_)
        hidePasswordTimer_ = new DefaultModeTimer([this] { hideFloatingPassword(); }, this);
    hidePasswordTimer_->start(kFloatingPasswordMsec, false);
}

void WebsitePasswordManager::hideFloatingPassword()
{
    floatingPanels().hideFloatingPassword();
}

void WebsitePasswordManager::showFloatingWarning()
{
    floatingPanels().showFloatingWarning();
}

void WebsitePasswordManager::hideFloatingWarning()
{
    floatingPanels().hideFloatingWarning();
}

void WebsitePasswordManager::scheduleOnce(int msec, void (WebsitePasswordManager::*target)())
{
    // Owned by this controller: a timer outliving its document's window dies with it.
    auto* timer = new DefaultModeTimer(this);
    timer->setCallback([this, timer, target] {
        timer->deleteLater();
        (this->*target)();
    });
    timer->start(msec, false);
}

}  // namespace quorly
