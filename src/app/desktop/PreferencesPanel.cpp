#include "app/desktop/PreferencesPanel.h"

#include "app/desktop/HotKeyField.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace quorly {

namespace {

// The stored masks keep the earlier product's modifier names; on a Linux keyboard
// Command is the Super key and Option is Alt.
const char* const kModifierTitles[4] = {"Super", "Control", "Alt", "Shift"};

void fillPopUp(QComboBox* popUp, const QList<PopUpItem>& items, qint64 selected)
{
    popUp->clear();
    for (const PopUpItem& item : items) {
        popUp->addItem(item.title, QVariant::fromValue(item.tag));
        if (item.tag == selected)
            popUp->setCurrentIndex(popUp->count() - 1);
    }
}

qint64 selectedTag(const QComboBox* popUp)
{
    return popUp->currentData().toLongLong();
}

void setModifiers(QCheckBox* const (&boxes)[4], const HotKeyModifiers& modifiers)
{
    boxes[0]->setChecked(modifiers.command);
    boxes[1]->setChecked(modifiers.control);
    boxes[2]->setChecked(modifiers.option);
    boxes[3]->setChecked(modifiers.shift);
}

HotKeyModifiers modifiersOf(QCheckBox* const (&boxes)[4])
{
    HotKeyModifiers modifiers;
    modifiers.command = boxes[0]->isChecked();
    modifiers.control = boxes[1]->isChecked();
    modifiers.option = boxes[2]->isChecked();
    modifiers.shift = boxes[3]->isChecked();
    return modifiers;
}

QCheckBox* checkBox(const QString& title, const QString& name, QWidget* parent)
{
    auto* box = new QCheckBox(title, parent);
    box->setObjectName(name);
    return box;
}

}  // namespace

