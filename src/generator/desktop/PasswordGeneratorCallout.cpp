#include "generator/desktop/PasswordGeneratorCallout.h"

#include "app/desktop/Controller.h"
#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "entries/desktop/EntryCallout.h"
#include "generator/GeneratePassword.h"
#include "generator/PasswordNote.h"
#include "login/LoginOptions.h"
#include "platform/RunLoop.h"
#include "store/Globals.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

namespace quorly {

// ---------------------------------------------------------------------------
// The view

PWGenerateCalloutView::PWGenerateCalloutView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pwGenerateCalloutView"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);

    passwordLengthPopup = new QComboBox(this);
    passwordLengthPopup->setObjectName(QStringLiteral("passwordLengthPopup"));
    auto* lengthLabel = new QLabel(tr("Length:"), this);
    lengthLabel->setBuddy(passwordLengthPopup);
    grid->addWidget(lengthLabel, 0, 0);
    grid->addWidget(passwordLengthPopup, 0, 1, Qt::AlignLeft);

    includeSpecialsSwitch = new QCheckBox(tr("Include special characters"), this);
    includeSpecialsSwitch->setObjectName(QStringLiteral("includeSpecialsSwitch"));
    includeSpecialsSwitch->setToolTip(QString::fromLatin1(pwChars.substr(59).data(), 12));
    grid->addWidget(includeSpecialsSwitch, 1, 0, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    okButton = new QPushButton(tr("Generate"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    for (QPushButton* button : {cancelButton, okButton}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    grid->addLayout(buttons, 2, 0, 1, 2);
}

void PWGenerateCalloutView::showChoices(const LengthPopUp& lengths, bool includeSpecials)
{
    passwordLengthPopup->clear();
    for (int length : lengths.lengths)
        passwordLengthPopup->addItem(QString::number(length), length);
    passwordLengthPopup->setCurrentIndex(lengths.selected);
    includeSpecialsSwitch->setChecked(includeSpecials);
}

int PWGenerateCalloutView::chosenLength() const
{
    return passwordLengthPopup->currentData().toInt();
}

void PWGenerateCalloutView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        cancelButton->click();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        okButton->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

// ---------------------------------------------------------------------------
// The generator

PasswordGeneratorCallout::PasswordGeneratorCallout(EntryCallout* editor, DocumentWindowWidget* window)
    : QObject(editor), editor_(editor), window_(window)
{
    // Made once and lent to each callout, like the editor's own view.
    view_ = new PWGenerateCalloutView(window);
    view_->hide();
    connect(view_->okButton, &QPushButton::clicked, this, [this] { answer(view_->okButton); });
    connect(view_->cancelButton, &QPushButton::clicked, this, [this] { answer(view_->cancelButton); });
    connect(editor->pwDataCalloutView()->generateButton, &QPushButton::clicked, this,
            &PasswordGeneratorCallout::generatePassword);
}

PasswordGeneratorCallout::~PasswordGeneratorCallout()
{
    if (callout_)
        delete callout_.data();
}

void PasswordGeneratorCallout::answer(QPushButton* sender)
{
    // The application controller ends the run of the panel that holds the button; a
    // window made without the application (a test) has the same rule without it.
    const bool ok = sender == view_->okButton;
    if (gController)
        ok ? gController->OK(sender) : gController->Cancel(sender);
    else
        ok ? panelOK(sender) : panelCancel(sender);
}

void PasswordGeneratorCallout::anchors(QWidget* ourWindow, QPointF& left, QPointF& right) const
{
    // The password field and its bullet twin share one place: whichever shows.
    const PWDataCalloutView* editorView = editor_->pwDataCalloutView();
    const QLineEdit* field = editorView->passwordText->isVisible() ? editorView->passwordText
                                                                   : editorView->securePasswordText;
    // Its frame in the editor callout, with y upwards; the arrow points two points
    // above the field's vertical centre, from its left or its right end.
    const QPoint topLeft = field->mapTo(ourWindow, QPoint(0, 0));
    const qreal height = field->height();
    const qreal bottom = ourWindow->height() - (topLeft.y() + height);
    const qreal y = bottom + height * 0.5 + 2.0;
    left = QPointF(topLeft.x(), y);
    right = QPointF(topLeft.x() + field->width(), y);
}

void PasswordGeneratorCallout::generatePassword()
{
    MAAttachedWindow* ourWindow = editor_->callout();
    const EntryRef entry = editor_->editedEntry();
    if (!ourWindow || !entry || callout_)
        return;

    QPointF left, right;
    anchors(ourWindow, left, right);
    editor_->treatAsLoaded(addGeneratorDefaults(*entry));
    view_->showChoices(lengthPopUpFor(entry->integer(EntryKey::PasswordLength)),
                       entry->boolean(EntryKey::IncludeSpecials));

    view_->adjustSize();
    MAAttachedWindow::Ptr made = MAAttachedWindow::initWithViewAttachedToLeftPointAttachedToRightPointInWindowAtDistance(
        view_, left, right, ourWindow, 0.0);
    made->setBackgroundColor(QApplication::palette().color(QPalette::Window));
    made->setParent(ourWindow, made->windowFlags());  // a child window of the editor
    made->setWindowModality(Qt::WindowModal);
    callout_ = made.release();

    // The editor closing under it (its inactivity timer) takes the generator along, as
    // a cancel: the editor's run waits for this one.
    const QMetaObject::Connection editorClosing =
        connect(RunLoop::instance(), &RunLoop::modalRunAnswered, this, [this, ourWindow](const QObject* owner) {
            if (owner == ourWindow && callout_)
                RunLoop::stopModal(callout_, RunLoop::CancelCode);
        });
    const int code = RunLoop::runModal(callout_, [this] {
        if (!callout_)
            return;
        callout_->show();
        callout_->raise();
        callout_->activateWindow();
        view_->passwordLengthPopup->setFocus();
    });
    disconnect(editorClosing);

    const int length = view_->chosenLength();
    const bool includeSpecials = view_->includeSpecialsSwitch->isChecked();
    if (callout_) {
        callout_->hide();
        delete callout_.data();  // hands the view back to the window
    }
    callout_.clear();

    // Only OK generates. An aborted run is a cancel (a non-zero code is not enough: the
    // abort code is non-zero too).
    if (code != RunLoop::OKCode)
        return;
    storeGeneratorChoice(*entry, length, includeSpecials);
    actuallyGeneratePassword();
}

void PasswordGeneratorCallout::actuallyGeneratePassword()
{
    const EntryRef entry = editor_->editedEntry();  // the current entry while the editor is open
    if (!entry)
        return;
    GeneratedPassword generated = GeneratePassword(generatorLength(*entry), entry->boolean(EntryKey::IncludeSpecials));
    if (!generated.ok()) {
        if (window_)
            window_->prompt(generated.message, tr("OK"));
        return;
    }

    PWDataCalloutView* view = editor_->pwDataCalloutView();
    const std::optional<QString> note =
        passwordWasNote(view->notesText->toPlainText(), view->passwordText->text(), QDateTime::currentDateTime());
    if (note) {
        // Appended where the user's own undo history can take it back.
        QTextCursor cursor(view->notesText->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(*note);
        view->notesText->setTextCursor(cursor);
        view->notesText->ensureCursorVisible();
        editor_->saveNotes();
    }

    LoginOptions& options = editor_->loginOptions();
    options.fieldChanged(LoginOptions::Field::Password, generated.password);
    options.hideBullets();  // the new password is meant to be seen
    cleanseString(generated.password);
}

}  // namespace quorly
