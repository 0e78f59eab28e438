#pragma once

#include <QList>
#include <QObject>
#include <QKeySequence>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QMenuBar;
class QMainWindow;
class QUrl;

namespace quorly {

class CreatePasswordFilePanel;
class DocumentWindowWidget;
class HelpViewer;
class HotKeyInstaller;
class MyDocument;
class PreferencesPanel;
class PromptPanel;
class RecentWebsitesQMenu;

// The application controller: the start-up sequence, the main menu, the documents and
// their windows, the creation of new password files, and quitting. One per process.
class Controller : public QObject {
    Q_OBJECT
public:
    explicit Controller(QObject* parent = nullptr);
    ~Controller() override;

    // Until the hot-key handling is installed here, the controller registers nothing.
    void setHotKeyInstaller(std::unique_ptr<HotKeyInstaller> installer);
    HotKeyInstaller* hotKeyInstaller() const { return hotKeys_.get(); }

    // The start-up sequence, in its order: gController, the earlier product's
    // preferences, the defaults, the generated-password length, the hot keys, the shared
    // recent-websites menu, the leftover temporary folders.
    void awakeFromNib();

    // After awakeFromNib: opens the password files among `arguments` or, when there is
    // none, the untitled document (the last file, or a new one).
    void launch(const QStringList& arguments);

    // `application:openFile:`: opens a ".qly" package (gFramis cleared first); any other
    // path is ignored. Always true.
    bool applicationOpenFile(const QString& path);
    // Files a later start of the program handed over: each password file opens or its
    // window comes to the front; without any, the front window comes to the front.
    void openHandedOverFiles(const QStringList& paths);
    // `applicationOpenUntitledFile:`: reopens "Last PW File" when it still exists,
    // otherwise creates a new password file. Always true.
    bool applicationOpenUntitledFile();
    // `newDocument:`: the "Create Password File" panel, then the new package, then its
    // window (its open takes the password from gFramis).
    void newDocument();
    // The Open… panel.
    void openDocument();
    // `applicationWillTerminate:`: closes every document, so every temporary folder goes.
    void applicationWillTerminate();
    // Quit: closes every document, then ends the event loop. Refused (with a beep) while
    // a panel waits for an answer.
    void quit();
    // Quit without waiting for open panels (a termination signal): the documents close
    // under them, and the panels' runs end with the event loop.
    void terminate();

    // What ends the program once its documents are closed: QCoreApplication::quit by
    // default. Tests that run many controllers in one process replace it.
    void setQuitApplication(std::function<void()> quitApplication) { quitApplication_ = std::move(quitApplication); }

    // The shared document controller's open: the window of a file already open comes to
    // the front; otherwise a document and its window are made and the open sequence
    // starts on a later pass of the event loop.
    MyDocument* openDocumentWithContentsOfFile(const QString& path);

    // `OK:` and `Cancel:` of the application-modal panels: each ends the run of the
    // panel that holds the sender (the button pressed).
    void OK(const QWidget* sender);
    void Cancel(const QWidget* sender);

    // `preferences:`: fills the preferences panel from the store and runs it,
    // application-modal, until OK or Cancel.
    void preferences();
    // `preferencesOK:` (the panel's OK button): ends the panel's run with 1, writes
    // every setting and re-registers the hot keys. Cancel writes nothing.
    void preferencesOK(const QWidget* sender);
    PreferencesPanel* preferencesPanel() const { return preferencesPanel_.get(); }

    // `emailTheAuthor:`: a support message with the debugging information, handed to
    // the mail program.
    void emailTheAuthor();
    // `showHelp:`: the help at the anchor named by the sender's title; `iosHelp:` at
    // "ios".
    void showHelp(const QString& senderTitle);
    void iosHelp();
    // The help window, made at its first use.
    HelpViewer* helpViewer();

    // How links leave the program (the desktop's handler by default); tests replace it.
    void setURLOpener(std::function<bool(const QUrl&)> opener) { openURL_ = std::move(opener); }
    // The user's journal as text, for the support message (journalctl by default).
    void setJournal(std::function<QString()> journal) { journal_ = std::move(journal); }

    // The open documents' windows, oldest first, and the one the menus act on.
    QList<DocumentWindowWidget*> windows() const;
    DocumentWindowWidget* mainWindow() const;
    DocumentWindowWidget* windowForFile(const QString& path) const;

    // The application's main menu; every document window shows its menus.
    QMenuBar* mainMenu() const { return mainMenu_; }
    // The context menu of every window's list: items of the Entry menu.
    QMenu* entryContextMenu() const { return entryContextMenu_; }
    // Follows `titles` from the main menu down through submenus; nullptr when a title
    // is missing.
    static QMenu* findSubmenu(QMenuBar* bar, const QStringList& titles);

    CreatePasswordFilePanel* createPasswordFilePanel() const { return createPanel_.get(); }
    PromptPanel* alertPanel() const { return alertPanel_; }

signals:
    // A document window was created (before its file is opened).
    void documentWindowCreated(DocumentWindowWidget* window);

private:
    // Opens the password files among `paths`; whether there was one.
    bool openPasswordFiles(const QStringList& paths);
    void buildMainMenu();
    QAction* addControllerItem(QMenu* menu, const QString& title, void (Controller::*slot)(),
                               const QKeySequence& key = {});
    QAction* addWindowItem(QMenu* menu, const QString& title, const QString& action,
                           const QKeySequence& key = {});
    void validateMenu(QMenu* menu);
    void performWindowItem(QAction* item);
    void windowDidClose(DocumentWindowWidget* window);
    void showAbout();
    // The Help menu's items: help at the triggering item's title.
    void showHelpForSender();

    std::unique_ptr<HotKeyInstaller> hotKeys_;
    std::unique_ptr<CreatePasswordFilePanel> createPanel_;
    std::unique_ptr<PreferencesPanel> preferencesPanel_;
    std::unique_ptr<HelpViewer> helpViewer_;
    std::function<bool(const QUrl&)> openURL_;
    std::function<QString()> journal_;
    PromptPanel* alertPanel_ = nullptr;
    QMenuBar* mainMenu_ = nullptr;
    QMenu* entryContextMenu_ = nullptr;
    RecentWebsitesQMenu* recentWebsites_ = nullptr;
    QList<QPointer<DocumentWindowWidget>> windows_;
    QPointer<DocumentWindowWidget> mainWindow_;
    bool terminating_ = false;
    bool quitting_ = false;
    std::function<void()> quitApplication_;
};

// The application controller, set first thing at start-up.
extern QPointer<Controller> gController;

}  // namespace quorly
