#include "store/ConflictCopies.h"

#include <QRegularExpression>

namespace quorly {

CopyOf conflictCopyOf(const QString& name)
{
    if (name.startsWith(QLatin1Char('.')) || !name.endsWith(QLatin1String(".qlyi")))
        return CopyOf::Nothing;
    if (name.startsWith(QLatin1String("Data ")))
        return CopyOf::Data;
    if (name.startsWith(QLatin1String("Recent Websites ")))
        return CopyOf::RecentWebsites;
    // Syncthing names the copy after the file, with the time of the conflict and the
    // short ID of the device whose change it keeps: no blank, so the prefixes above miss
    // it. Only this exact shape counts, so that a file of the user's such as
    // "Data.old.qlyi" is never merged and removed.
    static const QRegularExpression syncthing(QStringLiteral(
        "\\A(Data|Recent Websites)(\\.sync-conflict-[0-9]{8}-[0-9]{6}(-[A-Z0-9]*)?)+\\.qlyi\\z"));
    const QRegularExpressionMatch match = syncthing.match(name);
    if (!match.hasMatch())
        return CopyOf::Nothing;
    return match.capturedView(1) == QLatin1String("Data") ? CopyOf::Data : CopyOf::RecentWebsites;
}

}  // namespace quorly
