#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <optional>

namespace quorly {

class DefaultModeTimer;
class Entry;
class LoginOptions;
class MyDocument;
class RecentWebsitesMenu;

// The website-login controller of one document. This is its core: the document's list
// of recent-website titles (index 0 the most recent, at most 20) and the menu that
// shows it, the opening of the current entry's (gWebsiteItem's) website in its browser
// (WebsiteOpening.cpp), and the fill sequences that enter the entry into the browser
// (FillSequences.cpp). Every change of the list is saved through the controller's own
// document.
class WebsitePasswordManager : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxRecentWebsites = 20;

    explicit WebsitePasswordManager(MyDocument* document);
    ~WebsitePasswordManager() override;

    MyDocument* document() const { return document_; }

    const QStringList& recentWebsiteTitles() const { return recentWebsiteTitles_; }

    // The login options of the entry editor. Its browser list is the browsers installed
    // when it is first asked for; like the controller's pop-up, it is not read again.
    LoginOptions& loginOptions();

    // Replaces the list with a copy of `titles` (none: an empty list) and fills `menu`.
    // Does not save.
    void initRecentWebsitesMenu(RecentWebsitesMenu* menu, const std::optional<QStringList>& titles);
    // Fills `menu` with `titles` and remembers it as the menu last filled. Does not save.
    void setRecentWebsitesMenu(RecentWebsitesMenu* menu, const QStringList& titles);
    // Fills `menu` from the controller's own list (its window became main). Does not save.
    void resetRecentWebsitesMenu(RecentWebsitesMenu* menu);

    // Puts `title` on top (once; the oldest of 20 goes) and saves.
    void addRecentWebsiteMenuItemWithTitle(const QString& title);
    // Removes every occurrence of `title` and saves. `removeSeparator` only concerns the
    // menu's look, which the menu derives from the list.
    void deleteRecentWebsiteMenuItemWithTitle(const QString& title, bool removeSeparator);
    // Renames every occurrence and saves.
    void renameRecentWebsiteTitle(const QString& oldTitle, const QString& newTitle);
    // Empties the list and saves.
    void clearRecentWebsiteMenu();

    // Puts `titles` on top one by one, as the add above does, with one save at the end
    // (merging the titles of a copy of the stored list). Returns whether it saved.
    bool addRecentWebsiteTitles(const QStringList& titles);

    // `-goTo`: opens the website of gWebsiteItem in the browser chosen for it, puts the
    // entry on top of the recent websites and, for an entry that fills in its login by
    // itself, types it after the page-load delay. The caller has ended any editing.
    void goTo();
    // `goToRecent:` of a recent-websites item: goes to the entry named `title`. An item
    // whose entry is gone (deleted, renamed elsewhere) is taken off the menu.
    void goToRecent(const QString& title);

    // The fill sequences. `fromHotKey` is false when the program starts the sequence by
    // itself (after opening a website): the cursor is not in the page yet, so the
    // entry's TABs lead it there.
    void handleUserIDFromHotkey(bool fromHotKey);
    void pasteUserIDFromHotkey(bool fromHotKey);
    void pastePasswordFromHotkey(bool fromHotKey);
    // Targets of the one-shot timers of the built-in browser's sequences.
    void pastePasswordFromTimer();
    void pasteNextPageFromTimer();
    void clearCurrentScrapFromTimer();

    // The floating panels (the password shown is the current entry's).
    void showFloatingPassword();
    void hideFloatingPassword();
    void showFloatingWarning();
    void hideFloatingWarning();

private:
    bool openInBrowserOf(const Entry& entry, const QString& url);
    void fillAfterPageLoad();
    void tell(const QString& message);
    void scheduleOnce(int msec, void (WebsitePasswordManager::*target)());
    void putOnTop(const QString& title);
    void showInMenu();
    bool save();

    QPointer<MyDocument> document_;
    RecentWebsitesMenu* recentWebsiteMenu_ = nullptr;  // the menu last filled; not owned
    QStringList recentWebsiteTitles_;
    std::unique_ptr<LoginOptions> loginOptions_;
    DefaultModeTimer* hidePasswordTimer_ = nullptr;
};

}  // namespace quorly
