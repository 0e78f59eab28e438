#include "import/desktop/ImportPasswordData.h"

#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "import/ImportPlan.h"
#include "import/desktop/ImportDialog.h"
#include "platform/RunLoop.h"
#include "store/MyDocument.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>
#include <QTableView>

namespace quorly {

namespace {

const QString kNote = QStringLiteral(
    "Choose how the fields are separated, then drag the titles above the table so that each stands over the "
    "field it names. Ticked columns are imported. The \u201cName\u201d column names the entries; when it is not "
    "ticked, each entry is named after its website, or else its first user ID.");
const QString kLatin1Note = QStringLiteral(
    " This file is not UTF-8 text: its characters were read as Latin-1 (ISO 8859-1); check the non-ASCII ones.");

// The types the open panel offers: "txt", "csv", "ssv" and files without an extension.
class ImportFileFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files)
            return true;
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        if (info.isDir())
            return true;
        const QString suffix = info.suffix().toLower();
        return suffix.isEmpty() || suffix == QLatin1String("txt") || suffix == QLatin1String("csv") ||
               suffix == QLatin1String("ssv");
    }
};

}  // namespace

ImportPasswordData::ImportPasswordData(DocumentWindowWidget* window)
    : QObject(window), window_(window), dialog_(new ImportDialog(window)), chooseFile_(&ImportPasswordData::runOpenPanel)
{
    connect(dialog_, &ImportDialog::separatorChanged, this, &ImportPasswordData::parse);
    connect(dialog_, &ImportDialog::importClicked, this, &ImportPasswordData::importPasswordData);
    connect(dialog_, &ImportDialog::cancelClicked, this, [this] { RunLoop::stopModal(dialog_, RunLoop::CancelCode); });
}

std::optional<QString> ImportPasswordData::runOpenPanel(QWidget* window)
{
    QFileDialog panel(window, QObject::tr("Import Password Data"), QDir::homePath());
    panel.setOption(QFileDialog::DontUseNativeDialog, true);
    panel.setFileMode(QFileDialog::ExistingFile);
    panel.setAcceptMode(QFileDialog::AcceptOpen);
    panel.setLabelText(QFileDialog::Accept, QObject::tr("Choose"));
    panel.setProxyModel(new ImportFileFilter(&panel));
    QObject::connect(&panel, &QDialog::finished, &panel, [&panel](int result) { RunLoop::stopModal(&panel, result); });
    if (runPanel(&panel, window) != RunLoop::OKCode || panel.selectedFiles().isEmpty())
        return std::nullopt;
    return panel.selectedFiles().first();
}

void ImportPasswordData::importPasswordDataBegin()
{
    if (!window_)
        return;
    if (QWidget* focus = window_->focusWidget())
        focus->clearFocus();
    if (const std::optional<QString> path = chooseFile_(window_))
        importFile(*path);
}

void ImportPasswordData::importFile(const QString& path)
{
    if (!window_ || !window_->document())
        return;
    QString error;
    fileContents_ = readImportFile(path, &error);
    if (!fileContents_) {
        window_->prompt(error + QStringLiteral(" Nothing was imported."), QStringLiteral("OK"));
        return;
    }
    dialog_->resetForNewFile(fileContents_->encoding == ImportEncoding::Latin1 ? kNote + kLatin1Note : kNote);
    dialog_->setWindowTitle(tr("Import \u201c%1\u201d").arg(QFileInfo(path).fileName()));
    parse();
    runPanel(dialog_, window_);
    // The text held every password of the file: it goes with the dialog.
    fileContents_.reset();
    dialog_->records()->setRecords({});
}

void ImportPasswordData::parse()
{
    if (!fileContents_)
        return;
    QList<ImportRecord> records = parseDelimitedText(fileContents_->text, dialog_->separator());
    if (!dialog_->firstLineTouched())
        dialog_->setSkipsFirstLine(!records.isEmpty() && looksLikeColumnTitles(records.first()));
    dialog_->records()->setRecords(std::move(records));
}

void ImportPasswordData::importPasswordData()
{
    if (dialog_->isReporting() || !window_ || !window_->document()) {
        RunLoop::stopModal(dialog_, RunLoop::OKCode);
        return;
    }
    QPointer<MyDocument> document = window_->document();
    QList<ImportRecord> records = dialog_->records()->records();
    const int skipped = dialog_->skipsFirstLine() && !records.isEmpty() ? 1 : 0;
    records.remove(0, skipped);
    const ImportPlan plan = ImportPlan::fromColumns(dialog_->columns());

    // The loop runs inside the dialog's modal run, so no load or change check comes in
    // between; the dialog is redrawn now and then so the user sees it advance.
    dialog_->showImporting(int(records.size()));
    QElapsedTimer sinceDrawn;
    sinceDrawn.start();
    const ImportOutcome outcome =
        importRecords(document->passwordArray(), records, plan, [&](int done, int total) {
            if (sinceDrawn.elapsed() < 50 && done < total)
                return;
            dialog_->showProgress(done, done - 1 + skipped);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            sinceDrawn.restart();
        });

    // One save for the whole import; a failed save is reported by the document.
    if (document && outcome.imported > 0) {
        document->KTTableViewArrayChanged();
        if (window_)
            window_->reloadList();
    }
    const QString report = importReport(outcome);
    if (report.isEmpty()) {
        RunLoop::stopModal(dialog_, RunLoop::OKCode);
        return;
    }
    QList<ImportRecord> remaining;
    for (const SkippedRecord& skip : outcome.notImported)
        remaining << skip.record;
    dialog_->showReport(report, std::move(remaining));
}

ImportPasswordData* attachImport(DocumentWindowWidget* window)
{
    auto* import = new ImportPasswordData(window);
    import->setObjectName(QStringLiteral("importPasswordData"));
    const QPointer<ImportPasswordData> keeper(import);
    window->setCommand(QStringLiteral("importPasswordDataBegin:"), [keeper] {
        if (keeper)
            keeper->importPasswordDataBegin();
    });
    return import;
}

}  // namespace quorly
