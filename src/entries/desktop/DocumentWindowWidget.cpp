#include "entries/desktop/DocumentWindowWidget.h"

#include "app/Preferences.h"
#include "entries/EntryListEdits.h"
#include "entries/EntrySearch.h"
#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/EntryCallout.h"
#include "entries/desktop/EntryTableController.h"
#include "entries/desktop/ExportPasswordData.h"
#include "entries/desktop/PrintEntries.h"
#include "import/desktop/ImportPasswordData.h"
#include "entries/desktop/KTTableViewArray.h"
#include "login/WebsitePasswordManager.h"
#include "platform/PackagePath.h"
#include "platform/RunLoop.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "store/desktop/FilePasswordWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace quorly {

DocumentWindowWidget::DocumentWindowWidget(MyDocument* document, QWidget* parent)
    : QMainWindow(parent), document_(document)
{
    setWindowTitle(QFileInfo(document->fileName()).completeBaseName());
    setWindowFilePath(document->fileName());
    setObjectName(QStringLiteral("DocumentWindow"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    auto* top = new QHBoxLayout;
    notFoundMessage_ = new QLabel(tr("Not found"), central);
    notFoundMessage_->setObjectName(QStringLiteral("notFoundMessage"));
    notFoundMessage_->hide();
    searchField_ = new QLineEdit(central);
    searchField_->setObjectName(QStringLiteral("searchField"));
    searchField_->setPlaceholderText(tr("Search"));
    searchField_->setClearButtonEnabled(true);
    top->addWidget(notFoundMessage_);
    top->addStretch(1);
    top->addWidget(searchField_, 2);
    layout->addLayout(top);

    // The table reads the document's own list; the controller answers for it.
    tableController_ = new EntryTableController(this, document->passwordArray(), central);
    table_ = tableController_->table();
    layout->addWidget(table_, 1);

    auto* bottom = new QHBoxLayout;
    addButton_ = new QPushButton(QStringLiteral("+"), central);
    addButton_->setObjectName(QStringLiteral("addButton"));
    addButton_->setToolTip(tr("New Entry"));
    deleteButton_ = new QPushButton(QStringLiteral("\u2212"), central);
    deleteButton_->setObjectName(QStringLiteral("deleteButton"));
    deleteButton_->setToolTip(tr("Delete Entry"));
    duplicateButton_ = new QPushButton(tr("Duplicate"), central);
    duplicateButton_->setObjectName(QStringLiteral("duplicateButton"));
    for (QPushButton* button : {addButton_, deleteButton_, duplicateButton_}) {
        button->setAutoDefault(false);
        bottom->addWidget(button);
    }
    bottom->addStretch(1);
    readOnlyIcon_ = new QLabel(central);
    readOnlyIcon_->setObjectName(QStringLiteral("readOnlyIcon"));
    const QIcon lock = QIcon::fromTheme(QStringLiteral("emblem-readonly"),
                                        QIcon::fromTheme(QStringLiteral("changes-prevent")));
    if (lock.isNull())
        readOnlyIcon_->setText(tr("Read Only"));
    else
        readOnlyIcon_->setPixmap(lock.pixmap(16, 16));
    readOnlyIcon_->setToolTip(tr("This password file cannot be changed: its folder is read-only."));
    readOnlyIcon_->hide();
    bottom->addWidget(readOnlyIcon_);
    layout->addLayout(bottom);
    setCentralWidget(central);

    promptPanel_ = new PromptPanel(this);
    promptPanel_->setObjectName(QStringLiteral("promptPanel"));
    passwordPanel_ = new PasswordPanel(this);
    passwordPanel_->setObjectName(QStringLiteral("framisPanel"));
    confirmPanel_ = new PromptPanel(this);
    confirmPanel_->setObjectName(QStringLiteral("confirmPanel"));

    connect(searchField_, &QLineEdit::returnPressed, this, &DocumentWindowWidget::findNext);
    connect(searchField_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            notFoundMessage_->hide();
    });
    connect(addButton_, &QPushButton::clicked, this, [this] { runCommand(QStringLiteral("newEntry:")); });
    setCommand(QStringLiteral("newEntry:"), [this] { table_->add(); });
    setCommand(QStringLiteral("editEntry:"), [this] { tableController_->editEntry(); });
    setCommand(QStringLiteral("goToURL:"), [this] { tableController_->goToURL(); });
    setCommand(QStringLiteral("copyUserID:"), [this] { tableController_->copyField(EntryField::UserID); });
    setCommand(QStringLiteral("copyPassword:"), [this] { tableController_->copyField(EntryField::Password); });
    setCommand(QStringLiteral("copyURL:"), [this] { tableController_->copyField(EntryField::URL); });
    connect(table_, &KTTableViewArray::copyRequested, this, [this] { runCommand(QStringLiteral("copyPassword:")); });
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        emit entryMenuRequested(this, table_->viewport()->mapToGlobal(at));
    });
    connect(deleteButton_, &QPushButton::clicked, this, &DocumentWindowWidget::deleteEntries);
    connect(duplicateButton_, &QPushButton::clicked, this, &DocumentWindowWidget::duplicateEntry);

    addButton_->setEnabled(false);
    duplicateButton_->setEnabled(false);
    deleteButton_->setEnabled(false);
    // Keeping the password in the keychain, changing it, asking for it again.
    attachFilePassword(this);
    attachImport(this);
    attachExport(this);
    attachPrinting(this);
    restoreFrame();
}

