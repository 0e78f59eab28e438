// The controller's ways out of the program: the support message and the help book.
#include "app/desktop/Controller.h"

#include "app/SupportMail.h"
#include "app/desktop/HelpViewer.h"
#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "platform/Diagnostics.h"

#include <QAction>
#include <QUrl>

namespace quorly {

void Controller::emailTheAuthor()
{
    const QString crashFolder = Diagnostics::crashReportsFolder();
    const QString body = SupportMail::body(SupportMail::gather(journal_, crashFolder));
    const QUrl link = QUrl::fromEncoded(SupportMail::link(SupportMail::address(), body, crashFolder));
    if (openURL_ && openURL_(link))
        return;
    // The desktop could start nothing for the link: no mail program is set up.
    alertPanel_->prompt(mainWindow(),
                        tr("Quorly could not open a mail program. Please write to %1; the folder %2 holds the "
                           "reports of Quorly's crashes, if you want to attach them.")
                            .arg(SupportMail::address(), crashFolder),
                        QStringLiteral("OK"));
}

HelpViewer* Controller::helpViewer()
{
    if (!helpViewer_)
        helpViewer_ = std::make_unique<HelpViewer>();
    return helpViewer_.get();
}

void Controller::showHelp(const QString& senderTitle)
{
    helpViewer()->showHelp(senderTitle);
}

void Controller::iosHelp()
{
    helpViewer()->showHelp(QStringLiteral("ios"));
}

void Controller::showHelpForSender()
{
    if (const auto* item = qobject_cast<const QAction*>(sender()))
        showHelp(QString(item->text()).remove(u'&'));
}

}  // namespace quorly
