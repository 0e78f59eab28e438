#include "login/desktop/CWBrowser.h"

#include "platform/Workspace.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace quorly {

CWBrowser::CWBrowser()
{
    setObjectName(QStringLiteral("CWBrowser"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Cardwell"));
    auto* layout = new QVBoxLayout(this);
    address_ = new QLabel(this);
    address_->setObjectName(QStringLiteral("address"));
    address_->setTextFormat(Qt::PlainText);
    address_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    address_->setWordWrap(true);
    QFont bigger = address_->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.2);
    address_->setFont(bigger);
    auto* note = new QLabel(tr("Cardwell does not show web pages on Linux. Open the website in your default "
                               "browser, or choose another browser for this entry in its editor."),
                            this);
    note->setWordWrap(true);
    autoLoginNote_ = new QLabel(tr("This entry fills in its login by itself once the page has loaded. That "
                                   "happens in a browser chosen for the entry, not here."),
                                this);
    autoLoginNote_->setObjectName(QStringLiteral("autoLoginNote"));
    autoLoginNote_->setWordWrap(true);
    autoLoginNote_->hide();
    failure_ = new QLabel(this);
    failure_->setObjectName(QStringLiteral("failure"));
    failure_->setWordWrap(true);
    failure_->hide();
    auto* buttons = new QDialogButtonBox(this);
    open_ = buttons->addButton(tr("Open in Default Browser"), QDialogButtonBox::AcceptRole);
    open_->setDefault(true);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    connect(open_, &QPushButton::clicked, this, &CWBrowser::openInDefaultBrowser);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(address_);
    layout->addWidget(note);
    layout->addWidget(autoLoginNote_);
    layout->addWidget(failure_);
    layout->addStretch();
    layout->addWidget(buttons);
    resize(520, 200);
}

void CWBrowser::loadURLRequest(const QString& url, int autoLogin)
{
    url_ = url;
    address_->setText(url);
    setWindowTitle(QStringLiteral("Cardwell \u2013 %1").arg(QUrl(url).host().isEmpty() ? url : QUrl(url).host()));
    autoLoginNote_->setVisible(autoLogin != 0);
}

void CWBrowser::openInDefaultBrowser()
{
    if (workspace().openURL(url_)) {
        close();
        return;
    }
    failure_->setText(tr("No web browser could be started. Set a default web browser for your desktop."));
    failure_->show();
}

CWBrowser* CWBrowser::make()
{
    auto* browser = new CWBrowser;
    browser->show();
    browser->raise();
    browser->activateWindow();
    return browser;
}

CWBrowser* CWBrowser::keyWindowBrowser()
{
    return qobject_cast<CWBrowser*>(QApplication::activeWindow());
}

}  // namespace quorly