DocumentWindowWidget::~DocumentWindowWidget() = default;

// ---------------------------------------------------------------------------
// Panels

int DocumentWindowWidget::prompt(const QString& message, const QString& defaultTitle, const QString& otherTitle)
{
    return promptPanel_->prompt(this, message, defaultTitle, otherTitle);
}

std::optional<QString> DocumentWindowWidget::askFilePassword(const QString& prompt)
{
    return passwordPanel_->ask(this, prompt);
}

bool DocumentWindowWidget::confirm(const QString& message, const QString& okTitle)
{
    return confirmPanel_->prompt(this, message, okTitle, tr("Cancel")) == RunLoop::OKCode;
}

// ---------------------------------------------------------------------------
// The list

void DocumentWindowWidget::showEntries(EntryList& entries)
{
    entries_ = &entries;
    reloadList();
    selectionDidChange();
    table_->setFocus();
}

void DocumentWindowWidget::reloadList()
{
    table_->reloadData();
    selectionDidChange();
}

void DocumentWindowWidget::selectRows(const QList<int>& rows)
{
    table_->selectRowIndexes(rows);
    if (!rows.isEmpty())
        table_->scrollRowToVisible(rows.first());
    selectionDidChange();
}

void DocumentWindowWidget::deselectAll()
{
    table_->deselectAll();
    selectionDidChange();
}

QList<int> DocumentWindowWidget::selectedRows() const
{
    return table_->selectedRowIndexes();
}

void DocumentWindowWidget::selectionDidChange()
{
    // `KTTableViewArraySelectionDidChange:`: one selected entry is the current entry.
    const QList<int> rows = selectedRows();
    const bool one = rows.size() == 1 && entries_ && rows.first() < entries_->size();
    duplicateButton_->setEnabled(one && writeable_);
    deleteButton_->setEnabled(!rows.isEmpty() && writeable_);
    addButton_->setEnabled(writeable_ && hasCommand(QStringLiteral("newEntry:")));
    // While the editor is open its working copy stays the current entry, whatever the
    // window's coming back to the front reselects: the login automation and the
    // generator act on what the editor shows, and nothing reaches the list's entry
    // before a save.
    const EntryCallout* editor = tableController_ ? tableController_->entryCallout() : nullptr;
    if (editor && editor->isOpen())
        gWebsiteItem = editor->editedEntry();
    else if (one)
        gWebsiteItem = entries_->at(rows.first());
    else if (isActiveWindow())
        gWebsiteItem.reset();
}

void DocumentWindowWidget::setWriteable(bool writeable)
{
    writeable_ = writeable;
    table_->setEditable(writeable);
    readOnlyIcon_->setVisible(!writeable);
    addButton_->setVisible(writeable);
    deleteButton_->setVisible(writeable);
    duplicateButton_->setVisible(writeable);
    selectionDidChange();
}

