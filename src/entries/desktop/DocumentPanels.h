#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace quorly {

// `runPanel:`: runs `panel` through the run-loop layer and returns the code its run was
// stopped with (1 OK, 0 Cancel, RunLoop::AbortCode). On a shown `window` the panel is a
// sheet (window-modal: the rest of the application keeps working); without one, or
// before the window is on screen, it is a free-standing application-modal panel. The
// panel is hidden again before this returns, so it can be reused.
int runPanel(QDialog* panel, QWidget* window);

// `OK:`: ends the editing of the field that has the keyboard focus in the sender's
// panel, so that what is being typed reaches its value, then stops that panel's run
// with 1. Only the panel whose button was pressed answers: another window's panel that
// runs at the same time keeps waiting for its own.
void panelOK(const QWidget* sender);
// `Cancel:`: stops the sender's panel's run with 0; field editing is left as it is.
void panelCancel(const QWidget* sender);

// The base of the document's small panels: a wrapped message above the panel's own
// fields, and a default button (OK:) with an optional second one (Cancel:). Closing the
// panel from the window manager or with Escape counts as the second button.
class DocumentPanel : public QDialog {
    Q_OBJECT
public:
    explicit DocumentPanel(QWidget* parent = nullptr);

    void setMessage(const QString& message);
    QString message() const;
    void setDefaultTitle(const QString& title);
    // An empty title hides the second button.
    void setOtherTitle(const QString& title);

    QLabel* messageLabel() const { return message_; }
    QPushButton* defaultButton() const { return defaultButton_; }
    QPushButton* otherButton() const { return otherButton_; }

protected:
    // Where a panel puts its own fields, between the message and the buttons.
    void addField(QWidget* field);
    void reject() override;

private:
    QLabel* message_;
    QPushButton* defaultButton_;
    QPushButton* otherButton_;
    QVBoxLayout* fields_;
};

// The message panel of `prompt:defaultChoice:otherChoice:`.
class PromptPanel : public DocumentPanel {
    Q_OBJECT
public:
    explicit PromptPanel(QWidget* parent = nullptr);

    int prompt(QWidget* window, const QString& message, const QString& defaultTitle,
               const QString& otherTitle = QString());
};

// The file-password panel: a message and one secure field, OK and Cancel.
class PasswordPanel : public DocumentPanel {
    Q_OBJECT
public:
    explicit PasswordPanel(QWidget* parent = nullptr);

    // The field is cleared before every run; nullopt on Cancel or an aborted run.
    std::optional<QString> ask(QWidget* window, const QString& message);

    QLineEdit* field() const { return field_; }

private:
    QLineEdit* field_;
};

}  // namespace quorly
