#pragma once

#include "callout/desktop/MAAttachedWindow.h"
#include "generator/GeneratorSettings.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace quorly {

class DocumentWindowWidget;
class EntryCallout;

// `pwGenerateCalloutView`: the length pop-up (its items' data are the lengths), the
// special-characters switch, and the buttons that answer the callout.
class PWGenerateCalloutView : public QWidget {
    Q_OBJECT
public:
    explicit PWGenerateCalloutView(QWidget* parent = nullptr);

    void showChoices(const LengthPopUp& lengths, bool includeSpecials);
    int chosenLength() const;

    QComboBox* passwordLengthPopup = nullptr;
    QCheckBox* includeSpecialsSwitch = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* okButton = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The password generator of an entry editor: `-generatePassword:` runs a callout at the
// password field that asks for the length and the special characters, and on OK
// `-actuallyGeneratePassword` puts a new password into the field, keeping the one it
// replaces in the notes.
class PasswordGeneratorCallout : public QObject {
    Q_OBJECT
public:
    PasswordGeneratorCallout(EntryCallout* editor, DocumentWindowWidget* window);
    ~PasswordGeneratorCallout() override;

    // `-generatePassword:`, the editor's Generate button. Returns once the callout has
    // closed.
    void generatePassword();
    // `-actuallyGeneratePassword`: generates with the current entry's settings.
    void actuallyGeneratePassword();

    PWGenerateCalloutView* pwGenerateCalloutView() const { return view_; }
    MAAttachedWindow* callout() const { return callout_; }
    bool isOpen() const { return !callout_.isNull(); }

private:
    void anchors(QWidget* ourWindow, QPointF& left, QPointF& right) const;
    void answer(QPushButton* sender);

    EntryCallout* editor_;
    QPointer<DocumentWindowWidget> window_;
    PWGenerateCalloutView* view_;
    QPointer<MAAttachedWindow> callout_;
};

}  // namespace quorly
