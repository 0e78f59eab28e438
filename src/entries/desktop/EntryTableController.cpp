#include "entries/desktop/EntryTableController.h"

#include "app/Preferences.h"
#include "entries/EntryCopy.h"
#include "entries/EntryDrag.h"
#include "entries/EntryListEdits.h"
#include "entries/HoverText.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "entries/desktop/EntryCallout.h"
#include "login/WebsitePasswordManager.h"
#include "platform/RunLoop.h"
#include "store/Globals.h"
#include "store/MyDocument.h"

#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

namespace quorly {

EntryTableController::EntryTableController(DocumentWindowWidget* window, EntryList& list,
                                           QWidget* tableParent)
    : QObject(window), window_(window), list_(&list)
{
    table_ = new KTTableViewArray(list, this, {EntryKey::Button, EntryKey::Path}, tableParent);
    table_->setObjectName(QStringLiteral("passwordTable"));
    callout_ = new EntryCallout(window, list, table_);
    connect(table_, &KTTableViewArray::buttonClicked, this, [this] { goToURL(); });
    // Entries go to every kind of target that takes them; the list itself takes only
    // entries dragged from another password file.
    table_->registerForDraggedTypes(EntryDrag::draggedTypes());
    table_->setDraggingSourceOperationMask(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, false);
}

EntryTableController::~EntryTableController() = default;

// ---------------------------------------------------------------------------
// Delegate calls

bool EntryTableController::KTTableViewArrayAddEntry(KTTableViewArray*)
{
    if (!window_ || !window_->isWriteable())
        return false;
    list_->append(makeEntry(newEntryForAdd()));
    window_->reloadList();
    const EntryRef added = list_->at(list_->size() - 1);
    selectEntry(added);
    runEditor(added, true);
    return true;
}

void EntryTableController::KTTableViewArrayEditEntryAtIndex(KTTableViewArray*, int row)
{
    const EntryRef entry = chosenEntryAfterReread(row);
    if (!entry)
        return;
    runEditor(entry, false);
}

bool EntryTableController::confirmDelete(int count)
{
    if (!window_)
        return false;
    if (Preferences::boolean(PrefKey::ConfirmDelete) &&
        !window_->confirm(deletePrompt(count), tr("Delete")))
        return false;
    MyDocument* document = window_->document();
    if (!document || !document->isOpen())
        return false;  // the window closed while the question was up
    const QList<int> rows = table_->selectedRowIndexes();
    for (const QString& title : recentTitlesRemovedByDelete(*list_, rows)) {
        if (document->wpm())
            document->wpm()->deleteRecentWebsiteMenuItemWithTitle(title, true);
    }
    // The current entry must not outlive its row: a hot key would type a deleted login.
    for (int row : rows) {
        if (row < list_->size() && list_->at(row) == gWebsiteItem)
            gWebsiteItem.reset();
    }
    return true;
}

void EntryTableController::KTTableViewArraySelectionDidChange(KTTableViewArray*)
{
    if (window_)
        window_->selectionDidChange();
}

void EntryTableController::KTTableViewArrayChanged(KTTableViewArray*)
{
    if (!window_ || !window_->document())
        return;
    window_->document()->KTTableViewArrayChanged();
    window_->reloadList();
}

void EntryTableController::KTTableViewArrayWillDisplayCell(KTTableViewArray*, KTTableCell& cell,
                                                           int column, int row)
{
    if (column != 0)
        return;
    const bool hasURL = !list_->at(row)->string(EntryKey::WebsiteURL).isEmpty();
    cell.imageName = hasURL ? QStringLiteral("website") : QStringLiteral("blank");
    cell.enabled = hasURL;
}

QString EntryTableController::KTTableViewArrayToolTipForCell(KTTableViewArray*, const QRect&, int,
                                                             int row, const QPoint&)
{
    if (row < 0 || row >= list_->size())
        return {};
    return hoverText(*list_->at(row), currentHoverPreferences());
}

// ---------------------------------------------------------------------------
// Drag and drop

bool EntryTableController::KTTableViewArrayWriteRowsWithIndexes(KTTableViewArray* table, const QList<int>& rows,
                                                                QMimeData* pasteboard)
{
    MyDocument* document = window_ ? window_->document() : nullptr;
    if (table != table_ || !document || !document->isOpen())
        return false;
    QList<EntryRef> dragged;
    for (int row : rows) {
        if (row >= 0 && row < list_->size())
            dragged.append(list_->at(row));
    }
    if (dragged.isEmpty())
        return false;
    pasteboard->setData(EntryDrag::ItemsType, EntryDrag::itemsPropertyList(dragged));
    pasteboard->setData(EntryDrag::PathType, EntryDrag::pathData(document->fileName()));
    return true;
}

bool EntryTableController::takesDropOf(const QMimeData* info) const
{
    MyDocument* document = window_ ? window_->document() : nullptr;
    // The source's path is fetched only for a drag of entries: from another program it
    // is a round trip to that program at every move of the pointer.
    if (!info || !document || !info->hasFormat(EntryDrag::ItemsType))
        return false;
    EntryDrag::DropTarget target;
    target.packagePath = document->fileName();
    target.writeable = window_->isWriteable();
    // A file still asking for its password, or with a panel waiting for an answer
    // (its editor open, say), is not changed underneath.
    target.open = document->isOpen() && !RunLoop::inModalRun();
    return EntryDrag::acceptsDrop(info->formats(), EntryDrag::pathFromData(info->data(EntryDrag::PathType)), target);
}

Qt::DropAction EntryTableController::KTTableViewArrayValidateDrop(KTTableViewArray* table, const QMimeData* info, int,
                                                                  KTDropOperation)
{
    return table == table_ && takesDropOf(info) ? Qt::CopyAction : Qt::IgnoreAction;
}

bool EntryTableController::KTTableViewArrayAcceptDrop(KTTableViewArray* table, const QMimeData* info, Qt::DropAction,
                                                      int, KTDropOperation)
{
    if (table != table_ || !takesDropOf(info))
        return false;
    std::optional<QList<Entry>> dragged = EntryDrag::entriesFromPropertyList(info->data(EntryDrag::ItemsType));
    // The entries are added once the drop has ended: a message shown from inside it (a
    // failed save, say) would keep the program the entries came from waiting in its drag.
    QTimer::singleShot(0, this, [this, dragged = std::move(dragged)] {
        if (!window_ || !window_->document() || !window_->document()->isOpen())
            return;
        if (!dragged || dragged->isEmpty()) {
            window_->prompt(tr("The dragged entries cannot be added: their data is damaged. Nothing was changed."),
                            QStringLiteral("OK"));
            return;
        }
        EntryDrag::appendDroppedEntries(*list_, *dragged);
        KTTableViewArrayChanged(table_);  // sorts them into place and writes the file once
    });
    return true;
}

// ---------------------------------------------------------------------------
// Commands

void EntryTableController::editEntry()
{
    if (table_->numberOfSelectedRows() == 1)
        KTTableViewArrayEditEntryAtIndex(table_, table_->selectedRow());
}

void EntryTableController::goToURL()
{
    if (table_->numberOfSelectedRows() != 1)
        return;
    const EntryRef entry = chosenEntryAfterReread(table_->selectedRow());
    if (!entry)
        return;
    endEditing();
    gWebsiteItem = entry;
    if (MyDocument* document = window_ ? window_->document() : nullptr; document && document->wpm())
        document->wpm()->goTo();
}

void EntryTableController::goToRecent(const QString& title)
{
    endEditing();
    if (MyDocument* document = window_ ? window_->document() : nullptr; document && document->wpm())
        document->wpm()->goToRecent(title);
}

void EntryTableController::copyField(EntryField field)
{
    const EntryRef entry =
        table_->numberOfSelectedRows() == 1 ? chosenEntryAfterReread(table_->selectedRow()) : nullptr;
    if (!entry || !copyEntryField(*entry, field))
        QApplication::beep();
}

void EntryTableController::outlineViewSelectionDidChange()
{
    KTTableViewArrayChanged(table_);
}

void EntryTableController::endEditing()
{
    // As the menu's first responder would: a field being edited hands its text over.
    // The list keeps the focus, so the arrow keys still move through it afterwards.
    QWidget* focus = window_ ? window_->focusWidget() : nullptr;
    if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus))
        focus->clearFocus();
}

// Decided here: a row number taken before an on-demand re-read is not trusted after
// it, since the re-read replaces the whole list. The program acts on the entry the
// user chose, found again by identity, then by content, then by its (unique) name, and
// does nothing when it is gone.
EntryRef EntryTableController::chosenEntryAfterReread(int row)
{
    if (row < 0 || row >= list_->size())
        return nullptr;
    const EntryRef chosen = list_->at(row);
    const Entry before = *chosen;
    if (window_ && window_->document())
        window_->document()->readPasswordFileDataIfChanged();
    return entryChosenAgain(*list_, chosen, before);
}

void EntryTableController::selectEntry(const EntryRef& entry)
{
    const int row = list_->indexOf(entry);
    if (row < 0)
        return;
    table_->selectRowIndexes({row});
    table_->scrollRowToVisible(row);
}

void EntryTableController::runEditor(const EntryRef& entry, bool creating)
{
    if (editor_)
        editor_(entry, creating);
    else
        callout_->runPWDataCalloutForEntry(entry, creating);
}

}  // namespace quorly
