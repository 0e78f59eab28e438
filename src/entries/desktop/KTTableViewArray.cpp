#include "entries/desktop/KTTableViewArray.h"

#include "platform/desktop/Resources.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QHeaderView>
#include <QHelpEvent>
#include <QIcon>
#include <QItemSelection>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>
#include <vector>

namespace quorly {

namespace {

const QString ButtonKey = QStringLiteral("Button");

const QIcon& imageNamed(const QString& name)
{
    static QHash<QString, QIcon> cache;
    auto it = cache.find(name);
    if (it == cache.end())
        it = cache.insert(name, QIcon(QStringLiteral(":/images/%1.png").arg(name)));
    return *it;
}

// Consecutive rows as [first, last] pairs; `rows` ascending without repeats.
std::vector<std::pair<int, int>> rangesOf(const QList<int>& rows)
{
    std::vector<std::pair<int, int>> ranges;
    for (int row : rows) {
        if (!ranges.empty() && ranges.back().second + 1 == row)
            ranges.back().second = row;
        else
            ranges.emplace_back(row, row);
    }
    return ranges;
}

}  // namespace

// The model is a window onto the table's list: it answers every question by reading
// the list at that moment and owns nothing.
class KTTableViewArrayModel : public QAbstractTableModel {
public:
    explicit KTTableViewArrayModel(KTTableViewArray* table)
        : QAbstractTableModel(table), table_(table)
    {
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : table_->array().size();
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(table_->keys().size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        if ((role == Qt::DisplayRole || role == Qt::AccessibleTextRole) &&
            !table_->isButtonColumn(index.column()))
            return table_->array().at(index.row())->string(table_->keys().at(index.column()));
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
        if (index.isValid() && dragActions_ != Qt::IgnoreAction)
            f |= Qt::ItemIsDragEnabled;
        if (!table_->registeredDraggedTypes().isEmpty())
            f |= Qt::ItemIsDropEnabled;
        return f;
    }

    QStringList mimeTypes() const override { return table_->registeredDraggedTypes(); }
    Qt::DropActions supportedDropActions() const override
    {
        return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    }
    Qt::DropActions supportedDragActions() const override { return dragActions_; }

    QMimeData* mimeData(const QModelIndexList& indexes) const override
    {
        QList<int> rows;
        for (const QModelIndex& index : indexes)
            rows << index.row();
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        auto* pasteboard = new QMimeData;
        if (!table_->delegate() ||
            !table_->delegate()->KTTableViewArrayWriteRowsWithIndexes(table_, rows, pasteboard)) {
            delete pasteboard;
            return nullptr;
        }
        return pasteboard;
    }

    bool canDropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                         const QModelIndex& parent) const override
    {
        if (!table_->delegate())
            return false;
        const auto [target, op] = dropTarget(row, parent);
        return table_->delegate()->KTTableViewArrayValidateDrop(table_, data, target, op) !=
               Qt::IgnoreAction;
    }

    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                      const QModelIndex& parent) override
    {
        if (!table_->delegate())
            return false;
        const auto [target, op] = dropTarget(row, parent);
        return table_->delegate()->KTTableViewArrayAcceptDrop(table_, data, action, target, op);
    }

    void setDragActions(Qt::DropActions actions) { dragActions_ = actions; }

    void reset()
    {
        beginResetModel();
        endResetModel();
    }
    void beginRemove(int first, int last) { beginRemoveRows({}, first, last); }
    void endRemove() { endRemoveRows(); }
    void beginReset() { beginResetModel(); }
    void endReset() { endResetModel(); }

private:
    // Qt names a drop on a row by its index as parent, a drop between rows by the row
    // it lands above (-1 past the end).
    std::pair<int, KTDropOperation> dropTarget(int row, const QModelIndex& parent) const
    {
        if (parent.isValid())
            return {parent.row(), KTDropOperation::On};
        return {row < 0 ? rowCount() : row, KTDropOperation::Above};
    }

    KTTableViewArray* table_;
    Qt::DropActions dragActions_ = Qt::IgnoreAction;
};

