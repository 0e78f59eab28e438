#pragma once

#include "app/PreferencesPanelRules.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSlider;

namespace quorly {

class HotKeyField;

// `preferencesPanel`: every setting of the program in one application-modal panel.
// It only shows values and hands them back; the controller fills it from the store and
// saves on OK (PreferencesPanelRules keeps the mapping to the keys).
class PreferencesPanel : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesPanel(QWidget* parent = nullptr);

    void fill(const PreferencesPanelValues& values);
    PreferencesPanelValues values() const;

    // `typeSwitchChanged:`: the slider follows the switch; `fromUser` when the user
    // clicked the switch (then typing starts at the middle speed).
    void typeSwitchChanged(bool fromUser);

    HotKeyField* hotkeyUserID() const { return hotkeyUserID_; }
    QCheckBox* hotkeyUserIDCommand() const { return userIDModifiers_[0]; }
    QCheckBox* hotkeyUserIDControl() const { return userIDModifiers_[1]; }
    QCheckBox* hotkeyUserIDOption() const { return userIDModifiers_[2]; }
    QCheckBox* hotkeyUserIDShift() const { return userIDModifiers_[3]; }
    HotKeyField* hotkeyPassword() const { return hotkeyPassword_; }
    QCheckBox* hotkeyPasswordCommand() const { return passwordModifiers_[0]; }
    QCheckBox* hotkeyPasswordControl() const { return passwordModifiers_[1]; }
    QCheckBox* hotkeyPasswordOption() const { return passwordModifiers_[2]; }
    QCheckBox* hotkeyPasswordShift() const { return passwordModifiers_[3]; }
    QLineEdit* waitForPageLoadDelay() const { return waitForPageLoadDelay_; }
    QCheckBox* typeSwitch() const { return typeSwitch_; }
    QSlider* typeSpeedSlider() const { return typeSpeedSlider_; }
    QComboBox* generatedPasswordLength() const { return generatedPasswordLength_; }
    QComboBox* passwordPromptPopup() const { return passwordPromptPopup_; }
    QComboBox* clipboardClearPopup() const { return clipboardClearPopup_; }
    QCheckBox* hoverUserID() const { return hoverUserID_; }
    QCheckBox* hoverPassword() const { return hoverPassword_; }
    QCheckBox* hoverURL() const { return hoverURL_; }
    QCheckBox* hoverNotes() const { return hoverNotes_; }
    QCheckBox* confirmDeleteSwitch() const { return confirmDeleteSwitch_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

signals:
    // The buttons, with themselves as the sender.
    void okPressed(QWidget* sender);
    void cancelPressed(QWidget* sender);

protected:
    // Escape and the window's close button count as Cancel.
    void reject() override;

private:
    QWidget* hotKeyRow(HotKeyField*& field, QCheckBox* (&modifiers)[4], const QString& name);

    HotKeyField* hotkeyUserID_ = nullptr;
    QCheckBox* userIDModifiers_[4] = {};
    HotKeyField* hotkeyPassword_ = nullptr;
    QCheckBox* passwordModifiers_[4] = {};
    QLineEdit* waitForPageLoadDelay_ = nullptr;
    QCheckBox* typeSwitch_ = nullptr;
    QSlider* typeSpeedSlider_ = nullptr;
    QComboBox* generatedPasswordLength_ = nullptr;
    QComboBox* passwordPromptPopup_ = nullptr;
    QComboBox* clipboardClearPopup_ = nullptr;
    QCheckBox* hoverUserID_ = nullptr;
    QCheckBox* hoverPassword_ = nullptr;
    QCheckBox* hoverURL_ = nullptr;
    QCheckBox* hoverNotes_ = nullptr;
    QCheckBox* confirmDeleteSwitch_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

}  // namespace quorly
