#include "entries/EntryFields.h"

#include <QStringList>

namespace quorly {

namespace {

const QString kHiddenPassword = QStringLiteral("********");
const QString kContinuation = QStringLiteral("\n  ");

QString keyOf(EntryField field)
{
    switch (field) {
    case EntryField::UserID: return EntryKey::WebsiteUserID;
    case EntryField::SecondUserID: return EntryKey::WebsiteUserID2;
    case EntryField::Password: return EntryKey::WebsitePassword;
    case EntryField::URL: return EntryKey::WebsiteURL;
    }
    return {};
}

// One "Label: value" line; the lines of a value after its first are indented, so no
// line of the value can pass for a field of its own.
QString showLine(const QString& label, const QString& value)
{
    QString flat = value;
    flat.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return label + QStringLiteral(": ") + flat.replace(QLatin1Char('\n'), kContinuation) + QLatin1Char('\n');
}

}  // namespace

QString entryFieldText(const Entry& entry, EntryField field)
{
    return entry.string(keyOf(field));
}

std::optional<EntryField> entryFieldNamed(const QString& name)
{
    if (name == QLatin1String("password"))
        return EntryField::Password;
    if (name == QLatin1String("user"))
        return EntryField::UserID;
    if (name == QLatin1String("user2"))
        return EntryField::SecondUserID;
    if (name == QLatin1String("url"))
        return EntryField::URL;
    return std::nullopt;
}

QString entryShowText(const Entry& entry, bool showPassword)
{
    QString text = showLine(QStringLiteral("Name"), entry.name());
    const struct {
        const char* label;
        const QString& key;
        bool secret;
    } fields[] = {
        {"URL", EntryKey::WebsiteURL, false},
        {"User ID", EntryKey::WebsiteUserID, false},
        {"Second User ID", EntryKey::WebsiteUserID2, false},
        {"Password", EntryKey::WebsitePassword, true},
        {"Notes", EntryKey::Notes, false},
    };
    for (const auto& field : fields) {
        const QString value = entry.string(field.key);
        if (value.isEmpty())
            continue;
        text += showLine(QString::fromLatin1(field.label), field.secret && !showPassword ? kHiddenPassword : value);
    }
    return text;
}

}  // namespace quorly
