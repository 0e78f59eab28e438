#pragma once

#include "entries/EntryFields.h"
#include "entries/desktop/KTTableViewArray.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace quorly {

class DocumentWindowWidget;
class EntryCallout;

// The document window's side of its entry table: the answers to the table's delegate
// calls (add, open, delete confirmation, selection, save after a change, the website
// buttons and the hover texts) and the window commands that act on one chosen entry
// (view/edit, go to its website, go to a recent website, copy one of its fields).
class EntryTableController : public QObject, public KTTableViewArrayDelegate {
    Q_OBJECT
public:
    // Opens `entry` for viewing and editing; `creating` when Add just appended it.
    using Editor = std::function<void(const EntryRef& entry, bool creating)>;

    // Makes the table over `list` (the document's `passwordArray`) inside `tableParent`.
    EntryTableController(DocumentWindowWidget* window, EntryList& list, QWidget* tableParent);
    ~EntryTableController() override;

    KTTableViewArray* table() const { return table_; }

    // The editor used for add and open; without one, the entry editor callout.
    void setEditor(Editor editor) { editor_ = std::move(editor); }
    EntryCallout* entryCallout() const { return callout_; }

    // `editEntry:`: opens the one selected row.
    void editEntry();
    // `goToURL:`: with exactly one row selected, opens that entry's website (the
    // website-login controller's goTo).
    void goToURL();
    // `goToRecent:`: opens the website of the entry named `title`, if there is one.
    void goToRecent(const QString& title);
    // `copyUserID:`, `copyPassword:`, `copyURL:`: with exactly one row selected, copies
    // that entry's field as the file now holds it; a beep when there is nothing to copy.
    void copyField(EntryField field);
    // `outlineViewSelectionDidChange:`: after entries were added behind the table's back
    // (an import), saves and redisplays.
    void outlineViewSelectionDidChange();
    // `changed`: an entry changed in place; the save that follows shows it.
    void changed() {}

    // Delegate calls.
    bool KTTableViewArrayAddEntry(KTTableViewArray* table) override;
    void KTTableViewArrayEditEntryAtIndex(KTTableViewArray* table, int row) override;
    bool confirmDelete(int count) override;
    void KTTableViewArraySelectionDidChange(KTTableViewArray* table) override;
    void KTTableViewArrayChanged(KTTableViewArray* table) override;
    void KTTableViewArrayWillDisplayCell(KTTableViewArray* table, KTTableCell& cell, int column,
                                         int row) override;
    QString KTTableViewArrayToolTipForCell(KTTableViewArray* table, const QRect& rect, int column,
                                           int row, const QPoint& mouseLocation) override;

    // Dragging entries to another password file's list and taking them from one.
    bool KTTableViewArrayWriteRowsWithIndexes(KTTableViewArray* table, const QList<int>& rows,
                                              QMimeData* pasteboard) override;
    Qt::DropAction KTTableViewArrayValidateDrop(KTTableViewArray* table, const QMimeData* info,
                                                int proposedRow, KTDropOperation operation) override;
    bool KTTableViewArrayAcceptDrop(KTTableViewArray* table, const QMimeData* info, Qt::DropAction action,
                                    int row, KTDropOperation operation) override;

private:
    // Re-reads the file when it changed on disk and returns the entry the user chose
    // at `row` before that, or nullptr when it is gone.
    EntryRef chosenEntryAfterReread(int row);
    void endEditing();
    void runEditor(const EntryRef& entry, bool creating);
    void selectEntry(const EntryRef& entry);
    bool takesDropOf(const QMimeData* info) const;

    QPointer<DocumentWindowWidget> window_;
    EntryList* list_;
    KTTableViewArray* table_;
    Editor editor_;
    EntryCallout* callout_;
};

}  // namespace quorly
