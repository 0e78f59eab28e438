#pragma once

#include "import/ImportColumns.h"

#include <QAbstractTableModel>
#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class QTableWidget;
class QTableWidgetItem;

namespace quorly {

// The record table's rows: the parsed records, column i showing field i.
class ImportRecordsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setRecords(QList<ImportRecord> records);
    const QList<ImportRecord>& records() const { return records_; }
    // The first record is shown greyed while it is to be left out (a line of titles).
    void setFirstRecordSkipped(bool skipped);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<ImportRecord> records_;
    bool firstSkipped_ = false;
};

// The import dialog: the note or the error message, the separator radio buttons, the
// header table of 9 reorderable column titles with a row of check boxes (the marks stay
// with positions), the record table, and "Import" / Cancel. It only shows and asks;
// ImportPasswordData drives it.
class ImportDialog : public QDialog {
    Q_OBJECT
public:
    explicit ImportDialog(QWidget* parent = nullptr);

    // The choosing state for a newly chosen file: note shown, "Import" and Cancel, the
    // columns in their first order with only "Name" ticked, the first separator chosen.
    void resetForNewFile(const QString& note);
    // The importing state: no input, the progress bar instead.
    void showImporting(int total);
    void showProgress(int done, int row);
    // The reporting state: the message, the records not imported, only "OK".
    void showReport(const QString& message, QList<ImportRecord> remaining);

    Separator separator() const;
    void setSeparator(Separator separator);
    bool skipsFirstLine() const;
    void setSkipsFirstLine(bool skip);
    bool firstLineTouched() const { return firstLineTouched_; }
    bool isReporting() const { return reporting_; }

    const ImportColumns& columns() const { return columns_; }
    ImportRecordsModel* records() const { return model_; }

    // The header table's column now at position `from` is dragged to `to`.
    void moveColumn(int from, int to);
    // A click on the check box at `position`.
    void clickCheckBox(int position);

    QLabel* note() const { return note_; }
    QLabel* errorMessage() const { return errorMsg_; }
    QTableWidget* headerTable() const { return headerTable_; }
    QTableView* recordTable() const { return recordTable_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QCheckBox* firstLineBox() const { return firstLine_; }
    QProgressBar* progressBar() const { return progress_; }

signals:
    // `importPasswordDataRadioButtonsChanged:`.
    void separatorChanged();
    // The two buttons: `importPasswordData:` and `importPasswordDataCancel:`.
    void importClicked();
    void cancelClicked();

protected:
    void reject() override;

private:
    void showMarks();
    void setInputEnabled(bool enabled);
    void headerItemChanged(QTableWidgetItem* item);
    void headerSectionMoved(int logical, int from, int to);

    ImportColumns columns_;
    ImportRecordsModel* model_;
    QLabel* note_;
    QLabel* errorMsg_;
    QButtonGroup* separators_;
    QCheckBox* firstLine_;
    QTableWidget* headerTable_;
    QTableView* recordTable_;
    QProgressBar* progress_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    bool reporting_ = false;
    bool firstLineTouched_ = false;
    bool updating_ = false;
};

}  // namespace quorly
