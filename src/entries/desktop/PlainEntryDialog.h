#pragma once

#include "entries/desktop/DocumentPanels.h"
#include "entries/Entry.h"

#include <QSet>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace quorly {

// A plain panel with an entry's core fields: name, website, the two user IDs, the
// password and the notes. It edits a copy; its save button is enabled only when the
// file can be written, the name is neither empty nor another entry's, and something
// changed. It stands in for the entry editor callout until that exists.
class PlainEntryDialog : public DocumentPanel {
    Q_OBJECT
public:
    explicit PlainEntryDialog(QWidget* parent = nullptr);

    // Shows `entry`; `takenNames` are the names the entry must not take.
    void load(const Entry& entry, const QSet<QString>& takenNames, bool writeable);
    const Entry& original() const { return original_; }
    const Entry& edited() const { return edited_; }

    QLineEdit* nameField() const { return name_; }
    QLineEdit* passwordField() const { return password_; }
    QLabel* nameExistsWarning() const { return warning_; }

private:
    void fieldChanged();
    void setEnabledForSaveChanges();

    Entry original_;
    Entry edited_;
    QSet<QString> takenNames_;
    bool writeable_ = true;

    QLineEdit* name_;
    QLineEdit* url_;
    QLineEdit* userID_;
    QLineEdit* userID2_;
    QLineEdit* password_;
    QPlainTextEdit* notes_;
    QLabel* warning_;
};

}  // namespace quorly
