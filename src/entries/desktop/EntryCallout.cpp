#include "entries/desktop/EntryCallout.h"

#include "entries/EntryCalloutRules.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "entries/desktop/KTTableViewArray.h"
#include "generator/desktop/PasswordGeneratorCallout.h"
#include "login/WebsitePasswordManager.h"
#include "platform/RunLoop.h"
#include "store/FilePassword.h"
#include "store/Globals.h"
#include "store/MyDocument.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace quorly {

namespace {

void showText(QLineEdit* field, const TextFieldState& state)
{
    // Only a different text is set, so the cursor of the field being typed in stays.
    if (field->text() != state.text)
        field->setText(state.text);
    field->setVisible(!state.hidden);
}

void showPopUp(QComboBox* popUp, const PopUpState& state)
{
    const QSignalBlocker quiet(popUp);
    QStringList shown;
    for (int i = 0; i < popUp->count(); ++i)
        shown << popUp->itemText(i);
    if (shown != state.items) {
        popUp->clear();
        popUp->addItems(state.items);
    }
    popUp->setCurrentIndex(state.selected);
    popUp->setEnabled(state.enabled);
}

void showCheckBox(QCheckBox* box, const CheckBoxState& state)
{
    const QSignalBlocker quiet(box);
    box->setChecked(state.checked);
    box->setEnabled(state.enabled);
}

QLineEdit* lineEdit(QWidget* parent, const QString& name, bool secure = false)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    if (secure)
        field->setEchoMode(QLineEdit::Password);
    return field;
}

}  // namespace

// ---------------------------------------------------------------------------
// The view

