#include "import/ImportColumns.h"

#include "entries/Entry.h"

namespace quorly {

QString importColumnTitle(ImportField field)
{
    switch (field) {
    case ImportField::Name: return QStringLiteral("Name");
    case ImportField::URL: return QStringLiteral("URL");
    case ImportField::UserID1: return QStringLiteral("User ID 1");
    case ImportField::UserID2: return QStringLiteral("User ID 2");
    case ImportField::Password: return QStringLiteral("Password");
    case ImportField::Notes: return QStringLiteral("Notes");
    case ImportField::None: return QString();
    }
    return QString();
}

std::optional<QString> entryKeyForImportField(ImportField field)
{
    switch (field) {
    case ImportField::URL: return EntryKey::WebsiteURL;
    case ImportField::UserID1: return EntryKey::WebsiteUserID;
    case ImportField::UserID2: return EntryKey::WebsiteUserID2;
    case ImportField::Password: return EntryKey::WebsitePassword;
    case ImportField::Notes: return EntryKey::Notes;
    case ImportField::Name:
    case ImportField::None: return std::nullopt;
    }
    return std::nullopt;
}

void ImportColumns::reset()
{
    order_ = {ImportField::Name,     ImportField::URL,   ImportField::UserID1,
              ImportField::UserID2,  ImportField::Password, ImportField::Notes,
              ImportField::None,     ImportField::None,  ImportField::None};
    importColumn_.fill(false);
    importColumn_[0] = true;
}

bool ImportColumns::isCellEnabled(int position) const
{
    const ImportField field = fieldAt(position);
    return field != ImportField::Name && field != ImportField::None;
}

void ImportColumns::setMarked(int position, bool marked)
{
    if (position < 0 || position >= kMaxImportFields || fieldAt(position) == ImportField::Name)
        return;
    importColumn_[size_t(position)] = marked;
}

void ImportColumns::columnDidMove(int from, int to)
{
    if (from < 0 || to < 0 || from >= kMaxImportFields || to >= kMaxImportFields)
        return;
    const ImportField moved = order_[size_t(from)];
    if (from < to) {
        for (int i = from; i < to; ++i)
            order_[size_t(i)] = order_[size_t(i + 1)];
    } else {
        for (int i = from; i > to; --i)
            order_[size_t(i)] = order_[size_t(i - 1)];
    }
    order_[size_t(to)] = moved;
    importColumn_[size_t(to)] = true;
}

}  // namespace quorly
