#include "login/WebsiteURL.h"

#include <QUrl>

namespace quorly {

QString normalisedWebsiteURL(const QString& url)
{
    for (const char* prefix : {"http://", "https://", "file://"}) {
        if (url.startsWith(QLatin1String(prefix), Qt::CaseSensitive))
            return url;
    }
    return QStringLiteral("http://") + url;
}

std::optional<QString> launchableURL(const QString& normalised)
{
    const QUrl url(normalised, QUrl::TolerantMode);
    if (!url.isValid())
        return std::nullopt;
    if (url.scheme() != QLatin1String("file") && url.host().isEmpty())
        return std::nullopt;
    return url.toString(QUrl::FullyEncoded);
}

}  // namespace quorly
