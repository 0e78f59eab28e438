#include "entries/EntrySearch.h"

#include "platform/TextViews.h"

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
    // Whether any field matches does not depend on the order the fields are tried in,
    // so one pass over the entry's own keys does; absent keys are never visited. The
    // texts are looked at where the entry keeps them: no copy of a password is made.
    for (int i = 0; i < entry.size(); ++i) {
        if (!entry.isTextAt(i))
            continue;
        const QAnyStringView s = entry.textAt(i);
        if (s.size() < text.size() || !searchedFields().contains(entry.keyAt(i)))
            continue;
        const bool found = isUtf16(s) ? utf16Of(s).contains(text, Qt::CaseInsensitive)
                                       : latin1Of(s).contains(text, Qt::CaseInsensitive);
        if (found)
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
