#include "entries/desktop/DocumentPanels.h"

#include "platform/RunLoop.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>

namespace quorly {

namespace {

// The message keeps a fixed width and takes the height its text needs, so that the
// long messages (the change-password warning runs over several lines) stay readable
// and the panel grows with them.
constexpr int kMessageWidth = 380;

// Keeps a sheet where it hangs: centred near the top of its window. Also after the
// desktop has placed the window, which a window without a saved frame learns only after
// its password question has appeared, and whenever the window moves while it waits.
class SheetPlacement : public QObject {
public:
    SheetPlacement(QWidget* panel, QWidget* window) : QObject(panel), panel_(panel), window_(window)
    {
        window->installEventFilter(this);
        place();
    }
    ~SheetPlacement() override
    {
        if (window_)
            window_->removeEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize || event->type() == QEvent::Show)
            place();
        return false;
    }

private:
    void place()
    {
        if (!window_ || !panel_)
            return;
        const QRect frame = window_->geometry();
        panel_->move(frame.x() + (frame.width() - panel_->width()) / 2, frame.y() + 24);
    }

    QPointer<QWidget> panel_;
    QPointer<QWidget> window_;
};

}  // namespace

int runPanel(QDialog* panel, QWidget* window)
{
    panel->hide();
    const bool asSheet = window && window->isVisible();
    if (asSheet) {
        if (panel->parentWidget() != window)
            panel->setParent(window, panel->windowFlags() | Qt::Dialog);
        panel->setWindowModality(Qt::WindowModal);
    } else {
        panel->setWindowModality(Qt::ApplicationModal);
    }
    panel->adjustSize();
    std::optional<SheetPlacement> placement;
    if (asSheet)
        placement.emplace(panel, window);
    // Answered while a panel of another window still runs inside this run: it goes at
    // once, and the run returns when the other one has ended.
    const QMetaObject::Connection answered =
        QObject::connect(RunLoop::instance(), &RunLoop::modalRunAnswered, panel, [panel](const QObject* owner) {
            if (owner == panel)
                panel->hide();
        });
    const int code = RunLoop::runModal(panel, [panel] {
        panel->show();
        panel->raise();
        panel->activateWindow();
    });
    QObject::disconnect(answered);
    panel->hide();
    return code;
}

void panelOK(const QWidget* sender)
{
    const QWidget* panel = sender->window();
    if (QWidget* focus = panel->focusWidget()) {
        // A spin box keeps typed text uncommitted until it is interpreted; an item view's
        // open editor commits when it loses the focus. Line edits are always current.
        if (auto* spin = qobject_cast<QAbstractSpinBox*>(focus))
            spin->interpretText();
        for (QWidget* above = focus->parentWidget(); above; above = above->parentWidget()) {
            if (qobject_cast<QAbstractItemView*>(above)) {
                focus->clearFocus();
                break;
            }
        }
        if (auto* line = qobject_cast<QLineEdit*>(focus))
            emit line->editingFinished();
    }
    RunLoop::stopModal(panel, RunLoop::OKCode);
}

void panelCancel(const QWidget* sender)
{
    RunLoop::stopModal(sender->window(), RunLoop::CancelCode);
}

DocumentPanel::DocumentPanel(QWidget* parent) : QDialog(parent)
{
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* outer = new QHBoxLayout(this);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    // The program's icon beside the message, as the desktop's own alerts show theirs.
    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    icon->setVisible(!QApplication::windowIcon().isNull());
    outer->addWidget(icon, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout;
    outer->addLayout(layout);

    message_ = new QLabel(this);
    message_->setWordWrap(true);
    message_->setFixedWidth(kMessageWidth);
    message_->setTextFormat(Qt::PlainText);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(message_);

    fields_ = new QVBoxLayout;
    layout->addLayout(fields_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    otherButton_ = new QPushButton(tr("Cancel"), this);
    otherButton_->setAutoDefault(false);
    defaultButton_ = new QPushButton(tr("OK"), this);
    defaultButton_->setDefault(true);
    buttons->addWidget(otherButton_);
    buttons->addWidget(defaultButton_);
    layout->addLayout(buttons);

    connect(defaultButton_, &QPushButton::clicked, this, [this] { panelOK(this); });
    connect(otherButton_, &QPushButton::clicked, this, [this] { panelCancel(this); });
}

void DocumentPanel::setMessage(const QString& message)
{
    message_->setText(message);
}

QString DocumentPanel::message() const
{
    return message_->text();
}

void DocumentPanel::setDefaultTitle(const QString& title)
{
    defaultButton_->setText(title);
}

void DocumentPanel::setOtherTitle(const QString& title)
{
    otherButton_->setVisible(!title.isEmpty());
    if (!title.isEmpty())
        otherButton_->setText(title);
}

void DocumentPanel::addField(QWidget* field)
{
    fields_->addWidget(field);
}

void DocumentPanel::reject()
{
    // Escape or the window manager's close button. With only one button there is no
    // second choice to give: the one button answers, as the panel offered nothing else.
    if (otherButton_->isHidden())
        RunLoop::stopModal(this, RunLoop::OKCode);
    else
        panelCancel(this);
}

PromptPanel::PromptPanel(QWidget* parent) : DocumentPanel(parent)
{
    setWindowTitle(QStringLiteral("Quorly"));
}

int PromptPanel::prompt(QWidget* window, const QString& message, const QString& defaultTitle,
                        const QString& otherTitle)
{
    setOtherTitle(otherTitle);
    setMessage(message);
    setDefaultTitle(defaultTitle);
    return runPanel(this, window);
}

PasswordPanel::PasswordPanel(QWidget* parent) : DocumentPanel(parent)
{
    setWindowTitle(QStringLiteral("Quorly"));
    field_ = new QLineEdit(this);
    field_->setEchoMode(QLineEdit::Password);
    field_->setObjectName(QStringLiteral("framisText"));
    addField(field_);
    // The password panel is a narrow one: its message is laid out at 200 points and the
    // panel (the icon staying at the top) grows downwards with the lines it takes.
    messageLabel()->setFixedWidth(200);
    setDefaultTitle(tr("OK"));
    setOtherTitle(tr("Cancel"));
}

std::optional<QString> PasswordPanel::ask(QWidget* window, const QString& message)
{
    setMessage(message);
    field_->clear();
    field_->setFocus();
    const int code = runPanel(this, window);
    QString typed = field_->text();
    field_->clear();
    if (code != RunLoop::OKCode)
        return std::nullopt;
    return typed;
}

}  // namespace quorly
