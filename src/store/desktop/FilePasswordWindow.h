#pragma once

#include "entries/desktop/DocumentPanels.h"
#include "store/FilePassword.h"

#include <optional>

class QLabel;
class QLineEdit;

namespace quorly {

class DocumentWindowWidget;

// The change-password panel: the message, the current password and the new one twice.
// OK is enabled only while the two new fields hold the same, non-empty text; while it is
// not, a line under the fields says why.
class ChangePasswordPanel : public DocumentPanel {
    Q_OBJECT
public:
    explicit ChangePasswordPanel(QWidget* parent = nullptr);

    // Clears the fields and runs the panel on `window`; nullopt on Cancel or an aborted
    // run. The fields are emptied again before this returns.
    std::optional<PasswordChangeAnswer> ask(QWidget* window, const QString& message);

    QLineEdit* oldFramis() const { return oldFramis_; }
    QLineEdit* newFramis() const { return newFramis_; }
    QLineEdit* newFramis2() const { return newFramis2_; }
    QLabel* reason() const { return reason_; }

private:
    // `controlTextDidChange:`
    void controlTextDidChange();
    void clearFields();

    QLineEdit* oldFramis_;
    QLineEdit* newFramis_;
    QLineEdit* newFramis2_;
    QLabel* reason_;
    // The message without the line that says why it is asked again; shown once the
    // user starts mending the fields.
    QString plainMessage_;
};

// Gives the window's document its FilePassword: the change panel, the menu commands
// "toggleSavePWInKeychain:" and "changePassword:", and the window's activation as
// becoming and resigning main. Done once, when the window is made.
FilePassword* attachFilePassword(DocumentWindowWidget* window);

}  // namespace quorly