PWDataCalloutView::PWDataCalloutView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pwDataCalloutView"));
    // Widgets are made in reading order: that order is the keyboard's tab order.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    int row = 0;
    auto label = [this](const QString& text) { return new QLabel(text, this); };

    nameText = lineEdit(this, QStringLiteral("nameText"));
    grid->addWidget(label(tr("Name:")), row, 0);
    grid->addWidget(nameText, row++, 1, 1, 4);
    nameExistsWarning = new QLabel(tr("This name is empty or another entry already has it."), this);
    nameExistsWarning->setObjectName(QStringLiteral("nameExistsWarning"));
    nameExistsWarning->setStyleSheet(QStringLiteral("color: #b00000;"));
    // Its line is kept while it is hidden: the callout is sized once, as it opens, and a
    // warning appearing later would otherwise squeeze the rows below it.
    QSizePolicy keepLine = nameExistsWarning->sizePolicy();
    keepLine.setRetainSizeWhenHidden(true);
    nameExistsWarning->setSizePolicy(keepLine);
    grid->addWidget(nameExistsWarning, row++, 1, 1, 4);

    urlText = lineEdit(this, QStringLiteral("urlText"));
    grid->addWidget(label(tr("Website:")), row, 0);
    grid->addWidget(urlText, row++, 1, 1, 4);

    // A plain field and its bullet twin share one place; one of them shows.
    auto twins = [&](const QString& title, QLineEdit*& plain, QLineEdit*& secure, const QString& name) {
        plain = lineEdit(this, name);
        secure = lineEdit(this, QStringLiteral("secure") + name.at(0).toUpper() + name.mid(1), true);
        grid->addWidget(label(title), row, 0);
        grid->addWidget(plain, row, 1, 1, 3);
        grid->addWidget(secure, row, 1, 1, 3);
        secure->hide();
    };
    twins(tr("User ID:"), userID1Text, secureUserID1Text, QStringLiteral("userID1Text"));
    showHideButton = new QPushButton(LoginOptions::HideTitle, this);
    showHideButton->setObjectName(QStringLiteral("showHideButton"));
    showHideButton->setAutoDefault(false);
    grid->addWidget(showHideButton, row++, 4);
    twins(tr("Second user ID:"), userID2Text, secureUserID2Text, QStringLiteral("userID2Text"));
    ++row;
    twins(tr("Password:"), passwordText, securePasswordText, QStringLiteral("passwordText"));
    generateButton = new QPushButton(tr("Generate"), this);
    generateButton->setObjectName(QStringLiteral("generateButton"));
    generateButton->setAutoDefault(false);
    grid->addWidget(generateButton, row++, 4);

    auto* options = new QGroupBox(tr("Login"), this);
    auto* optionGrid = new QGridLayout(options);
    auto optionRow = [&](int r, const QString& title, QComboBox*& popUp, QCheckBox*& tab, QComboBox*& tabs,
                         QCheckBox*& enter, const QString& prefix) {
        popUp = new QComboBox(options);
        popUp->setObjectName(prefix + QStringLiteral("Options"));
        tab = new QCheckBox(tr("TAB"), options);
        tab->setObjectName(prefix + QStringLiteral("TabSwitch"));
        tabs = new QComboBox(options);
        tabs->setObjectName(prefix + QStringLiteral("Tabs"));
        enter = new QCheckBox(tr("Return"), options);
        enter->setObjectName(prefix + QStringLiteral("ReturnSwitch"));
        optionGrid->addWidget(new QLabel(title, options), r, 0);
        optionGrid->addWidget(popUp, r, 1);
        optionGrid->addWidget(tab, r, 2);
        optionGrid->addWidget(tabs, r, 3);
        optionGrid->addWidget(enter, r, 4);
    };
    optionRow(0, tr("User ID:"), userIDOptions, userIDTabSwitch, userIDTabs, userIDReturnSwitch,
              QStringLiteral("userID"));
    optionRow(1, tr("Password:"), passwordOptions, passwordTabSwitch, passwordTabs, passwordReturnSwitch,
              QStringLiteral("password"));
    browserPopup = new QComboBox(options);
    browserPopup->setObjectName(QStringLiteral("browserPopup"));
    optionGrid->addWidget(new QLabel(tr("Browser:"), options), 2, 0);
    optionGrid->addWidget(browserPopup, 2, 1, 1, 4);
    grid->addWidget(options, row++, 0, 1, 5);

    notesText = new QPlainTextEdit(this);
    notesText->setObjectName(QStringLiteral("notesText"));
    notesText->setTabChangesFocus(true);
    notesText->setFixedHeight(notesText->fontMetrics().lineSpacing() * 5 + 12);
    grid->addWidget(label(tr("Notes:")), row, 0, Qt::AlignTop);
    grid->addWidget(notesText, row++, 1, 1, 4);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    okButton = new QPushButton(tr("Save"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    for (QPushButton* button : {cancelButton, okButton})
        button->setAutoDefault(false);
    buttons->addWidget(cancelButton);
    buttons->addWidget(okButton);
    grid->addLayout(buttons, row++, 0, 1, 5);
    grid->setColumnMinimumWidth(1, 220);

    connect(okButton, &QPushButton::clicked, this, &PWDataCalloutView::okRequested);
    connect(cancelButton, &QPushButton::clicked, this, &PWDataCalloutView::cancelRequested);
    showControls(LoginOptions().controls());
}

void PWDataCalloutView::showControls(const LoginOptionControls& c)
{
    showPopUp(userIDOptions, c.userIDOptions);
    showCheckBox(userIDTabSwitch, c.userIDTabSwitch);
    showPopUp(userIDTabs, c.userIDTabs);
    showCheckBox(userIDReturnSwitch, c.userIDReturnSwitch);
    showPopUp(passwordOptions, c.passwordOptions);
    showCheckBox(passwordTabSwitch, c.passwordTabSwitch);
    showPopUp(passwordTabs, c.passwordTabs);
    showCheckBox(passwordReturnSwitch, c.passwordReturnSwitch);
    showPopUp(browserPopup, c.browserPopup);
    showText(urlText, c.url);
    showText(userID1Text, c.userID);
    showText(userID2Text, c.userID2);
    showText(passwordText, c.password);
    // A twin shows exactly when its plain field does not.
    showText(secureUserID1Text, {c.secureUserID.text, !c.userID.hidden});
    showText(secureUserID2Text, {c.secureUserID2.text, !c.userID2.hidden});
    showText(securePasswordText, {c.securePassword.text, !c.password.hidden});
    if (!c.showHideTitle.isEmpty())
        showHideButton->setText(c.showHideTitle);
}

void PWDataCalloutView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        emit cancelRequested();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The notes keep their own Return for new lines; it never gets here.
        if (okButton->isEnabled())
            emit okRequested();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

// ---------------------------------------------------------------------------
// The editor

EntryCallout::EntryCallout(DocumentWindowWidget* window, EntryList& list, KTTableViewArray* table)
    : QObject(window), window_(window), list_(&list), table_(table)
{
    // Created once with the window and lent to each callout; its home is the window,
    // hidden, between callouts.
    view_ = new PWDataCalloutView(window);
    view_->hide();
    generator_ = new PasswordGeneratorCallout(this, window);

    connect(view_, &PWDataCalloutView::okRequested, this, &EntryCallout::OK);
    connect(view_, &PWDataCalloutView::cancelRequested, this, &EntryCallout::Cancel);
    connect(view_->nameText, &QLineEdit::textEdited, this, [this] { controlTextDidChange(view_->nameText); });
    connect(view_->notesText, &QPlainTextEdit::textChanged, this, [this] { textDidChange(view_->notesText); });

    // Decided here: the URL, user-ID and password fields have one handler only, the
    // login options' fieldChanged, run on every change rather than when editing ends.
    // So the save button follows each keystroke, and an emptied field is saved as an
    // absent key (as an empty string only when it held one when loaded, so emptying
    // it again is no change). What the user sees is exactly what is saved.
    auto field = [this](QLineEdit* edit, LoginOptions::Field which) {
        connect(edit, &QLineEdit::textEdited, this,
                [this, which](const QString& text) { loginOptions().fieldChanged(which, text); });
    };
    field(view_->urlText, LoginOptions::Field::URL);
    field(view_->userID1Text, LoginOptions::Field::UserID);
    field(view_->secureUserID1Text, LoginOptions::Field::UserID);
    field(view_->userID2Text, LoginOptions::Field::UserID2);
    field(view_->secureUserID2Text, LoginOptions::Field::UserID2);
    field(view_->passwordText, LoginOptions::Field::Password);
    field(view_->securePasswordText, LoginOptions::Field::Password);

    connect(view_->userIDOptions, &QComboBox::activated, this, [this](int i) { loginOptions().chooseUserIDOption(i); });
    connect(view_->userIDTabSwitch, &QCheckBox::clicked, this, [this](bool on) { loginOptions().setUserIDTabSwitch(on); });
    connect(view_->userIDTabs, &QComboBox::activated, this, [this](int i) { loginOptions().chooseUserIDTabCount(i); });
    connect(view_->userIDReturnSwitch, &QCheckBox::clicked, this,
            [this](bool on) { loginOptions().setUserIDReturnSwitch(on); });
    connect(view_->passwordOptions, &QComboBox::activated, this,
            [this](int i) { loginOptions().choosePasswordOption(i); });
    connect(view_->passwordTabSwitch, &QCheckBox::clicked, this,
            [this](bool on) { loginOptions().setPasswordTabSwitch(on); });
    connect(view_->passwordTabs, &QComboBox::activated, this,
            [this](int i) { loginOptions().choosePasswordTabCount(i); });
    connect(view_->passwordReturnSwitch, &QCheckBox::clicked, this,
            [this](bool on) { loginOptions().setPasswordReturnSwitch(on); });
    connect(view_->browserPopup, &QComboBox::activated, this, [this](int i) { loginOptions().chooseBrowser(i); });
    connect(view_->showHideButton, &QPushButton::clicked, this, [this] {
        if (QWidget* focus = view_->focusWidget())
            focus->clearFocus();  // ends editing first
        loginOptions().showHideUserIDPassword();
        view_->showControls(loginOptions().controls());
    });
}

EntryCallout::~EntryCallout()
{
    if (callout_)
        delete callout_.data();
}

LoginOptions& EntryCallout::loginOptions()
{
    MyDocument* document = window_ ? window_->document() : nullptr;
    if (document && document->wpm())
        return document->wpm()->loginOptions();
    if (!ownOptions_)
        ownOptions_ = std::make_unique<LoginOptions>();
    return *ownOptions_;
}

void EntryCallout::connectLoginOptions(LoginOptions& options)
{
    options.entryChanged = [this](const EntryRef& entry) { writeAttributesFileForItem(entry); };
    options.controlsChanged = [this, &options] { view_->showControls(options.controls()); };
}

void EntryCallout::setEnabledForCalloutSaveChanges()
{
    if (!editedEntry_)
        return;
    const CalloutSaveState state = calloutSaveState(view_->nameText->text(), entryNames_,
                                                    window_ && window_->isWriteable(), *editedEntry_, baseline_);
    view_->nameExistsWarning->setVisible(!state.nameAcceptable);
    view_->okButton->setEnabled(state.saveEnabled);
}

void EntryCallout::controlTextDidChange(QObject* control)
{
    if (!editedEntry_)
        return;
    if (control == view_->nameText)
        editedEntry_->setName(view_->nameText->text());  // as typed, not trimmed
    else
        return;
    setEnabledForCalloutSaveChanges();
}

void EntryCallout::textDidChange(QObject* textView)
{
    if (textView != view_->notesText || !editedEntry_)
        return;
    editedEntry_->setString(EntryKey::Notes, view_->notesText->toPlainText());
    setEnabledForCalloutSaveChanges();
}

void EntryCallout::saveNotes()
{
    if (gWebsiteItem)
        gWebsiteItem->setString(EntryKey::Notes, view_->notesText->toPlainText());
    setEnabledForCalloutSaveChanges();
}

void EntryCallout::writeAttributesFileForItem(const EntryRef&)
{
    setEnabledForCalloutSaveChanges();
}

void EntryCallout::treatAsLoaded(const QStringList& keys)
{
    for (const QString& key : keys) {
        if (const auto value = editedEntry_ ? editedEntry_->value(key) : std::nullopt)
            baseline_.set(key, *value);
    }
}

void EntryCallout::removeCallout()
{
    MyDocument* document = window_ ? window_->document() : nullptr;
    if (FilePassword* password = FilePassword::of(document))
        password->removeCallout();
    else if (callout_)
        RunLoop::abortModal(callout_);
}

void EntryCallout::OK()
{
    if (callout_ && view_->okButton->isEnabled())
        RunLoop::stopModal(callout_, RunLoop::OKCode);
}

void EntryCallout::Cancel()
{
    if (callout_)
        RunLoop::stopModal(callout_, RunLoop::CancelCode);
}

void EntryCallout::selectEntry(const EntryRef& entry)
{
    const int row = list_->indexOf(entry);
    if (row < 0)
        return;
    table_->selectRowIndexes({row});
    table_->scrollRowToVisible(row);
}

void EntryCallout::anchors(const EntryRef& entry, QPointF& left, QPointF& right) const
{
    const int row = list_->indexOf(entry);
    QRect rect = table_->visualRect(table_->model()->index(qMax(row, 0), 0));
    if (row < 0 || !rect.isValid())
        rect = QRect(0, 0, table_->viewport()->width(), 0);
    // The row across all columns, in the window's coordinates with y upwards.
    const QPoint topLeft = table_->viewport()->mapTo(window_, QPoint(0, rect.top()));
    const qreal height = rect.height();
    const qreal bottom = window_->height() - (topLeft.y() + height);
    const qreal y = bottom + height / 2.0 + 2.0;
    left = QPointF(topLeft.x(), y);
    right = QPointF(topLeft.x() + window_->frameGeometry().width() - 42.0, y);
}

void EntryCallout::runPWDataCalloutForEntry(const EntryRef& entry, bool creating)
{
    if (!window_ || !entry || callout_)
        return;
    MyDocument* document = window_->document();

    originalEntry_ = entry;
    editedEntry_ = makeEntry(*entry);
    view_->nameExistsWarning->hide();
    view_->nameText->setText(entry->name());
    {
        const QSignalBlocker quiet(view_->notesText);
        view_->notesText->setPlainText(entry->string(EntryKey::Notes));
    }
    entryNames_ = calloutEntryNames(*list_, entry, creating);

    selectEntry(entry);
    // The login automation, the generator and the option controls act on the copy being
    // edited, of this document: set once the row is selected, since a selection change
    // points gWebsiteItem at the list's entry. gWPM goes along, so the two never name
    // different documents.
    gWebsiteDocument = document;
    if (document)
        gWPM = document->wpm();
    gWebsiteItem = editedEntry_;
    QPointF left, right;
    anchors(entry, left, right);

    LoginOptions& options = loginOptions();
    connectLoginOptions(options);
    options.loadAttributes(editedEntry_);
    options.hideBullets();
    // Decided here: the save button compares with the copy as loaded, so an entry of the
    // older option scheme (every new entry is one) converted on loading is not saveable
    // merely for being opened, and typing a change and undoing it disables save again.
    // The conversion is saved with the first real change.
    baseline_ = *editedEntry_;
    setEnabledForCalloutSaveChanges();
    // A password generated into a copy that cannot be saved would be lost.
    view_->generateButton->setEnabled(window_->isWriteable());

    view_->adjustSize();
    MAAttachedWindow::Ptr made = MAAttachedWindow::initWithViewAttachedToLeftPointAttachedToRightPointInWindowAtDistance(
        view_, left, right, window_, 0.0);
    made->setBackgroundColor(QApplication::palette().color(QPalette::Window));
    // A child window of the document window: it stays above it and counts as part of it
    // when the activation moves; the window owns it from here on.
    made->setParent(window_, made->windowFlags());
    made->setWindowModality(Qt::WindowModal);
    // It moves with its window and keeps pointing at the entry's row.
    made->setAnchorSource([this, entry] {
        QPointF l, r;
        anchors(entry, l, r);
        return std::pair{l, r};
    });
    callout_ = made.release();

    FilePassword* password = FilePassword::of(document);
    if (password)
        password->setCallout([this]() -> const QObject* { return callout_; });

    // Answered while another window's question runs inside this run: the callout goes
    // at once, and the run returns once that question has its answer.
    const QMetaObject::Connection answered =
        connect(RunLoop::instance(), &RunLoop::modalRunAnswered, this, [this](const QObject* owner) {
            if (callout_ && owner == callout_)
                callout_->hide();
        });
    int code = RunLoop::runModal(callout_, [this] {
        if (!callout_)
            return;
        callout_->show();
        callout_->raise();
        callout_->activateWindow();
        // Selected once the window is up, so that typing replaces the name: a selection
        // made while the callout was still hidden does not reliably survive its showing.
        view_->nameText->setFocus();
        view_->nameText->selectAll();
    });
    disconnect(answered);

    if (password)
        password->calloutTimer()->stop();
    if (callout_) {
        if (QWidget* focus = callout_->focusWidget())
            focus->clearFocus();
        callout_->hide();
        delete callout_.data();  // hands the view back to the window
    }
    callout_.clear();
    options.entryChanged = nullptr;
    options.controlsChanged = nullptr;

    if (!window_ || !document || !document->isOpen())
        return;
    // A file another program changed while the callout was open is no reason to ask:
    // the save carries this edit over onto its list, and asks only when the other
    // program changed this very entry too.
    const bool kept = code == RunLoop::OKCode ? save(entry) : !creating;
    if (!kept && creating) {
        const int row = list_->indexOf(entry);
        if (row >= 0)
            list_->removeAt(row);
        window_->reloadList();
    }
    // Decided here: the current entry goes back to the list's own at once, so nothing
    // (a hot key, the menus) acts on a copy that is gone or no longer shown.
    gWebsiteItem = kept ? entry : nullptr;
    editedEntry_.reset();
    originalEntry_.reset();
}

bool EntryCallout::save(const EntryRef& entry)
{
    MyDocument* document = window_->document();
    if (editedEntry_->name() != entry->name() && document->wpm())
        document->wpm()->renameRecentWebsiteTitle(entry->name(), editedEntry_->name());
    *entry = *editedEntry_;  // the list's own object, so every reference to it sees the change
    window_->reloadList();
    document->KTTableViewArrayChanged();
    window_->reloadList();
    selectEntry(entry);
    return true;
}

}  // namespace quorly
