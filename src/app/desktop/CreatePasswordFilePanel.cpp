#include "app/desktop/CreatePasswordFilePanel.h"

#include "entries/desktop/DocumentPanels.h"
#include "platform/RunLoop.h"
#include "store/NewPasswordFile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorly {

namespace {

const QString kTitle = QStringLiteral("Create Password File");
const QString kDifferentPasswords =
    QStringLiteral("You need to enter the same password twice to create a password file.  Please try again.");
const QString kNoPassword =
    QStringLiteral("You need to enter a password (twice) to create a password file.  Please try again.");

QString withPackageExtension(QString path)
{
    // The package is recognised by its extension alone; "Bank.txt" becomes
    // "Bank.txt.qly" rather than a folder nobody would open as a password file.
    if (QFileInfo(path).suffix() != QLatin1String("qly"))
        path += QStringLiteral(".qly");
    return path;
}

// A save panel that will not pick a name that is taken. Qt's own dialog would step into
// an existing package (it is a folder) and let a new one be made inside it, and the
// package is never made over something that exists, so the user chooses again here.
class CreateFileDialog : public QFileDialog {
public:
    CreateFileDialog() : QFileDialog(nullptr, kTitle, QDir::homePath()) {}

    void accept() override
    {
        const QString typed = selectedFiles().value(0);
        if (!typed.isEmpty()) {
            const QFileInfo chosen(withPackageExtension(typed));
            if (chosen.exists() || chosen.isSymLink()) {
                PromptPanel taken;
                taken.setWindowTitle(kTitle);
                taken.prompt(nullptr,
                             QStringLiteral("\u201c%1\u201d already exists. Choose another name for the new password file.")
                                 .arg(chosen.fileName()),
                             QStringLiteral("OK"));
                return;
            }
        }
        QFileDialog::accept();
    }
};

}  // namespace

QString CreatePasswordFilePanel::message()
{
    return QStringLiteral("Choose a name, location, and password to create a password file.");
}

CreatePasswordFilePanel::CreatePasswordFilePanel(QObject* parent) : QObject(parent)
{
    // Qt's own dialog rather than the desktop's: only it takes an accessory view.
    dialog_ = new CreateFileDialog;
    dialog_->setObjectName(QStringLiteral("CreatePasswordFilePanel"));
    dialog_->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog_->setAcceptMode(QFileDialog::AcceptSave);
    dialog_->setFileMode(QFileDialog::AnyFile);
    dialog_->setLabelText(QFileDialog::Accept, kTitle);
    dialog_->setNameFilter(QStringLiteral("Password files (*.qly)"));
    dialog_->setDefaultSuffix(QStringLiteral("qly"));

    framisView_ = new QWidget(dialog_);
    auto* view = new QVBoxLayout(framisView_);
    view->setContentsMargins(0, 6, 0, 0);
    auto* text = new QLabel(message(), framisView_);
    text->setWordWrap(true);
    view->addWidget(text);
    auto* form = new QFormLayout;
    framis1_ = new QLineEdit(framisView_);
    framis1_->setObjectName(QStringLiteral("framis1"));
    framis1_->setEchoMode(QLineEdit::Password);
    framis2_ = new QLineEdit(framisView_);
    framis2_->setObjectName(QStringLiteral("framis2"));
    framis2_->setEchoMode(QLineEdit::Password);
    form->addRow(tr("Password:"), framis1_);
    form->addRow(tr("Verify:"), framis2_);
    view->addLayout(form);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog_->layout()))
        grid->addWidget(framisView_, grid->rowCount(), 0, 1, grid->columnCount());
    else
        dialog_->layout()->addWidget(framisView_);

    // Name, then the password twice: Tab goes from the name straight to the passwords.
    if (auto* name = dialog_->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        QWidget::setTabOrder(name, framis1_);
        QWidget::setTabOrder(framis1_, framis2_);
    }

    alert_ = new QMessageBox(QMessageBox::Warning, QStringLiteral("Bad Password"), QStringLiteral("Bad Password"));
    alert_->setInformativeText(kDifferentPasswords);
    alert_->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);

    // Both end through the run-loop layer: the dialogs close themselves, their result
    // ends the run.
    connect(dialog_, &QDialog::finished, this, [this](int result) { RunLoop::stopModal(dialog_, result); });
    connect(alert_, &QDialog::finished, this, [this](int) { RunLoop::stopModal(alert_, RunLoop::OKCode); });
}

CreatePasswordFilePanel::~CreatePasswordFilePanel()
{
    delete alert_;
    delete dialog_;
}

std::optional<CreatePasswordFilePanel::Choice> CreatePasswordFilePanel::run()
{
    framis1_->clear();
    framis2_->clear();
    dialog_->setDirectory(QDir::homePath());
    dialog_->selectFile(QStringLiteral("Untitled"));
    std::optional<QPoint> placed;
    for (;;) {
        // After "Bad Password" the panel comes back as the user left it: where it was,
        // in the same folder, with the name and the passwords typed (the field to mend
        // has the keyboard).
        if (placed)
            dialog_->move(*placed);
        const int code = runPanel(dialog_, nullptr);
        placed = dialog_->pos();
        const QString framis = framis1_->text();
        const NewPasswordProblem problem = newPasswordProblem(framis, framis2_->text());
        if (code != RunLoop::OKCode || problem == NewPasswordProblem::None) {
            framis1_->clear();
            framis2_->clear();
        }
        if (code != RunLoop::OKCode)
            return std::nullopt;

        if (problem != NewPasswordProblem::None) {
            auto* name = dialog_->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            const QString typedName = name ? name->text() : QString();
            const QString folder = dialog_->directory().absolutePath();
            alert_->setInformativeText(problem == NewPasswordProblem::Empty ? kNoPassword : kDifferentPasswords);
            runPanel(alert_, nullptr);
            dialog_->setDirectory(folder);
            if (!typedName.isEmpty())
                dialog_->selectFile(typedName);
            QLineEdit* mend = problem == NewPasswordProblem::Empty || framis.isEmpty() ? framis1_ : framis2_;
            mend->setFocus();
            mend->selectAll();
            continue;
        }
        const QString path = dialog_->selectedFiles().value(0);
        if (path.isEmpty())
            continue;
        return Choice{QFileInfo(withPackageExtension(path)).absoluteFilePath(), framis};
    }
}

}  // namespace quorly