namespace {

// Draws a button cell: its picture centred, greyed while disabled, on a darker
// background while the mouse holds it down.
class ButtonCellDelegate : public QStyledItemDelegate {
public:
    ButtonCellDelegate(KTTableViewArray* table, const QPersistentModelIndex* pressed)
        : QStyledItemDelegate(table), table_(table), pressed_(pressed)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);  // selection background
        const KTTableCell cell = table_->cellAt(index.column(), index.row());
        if (cell.enabled && *pressed_ == index)
            painter->fillRect(option.rect, QColor(0, 0, 0, 60));
        if (cell.imageName.isEmpty())
            return;
        const int side = std::min({16, option.rect.width(), option.rect.height()});
        const QRect target(option.rect.center() - QPoint(side / 2, side / 2) + QPoint(1, 1),
                           QSize(side, side));
        imageNamed(cell.imageName)
            .paint(painter, target, Qt::AlignCenter, cell.enabled ? QIcon::Normal : QIcon::Disabled);
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return {22, 18};
    }

private:
    KTTableViewArray* table_;
    const QPersistentModelIndex* pressed_;
};

}  // namespace

void KTTableViewArrayDelegate::KTTableViewArrayWillDisplayCell(KTTableViewArray*, KTTableCell&,
                                                               int, int)
{
}

QString KTTableViewArrayDelegate::KTTableViewArrayToolTipForCell(KTTableViewArray*, const QRect&,
                                                                 int, int, const QPoint&)
{
    return {};
}

bool KTTableViewArrayDelegate::KTTableViewArrayWriteRowsWithIndexes(KTTableViewArray*,
                                                                    const QList<int>&, QMimeData*)
{
    return false;
}

Qt::DropAction KTTableViewArrayDelegate::KTTableViewArrayValidateDrop(KTTableViewArray*,
                                                                      const QMimeData*, int,
                                                                      KTDropOperation)
{
    return Qt::IgnoreAction;
}

bool KTTableViewArrayDelegate::KTTableViewArrayAcceptDrop(KTTableViewArray*, const QMimeData*,
                                                          Qt::DropAction, int, KTDropOperation)
{
    return false;
}

KTTableViewArray::KTTableViewArray(EntryList& array, KTTableViewArrayDelegate* delegate,
                                   const QStringList& keys, QWidget* parent)
    : QTableView(parent), array_(&array), delegate_(delegate), keys_(keys)
{
    initResources();
    model_ = new KTTableViewArrayModel(this);
    setModel(model_);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { notifySelectionChanged(); });

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setAlternatingRowColors(true);
    setSortingEnabled(false);
    setTabKeyNavigation(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);

    // Every row has the same height and nothing is measured per row, so a list of a
    // hundred thousand entries lays out as fast as one of ten.
    QHeaderView* rowsHeader = verticalHeader();
    rowsHeader->hide();
    rowsHeader->setSectionResizeMode(QHeaderView::Fixed);
    rowsHeader->setDefaultSectionSize(std::max(20, fontMetrics().height() + 6));
    rowsHeader->setMinimumSectionSize(1);

    QHeaderView* columns = horizontalHeader();
    columns->hide();
    columns->setStretchLastSection(true);
    for (int column = 0; column < int(keys_.size()); ++column) {
        if (isButtonColumn(column)) {
            setItemDelegateForColumn(column, new ButtonCellDelegate(this, &pressedButton_));
            columns->setSectionResizeMode(column, QHeaderView::Fixed);
            columns->resizeSection(column, 24);
        }
    }
}

KTTableViewArray::~KTTableViewArray() = default;

bool KTTableViewArray::isButtonColumn(int column) const
{
    return column >= 0 && column < int(keys_.size()) && keys_.at(column) == ButtonKey;
}

KTTableCell KTTableViewArray::cellAt(int column, int row) const
{
    KTTableCell cell;
    if (isButtonColumn(column))
        cell.imageName = QStringLiteral("website");
    if (delegate_ && row >= 0 && row < numberOfRows())
        delegate_->KTTableViewArrayWillDisplayCell(const_cast<KTTableViewArray*>(this), cell,
                                                   column, row);
    return cell;
}

