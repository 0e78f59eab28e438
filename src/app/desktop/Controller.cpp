#include "app/desktop/Controller.h"

#include "app/EditMenu.h"
#include "app/HotKeyInstaller.h"
#include "app/StartUp.h"
#include "app/desktop/CreatePasswordFilePanel.h"
#include "app/desktop/HelpViewer.h"
#include "app/desktop/OpenPasswordFileDialog.h"
#include "app/desktop/PreferencesPanel.h"
#include "entries/MenuValidation.h"
#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "entries/desktop/EntryTableController.h"
#include "login/desktop/RecentWebsitesQMenu.h"
#include "platform/Diagnostics.h"
#include "platform/Keychain.h"
#include "platform/RunLoop.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "store/NewPasswordFile.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>

namespace quorly {

QPointer<Controller> gController;

namespace {

const char kActionProperty[] = "quorlyAction";
const char kControllerItem[] = "quorlyControllerItem";
const char kEditItem[] = "quorlyEditItem";

// Window commands the window itself carries out; the others are provided by the parts
// of the program that own them (DocumentWindowWidget::setCommand).
const QStringList kBuiltInCommands = {
    QStringLiteral("performClose:"), QStringLiteral("find:"), QStringLiteral("findNext:"),
    QStringLiteral("duplicateEntry:"), QStringLiteral("deleteEntry:"),
};

// Editing commands go to whatever widget has the keyboard focus, as a menu's first
// responder would: line edits, text views and lists all have these slots.
void sendToFocus(const char* slot)
{
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->metaObject()->indexOfMethod(QByteArray(slot) + "()") >= 0)
        QMetaObject::invokeMethod(focus, slot);
}

}  // namespace

Controller::Controller(QObject* parent)
    : QObject(parent), hotKeys_(std::make_unique<HotKeyInstaller>()),
      createPanel_(std::make_unique<CreatePasswordFilePanel>()), preferencesPanel_(std::make_unique<PreferencesPanel>()),
      // A mail link goes to the desktop's handler of mailto: links (xdg-open, or the
      // portal), not to the web browser the workspace knows.
      openURL_([](const QUrl& link) { return QDesktopServices::openUrl(link); }),
      journal_([] { return Diagnostics::userJournal(); }),
      quitApplication_([] { QCoreApplication::quit(); })
{
    alertPanel_ = new PromptPanel(nullptr);
    alertPanel_->setObjectName(QStringLiteral("alertPanel"));
    buildMainMenu();
    QApplication::setQuitOnLastWindowClosed(false);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &Controller::applicationWillTerminate);
}

Controller::~Controller()
{
    applicationWillTerminate();
    // The closed windows and documents go now rather than at a next event-loop pass that
    // may never come.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (gRecentWebsitesMenu == recentWebsites_)
        gRecentWebsitesMenu = nullptr;
    delete alertPanel_;
    delete mainMenu_;
}

void Controller::setHotKeyInstaller(std::unique_ptr<HotKeyInstaller> installer)
{
    hotKeys_ = installer ? std::move(installer) : std::make_unique<HotKeyInstaller>();
}

// ---------------------------------------------------------------------------
// Start-up

void Controller::awakeFromNib()
{
    gController = this;
    StartUp::applyPreferenceStartUp();
    hotKeys_->installHandler();
    hotKeys_->registerHotKeys();
    if (QMenu* menu = findSubmenu(mainMenu_, {QStringLiteral("File"), QStringLiteral("Go To Recent Website")})) {
        recentWebsites_ = new RecentWebsitesQMenu(menu);
        gRecentWebsitesMenu = recentWebsites_;
        // A title item runs `goToRecent:` of the document whose titles the menu shows.
        recentWebsites_->setGoToRecent([this](WebsitePasswordManager* owner, const QString& title) {
            for (DocumentWindowWidget* window : windows()) {
                if (window->document() && window->document()->wpm() == owner)
                    window->tableController()->goToRecent(title);
            }
        });
    }
    StartUp::removeStaleTemporaryFolders();
}

bool Controller::openPasswordFiles(const QStringList& paths)
{
    bool opened = false;
    for (const QString& path : paths) {
        if (StartUp::passwordFilePath(path)) {
            applicationOpenFile(path);
            opened = true;
        }
    }
    return opened;
}

void Controller::launch(const QStringList& arguments)
{
    // Arguments that name no password file are ignored; when none does, the program
    // starts as if it had been given none, rather than running without any window.
    if (!openPasswordFiles(arguments))
        applicationOpenUntitledFile();
}

