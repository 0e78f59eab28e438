#pragma once

#include "entries/EntryList.h"

#include <QList>
#include <QPersistentModelIndex>
#include <QStringList>
#include <QTableView>

class QMimeData;

namespace quorly {

class KTTableViewArray;
class KTTableViewArrayModel;

// How one cell is about to be drawn. Text columns draw their key's value and ignore the
// image; a button column draws `imageName` (a picture from the program's resources)
// and reacts to clicks only while `enabled`.
struct KTTableCell {
    QString imageName;
    bool enabled = true;
};

// Where a drag would land: on a row, or in the gap above it.
enum class KTDropOperation { On, Above };

// What the table asks of its owner and tells it. The owner keeps every rule; the table
// only shows the rows of its list and turns the user's gestures into these calls.
class KTTableViewArrayDelegate {
public:
    virtual ~KTTableViewArrayDelegate() = default;

    // The user asked to add an entry (the owner appends, selects and opens it itself).
    virtual bool KTTableViewArrayAddEntry(KTTableViewArray* table) = 0;
    // The user asked to open `row`.
    virtual void KTTableViewArrayEditEntryAtIndex(KTTableViewArray* table, int row) = 0;
    // The user asked to delete `count` selected rows; true lets the table delete them.
    virtual bool confirmDelete(int count) = 0;
    virtual void KTTableViewArraySelectionDidChange(KTTableViewArray* table) = 0;
    // Sent after every change the table itself made to the list.
    virtual void KTTableViewArrayChanged(KTTableViewArray* table) = 0;

    // Before a cell is drawn or clicked; `cell` starts out as the column's own cell.
    virtual void KTTableViewArrayWillDisplayCell(KTTableViewArray* table, KTTableCell& cell,
                                                 int column, int row);
    // The hover text of the cell under the mouse; empty shows none.
    virtual QString KTTableViewArrayToolTipForCell(KTTableViewArray* table, const QRect& rect,
                                                   int column, int row,
                                                   const QPoint& mouseLocation);

    // Dragging rows out of and into the table. Until the owner answers, the table
    // neither starts drags nor takes drops.
    virtual bool KTTableViewArrayWriteRowsWithIndexes(KTTableViewArray* table,
                                                      const QList<int>& rows,
                                                      QMimeData* pasteboard);
    virtual Qt::DropAction KTTableViewArrayValidateDrop(KTTableViewArray* table,
                                                        const QMimeData* info, int proposedRow,
                                                        KTDropOperation operation);
    virtual bool KTTableViewArrayAcceptDrop(KTTableViewArray* table, const QMimeData* info,
                                            Qt::DropAction action, int row,
                                            KTDropOperation operation);
};

// A table bound to a list of entries: one row per entry in list order, one column per
// key. The table reads the very list it was given (it never copies it), so a row index
// is an index into that list; after the owner changes the list it calls reloadData().
// A column whose key is "Button" shows a button cell instead of text.
class KTTableViewArray : public QTableView {
    Q_OBJECT
public:
    // `initWithArray:editDelegate:keys:`. The list and the delegate must outlive the table.
    KTTableViewArray(EntryList& array, KTTableViewArrayDelegate* delegate,
                     const QStringList& keys, QWidget* parent = nullptr);
    ~KTTableViewArray() override;

    EntryList& array() const { return *array_; }
    KTTableViewArrayDelegate* delegate() const { return delegate_; }
    const QStringList& keys() const { return keys_; }

    // Reads the list afresh. Selected rows that still exist stay selected, as row
    // numbers: the entries under them may have moved.
    void reloadData();

    // Lets go of the list (its owner is going away): the table shows no rows from now on.
    void unbind();

    int numberOfRows() const;
    int numberOfSelectedRows() const;
    // The row the user selected last (the current row when it is selected), else the
    // first selected row, or -1 without a selection.
    int selectedRow() const;
    // Ascending.
    QList<int> selectedRowIndexes() const;
    bool isRowSelected(int row) const;
    // Selects exactly `rows` (extending is not offered: callers replace the selection),
    // and reports one selection change.
    void selectRowIndexes(const QList<int>& rows);
    void scrollRowToVisible(int row);
    void deselectAll();
    // The area of `row` across all columns, in the coordinates of viewport().
    QRect rectOfRow(int row) const;
    // Maps a rectangle of viewport() into `view`, or onto the screen when `view` is null.
    QRect convertRect(const QRect& rect, const QWidget* view) const;

    // Drags: the MIME types the table accepts, and what a drag out of it offers.
    void registerForDraggedTypes(const QStringList& types);
    void setDraggingSourceOperationMask(Qt::DropActions actions, bool forLocal);
    const QStringList& registeredDraggedTypes() const { return draggedTypes_; }

    // A table of a file that cannot be written neither adds nor deletes rows; it still
    // opens them.
    void setEditable(bool editable) { editable_ = editable; }
    bool isEditable() const { return editable_; }

    // The cell the delegate wants drawn at (`column`, `row`).
    KTTableCell cellAt(int column, int row) const;
    bool isButtonColumn(int column) const;

    // Typing a name jumps to it, whichever column the mouse last clicked.
    void keyboardSearch(const QString& search) override;

public slots:
    // `add:`: asks the delegate to add an entry.
    void add();
    // `remove:`: deletes the selected rows once the delegate confirms.
    void remove();
    // Opens the selected row, when exactly one is selected.
    void openSelectedRow();

signals:
    // An enabled button cell was clicked (the row is selected by then).
    void buttonClicked(int column, int row);
    // The user pressed the copy key (Ctrl+C) in the table: what a row copies is the
    // owner's choice. The key never reaches the menus while the table has the focus.
    void copyRequested();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void removeRowsOf(const QList<int>& rows);
    void notifySelectionChanged();

    EntryList* array_;
    EntryList unbound_;
    KTTableViewArrayDelegate* delegate_;
    QStringList keys_;
    KTTableViewArrayModel* model_;
    QStringList draggedTypes_;
    bool editable_ = true;
    // The button cell held down by the mouse; it fires when released over itself.
    QPersistentModelIndex pressedButton_;
};

}  // namespace quorly