void KTTableViewArray::reloadData()
{
    const QList<int> before = selectedRowIndexes();
    const int current = currentIndex().row();
    pressedButton_ = QPersistentModelIndex();
    model_->reset();

    const int count = numberOfRows();
    QList<int> kept;
    for (int row : before) {
        if (row < count)
            kept << row;
    }
    if (!kept.isEmpty()) {
        selectRowIndexes(kept);
        if (current >= 0 && current < count && isRowSelected(current))
            selectionModel()->setCurrentIndex(model_->index(current, 0),
                                              QItemSelectionModel::NoUpdate);
    } else if (!before.isEmpty()) {
        // The reset dropped the selection silently; the owner still has to hear of it.
        notifySelectionChanged();
    }
}

void KTTableViewArray::unbind()
{
    clearSelection();
    pressedButton_ = QPersistentModelIndex();
    model_->beginReset();
    array_ = &unbound_;
    model_->endReset();
}

int KTTableViewArray::numberOfRows() const { return array_->size(); }

QList<int> KTTableViewArray::selectedRowIndexes() const
{
    QList<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows << row;
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int KTTableViewArray::numberOfSelectedRows() const { return int(selectedRowIndexes().size()); }

int KTTableViewArray::selectedRow() const
{
    const int current = currentIndex().row();
    if (current >= 0 && isRowSelected(current))
        return current;
    const QList<int> rows = selectedRowIndexes();
    return rows.isEmpty() ? -1 : rows.first();
}

bool KTTableViewArray::isRowSelected(int row) const
{
    return row >= 0 && row < numberOfRows() && selectionModel()->isRowSelected(row, {});
}

void KTTableViewArray::selectRowIndexes(const QList<int>& rows)
{
    QList<int> sorted;
    for (int row : rows) {
        if (row >= 0 && row < numberOfRows())
            sorted << row;
    }
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());

    const int lastColumn = model_->columnCount() - 1;
    QItemSelection selection;
    for (const auto& [first, last] : rangesOf(sorted))
        selection.select(model_->index(first, 0), model_->index(last, lastColumn));
    // One call, so the owner hears of the change once.
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!sorted.isEmpty())
        selectionModel()->setCurrentIndex(model_->index(sorted.first(), 0),
                                          QItemSelectionModel::NoUpdate);
}

void KTTableViewArray::scrollRowToVisible(int row)
{
    if (row >= 0 && row < numberOfRows())
        scrollTo(model_->index(row, 0), QAbstractItemView::EnsureVisible);
}

void KTTableViewArray::deselectAll() { clearSelection(); }

QRect KTTableViewArray::rectOfRow(int row) const
{
    if (row < 0 || row >= numberOfRows() || model_->columnCount() == 0)
        return {};
    const QRect first = visualRect(model_->index(row, 0));
    const QRect last = visualRect(model_->index(row, model_->columnCount() - 1));
    return first.united(last);
}

QRect KTTableViewArray::convertRect(const QRect& rect, const QWidget* view) const
{
    const QPoint global = viewport()->mapToGlobal(rect.topLeft());
    return QRect(view ? view->mapFromGlobal(global) : global, rect.size());
}

void KTTableViewArray::registerForDraggedTypes(const QStringList& types)
{
    draggedTypes_ = types;
    const bool accepts = !types.isEmpty();
    setAcceptDrops(accepts);
    viewport()->setAcceptDrops(accepts);
    setDropIndicatorShown(accepts);
    setDragDropMode(dragEnabled() ? (accepts ? DragDrop : DragOnly)
                                  : (accepts ? DropOnly : NoDragDrop));
}

void KTTableViewArray::setDraggingSourceOperationMask(Qt::DropActions actions, bool forLocal)
{
    // Qt offers one set of actions to every target, so the masks for local and foreign
    // targets are joined.
    (void)forLocal;
    const Qt::DropActions all = model_->supportedDragActions() | actions;
    model_->setDragActions(all);
    setDragEnabled(all != Qt::IgnoreAction);
    registerForDraggedTypes(draggedTypes_);
}

void KTTableViewArray::add()
{
    if (editable_ && delegate_)
        delegate_->KTTableViewArrayAddEntry(this);
}

void KTTableViewArray::openSelectedRow()
{
    if (delegate_ && numberOfSelectedRows() == 1)
        delegate_->KTTableViewArrayEditEntryAtIndex(this, selectedRow());
}