bool Controller::applicationOpenFile(const QString& path)
{
    const std::optional<QString> package = StartUp::passwordFilePath(path);
    if (!package)
        return true;
    clearGFramis();
    openDocumentWithContentsOfFile(*package);
    return true;
}

void Controller::openHandedOverFiles(const QStringList& paths)
{
    if (openPasswordFiles(paths))
        return;
    if (DocumentWindowWidget* front = mainWindow()) {
        front->show();
        front->raise();
        front->activateWindow();
    }
}

bool Controller::applicationOpenUntitledFile()
{
    if (const std::optional<QString> last = StartUp::lastFileToReopen()) {
        clearGFramis();
        openDocumentWithContentsOfFile(*last);
    } else {
        newDocument();
    }
    return true;
}

// ---------------------------------------------------------------------------
// Documents

MyDocument* Controller::openDocumentWithContentsOfFile(const QString& path)
{
    if (DocumentWindowWidget* open = windowForFile(path)) {
        open->show();
        open->raise();
        open->activateWindow();
        return open->document();
    }
    auto* document = new MyDocument(path, this);
    document->setKeychainLookup(
        [](const QString& package) { return keychain().findGenericPassword(keychainItemForPackage(package)); });
    auto* window = new DocumentWindowWidget(document);
    document->setWindow(window);
    for (QAction* menu : mainMenu_->actions())
        window->menuBar()->addAction(menu);
    connect(window, &DocumentWindowWidget::becameMain, this, [this](DocumentWindowWidget* w) { mainWindow_ = w; });
    connect(window, &DocumentWindowWidget::windowClosed, this, &Controller::windowDidClose);
    connect(window, &DocumentWindowWidget::entryMenuRequested, this,
            [this](DocumentWindowWidget* w, const QPoint& at) {
                // The menu acts on the window it was asked for in.
                mainWindow_ = w;
                entryContextMenu_->popup(at);
            });
    windows_.append(window);
    mainWindow_ = window;
    emit documentWindowCreated(window);
    window->show();
    document->windowControllerDidLoadNib();
    return document;
}

QList<DocumentWindowWidget*> Controller::windows() const
{
    QList<DocumentWindowWidget*> list;
    for (const QPointer<DocumentWindowWidget>& window : windows_) {
        if (window)
            list << window;
    }
    return list;
}

DocumentWindowWidget* Controller::mainWindow() const
{
    const QList<DocumentWindowWidget*> open = windows();
    if (mainWindow_ && open.contains(mainWindow_))
        return mainWindow_;
    if (auto* active = qobject_cast<DocumentWindowWidget*>(QApplication::activeWindow()); active && open.contains(active))
        return active;
    return open.isEmpty() ? nullptr : open.last();
}

DocumentWindowWidget* Controller::windowForFile(const QString& path) const
{
    const QString wanted = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    for (DocumentWindowWidget* window : windows()) {
        if (window->document() && window->document()->fileName() == wanted)
            return window;
    }
    return nullptr;
}

void Controller::windowDidClose(DocumentWindowWidget* window)
{
    windows_.removeAll(window);
    if (mainWindow_ == window)
        mainWindow_ = nullptr;
    MyDocument* document = window->document();
    // A document that closed without ever opening: not a password file, a damaged one,
    // or the password question cancelled.
    const bool neverOpened = document && document->openFailure() != MyDocument::OpenFailure::None;
    if (document)
        document->deleteLater();
    window->deleteLater();
    if (!windows_.isEmpty() || terminating_ || quitting_)
        return;
    // Closing the last window ends the program, as Linux users expect; later, so that
    // whatever closed the window finishes first. When that window never showed a file,
    // quitting would leave the user with no way to reach File > New: every start would
    // reopen the same "Last PW File" and end the same way. The creation panel is offered
    // instead, and cancelling it quits.
    QTimer::singleShot(0, this, [this, neverOpened] {
        if (!windows().isEmpty() || RunLoop::inModalRun() || terminating_ || quitting_)
            return;
        if (neverOpened)
            newDocument();
        else
            quit();
    });
}

void Controller::newDocument()
{
    for (;;) {
        std::optional<CreatePasswordFilePanel::Choice> choice = createPanel_->run();
        if (!choice) {
            if (windows().isEmpty())
                QTimer::singleShot(0, this, [this] {
                    if (windows().isEmpty() && !RunLoop::inModalRun() && !quitting_)
                        quit();
                });
            return;
        }
        QString error;
        // The package is made complete before anything opens it; when that fails nothing
        // is left behind, so the user is told and offered the panel again.
        if (!createPasswordFile(choice->path, choice->framis, &error)) {
            cleanseString(choice->framis);
            alertPanel_->prompt(nullptr, error.isEmpty() ? tr("The password file could not be created.") : error,
                                QStringLiteral("OK"));
            continue;
        }
        clearGFramis();
        gFramis = choice->framis;
        cleanseString(choice->framis);
        openDocumentWithContentsOfFile(choice->path);
        return;
    }
}

