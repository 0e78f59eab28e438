#include "entries/EntrySearch.h"

namespace quorly {

const QList<QString>& searchedFields()
{
    static const QList<QString> fields{EntryKey::Path,          EntryKey::WebsiteURL,
                                       EntryKey::Notes,         EntryKey::WebsiteUserID,
                                       EntryKey::WebsiteUserID2, EntryKey::WebsitePassword};
    return fields;
}

bool entryMatches(const Entry& entry, const QString& text)
{
    for (const QString& key : searchedFields()) {
        // An absent key is skipped rather than read as "": with an empty text it
        // would otherwise match every entry.
        const auto value = entry.value(key);
        if (!value)
            continue;
        const QString* s = std::get_if<QString>(&*value);
        if (s && s->contains(text, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

FindResult findNext(const EntryList& list, const QString& text, const QList<int>& selectedRows)
{
    FindResult result;
    if (text.isEmpty())
        return result;
    result.searched = true;

    const int count = list.size();
    const bool single = selectedRows.size() == 1 && selectedRows.first() >= 0 &&
                        selectedRows.first() < count;
    result.findStartingRow = single ? selectedRows.first() : count - 1;

    // Without a single selection, starting "after" the last row visits row 0 first and
    // ends with the last row itself.
    const int start = result.findStartingRow;
    const int examined = single ? count - 1 : count;
    for (int step = 1; step <= examined; ++step) {
        const int row = (start + step) % count;
        if (entryMatches(*list.at(row), text)) {
            result.foundRow = row;
            break;
        }
    }
    return result;
}

}  // namespace quorly