// ---------------------------------------------------------------------------
// Commands

void DocumentWindowWidget::find()
{
    searchField_->setFocus();
    searchField_->selectAll();
}

void DocumentWindowWidget::findNext()
{
    if (!entries_)
        return;
    const FindResult result = quorly::findNext(*entries_, searchField_->text(), selectedRows());
    notFoundMessage_->setVisible(result.showNotFound());
    if (result.foundRow >= 0)
        selectRows({result.foundRow});
}

void DocumentWindowWidget::duplicateEntry()
{
    const QList<int> rows = selectedRows();
    if (!entries_ || !document_ || !writeable_ || rows.size() != 1 || rows.first() >= entries_->size())
        return;
    entries_->append(duplicateOf(*entries_, *entries_->at(rows.first())));
    document_->KTTableViewArrayChanged();
    reloadList();
    deselectAll();
}

void DocumentWindowWidget::deleteEntries()
{
    // The table asks `confirmDelete:`, removes the rows and reports the change.
    if (entries_ && document_ && writeable_)
        table_->remove();
}

MenuState DocumentWindowWidget::menuState() const
{
    MenuState state;
    const QList<int> rows = selectedRows();
    state.selectedRows = int(rows.size());
    state.entryCount = entries_ ? entries_->size() : 0;
    state.websiteItemHasURL = gWebsiteItem && !gWebsiteItem->string(EntryKey::WebsiteURL).isEmpty();
    state.searchTextPresent = !searchField_->text().isEmpty();
    state.passwordInKeychain = document_ && document_->passwordInKeychain();
    state.writeable = writeable_;
    if (entries_ && rows.size() == 1 && rows.first() < entries_->size()) {
        const Entry& selected = *entries_->at(rows.first());
        state.selectedHasUserID = !entryFieldText(selected, EntryField::UserID).isEmpty();
        state.selectedHasPassword = !entryFieldText(selected, EntryField::Password).isEmpty();
        state.selectedHasURL = !entryFieldText(selected, EntryField::URL).isEmpty();
    }
    return state;
}

void DocumentWindowWidget::setCommand(const QString& action, std::function<void()> handler)
{
    if (handler)
        commands_.insert(action, std::move(handler));
    else
        commands_.remove(action);
    selectionDidChange();
}

bool DocumentWindowWidget::hasCommand(const QString& action) const
{
    return commands_.contains(action);
}

bool DocumentWindowWidget::runCommand(const QString& action)
{
    const auto found = commands_.constFind(action);
    if (found == commands_.constEnd())
        return false;
    const std::function<void()> handler = *found;  // the handler may replace the table
    handler();
    return true;
}

// ---------------------------------------------------------------------------
// Window life

QString DocumentWindowWidget::frameKey(const QString& fileName)
{
    // A path as one key, not as nested groups.
    return QStringLiteral("Window Frames/")
         + QString::fromLatin1(QUrl::toPercentEncoding(canonicalPackagePath(fileName)));
}

void DocumentWindowWidget::restoreFrame()
{
    const QByteArray frame = Preferences::store().value(frameKey(document_->fileName())).toByteArray();
    if (frame.isEmpty() || !restoreGeometry(frame))
        resize(460, 540);
}

void DocumentWindowWidget::saveFrame()
{
    if (!document_)
        return;
    Preferences::store().setValue(frameKey(document_->fileName()), saveGeometry());
    Preferences::sync();
}

void DocumentWindowWidget::closeWindow()
{
    close();
}

void DocumentWindowWidget::closeEvent(QCloseEvent* event)
{
    if (closed_) {
        event->accept();
        return;
    }
    closed_ = true;
    if (isVisible())
        saveFrame();
    entries_ = nullptr;
    table_->unbind();
    if (document_)
        document_->windowWillClose();
    event->accept();
    emit windowClosed(this);
}

bool DocumentWindowWidget::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        emit becameMain(this);
    return QMainWindow::event(event);
}

}  // namespace quorly
