#pragma once

#include "callout/desktop/MAAttachedWindow.h"
#include "entries/Entry.h"
#include "login/LoginOptions.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quorly {

class DocumentWindowWidget;
class EntryList;
class KTTableViewArray;
class PasswordGeneratorCallout;

// `pwDataCalloutView`: the content of the entry editor callout. It only shows what it is
// given and reports what the user does; the editor and the login options keep the rules.
class PWDataCalloutView : public QWidget {
    Q_OBJECT
public:
    explicit PWDataCalloutView(QWidget* parent = nullptr);

    // Mirrors the login-option controls, the URL, user-ID and password fields included.
    void showControls(const LoginOptionControls& controls);

    QLineEdit* nameText = nullptr;
    QLabel* nameExistsWarning = nullptr;
    QLineEdit* urlText = nullptr;
    QLineEdit* userID1Text = nullptr;
    QLineEdit* secureUserID1Text = nullptr;
    QLineEdit* userID2Text = nullptr;
    QLineEdit* secureUserID2Text = nullptr;
    QLineEdit* passwordText = nullptr;
    QLineEdit* securePasswordText = nullptr;
    QPushButton* generateButton = nullptr;
    QPushButton* showHideButton = nullptr;
    QComboBox* userIDOptions = nullptr;
    QCheckBox* userIDTabSwitch = nullptr;
    QComboBox* userIDTabs = nullptr;
    QCheckBox* userIDReturnSwitch = nullptr;
    QComboBox* passwordOptions = nullptr;
    QCheckBox* passwordTabSwitch = nullptr;
    QComboBox* passwordTabs = nullptr;
    QCheckBox* passwordReturnSwitch = nullptr;
    QComboBox* browserPopup = nullptr;
    QPlainTextEdit* notesText = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* okButton = nullptr;

signals:
    void okRequested();
    void cancelRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The entry editor callout of one document window: opens beside the entry's row, edits
// a private copy of the entry, and on save copies it back into the list and writes the
// file.
class EntryCallout : public QObject {
    Q_OBJECT
public:
    EntryCallout(DocumentWindowWidget* window, EntryList& list, KTTableViewArray* table);
    ~EntryCallout() override;

    // Opens the callout on `entry` and returns once it has closed; `creating` when Add
    // just appended the entry.
    void runPWDataCalloutForEntry(const EntryRef& entry, bool creating);

    void setEnabledForCalloutSaveChanges();
    // The name field (the URL, user-ID and password fields go to the login options).
    void controlTextDidChange(QObject* control);
    // The notes text view; any other text view is ignored.
    void textDidChange(QObject* textView);
    // Stores the notes text view's text in the current entry, after the login automation
    // appended to it.
    void saveNotes();
    void writeAttributesFileForItem(const EntryRef& entry);
    // Keys the program itself added to the working copy (the generator's defaults):
    // they count as loaded, so they alone never make the entry saveable.
    void treatAsLoaded(const QStringList& keys);
    // The inactivity timer ran out: the callout closes as a cancel.
    void removeCallout();
    // The save and cancel buttons.
    void OK();
    void Cancel();

    PWDataCalloutView* pwDataCalloutView() const { return view_; }
    MAAttachedWindow* callout() const { return callout_; }
    bool isOpen() const { return !callout_.isNull(); }
    const EntryRef& originalEntry() const { return originalEntry_; }
    const EntryRef& editedEntry() const { return editedEntry_; }
    const QStringList& entryNames() const { return entryNames_; }
    // The login options of the document's website-login controller.
    LoginOptions& loginOptions();
    PasswordGeneratorCallout* passwordGenerator() const { return generator_; }

private:
    void connectLoginOptions(LoginOptions& options);
    void selectEntry(const EntryRef& entry);
    void anchors(const EntryRef& entry, QPointF& left, QPointF& right) const;
    bool save(const EntryRef& entry);

    QPointer<DocumentWindowWidget> window_;
    EntryList* list_;
    KTTableViewArray* table_;
    PWDataCalloutView* view_;
    PasswordGeneratorCallout* generator_;
    QPointer<MAAttachedWindow> callout_;
    std::unique_ptr<LoginOptions> ownOptions_;  // only for a document without a controller

    EntryRef originalEntry_;
    EntryRef editedEntry_;
    Entry baseline_;
    QStringList entryNames_;
};

}  // namespace quorly
