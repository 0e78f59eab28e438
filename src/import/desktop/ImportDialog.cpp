#include "import/desktop/ImportDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quorly {

namespace {

constexpr int kColumnWidth = 120;

// A field with a line break would make its row tall and hide the next ones; the break
// is shown as a sign, the field itself is untouched.
QString shownInCell(QString field)
{
    field.replace(QStringLiteral("\r\n"), QStringLiteral("\u23CE"));
    field.replace(u'\n', u'\u23CE');
    field.replace(u'\r', u'\u23CE');
    return field;
}

}  // namespace

// ---------------------------------------------------------------------------
// Records

void ImportRecordsModel::setRecords(QList<ImportRecord> records)
{
    beginResetModel();
    records_ = std::move(records);
    endResetModel();
}

void ImportRecordsModel::setFirstRecordSkipped(bool skipped)
{
    firstSkipped_ = skipped;
    if (!records_.isEmpty())
        emit dataChanged(index(0, 0), index(0, kMaxImportFields - 1), {Qt::ForegroundRole});
}

int ImportRecordsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(records_.size());
}

int ImportRecordsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kMaxImportFields;
}

QVariant ImportRecordsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= records_.size())
        return {};
    const ImportRecord& record = records_.at(index.row());
    const int column = index.column();
    const QString field = column < record.fields.size() ? record.fields.at(column) : QString();
    switch (role) {
    case Qt::DisplayRole: return shownInCell(field);
    case Qt::ToolTipRole:
        if (record.wasCut(column))
            return tr("This field is longer than %1 bytes; it will be imported cut to that length.")
                .arg(kMaxImportFieldBytes);
        return field.size() > 40 || field.contains(u'\n') ? QVariant(field) : QVariant();
    case Qt::ForegroundRole:
        if (record.wasCut(column))
            return QColor(Qt::red);
        return index.row() == 0 && firstSkipped_ ? QVariant(QColor(Qt::gray)) : QVariant();
    default: return {};
    }
}

QVariant ImportRecordsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return section + 1;
    return QAbstractTableModel::headerData(section, orientation, role);
}

// ---------------------------------------------------------------------------
// The dialog

ImportDialog::ImportDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Import Password Data"));
    setObjectName(QStringLiteral("importPasswordDataDialog"));
    auto* layout = new QVBoxLayout(this);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("importPasswordDataNote"));
    note_->setWordWrap(true);
    errorMsg_ = new QLabel(this);
    errorMsg_->setObjectName(QStringLiteral("importPasswordDataErrorMsg"));
    errorMsg_->setWordWrap(true);
    errorMsg_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    errorMsg_->hide();
    layout->addWidget(note_);
    layout->addWidget(errorMsg_);

    // Comma first: nearly every export is comma-separated. The tags stay tab 0,
    // comma 1, semicolon 2.
    auto* choice = new QHBoxLayout;
    choice->addWidget(new QLabel(tr("Fields are separated by:"), this));
    separators_ = new QButtonGroup(this);
    for (const auto& [title, separator] : {std::pair{tr("Comma"), Separator::Comma},
                                           {tr("Semicolon"), Separator::Semicolon}, {tr("Tab"), Separator::Tab}}) {
        auto* button = new QRadioButton(title, this);
        separators_->addButton(button, tagForSeparator(separator));
        choice->addWidget(button);
    }
    choice->addStretch(1);
    firstLine_ = new QCheckBox(tr("The first line holds column titles: do not import it"), this);
    layout->addLayout(choice);
    layout->addWidget(firstLine_);

    headerTable_ = new QTableWidget(1, kMaxImportFields, this);
    headerTable_->setObjectName(QStringLiteral("importPasswordDataHeaderTable"));
    headerTable_->verticalHeader()->hide();
    headerTable_->horizontalHeader()->setSectionsMovable(true);
    headerTable_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    headerTable_->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    headerTable_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    headerTable_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    headerTable_->setSelectionMode(QAbstractItemView::NoSelection);
    headerTable_->setFixedHeight(headerTable_->horizontalHeader()->sizeHint().height() +
                                 headerTable_->rowHeight(0) + 2 * headerTable_->frameWidth());
    for (int column = 0; column < kMaxImportFields; ++column) {
        headerTable_->setHorizontalHeaderItem(column, new QTableWidgetItem(columns_.titleAt(column)));
        auto* item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignCenter);
        headerTable_->setItem(0, column, item);
    }
    layout->addWidget(headerTable_);

    model_ = new ImportRecordsModel(this);
    recordTable_ = new QTableView(this);
    recordTable_->setObjectName(QStringLiteral("importPasswordDataTable"));
    recordTable_->setModel(model_);
    recordTable_->horizontalHeader()->hide();
    recordTable_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    recordTable_->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    recordTable_->verticalHeader()->hide();
    recordTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Only the program selects records: the row being imported.
    recordTable_->setSelectionMode(QAbstractItemView::NoSelection);
    recordTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    recordTable_->setWordWrap(false);
    recordTable_->setMinimumSize(kColumnWidth * 5, 240);
    layout->addWidget(recordTable_, 1);
    // The titles stand over the fields they name, however far the records scroll.
    connect(recordTable_->horizontalScrollBar(), &QScrollBar::valueChanged, headerTable_->horizontalScrollBar(),
            &QScrollBar::setValue);
    headerTable_->setMinimumWidth(recordTable_->minimumWidth());

    progress_ = new QProgressBar(this);
    progress_->hide();
    layout->addWidget(progress_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancelButton_ = new QPushButton(tr("Cancel"), this);
    cancelButton_->setAutoDefault(false);
    okButton_ = new QPushButton(tr("Import"), this);
    okButton_->setDefault(true);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(okButton_);
    layout->addLayout(buttons);
    resize(kColumnWidth * 7, 520);

    connect(separators_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked && !updating_)
            emit separatorChanged();
    });
    connect(firstLine_, &QCheckBox::toggled, this, [this](bool checked) {
        model_->setFirstRecordSkipped(checked);
        if (!updating_)
            firstLineTouched_ = true;
    });
    connect(headerTable_, &QTableWidget::itemChanged, this, &ImportDialog::headerItemChanged);
    connect(headerTable_->horizontalHeader(), &QHeaderView::sectionMoved, this, &ImportDialog::headerSectionMoved);
    connect(okButton_, &QPushButton::clicked, this, &ImportDialog::importClicked);
    connect(cancelButton_, &QPushButton::clicked, this, &ImportDialog::cancelClicked);
}

