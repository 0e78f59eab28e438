#include "entries/desktop/PlainEntryDialog.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

namespace quorly {

PlainEntryDialog::PlainEntryDialog(QWidget* parent) : DocumentPanel(parent)
{
    setWindowTitle(QStringLiteral("Quorly"));
    setObjectName(QStringLiteral("entryPanel"));
    messageLabel()->hide();

    auto* form = new QWidget(this);
    auto* layout = new QFormLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    name_ = new QLineEdit(form);
    name_->setObjectName(QStringLiteral("nameText"));
    warning_ = new QLabel(tr("The name is empty or another entry has it."), form);
    warning_->setObjectName(QStringLiteral("nameExistsWarning"));
    url_ = new QLineEdit(form);
    url_->setObjectName(QStringLiteral("urlText"));
    userID_ = new QLineEdit(form);
    userID_->setObjectName(QStringLiteral("userID1Text"));
    userID2_ = new QLineEdit(form);
    userID2_->setObjectName(QStringLiteral("userID2Text"));
    password_ = new QLineEdit(form);
    password_->setObjectName(QStringLiteral("passwordText"));
    notes_ = new QPlainTextEdit(form);
    notes_->setObjectName(QStringLiteral("notesText"));
    notes_->setTabChangesFocus(true);
    notes_->setFixedHeight(notes_->fontMetrics().lineSpacing() * 5 + 12);
    layout->addRow(tr("Name:"), name_);
    layout->addRow(QString(), warning_);
    layout->addRow(tr("Website:"), url_);
    layout->addRow(tr("User ID:"), userID_);
    layout->addRow(tr("Second user ID:"), userID2_);
    layout->addRow(tr("Password:"), password_);
    layout->addRow(tr("Notes:"), notes_);
    addField(form);
    setDefaultTitle(tr("Save"));
    setOtherTitle(tr("Cancel"));

    for (QLineEdit* field : {name_, url_, userID_, userID2_, password_})
        connect(field, &QLineEdit::textEdited, this, &PlainEntryDialog::fieldChanged);
    connect(notes_, &QPlainTextEdit::textChanged, this, &PlainEntryDialog::fieldChanged);
}

void PlainEntryDialog::load(const Entry& entry, const QSet<QString>& takenNames, bool writeable)
{
    original_ = entry;
    edited_ = entry;
    takenNames_ = takenNames;
    writeable_ = writeable;
    {
        const QSignalBlocker quiet(notes_);
        notes_->setPlainText(entry.string(EntryKey::Notes));
    }
    name_->setText(entry.name());
    url_->setText(entry.string(EntryKey::WebsiteURL));
    userID_->setText(entry.string(EntryKey::WebsiteUserID));
    userID2_->setText(entry.string(EntryKey::WebsiteUserID2));
    password_->setText(entry.string(EntryKey::WebsitePassword));
    for (QLineEdit* field : {name_, url_, userID_, userID2_, password_})
        field->setReadOnly(!writeable);
    notes_->setReadOnly(!writeable);
    name_->setFocus();
    name_->selectAll();
    setEnabledForSaveChanges();
}

void PlainEntryDialog::fieldChanged()
{
    const QObject* field = sender();
    if (field == name_)
        edited_.setName(name_->text());
    else if (field == notes_)
        edited_.setString(EntryKey::Notes, notes_->toPlainText());
    else if (field == url_)
        edited_.setString(EntryKey::WebsiteURL, url_->text());
    else if (field == userID_)
        edited_.setString(EntryKey::WebsiteUserID, userID_->text());
    else if (field == password_)
        edited_.setString(EntryKey::WebsitePassword, password_->text());
    else if (field == userID2_) {
        // An emptied second user ID is no second user ID at all.
        if (userID2_->text().isEmpty())
            edited_.remove(EntryKey::WebsiteUserID2);
        else
            edited_.setString(EntryKey::WebsiteUserID2, userID2_->text());
    }
    setEnabledForSaveChanges();
}

void PlainEntryDialog::setEnabledForSaveChanges()
{
    const QString name = edited_.name();
    const bool nameAcceptable = !name.isEmpty() && !takenNames_.contains(name);
    warning_->setVisible(!nameAcceptable);
    defaultButton()->setEnabled(writeable_ && nameAcceptable && edited_ != original_);
}

}  // namespace quorly