void Controller::openDocument()
{
    OpenPasswordFileDialog dialog;
    connect(&dialog, &QDialog::finished, this, [&dialog](int result) { RunLoop::stopModal(&dialog, result); });
    if (runPanel(&dialog, nullptr) != RunLoop::OKCode)
        return;
    // The panel gives nothing but a password file.
    applicationOpenFile(dialog.chosenPackage());
}

void Controller::applicationWillTerminate()
{
    if (terminating_)
        return;
    terminating_ = true;
    for (DocumentWindowWidget* window : windows()) {
        if (MyDocument* document = window->document())
            document->close();
        else
            window->close();
    }
    terminating_ = false;
}

void Controller::quit()
{
    // A panel that waits for an answer belongs to code still running below us: it has to
    // be answered first, as a sheet on the Mac holds up quitting.
    if (RunLoop::inModalRun()) {
        QApplication::beep();
        return;
    }
    terminate();
}

void Controller::terminate()
{
    quitting_ = true;
    applicationWillTerminate();
    if (quitApplication_)
        quitApplication_();
}

void Controller::OK(const QWidget* sender)
{
    panelOK(sender);
}

void Controller::Cancel(const QWidget* sender)
{
    panelCancel(sender);
}

void Controller::showAbout()
{
    alertPanel_->prompt(mainWindow(),
                        tr("Quorly %1\nA password manager for your website logins.")
                            .arg(QCoreApplication::applicationVersion()),
                        QStringLiteral("OK"));
}

// ---------------------------------------------------------------------------
// The main menu

QMenu* Controller::findSubmenu(QMenuBar* bar, const QStringList& titles)
{
    if (!bar || titles.isEmpty())
        return nullptr;
    QList<QAction*> items = bar->actions();
    QMenu* found = nullptr;
    for (const QString& title : titles) {
        found = nullptr;
        for (QAction* item : items) {
            if (item->menu() && QString(item->text()).remove(QLatin1Char('&')) == title) {
                found = item->menu();
                break;
            }
        }
        if (!found)
            return nullptr;
        items = found->actions();
    }
    return found;
}

QAction* Controller::addControllerItem(QMenu* menu, const QString& title, void (Controller::*slot)(),
                                       const QKeySequence& key)
{
    QAction* item = menu->addAction(title);
    item->setShortcut(key);
    item->setProperty(kControllerItem, true);
    connect(item, &QAction::triggered, this, slot);
    return item;
}

QAction* Controller::addWindowItem(QMenu* menu, const QString& title, const QString& action, const QKeySequence& key)
{
    QAction* item = menu->addAction(title);
    item->setShortcut(key);
    item->setProperty(kActionProperty, action);
    connect(item, &QAction::triggered, this, [this, item] { performWindowItem(item); });
    return item;
}

