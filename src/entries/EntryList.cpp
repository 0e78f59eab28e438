#include "entries/EntryList.h"

#include "platform/TextViews.h"

#include <algorithm>
#include <deque>
#include <numeric>
#include <vector>

namespace quorly {

namespace {

// UTF-16 code units order surrogates (U+D800..DFFF) before U+E000..FFFF, although the
// characters they encode lie above U+FFFF. Moving the units at and above U+D800 gives
// code point order while still comparing unit by unit.
inline char16_t codePointRank(char16_t u)
{
    if (u >= 0xE000)
        return char16_t(u - 0x800);
    if (u >= 0xD800)
        return char16_t(u + 0x2000);
    return u;
}

// Names are compared in decomposed form so canonically equivalent spellings meet.
QString sortKey(const QString& name) { return name.normalized(QString::NormalizationForm_D); }

// Characters below U+00C0 have no canonical decomposition, so a name made of them only
// is its own sort key; most names are, and they need no copy.
bool isOwnSortKey(QAnyStringView name)
{
    if (isUtf16(name)) {
        const QStringView units = utf16Of(name);
        return std::all_of(units.begin(), units.end(), [](QChar c) { return c.unicode() < 0xC0; });
    }
    const auto* bytes = reinterpret_cast<const uchar*>(name.data());
    return std::all_of(bytes, bytes + name.size(), [](uchar c) { return c < 0xC0; });
}

template <typename A, typename B>
int compareUnits(const A* pa, qsizetype na, const B* pb, qsizetype nb)
{
    const qsizetype n = std::min(na, nb);
    for (qsizetype i = 0; i < n; ++i) {
        const auto ua = char16_t(pa[i]);
        const auto ub = char16_t(pb[i]);
        if (ua != ub)
            return codePointRank(ua) < codePointRank(ub) ? -1 : 1;
    }
    if (na == nb)
        return 0;
    return na < nb ? -1 : 1;
}

// A view's units: Latin-1 bytes (as unsigned, which they are as characters) or UTF-16;
// entries hold no UTF-8.
template <typename Compare>
int withUnits(QAnyStringView s, Compare compare)
{
    Q_ASSERT(isUtf16(s) || isLatin1(s));
    if (isUtf16(s))
        return compare(utf16Of(s).utf16(), s.size());
    return compare(reinterpret_cast<const uchar*>(s.data()), s.size());
}

}  // namespace

int compareByCodePoint(QAnyStringView a, QAnyStringView b)
{
    return withUnits(a, [&b](const auto* pa, qsizetype na) {
        return withUnits(b, [&](const auto* pb, qsizetype nb) { return compareUnits(pa, na, pb, nb); });
    });
}

QSet<QString> namesOf(const QList<EntryRef>& entries)
{
    QSet<QString> names;
    names.reserve(entries.size());
    for (const EntryRef& entry : entries)
        names.insert(entry->name());
    return names;
}

QString uniqueNameAmong(const std::function<bool(const QString&)>& isTaken, const QString& name)
{
    if (!isTaken(name))
        return name;
    for (qint64 n = 2;; ++n) {
        const QString candidate = name + QString::number(n);
        if (!isTaken(candidate))
            return candidate;
    }
}

QString uniqueNameAmong(const QSet<QString>& taken, const QString& name)
{
    return uniqueNameAmong([&taken](const QString& candidate) { return taken.contains(candidate); }, name);
}

int EntryList::indexOf(const EntryRef& entry) const
{
    for (int row = 0; row < size(); ++row) {
        if (entries_.at(row) == entry)
            return row;
    }
    return -1;
}

int EntryList::indexOfEqual(const Entry& entry) const
{
    for (int row = 0; row < size(); ++row) {
        if (*entries_.at(row) == entry)
            return row;
    }
    return -1;
}

EntryRef EntryList::entryWithName(const QString& name) const
{
    for (const EntryRef& entry : entries_) {
        if (entry->name() == name)
            return entry;
    }
    return nullptr;
}

// Entries are edited in place by the editor and others, so a kept name index would go
// stale without notice; one pass over the names per call is cheap and always right,
// and keeps a long run of taken numbers (Bank2 ... Bank5000) from turning quadratic.
QString EntryList::uniqueNameForName(const QString& name) const
{
    if (!entryWithName(name))
        return name;
    return uniqueNameAmong(namesOf(entries_), name);
}

QString EntryList::copyNameForName(const QString& name) const
{
    const QSet<QString> taken = namesOf(entries_);
    const QString first = name + QStringLiteral(" copy");
    if (!taken.contains(first))
        return first;
    for (qint64 n = 2;; ++n) {
        const QString candidate = first + u' ' + QString::number(n);
        if (!taken.contains(candidate))
            return candidate;
    }
}

void EntryList::sort()
{
    // Normalising once per entry rather than once per comparison. The views point into
    // the entries, or into `normalized`, whose texts stay put as it grows.
    std::deque<QString> normalized;
    std::vector<QAnyStringView> keys;
    keys.reserve(size_t(entries_.size()));
    for (const EntryRef& entry : entries_) {
        const QAnyStringView name = entry->nameView();
        if (isOwnSortKey(name)) {
            keys.push_back(name);
        } else {
            normalized.push_back(sortKey(name.toString()));
            keys.push_back(normalized.back());
        }
    }
    const auto before = [](QAnyStringView a, QAnyStringView b) { return compareByCodePoint(a, b) < 0; };
    // A list read from a file was stored in order: nothing to move.
    if (std::is_sorted(keys.begin(), keys.end(), before))
        return;
    std::vector<qsizetype> order(keys.size());
    std::iota(order.begin(), order.end(), qsizetype(0));
    // Stable, although equal names may come in any order: a save that changes nothing
    // then leaves the rows where they were.
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype x, qsizetype y) { return before(keys[size_t(x)], keys[size_t(y)]); });
    QList<EntryRef> sorted;
    sorted.reserve(entries_.size());
    for (qsizetype i : order)
        sorted.append(entries_.at(i));
    entries_ = std::move(sorted);
}

int passwordsSort(const Entry& a, const Entry& b)
{
    return compareByCodePoint(sortKey(a.name()), sortKey(b.name()));
}

Entry newEntryForAdd()
{
    Entry e;
    e.setName(QStringLiteral("(New)"));
    e.setString(EntryKey::Button, QString());
    e.setString(EntryKey::Notes, QString());
    return e;
}

Entry newEntryForImport(const QString& uniqueName)
{
    Entry e;
    e.setName(uniqueName);
    e.setString(EntryKey::Button, QString());
    e.setString(EntryKey::Notes, QString());
    e.setInteger(EntryKey::NewUserIDOptions, 0);
    e.setInteger(EntryKey::PasswordTabCount, 0);
    e.setBool(EntryKey::PasswordTabSwitch, true);
    e.setInteger(EntryKey::UserIDTabCount, 0);
    e.setBool(EntryKey::UserIDTabSwitch, false);
    return e;
}

}  // namespace quorly