void KTTableViewArray::remove()
{
    if (!editable_ || !delegate_)
        return;
    const QList<int> rows = selectedRowIndexes();
    if (rows.isEmpty() || !delegate_->confirmDelete(int(rows.size())))
        return;
    // The rows go from the list itself, the one the owner reads and saves.
    QList<int> stillThere;
    for (int row : rows) {
        if (row < numberOfRows())
            stillThere << row;
    }
    deselectAll();
    removeRowsOf(stillThere);
    delegate_->KTTableViewArrayChanged(this);
}

void KTTableViewArray::removeRowsOf(const QList<int>& rows)
{
    const auto ranges = rangesOf(rows);
    if (ranges.empty())
        return;
    // A few blocks are removed one by one, so the view keeps its place; a scattered
    // selection is compacted in a single pass instead of one pass per block.
    if (ranges.size() <= 8) {
        for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
            model_->beginRemove(it->first, it->second);
            QList<EntryRef> kept = array_->entries();
            kept.remove(it->first, it->second - it->first + 1);
            array_->replaceAll(std::move(kept));
            model_->endRemove();
        }
        return;
    }
    std::vector<bool> gone(size_t(numberOfRows()), false);
    for (int row : rows)
        gone[size_t(row)] = true;
    QList<EntryRef> kept;
    kept.reserve(numberOfRows() - rows.size());
    for (int row = 0; row < numberOfRows(); ++row) {
        if (!gone[size_t(row)])
            kept.append(array_->at(row));
    }
    model_->beginReset();
    array_->replaceAll(std::move(kept));
    model_->endReset();
}

void KTTableViewArray::notifySelectionChanged()
{
    if (delegate_)
        delegate_->KTTableViewArraySelectionDidChange(this);
}

void KTTableViewArray::keyboardSearch(const QString& search)
{
    const QModelIndex current = currentIndex();
    if (current.isValid() && isButtonColumn(current.column())) {
        for (int column = 0; column < model_->columnCount(); ++column) {
            if (!isButtonColumn(column)) {
                selectionModel()->setCurrentIndex(model_->index(current.row(), column),
                                                  QItemSelectionModel::NoUpdate);
                break;
            }
        }
    }
    QTableView::keyboardSearch(search);
}

bool KTTableViewArray::event(QEvent* event)
{
    // Claimed before the shortcuts are looked at, as a text field claims its own keys.
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        event->accept();
        return true;
    }
    return QTableView::event(event);
}

void KTTableViewArray::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        emit copyRequested();
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() & ~Qt::KeypadModifier)
            break;
        openSelectedRow();
        event->accept();
        return;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        if (event->modifiers() & ~Qt::KeypadModifier)
            break;
        remove();
        event->accept();
        return;
    default:
        break;
    }
    QTableView::keyPressEvent(event);
}

void KTTableViewArray::mousePressEvent(QMouseEvent* event)
{
    QTableView::mousePressEvent(event);
    pressedButton_ = QPersistentModelIndex();
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && isButtonColumn(index.column()) &&
        cellAt(index.column(), index.row()).enabled) {
        pressedButton_ = index;
        viewport()->update(visualRect(index));
    }
}

void KTTableViewArray::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    if (!pressedButton_.isValid() || event->button() != Qt::LeftButton)
        return;
    const QModelIndex pressed = pressedButton_;
    pressedButton_ = QPersistentModelIndex();
    viewport()->update(visualRect(pressed));
    // Like a push button: the click counts only when released over the same cell.
    if (indexAt(event->position().toPoint()) == pressed &&
        cellAt(pressed.column(), pressed.row()).enabled)
        emit buttonClicked(pressed.column(), pressed.row());
}

void KTTableViewArray::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton || !delegate_)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid())
        return;
    // An enabled button already acted on the first click; a second one is not "open".
    if (isButtonColumn(index.column()) && cellAt(index.column(), index.row()).enabled)
        return;
    delegate_->KTTableViewArrayEditEntryAtIndex(this, index.row());
}

bool KTTableViewArray::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString text =
            index.isValid() && delegate_
                ? delegate_->KTTableViewArrayToolTipForCell(this, visualRect(index), index.column(),
                                                            index.row(), help->pos())
                : QString();
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
        return true;
    }
    return QTableView::viewportEvent(event);
}

}  // namespace quorly
