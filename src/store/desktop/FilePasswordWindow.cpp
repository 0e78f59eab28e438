#include "store/desktop/FilePasswordWindow.h"

#include "entries/desktop/DocumentWindowWidget.h"
#include "platform/RunLoop.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "store/NewPasswordFile.h"

#include <QApplication>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

namespace quorly {

namespace {

QLineEdit* secureField(QWidget* parent, const char* name)
{
    auto* field = new QLineEdit(parent);
    field->setEchoMode(QLineEdit::Password);
    field->setObjectName(QString::fromLatin1(name));
    return field;
}

// Qt reports activation per top-level window, and a panel or callout of the window is
// one: it takes the activation while the window stays the one the user works in, as a
// sheet leaves its window main. A panel of the application's that belongs to no window
// (About, Open…) changes nothing either, as a panel on the Mac never becomes main. And on
// the way from one window to another the activation often rests on no window at all for
// a moment. So the window resigns main only when, once the activation has settled, it is
// on another main window or on no window of ours (another program), and it becomes main
// only after it had resigned.
class MainWindowWatcher : public QObject {
public:
    MainWindowWatcher(DocumentWindowWidget* window, FilePassword* password)
        : QObject(window), window_(window), password_(password)
    {
        settle_.setSingleShot(true);
        settle_.setInterval(kSettleMsec);
        connect(&settle_, &QTimer::timeout, this, [this] { settle(true); });
        connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] { settle_.start(); });
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != window_)
            return false;
        if (event->type() == QEvent::WindowActivate) {
            // Unambiguous: taken at once, though not from inside the activation itself,
            // as becoming main may ask for the password.
            QMetaObject::invokeMethod(this, [this] { settle(false); }, Qt::QueuedConnection);
        } else if (event->type() == QEvent::WindowDeactivate) {
            settle_.start();
        }
        return false;
    }

private:
    static constexpr int kSettleMsec = 150;

    enum class Active { Mine, Elsewhere, Neutral };

    Active activeWindowPlace() const
    {
        QWidget* active = QApplication::activeWindow();
        if (!active)
            return Active::Elsewhere;
        for (QWidget* w = active; w; w = w->parentWidget()) {
            if (w == window_)
                return Active::Mine;
            if (qobject_cast<QMainWindow*>(w))
                return Active::Elsewhere;
        }
        return Active::Neutral;
    }

    void settle(bool mayResign)
    {
        if (!password_ || !window_)
            return;
        const Active place = activeWindowPlace();
        // Back before it had resigned (the user went to another file's window and
        // returned within the settling time): that window made its file current, and
        // this one must take over again, or the hot keys and the recent-websites menu
        // would act on a file in the background.
        const bool current = gWebsiteDocument == password_->document();
        if (place == Active::Mine && (!password_->isMain() || !current))
            password_->windowDidBecomeMain();
        else if (mayResign && place == Active::Elsewhere && password_->isMain())
            password_->windowDidResignMain();
    }

    QPointer<DocumentWindowWidget> window_;
    QPointer<FilePassword> password_;
    QTimer settle_;
};

}  // namespace

ChangePasswordPanel::ChangePasswordPanel(QWidget* parent) : DocumentPanel(parent)
{
    setWindowTitle(QStringLiteral("Quorly"));
    auto* fields = new QWidget(this);
    auto* form = new QFormLayout(fields);
    form->setContentsMargins(0, 0, 0, 0);
    oldFramis_ = secureField(fields, "oldFramis");
    newFramis_ = secureField(fields, "newFramis");
    newFramis2_ = secureField(fields, "newFramis2");
    form->addRow(tr("Current password:"), oldFramis_);
    form->addRow(tr("New password:"), newFramis_);
    form->addRow(tr("New password again:"), newFramis2_);
    addField(fields);
    reason_ = new QLabel(this);
    reason_->setObjectName(QStringLiteral("reason"));
    reason_->setWordWrap(true);
    // Its line stays reserved, so the panel does not jump as it comes and goes.
    QSizePolicy keep = reason_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    reason_->setSizePolicy(keep);
    addField(reason_);
    setDefaultTitle(tr("OK"));
    setOtherTitle(tr("Cancel"));
    defaultButton()->setObjectName(QStringLiteral("framis2OKButton"));
    for (QLineEdit* field : {oldFramis_, newFramis_, newFramis2_})
        connect(field, &QLineEdit::textEdited, this, [this] {
            // "CURRENT PASSWORD INCORRECT." speaks of what was typed before, not of
            // what is being typed now.
            if (message() != plainMessage_)
                setMessage(plainMessage_);
        });
    connect(newFramis_, &QLineEdit::textChanged, this, &ChangePasswordPanel::controlTextDidChange);
    connect(newFramis2_, &QLineEdit::textChanged, this, &ChangePasswordPanel::controlTextDidChange);
}

void ChangePasswordPanel::controlTextDidChange()
{
    // Two empty fields are equal too, but the cipher refuses to decrypt with an empty
    // password: a file re-encrypted under one could never be opened again.
    const NewPasswordProblem problem = newPasswordProblem(newFramis_->text(), newFramis2_->text());
    defaultButton()->setEnabled(problem == NewPasswordProblem::None);
    reason_->setText(problem == NewPasswordProblem::Empty
                         ? tr("Type the new password in both fields.")
                         : tr("The two new passwords are not the same."));
    reason_->setVisible(problem != NewPasswordProblem::None);
}

void ChangePasswordPanel::clearFields()
{
    for (QLineEdit* field : {oldFramis_, newFramis_, newFramis2_})
        field->clear();
}

std::optional<PasswordChangeAnswer> ChangePasswordPanel::ask(QWidget* window, const QString& message)
{
    // The carriage return after "CURRENT PASSWORD INCORRECT." is a line break on screen.
    setMessage(QString(message).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    plainMessage_ = message.mid(message.indexOf(QLatin1Char('\r')) + 1);
    clearFields();
    controlTextDidChange();
    oldFramis_->setFocus();
    const int code = runPanel(this, window);
    std::optional<PasswordChangeAnswer> answer;
    if (code == RunLoop::OKCode)
        answer = PasswordChangeAnswer{oldFramis_->text(), newFramis_->text()};
    clearFields();
    return answer;
}

FilePassword* attachFilePassword(DocumentWindowWidget* window)
{
    MyDocument* document = window->document();
    if (!document)
        return nullptr;
    if (FilePassword* existing = FilePassword::of(document))
        return existing;
    auto* password = new FilePassword(document);
    auto* panel = new ChangePasswordPanel(window);
    panel->setObjectName(QStringLiteral("framisPanelChange"));
    const QPointer<DocumentWindowWidget> guarded(window);
    password->setChangePanel([guarded, panel](const QString& message) -> std::optional<PasswordChangeAnswer> {
        if (!guarded)
            return std::nullopt;
        return panel->ask(guarded, message);
    });
    password->setBecameCurrent([guarded] {
        if (guarded)
            guarded->selectionDidChange();
    });
    const QPointer<FilePassword> keeper(password);
    window->setCommand(QStringLiteral("toggleSavePWInKeychain:"), [keeper] {
        if (keeper)
            keeper->toggleSavePWInKeychain();
    });
    window->setCommand(QStringLiteral("changePassword:"), [keeper] {
        if (keeper)
            keeper->changePassword();
    });
    new MainWindowWatcher(window, password);
    return password;
}

}  // namespace quorly