PreferencesPanel::PreferencesPanel(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("preferencesPanel"));
    setWindowTitle(tr("Quorly Preferences"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* hotKeys = new QGroupBox(tr("Hot Keys"), this);
    auto* hotKeysForm = new QFormLayout(hotKeys);
    hotKeysForm->addRow(tr("Type the user ID:"), hotKeyRow(hotkeyUserID_, userIDModifiers_, QStringLiteral("hotkeyUserID")));
    hotKeysForm->addRow(tr("Type the password:"),
                        hotKeyRow(hotkeyPassword_, passwordModifiers_, QStringLiteral("hotkeyPassword")));
    auto* hotKeysNote = new QLabel(tr("Press the key in the field; tick the keys held with it."), hotKeys);
    hotKeysNote->setEnabled(false);
    hotKeysForm->addRow(hotKeysNote);
    layout->addWidget(hotKeys);

    auto* loggingIn = new QGroupBox(tr("Logging In"), this);
    auto* loggingInForm = new QFormLayout(loggingIn);
    auto* delayRow = new QHBoxLayout;
    waitForPageLoadDelay_ = new QLineEdit(loggingIn);
    waitForPageLoadDelay_->setObjectName(QStringLiteral("waitForPageLoadDelay"));
    waitForPageLoadDelay_->setMaximumWidth(60);
    waitForPageLoadDelay_->setAlignment(Qt::AlignRight);
    delayRow->addWidget(waitForPageLoadDelay_);
    delayRow->addWidget(new QLabel(tr("seconds"), loggingIn));
    delayRow->addStretch(1);
    loggingInForm->addRow(tr("Wait for a page to load:"), delayRow);
    typeSwitch_ = checkBox(tr("Type user IDs and passwords (instead of pasting them)"), QStringLiteral("typeSwitch"),
                           loggingIn);
    loggingInForm->addRow(typeSwitch_);
    auto* speedRow = new QHBoxLayout;
    typeSpeedSlider_ = new QSlider(Qt::Horizontal, loggingIn);
    typeSpeedSlider_->setObjectName(QStringLiteral("typeSpeedSlider"));
    // Decided here: 1 (slowest) to 100 (no pauses); 0 would mean pasting, which is
    // the switch's business.
    typeSpeedSlider_->setRange(kTypeSpeedSlowest, kTypeSpeedFastest);
    typeSpeedSlider_->setPageStep(10);
    speedRow->addWidget(new QLabel(tr("Slow"), loggingIn));
    speedRow->addWidget(typeSpeedSlider_, 1);
    speedRow->addWidget(new QLabel(tr("Fast"), loggingIn));
    loggingInForm->addRow(tr("Typing speed:"), speedRow);
    layout->addWidget(loggingIn);

    auto* passwords = new QGroupBox(tr("Passwords"), this);
    auto* passwordsForm = new QFormLayout(passwords);
    generatedPasswordLength_ = new QComboBox(passwords);
    generatedPasswordLength_->setObjectName(QStringLiteral("generatedPasswordLength"));
    passwordsForm->addRow(tr("Length of generated passwords:"), generatedPasswordLength_);
    passwordPromptPopup_ = new QComboBox(passwords);
    passwordPromptPopup_->setObjectName(QStringLiteral("passwordPromptPopup"));
    passwordsForm->addRow(tr("Ask for the file password again\nafter its window was left:"), passwordPromptPopup_);
    clipboardClearPopup_ = new QComboBox(passwords);
    clipboardClearPopup_->setObjectName(QStringLiteral("clipboardClearPopup"));
    passwordsForm->addRow(tr("Clear a copied password\nfrom the clipboard:"), clipboardClearPopup_);
    layout->addWidget(passwords);

    auto* list = new QGroupBox(tr("Entry List"), this);
    auto* listLayout = new QVBoxLayout(list);
    listLayout->addWidget(new QLabel(tr("Show in an entry's tooltip:"), list));
    auto* hoverRow = new QHBoxLayout;
    hoverUserID_ = checkBox(tr("User ID"), QStringLiteral("hoverUserID"), list);
    hoverPassword_ = checkBox(tr("Password"), QStringLiteral("hoverPassword"), list);
    hoverURL_ = checkBox(tr("URL"), QStringLiteral("hoverURL"), list);
    hoverNotes_ = checkBox(tr("Notes"), QStringLiteral("hoverNotes"), list);
    for (QCheckBox* box : {hoverUserID_, hoverPassword_, hoverURL_, hoverNotes_})
        hoverRow->addWidget(box);
    hoverRow->addStretch(1);
    listLayout->addLayout(hoverRow);
    confirmDeleteSwitch_ = checkBox(tr("Ask before deleting entries"), QStringLiteral("confirmDeleteSwitch"), list);
    listLayout->addWidget(confirmDeleteSwitch_);
    layout->addWidget(list);

    // In the order and with the labels of the desktop's own dialogs.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton_ = buttons->button(QDialogButtonBox::Ok);
    cancelButton_ = buttons->button(QDialogButtonBox::Cancel);
    okButton_->setDefault(true);
    layout->addWidget(buttons);

    connect(typeSwitch_, &QCheckBox::clicked, this, [this] { typeSwitchChanged(true); });
    connect(okButton_, &QPushButton::clicked, this, [this] { emit okPressed(okButton_); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { emit cancelPressed(cancelButton_); });
}

QWidget* PreferencesPanel::hotKeyRow(HotKeyField*& field, QCheckBox* (&modifiers)[4], const QString& name)
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    field = new HotKeyField(row);
    field->setObjectName(name);
    field->setFixedWidth(40);
    layout->addWidget(field);
    const char* const suffixes[4] = {"Command", "Control", "Option", "Shift"};
    for (int i = 0; i < 4; ++i) {
        modifiers[i] = checkBox(tr(kModifierTitles[i]), name + QLatin1String(suffixes[i]), row);
        layout->addWidget(modifiers[i]);
    }
    layout->addStretch(1);
    return row;
}

void PreferencesPanel::fill(const PreferencesPanelValues& values)
{
    hotkeyUserID_->setText(values.hotkeyUserID);
    setModifiers(userIDModifiers_, values.hotkeyUserIDModifiers);
    hotkeyPassword_->setText(values.hotkeyPassword);
    setModifiers(passwordModifiers_, values.hotkeyPasswordModifiers);
    waitForPageLoadDelay_->setText(values.waitForPageLoadDelay);
    typeSpeedSlider_->setValue(values.typeSpeedSlider);
    typeSwitch_->setChecked(values.typeSwitch);
    typeSwitchChanged(false);
    fillPopUp(generatedPasswordLength_, generatedPasswordLengthItems(values.generatedPasswordLength),
              values.generatedPasswordLength);
    fillPopUp(passwordPromptPopup_, passwordPromptItems(values.passwordPrompt), values.passwordPrompt);
    fillPopUp(clipboardClearPopup_, clipboardClearItems(values.clipboardClearSeconds), values.clipboardClearSeconds);
    hoverUserID_->setChecked(values.hoverUserID);
    hoverPassword_->setChecked(values.hoverPassword);
    hoverURL_->setChecked(values.hoverURL);
    hoverNotes_->setChecked(values.hoverNotes);
    confirmDeleteSwitch_->setChecked(values.confirmDelete);
    // Every opening starts at the first field, where a new hot key is pressed.
    hotkeyUserID_->setFocus();
}

PreferencesPanelValues PreferencesPanel::values() const
{
    PreferencesPanelValues values;
    values.hotkeyUserID = hotkeyUserID_->text();
    values.hotkeyUserIDModifiers = modifiersOf(userIDModifiers_);
    values.hotkeyPassword = hotkeyPassword_->text();
    values.hotkeyPasswordModifiers = modifiersOf(passwordModifiers_);
    values.waitForPageLoadDelay = waitForPageLoadDelay_->text();
    values.typeSwitch = typeSwitch_->isChecked();
    values.typeSpeedSlider = typeSpeedSlider_->value();
    values.generatedPasswordLength = selectedTag(generatedPasswordLength_);
    values.passwordPrompt = selectedTag(passwordPromptPopup_);
    values.clipboardClearSeconds = selectedTag(clipboardClearPopup_);
    values.hoverUserID = hoverUserID_->isChecked();
    values.hoverPassword = hoverPassword_->isChecked();
    values.hoverURL = hoverURL_->isChecked();
    values.hoverNotes = hoverNotes_->isChecked();
    values.confirmDelete = confirmDeleteSwitch_->isChecked();
    return values;
}

void PreferencesPanel::typeSwitchChanged(bool fromUser)
{
    const TypeSpeedSliderState slider =
        quorly::typeSwitchChanged(typeSwitch_->isChecked(), fromUser, typeSpeedSlider_->value());
    typeSpeedSlider_->setValue(slider.value);
    typeSpeedSlider_->setEnabled(slider.enabled);
}

void PreferencesPanel::reject()
{
    emit cancelPressed(cancelButton_);
}

}  // namespace quorly
