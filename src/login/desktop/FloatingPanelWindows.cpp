#include "login/desktop/FloatingPanelWindows.h"

#include <QCursor>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

namespace quorly {

namespace {

QWidget* makePanel(const QString& name, bool framed)
{
    Qt::WindowFlags flags = Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus;
    if (!framed)
        flags |= Qt::FramelessWindowHint;
    auto* panel = new QWidget(nullptr, flags);
    panel->setObjectName(name);
    panel->setWindowTitle(QStringLiteral("Quorly"));
    panel->setAttribute(Qt::WA_ShowWithoutActivating);
    panel->setFocusPolicy(Qt::NoFocus);
    if (!framed) {
        panel->setAutoFillBackground(true);
        panel->setStyleSheet(QStringLiteral("#%1 { border: 1px solid palette(mid); }").arg(name));
    }
    return panel;
}

// Near the top of the screen the user is working on, where a login form rarely is.
void showOnTop(QWidget* panel)
{
    panel->adjustSize();
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        panel->move(area.center().x() - panel->width() / 2, area.top() + area.height() / 8);
    }
    panel->show();
    panel->raise();
}

}  // namespace

FloatingPanelWindows::FloatingPanelWindows()
{
    passwordPanel_ = makePanel(QStringLiteral("floatingPasswordPanel"), true);
    auto* layout = new QVBoxLayout(passwordPanel_);
    passwordTitle_ = new QLabel(passwordPanel_);
    passwordTitle_->setWordWrap(true);
    passwordLabel_ = new QLabel(passwordPanel_);
    passwordLabel_->setObjectName(QStringLiteral("floatingPassword"));
    QFont big = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    big.setPointSizeF(big.pointSizeF() * 1.8);
    passwordLabel_->setFont(big);
    passwordLabel_->setAlignment(Qt::AlignCenter);
    passwordLabel_->setTextInteractionFlags(Qt::NoTextInteraction);
    auto* hint = new QLabel(QStringLiteral("Type it into the page by hand. This window closes by itself in 10 seconds."),
                            passwordPanel_);
    hint->setWordWrap(true);
    layout->addWidget(passwordTitle_);
    layout->addWidget(passwordLabel_);
    layout->addWidget(hint);

    warningPanel_ = makePanel(QStringLiteral("floatingWarningPanel"), false);
    auto* warningLayout = new QVBoxLayout(warningPanel_);
    auto* warning = new QLabel(QStringLiteral("Quorly is waiting for the page to load, then it types your login into "
                                              "it.\nKeep the browser window in front until this note goes away."),
                               warningPanel_);
    warningLayout->addWidget(warning);
}

FloatingPanelWindows::~FloatingPanelWindows()
{
    delete passwordPanel_;
    delete warningPanel_;
}

void FloatingPanelWindows::showFloatingPassword(const QString& password, const QString& entryName)
{
    if (password.isEmpty() || !passwordPanel_)
        return;
    passwordTitle_->setText(QStringLiteral("The password of \u201c%1\u201d:").arg(entryName));
    passwordLabel_->setText(password);
    showOnTop(passwordPanel_);
}

void FloatingPanelWindows::hideFloatingPassword()
{
    if (!passwordPanel_)
        return;
    passwordPanel_->hide();
    passwordLabel_->clear();  // the password is not kept in a hidden window
}

void FloatingPanelWindows::showFloatingWarning()
{
    if (warningPanel_)
        showOnTop(warningPanel_);
}

void FloatingPanelWindows::hideFloatingWarning()
{
    if (warningPanel_)
        warningPanel_->hide();
}

}  // namespace quorly