void Controller::buildMainMenu()
{
    // Never shown itself: its menus appear in every document window's menu bar.
    mainMenu_ = new QMenuBar;

    QMenu* file = mainMenu_->addMenu(QStringLiteral("File"));
    addControllerItem(file, QStringLiteral("New"), &Controller::newDocument, QKeySequence::New);
    addControllerItem(file, QStringLiteral("Open\u2026"), &Controller::openDocument, QKeySequence::Open);
    file->addSeparator();
    addWindowItem(file, QStringLiteral("Close"), QStringLiteral("performClose:"), QKeySequence::Close);
    file->addSeparator();
    file->addMenu(QStringLiteral("Go To Recent Website"));
    file->addSeparator();
    addWindowItem(file, QStringLiteral("Import\u2026"), QStringLiteral("importPasswordDataBegin:"));
    addWindowItem(file, QStringLiteral("Export\u2026"), QStringLiteral("exportPasswordData:"));
    file->addSeparator();
    addWindowItem(file, QStringLiteral("Page Setup\u2026"), QStringLiteral("runPageLayout:"));
    addWindowItem(file, QStringLiteral("Print\u2026"), QStringLiteral("printDocument:"), QKeySequence::Print);
    file->addSeparator();
    QAction* quitItem = addControllerItem(file, QStringLiteral("Quit"), &Controller::quit, QKeySequence::Quit);
    quitItem->setMenuRole(QAction::QuitRole);

    QMenu* edit = mainMenu_->addMenu(QStringLiteral("Edit"));
    const struct {
        const char* title;
        const char* slot;
        QKeySequence::StandardKey key;
    } editing[] = {
        {"Undo", "undo", QKeySequence::Undo},     {"Redo", "redo", QKeySequence::Redo},
        {"Cut", "cut", QKeySequence::Cut},        {"Copy", "copy", QKeySequence::Copy},
        {"Paste", "paste", QKeySequence::Paste},  {"Select All", "selectAll", QKeySequence::SelectAll},
    };
    for (const auto& command : editing) {
        QAction* item = edit->addAction(QString::fromLatin1(command.title));
        item->setShortcut(command.key);
        item->setProperty(kControllerItem, true);
        item->setProperty(kEditItem, true);
        const char* slot = command.slot;
        connect(item, &QAction::triggered, this, [slot] { sendToFocus(slot); });
        if (qstrcmp(command.title, "Redo") == 0)
            edit->addSeparator();
    }
    edit->addSeparator();
    addWindowItem(edit, QStringLiteral("Find\u2026"), QStringLiteral("find:"), QKeySequence::Find);
    addWindowItem(edit, QStringLiteral("Find Again"), QStringLiteral("findNext:"), QKeySequence(Qt::CTRL | Qt::Key_G));
    edit->addSeparator();
    // Where GNOME and KDE programs keep theirs, under the key they use.
    addControllerItem(edit, QStringLiteral("Preferences\u2026"), &Controller::preferences,
                      QKeySequence(Qt::CTRL | Qt::Key_Comma))
        ->setMenuRole(QAction::PreferencesRole);

    QMenu* entry = mainMenu_->addMenu(QStringLiteral("Entry"));
    addWindowItem(entry, QStringLiteral("New Entry"), QStringLiteral("newEntry:"));
    addWindowItem(entry, QStringLiteral("View/Edit Entry\u2026"), QStringLiteral("editEntry:"));
    addWindowItem(entry, QStringLiteral("Duplicate Entry"), QStringLiteral("duplicateEntry:"),
                  QKeySequence(Qt::CTRL | Qt::Key_D));
    addWindowItem(entry, QStringLiteral("Delete Entry"), QStringLiteral("deleteEntry:"));
    entry->addSeparator();
    addWindowItem(entry, QStringLiteral("Copy User ID"), QStringLiteral("copyUserID:"), QKeySequence(Qt::CTRL | Qt::Key_B));
    // Ctrl+C copies the password only where the list has the focus (the list claims the
    // key); elsewhere it stays the Edit menu's Copy. The item shows the key but never
    // takes it itself, or the two would cancel each other out.
    addWindowItem(entry, QStringLiteral("Copy Password"), QStringLiteral("copyPassword:"), QKeySequence::Copy)
        ->setShortcutContext(Qt::WidgetShortcut);
    addWindowItem(entry, QStringLiteral("Copy URL"), QStringLiteral("copyURL:"), QKeySequence(Qt::CTRL | Qt::Key_U));
    entry->addSeparator();
    // The key other Linux password managers open an entry's website with.
    addWindowItem(entry, QStringLiteral("Go To URL"), QStringLiteral("goToURL:"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U));
    entry->addSeparator();
    addWindowItem(entry, QStringLiteral("Save File Password In Keychain"), QStringLiteral("toggleSavePWInKeychain:"))
        ->setCheckable(true);
    addWindowItem(entry, QStringLiteral("Change Password\u2026"), QStringLiteral("changePassword:"));

    QMenu* help = mainMenu_->addMenu(QStringLiteral("Help"));
    addControllerItem(help, QStringLiteral("Quorly Help"), &Controller::showHelpForSender, QKeySequence::HelpContents);
    addControllerItem(help, QStringLiteral("Password Files on Other Devices"), &Controller::iosHelp);
    help->addSeparator();
    addControllerItem(help, QStringLiteral("Email the Author"), &Controller::emailTheAuthor);
    help->addSeparator();
    addControllerItem(help, QStringLiteral("About Quorly"), &Controller::showAbout)->setMenuRole(QAction::AboutRole);

    // The list's context menu: the Entry menu's items that act on the rows.
    entryContextMenu_ = new QMenu(mainMenu_);
    const QStringList contextTitles = {
        QStringLiteral("View/Edit Entry\u2026"), QString(), QStringLiteral("Copy User ID"),
        QStringLiteral("Copy Password"), QStringLiteral("Copy URL"), QStringLiteral("Go To URL"), QString(),
        QStringLiteral("Duplicate Entry"), QStringLiteral("Delete Entry"),
    };
    for (const QString& title : contextTitles) {
        const QList<QAction*> items = entry->actions();
        const auto found = std::find_if(items.begin(), items.end(), [&](QAction* a) { return a->text() == title; });
        if (title.isEmpty())
            entryContextMenu_->addSeparator();
        else if (found != items.end())
            entryContextMenu_->addAction(*found);
    }

    for (QMenu* menu : {file, edit, entry, help, entryContextMenu_}) {
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { validateMenu(menu); });
        // Outside an open menu every item stays enabled, so that a key equivalent is not
        // swallowed by a state computed when the menu was last shown; the item is
        // validated again when it fires.
        connect(menu, &QMenu::aboutToHide, this, [menu] {
            for (QAction* item : menu->actions())
                item->setEnabled(true);
        });
    }
}

