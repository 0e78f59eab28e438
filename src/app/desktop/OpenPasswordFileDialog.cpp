#include "app/desktop/OpenPasswordFileDialog.h"

#include "app/StartUp.h"

#include <QDir>
#include <QFileInfo>

namespace quorly {

namespace {

bool isPackage(const QString& path)
{
    return StartUp::passwordFilePath(path) && QFileInfo(path).isDir();
}

}  // namespace

OpenPasswordFileDialog::OpenPasswordFileDialog(QWidget* parent)
    : QFileDialog(parent, tr("Open Password File"), QDir::homePath())
{
    setObjectName(QStringLiteral("OpenPasswordFileDialog"));
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly, true);
    setAcceptMode(QFileDialog::AcceptOpen);
    setLabelText(QFileDialog::Accept, tr("Open"));
    // Qt's panel steps into any folder it is asked to open (double-click, Return, a
    // typed path); a password file is opened at that moment rather than shown inside.
    connect(this, &QFileDialog::directoryEntered, this, [this](const QString& folder) {
        if (isPackage(folder))
            choose(folder);
    });
}

void OpenPasswordFileDialog::accept()
{
    const QString path = selectedFiles().value(0);
    if (isPackage(path)) {
        choose(path);
        return;
    }
    // Open on another folder goes into it.
    if (QFileInfo(path).isDir() && QDir(path) != directory())
        setDirectory(path);
}

void OpenPasswordFileDialog::choose(const QString& package)
{
    if (!chosen_.isEmpty())
        return;
    chosen_ = QDir::cleanPath(QFileInfo(package).absoluteFilePath());
    QDialog::accept();
}

}  // namespace quorly