void ImportDialog::resetForNewFile(const QString& note)
{
    updating_ = true;
    reporting_ = false;
    firstLineTouched_ = false;
    note_->setText(note);
    note_->show();
    errorMsg_->hide();
    okButton_->setText(tr("Import"));
    cancelButton_->show();
    progress_->hide();
    setInputEnabled(true);
    columns_.reset();
    QHeaderView* header = headerTable_->horizontalHeader();
    for (int logical = 0; logical < kMaxImportFields; ++logical)
        header->moveSection(header->visualIndex(logical), logical);
    separators_->buttons().first()->setChecked(true);
    recordTable_->clearSelection();
    updating_ = false;
    showMarks();
}

void ImportDialog::showImporting(int total)
{
    setInputEnabled(false);
    okButton_->setEnabled(false);
    cancelButton_->setEnabled(false);
    progress_->setRange(0, total);
    progress_->setValue(0);
    progress_->show();
}

void ImportDialog::showProgress(int done, int row)
{
    progress_->setValue(done);
    if (row >= 0 && row < model_->rowCount()) {
        recordTable_->selectionModel()->select(model_->index(row, 0),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        recordTable_->scrollTo(model_->index(row, 0));
    }
}

void ImportDialog::showReport(const QString& message, QList<ImportRecord> remaining)
{
    reporting_ = true;
    model_->setFirstRecordSkipped(false);
    model_->setRecords(std::move(remaining));
    recordTable_->clearSelection();
    progress_->hide();
    note_->hide();
    errorMsg_->setText(message);
    errorMsg_->show();
    okButton_->setText(tr("OK"));
    okButton_->setEnabled(true);
    cancelButton_->hide();
}

Separator ImportDialog::separator() const
{
    return separatorForTag(separators_->checkedId());
}

void ImportDialog::setSeparator(Separator separator)
{
    if (QAbstractButton* button = separators_->button(tagForSeparator(separator)))
        button->setChecked(true);
}

bool ImportDialog::skipsFirstLine() const
{
    return firstLine_->isChecked();
}

void ImportDialog::setSkipsFirstLine(bool skip)
{
    updating_ = true;
    firstLine_->setChecked(skip);
    updating_ = false;
}

void ImportDialog::moveColumn(int from, int to)
{
    headerTable_->horizontalHeader()->moveSection(from, to);
}

void ImportDialog::clickCheckBox(int position)
{
    QTableWidgetItem* item = headerTable_->item(0, headerTable_->horizontalHeader()->logicalIndex(position));
    if (item->flags() & Qt::ItemIsEnabled)
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void ImportDialog::reject()
{
    // Escape and the window's close button act as the one button that is shown.
    if (reporting_)
        emit importClicked();
    else if (cancelButton_->isEnabled())
        emit cancelClicked();
}

void ImportDialog::showMarks()
{
    // The items belong to the header table's columns, which move; the marks belong to
    // positions, which do not. So every item is set from the position it stands at.
    updating_ = true;
    QHeaderView* header = headerTable_->horizontalHeader();
    for (int position = 0; position < kMaxImportFields; ++position) {
        QTableWidgetItem* item = headerTable_->item(0, header->logicalIndex(position));
        Qt::ItemFlags flags = Qt::ItemIsUserCheckable;
        if (columns_.isCellEnabled(position))
            flags |= Qt::ItemIsEnabled;
        item->setFlags(flags);
        item->setCheckState(columns_.isMarked(position) ? Qt::Checked : Qt::Unchecked);
    }
    updating_ = false;
}

void ImportDialog::setInputEnabled(bool enabled)
{
    for (QAbstractButton* button : separators_->buttons())
        button->setEnabled(enabled);
    firstLine_->setEnabled(enabled);
    headerTable_->setEnabled(enabled);
}

void ImportDialog::headerItemChanged(QTableWidgetItem* item)
{
    if (updating_)
        return;
    columns_.setMarked(headerTable_->horizontalHeader()->visualIndex(item->column()),
                       item->checkState() == Qt::Checked);
    showMarks();
    headerTable_->clearSelection();
}

void ImportDialog::headerSectionMoved(int, int from, int to)
{
    if (updating_)
        return;
    columns_.columnDidMove(from, to);
    showMarks();
}

}  // namespace quorly
