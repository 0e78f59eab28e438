#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace quorly {

class DefaultModeTimer;
class ModalPanelModeTimer;
class MyDocument;

// What the change-password panel was answered with.
struct PasswordChangeAnswer {
    QString oldFramis;
    QString newFramis;
};

// The file password of an open document once the open has proved it: keeping it in the
// keychain, changing it, and asking for it again after the document's window was left
// (the preference "passwordPrompt"). The password at open is the document's own step;
// this keeps everything that follows it. One per document, its child.
//
// The window reports becoming and resigning main; everything else is asked through the
// document's DocumentWindow and the change panel given here.
class FilePassword : public QObject {
    Q_OBJECT
public:
    // The change-password panel: runs with `message`, nullopt on Cancel.
    using ChangePanelFn = std::function<std::optional<PasswordChangeAnswer>(const QString& message)>;

    explicit FilePassword(MyDocument* document);
    ~FilePassword() override;

    // The one of `document`, if it has one.
    static FilePassword* of(const MyDocument* document);

    MyDocument* document() const { return document_; }

    void setChangePanel(ChangePanelFn panel) { changePanel_ = std::move(panel); }
    // The entry callout open on the window, if any: the owner of its modal run (the
    // editor tells once it exists).
    void setCallout(std::function<const QObject*()> callout) { callout_ = std::move(callout); }
    // Called when the document has become the current one: the window refreshes the
    // controls that follow the selection.
    void setBecameCurrent(std::function<void()> refresh) { becameCurrent_ = std::move(refresh); }
    // The length of a second for the re-prompt and callout timers; tests shorten it.
    void setSecondLength(std::chrono::milliseconds length) { secondLength_ = length; }

    // The password panel; nullopt when cancelled.
    std::optional<QString> getFilePasswordFromUserWithPrompt(const QString& message);
    // Asks until the typed text is the file password. On cancel the window closes and
    // this answers false.
    bool recheckPassword();
    // "Save File Password In Keychain": stores or forgets the password depending on the
    // menu item's check mark, which shows passwordInKeychain.
    void toggleSavePWInKeychain();
    // "Change Password…".
    void changePassword();

    // The re-prompt is due: the login automation leaves this document alone until its
    // window becomes main again.
    void setPromptForPassword();
    void windowDidResignMain();
    void windowDidBecomeMain();
    // The callout timer ran out: the callout's modal run is aborted (not whatever panel
    // of another window runs at that moment).
    void removeCallout();

    int promptForPasswordOption() const { return promptForPasswordOption_; }
    bool promptForPassword() const { return promptForPassword_; }
    bool isMain() const { return main_; }
    DefaultModeTimer* passwordTimer() const { return passwordTimer_; }
    ModalPanelModeTimer* calloutTimer() const { return calloutTimer_; }

private:
    int msecFor(qint64 seconds) const;
    void becomeCurrent();
    void stopTimers();

    QPointer<MyDocument> document_;
    ChangePanelFn changePanel_;
    std::function<const QObject*()> callout_;
    std::function<void()> becameCurrent_;
    std::chrono::milliseconds secondLength_{1000};

    int promptForPasswordOption_ = 0;
    bool promptForPassword_ = false;
    bool main_ = false;
    // The window became main while another panel was running: the question waits for it.
    bool recheckWaiting_ = false;
    DefaultModeTimer* passwordTimer_;
    ModalPanelModeTimer* calloutTimer_;
};

}  // namespace quorly
