#include "platform/desktop/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace quorly {

QtClipboard::QtClipboard()
{
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !putting_)
            ours_ = false;
    });
}

void QtClipboard::putSecret(const QString& text)
{
    countSecret();
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(QString::fromLatin1(kPasswordManagerHintType), QByteArray(kPasswordManagerHintSecret));
    putting_ = true;
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    putting_ = false;
    ours_ = true;
}

void QtClipboard::putText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
    ours_ = false;  // a secret put there before is gone
}

bool QtClipboard::holdsOurSecret() const
{
    // On X11 another program's copy may not have been read from the server yet; the
    // ownership Qt holds for us is asked directly there.
    static const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    return ours_ && (!x11 || QGuiApplication::clipboard()->ownsClipboard());
}

void QtClipboard::clearIfStillOurs()
{
    if (!holdsOurSecret())
        return;
    putting_ = true;
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    putting_ = false;
    ours_ = false;
}

}  // namespace quorly
