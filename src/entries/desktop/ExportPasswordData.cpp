#include "entries/desktop/ExportPasswordData.h"

#include "entries/ExportText.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "platform/RunLoop.h"
#include "store/MyDocument.h"
#include "store/PlaintextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace quorly {

ExportStatusPanel::ExportStatusPanel(QWidget* parent) : DocumentPanel(parent)
{
    setWindowTitle(tr("Export Password Data"));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("exportProgressIndicator"));
    addField(progress_);
    setDefaultTitle(tr("OK"));
    setOtherTitle(QString());
}

ExportPasswordData::ExportPasswordData(DocumentWindowWidget* window)
    : QObject(window), window_(window), status_(new ExportStatusPanel(window)),
      choosePath_(&ExportPasswordData::runSavePanel)
{
    status_->setObjectName(QStringLiteral("exportStatusPanel"));
}

std::optional<QString> ExportPasswordData::runSavePanel(QWidget* window)
{
    QFileDialog panel(window, QObject::tr("Export Password Data"), QDir::homePath());
    panel.setOption(QFileDialog::DontUseNativeDialog, true);
    panel.setAcceptMode(QFileDialog::AcceptSave);
    panel.setFileMode(QFileDialog::AnyFile);
    panel.setNameFilter(QObject::tr("Text files (*.txt)"));
    panel.setDefaultSuffix(QStringLiteral("txt"));
    panel.setLabelText(QFileDialog::Accept, QObject::tr("Export Password Data"));
    panel.setLabelText(QFileDialog::FileName,
                       QObject::tr("Choose a name, location to export selected password data as a .csv file."));
    panel.selectFile(QStringLiteral("Untitled"));
    panel.setToolTip(QObject::tr("The exported file holds the passwords in plain text, readable by you only. "
                                 "Delete it once you no longer need it."));
    QObject::connect(&panel, &QDialog::finished, &panel, [&panel](int result) { RunLoop::stopModal(&panel, result); });
    if (runPanel(&panel, window) != RunLoop::OKCode || panel.selectedFiles().isEmpty())
        return std::nullopt;
    return panel.selectedFiles().first();
}

void ExportPasswordData::exportPasswordData()
{
    if (!window_ || window_->selectedRows().isEmpty())
        return;
    if (const std::optional<QString> path = choosePath_(window_))
        exportTo(*path);
}

bool ExportPasswordData::exportTo(const QString& path)
{
    if (!window_ || !window_->document())
        return false;
    const EntryList& list = window_->document()->passwordArray();
    const QList<int> rows = window_->selectedRows();

    status_->defaultButton()->setEnabled(false);
    status_->setMessage(tr("Exporting %n entries\u2026", nullptr, int(rows.size())));
    status_->exportProgressIndicator()->setRange(0, int(rows.size()));
    status_->exportProgressIndicator()->setValue(0);
    status_->exportProgressIndicator()->show();
    status_->setWindowModality(Qt::WindowModal);
    status_->show();

    // Building the text takes a moment only for many thousands of entries; the bar
    // advances per entry and is redrawn now and then.
    QByteArray text;
    for (int i = 0; i < rows.size(); ++i) {
        text.append(exportText(list, {rows.at(i)}));
        status_->exportProgressIndicator()->setValue(i + 1);
        if ((i & 255) == 255)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    QString error;
    const bool written = writeExportFile(path, text, &error);
    cleanseBytes(text);

    const QString name = QFileInfo(path).fileName();
    status_->setMessage(written ? tr("%n entries were exported to \u201c%1\u201d. The file holds their passwords in "
                                     "plain text and only you can read it; delete it once you no longer need it.",
                                     nullptr, int(rows.size()))
                                      .arg(name)
                                : tr("The export could not be written to \u201c%1\u201d: %2. No file was changed.")
                                      .arg(name, error));
    status_->exportProgressIndicator()->hide();
    status_->defaultButton()->setEnabled(true);
    runPanel(status_, window_);
    return written;
}

ExportPasswordData* attachExport(DocumentWindowWidget* window)
{
    auto* exporter = new ExportPasswordData(window);
    exporter->setObjectName(QStringLiteral("exportPasswordData"));
    const QPointer<ExportPasswordData> keeper(exporter);
    window->setCommand(QStringLiteral("exportPasswordData:"), [keeper] {
        if (keeper)
            keeper->exportPasswordData();
    });
    return exporter;
}

}  // namespace quorly
