// Go To URL: the current entry's website opened in the browser chosen for it, recorded
// in the recent websites, and filled in after the page has loaded when the entry asks
// for that.
#include "login/WebsitePasswordManager.h"

#include "entries/Entry.h"
#include "login/KeySink.h"
#include "login/KeystrokeSynthesis.h"
#include "login/LoginOptions.h"
#include "login/LoginPanels.h"
#include "login/LoginSequence.h"
#include "login/WebsiteURL.h"
#include "platform/Workspace.h"
#include "store/DocumentWindow.h"
#include "store/Globals.h"
#include "store/MyDocument.h"

namespace quorly {

void WebsitePasswordManager::goTo()
{
    const EntryRef item = gWebsiteItem;
    if (!item)
        return;
    const QString stored = item->string(EntryKey::WebsiteURL);
    if (stored.isEmpty())
        return;
    const QString url = normalisedWebsiteURL(stored);
    addRecentWebsiteMenuItemWithTitle(item->name());
    const bool fillsAutomatically = item->integer(EntryKey::NewUserIDOptions) != 0;

    // A browser is handed one well-formed URL, never a text it might take for two
    // arguments or an option.
    const std::optional<QString> launchable = launchableURL(url);
    if (!launchable) {
        tell(tr("The website address of \u201c%1\u201d cannot be opened: \u201c%2\u201d is not a valid web "
                "address. Correct it in the entry\u2019s editor.")
                 .arg(item->name(), url));
        return;
    }
    if (item->boolean(EntryKey::UseCWBrowser)) {
        if (CWBrowserDocument* browser = makeCWBrowser()) {
            browser->loadURLRequest(*launchable, fillsAutomatically ? 1 : 0);
            return;
        }
    }
    if (!openInBrowserOf(*item, *launchable)) {
        tell(tr("No web browser could be started to open \u201c%1\u201d. Choose a browser for \u201c%2\u201d in "
                "the entry\u2019s editor, or set a default web browser for your desktop.")
                 .arg(*launchable, item->name()));
        return;  // and nothing is typed into whatever window happens to be in front
    }
    if (fillsAutomatically)
        fillAfterPageLoad();
}

bool WebsitePasswordManager::openInBrowserOf(const Entry& entry, const QString& url)
{
    // The browser the editor shows for the entry; a chosen browser that is not
    // installed here, or that does not start, gives way to the default browser.
    if (const Browser* chosen = BrowserPopup::browserForEntry(entry, loginOptions().browsers());
        chosen && workspace().openURLWithBrowser(*chosen, url))
        return true;
    return workspace().openURL(url);
}

void WebsitePasswordManager::fillAfterPageLoad()
{
    // Hot keys pressed while the page loads wait for this fill rather than typing
    // into the page at the same time.
    SequenceReservation reserved;
    const QPointer<WebsitePasswordManager> self(this);
    showFloatingWarning();
    if (const std::chrono::milliseconds delay = pageLoadDelay(); delay.count() > 0)
        keySink().pause(delay);
    if (self && self->document_ && self->document_->isOpen())
        handleUserIDFromHotkey(false);
    floatingPanels().hideFloatingWarning();
}

void WebsitePasswordManager::goToRecent(const QString& title)
{
    if (!document_ || !document_->isOpen())
        return;
    // The entry is looked for in the file as it is now on disk.
    document_->readPasswordFileDataIfChanged();
    const EntryRef entry = document_->passwordArray().entryWithName(title);
    if (!entry) {
        // An item that does nothing when chosen looks broken; one whose entry no longer
        // exists has nothing left to open, so it goes.
        deleteRecentWebsiteMenuItemWithTitle(title, true);
        return;
    }
    gWebsiteItem = entry;
    goTo();
}

void WebsitePasswordManager::tell(const QString& message)
{
    if (document_ && document_->window())
        document_->window()->prompt(message, QStringLiteral("OK"));
}

}  // namespace quorly