namespace {

// QPlainTextEdit and QTextEdit answer the same questions without a common base.
template <class TextView>
EditTarget textViewTarget(const TextView* view)
{
    EditTarget t;
    t.isText = true;
    t.readOnly = view->isReadOnly();
    t.hasText = !view->document()->isEmpty();
    t.hasSelection = view->textCursor().hasSelection();
    t.canUndo = view->isUndoRedoEnabled() && view->document()->isUndoAvailable();
    t.canRedo = view->isUndoRedoEnabled() && view->document()->isRedoAvailable();
    t.clipboardHasText = view->canPaste();
    return t;
}

// What the focused widget offers the Edit menu: text fields and text views their text,
// selection, undo history and the clipboard; lists their rows.
EditTarget editTargetOf(QWidget* focus)
{
    EditTarget t;
    const QString clipboard = QGuiApplication::clipboard()->text();
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        t.isText = true;
        t.readOnly = line->isReadOnly();
        t.secure = line->echoMode() != QLineEdit::Normal;
        t.hasText = !line->text().isEmpty();
        t.hasSelection = line->hasSelectedText();
        t.canUndo = line->isUndoAvailable();
        t.canRedo = line->isRedoAvailable();
        t.clipboardHasText = !clipboard.isEmpty();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        t = textViewTarget(plain);
    } else if (auto* rich = qobject_cast<QTextEdit*>(focus)) {
        t = textViewTarget(rich);
    } else if (auto* list = qobject_cast<QAbstractItemView*>(focus)) {
        t.isList = list->selectionMode() == QAbstractItemView::ExtendedSelection
                || list->selectionMode() == QAbstractItemView::MultiSelection;
        t.listHasRows = list->model() && list->model()->rowCount() > 0;
    }
    return t;
}

MenuItemState windowItemState(DocumentWindowWidget* window, QAction* item)
{
    const QString action = item->property(kActionProperty).toString();
    if (!window || (!kBuiltInCommands.contains(action) && !window->hasCommand(action)))
        return MenuItemState{false, std::nullopt};
    return validateMenuItem(item->text(), window->menuState());
}

}  // namespace

void Controller::validateMenu(QMenu* menu)
{
    DocumentWindowWidget* window = mainWindow();
    const EditTarget focused = editTargetOf(QApplication::focusWidget());
    for (QAction* item : menu->actions()) {
        if (item->property(kEditItem).toBool())
            item->setEnabled(validateEditItem(item->text(), focused));
        if (item->isSeparator() || item->menu() || item->property(kControllerItem).toBool())
            continue;
        const MenuItemState state = windowItemState(window, item);
        item->setEnabled(state.enabled);
        if (state.checked)
            item->setChecked(*state.checked);
    }
}

void Controller::performWindowItem(QAction* item)
{
    DocumentWindowWidget* window = mainWindow();
    const MenuItemState state = windowItemState(window, item);
    if (state.checked)
        item->setChecked(*state.checked);  // the command reads the mark as it was
    if (!state.enabled)
        return;
    const QString action = item->property(kActionProperty).toString();
    if (action == QLatin1String("performClose:"))
        window->close();
    else if (action == QLatin1String("find:"))
        window->find();
    else if (action == QLatin1String("findNext:"))
        window->findNext();
    else if (action == QLatin1String("duplicateEntry:"))
        window->duplicateEntry();
    else if (action == QLatin1String("deleteEntry:"))
        window->deleteEntries();
    else
        window->runCommand(action);
}

}  // namespace quorly
