#include "store/FilePassword.h"

#include "app/Preferences.h"
#include "login/WebsitePasswordManager.h"
#include "platform/Keychain.h"
#include "platform/RunLoop.h"
#include "store/DocumentMessages.h"
#include "store/DocumentWindow.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "store/PasswordChange.h"

#include <algorithm>
#include <limits>

namespace quorly {

namespace {

const QString kOK = QStringLiteral("OK");
const QString& kEnterPassword = DocumentMessages::EnterPassword;
const QString& kPasswordIncorrect = DocumentMessages::PasswordIncorrect;
const QString kKeepInKeychain = QStringLiteral(
    "Choosing this option means that you will not have to enter your file password each time you open the "
    "file, but you must enter it now to enable the option:");
const QString kChangeMessage = QStringLiteral(
    "To change the password for this file you need to enter the current and the new one twice. By clicking OK, "
    "you acknowledge that you have been hereby warned that if you forget your password it is IMPOSSIBLE to "
    "recover your password data. ");
const QString kCurrentIncorrect = QStringLiteral("CURRENT PASSWORD INCORRECT.");
const QString kNotChanged = QStringLiteral("Password NOT changed.");
const QString kChanged = QStringLiteral("Password changed.");
const QString kNoKeychain = QStringLiteral(
    "No keychain is available on this desktop, so the file password cannot be saved. Quorly keeps file "
    "passwords in a Secret Service keyring such as GNOME Keyring, KWallet or KeePassXC.");

// Said once per run: after that the menu item simply does nothing.
bool gToldNoKeychain = false;

}  // namespace

FilePassword::FilePassword(MyDocument* document)
    : QObject(document), document_(document), passwordTimer_(new DefaultModeTimer(this)),
      calloutTimer_(new ModalPanelModeTimer(this))
{
    setObjectName(QStringLiteral("FilePassword"));
    passwordTimer_->setCallback([this] { setPromptForPassword(); });
    calloutTimer_->setCallback([this] { removeCallout(); });
    connect(document, &MyDocument::closed, this, [this] {
        stopTimers();
        recheckWaiting_ = false;
    });
    // A question never goes on top of another panel (the same password panel may be the
    // one running); it follows once the running panel has ended, if the window is still
    // main then. Queued, so the code that ran that panel finishes first.
    connect(RunLoop::instance(), &RunLoop::defaultModeResumed, this, [this] {
        if (recheckWaiting_)
            QMetaObject::invokeMethod(this, [this] {
                if (recheckWaiting_ && main_ && !RunLoop::inModalRun()) {
                    recheckWaiting_ = false;
                    windowDidBecomeMain();
                }
            }, Qt::QueuedConnection);
    });
}

FilePassword::~FilePassword() = default;

FilePassword* FilePassword::of(const MyDocument* document)
{
    return document ? document->findChild<FilePassword*>(QStringLiteral("FilePassword"), Qt::FindDirectChildrenOnly)
                    : nullptr;
}

int FilePassword::msecFor(qint64 seconds) const
{
    const qint64 msec = seconds * qint64(secondLength_.count());
    return int(std::clamp<qint64>(msec, 0, std::numeric_limits<int>::max()));
}

void FilePassword::stopTimers()
{
    passwordTimer_->stop();
    calloutTimer_->stop();
}

// ---------------------------------------------------------------------------
// Panels

std::optional<QString> FilePassword::getFilePasswordFromUserWithPrompt(const QString& message)
{
    DocumentWindow* window = document_ ? document_->window() : nullptr;
    if (!window)
        return std::nullopt;
    return window->askFilePassword(message);
}

bool FilePassword::recheckPassword()
{
    QString message = kEnterPassword;
    for (;;) {
        std::optional<QString> typed = getFilePasswordFromUserWithPrompt(message);
        if (!document_ || !document_->isOpen())
            return false;
        if (!typed) {
            document_->close();
            return false;
        }
        const bool right = typed == document_->fileFramis();
        cleanseString(*typed);
        if (right) {
            // Proved just now: a re-prompt that fell due while this question was up has
            // been answered with it.
            promptForPassword_ = false;
            recheckWaiting_ = false;
            return true;
        }
        message = kPasswordIncorrect;
    }
}

// ---------------------------------------------------------------------------
// Keychain

void FilePassword::toggleSavePWInKeychain()
{
    if (!document_ || !document_->isOpen() || !document_->fileFramis())
        return;
    // Only this file's own item is ever changed: a file of the same name elsewhere keeps
    // its own.
    const KeychainItemKey item = keychainItemForPackage(document_->fileName());
    Keychain& store = keychain();

    if (document_->passwordInKeychain()) {
        if (store.deleteItem(item))
            document_->setPasswordInKeychain(false);
        return;
    }

    if (!store.isAvailable()) {
        // Asking for the password first would only lead to an add that cannot succeed.
        if (!gToldNoKeychain && document_->window()) {
            gToldNoKeychain = true;
            document_->window()->prompt(kNoKeychain, kOK);
        }
        return;
    }

    QString typed;
    QString message = kKeepInKeychain;
    while (document_ && document_->fileFramis() && typed != *document_->fileFramis()) {
        cleanseString(typed);
        std::optional<QString> answer = getFilePasswordFromUserWithPrompt(message);
        if (!answer)
            return;
        typed = *answer;
        cleanseString(*answer);
        message = kPasswordIncorrect;
    }
    cleanseString(typed);
    if (!document_ || !document_->isOpen() || !document_->fileFramis())
        return;
    if (store.addGenericPassword(item, *document_->fileFramis()))
        document_->setPasswordInKeychain(true);
}

// ---------------------------------------------------------------------------
// Change

void FilePassword::changePassword()
{
    if (!document_ || !document_->isOpen() || !document_->fileFramis() || !changePanel_)
        return;
    DocumentWindow* window = document_->window();
    const auto tell = [&](const QString& text) {
        if (window)
            window->prompt(text, kOK);
    };

    QString message = kChangeMessage;
    std::optional<PasswordChangeAnswer> answer;
    for (;;) {
        answer = changePanel_(message);
        if (!document_ || !document_->isOpen())
            return;
        if (!answer) {
            tell(kNotChanged);
            return;
        }
        if (answer->oldFramis == *document_->fileFramis())
            break;
        cleanseString(answer->oldFramis);
        cleanseString(answer->newFramis);
        message = kCurrentIncorrect + QLatin1Char('\r') + kChangeMessage;
    }
    const QString oldFramis = *document_->fileFramis();
    QString newFramis = answer->newFramis;
    cleanseString(answer->oldFramis);
    cleanseString(answer->newFramis);

    // Whatever another program stored meanwhile is taken in first, so that the files
    // re-encrypted below and the list shown are the same.
    document_->readPasswordFileDataIfChanged();
    if (!document_->isOpen()) {
        cleanseString(newFramis);
        return;
    }

    // The re-encryption proves both new files beside the stored ones before it replaces
    // either, and replaces the data file last. Saving the list and then the titles under
    // the new password in place would leave, after a failure or a crash between them, a
    // data file under a password held nowhere (the keychain item replaced too) or a
    // titles file under the old one; and "Password changed." would follow a failed save.
    // Here a failure changes nothing: the file password, the files and the keychain item
    // stay as they were, and the user is told why.
    QString error;
    if (!changeFilePassword(document_->fileName(), oldFramis, newFramis, &error)) {
        cleanseString(newFramis);
        tell(error.isEmpty() ? kNotChanged : error);
        return;
    }
    document_->setFileFramis(newFramis);
    // The document's own saves under the new password, as after every change: they record
    // what the package now holds, so the change check does not take the re-encrypted
    // files for a change made by another program.
    document_->KTTableViewArrayChanged();
    document_->saveRecentWebsites();

    if (document_->passwordInKeychain()) {
        const KeychainItemKey item = keychainItemForPackage(document_->fileName());
        keychain().deleteItem(item);
        // An item that cannot be added leaves no item holding the password: the check
        // mark goes off rather than claim a stored password that is not there.
        document_->setPasswordInKeychain(keychain().addGenericPassword(item, newFramis));
    }
    cleanseString(newFramis);
    tell(kChanged);
}

// ---------------------------------------------------------------------------
// Asking again

void FilePassword::setPromptForPassword()
{
    passwordTimer_->stop();
    promptForPassword_ = true;
    // Another document's window may have become main since this one was left; the
    // reference is then that document's, and stays.
    if (gWebsiteDocument == document_)
        gWebsiteDocument = nullptr;
}

void FilePassword::windowDidResignMain()
{
    main_ = false;
    recheckWaiting_ = false;
    // Before the open has proved a password there is nothing to ask again for: the open
    // asks itself.
    if (!document_ || !document_->isOpen())
        return;
    promptForPasswordOption_ = int(std::clamp<qint64>(Preferences::integer(PrefKey::PasswordPrompt), -1, 1000000));
    if (promptForPasswordOption_ <= 0)
        return;
    if (callout_ && callout_())
        calloutTimer_->start(msecFor(30), false);
    if (promptForPasswordOption_ == 1)
        setPromptForPassword();
    else
        passwordTimer_->start(msecFor(qint64(promptForPasswordOption_) * 60 - 60), false);
}

void FilePassword::windowDidBecomeMain()
{
    main_ = true;
    stopTimers();
    if (!document_ || document_->state() == MyDocument::State::Closed)
        return;
    if (promptForPassword_) {
        if (RunLoop::inModalRun()) {
            recheckWaiting_ = true;
            return;
        }
        promptForPassword_ = false;
        if (!recheckPassword())
            return;
    }
    becomeCurrent();
}

void FilePassword::becomeCurrent()
{
    gWebsiteDocument = document_;
    gWPM = document_->wpm();
    document_->wpm()->resetRecentWebsitesMenu(gRecentWebsitesMenu);
    if (becameCurrent_)
        becameCurrent_();
}

void FilePassword::removeCallout()
{
    calloutTimer_->stop();
    if (const QObject* callout = callout_ ? callout_() : nullptr)
        RunLoop::abortModal(callout);
}

}  // namespace quorly
