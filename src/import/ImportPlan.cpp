#include "import/ImportPlan.h"

#include <QSet>
#include <QUrl>

namespace quorly {

namespace {

const QList<QPair<QString, ImportField>> kListWords = {
    {QStringLiteral("name"), ImportField::Name},         {QStringLiteral("url"), ImportField::URL},
    {QStringLiteral("user1"), ImportField::UserID1},     {QStringLiteral("user2"), ImportField::UserID2},
    {QStringLiteral("password"), ImportField::Password}, {QStringLiteral("notes"), ImportField::Notes},
    {QStringLiteral("-"), ImportField::None},
};

// The name rule of the import: names are no paths.
QString nameFromField(const QString& field)
{
    QString name = field.startsWith(u'.') ? field.mid(1) : field;
    name.replace(u'/', u'-');
    return name;
}

QString fieldAt(const ImportRecord& record, std::optional<int> position)
{
    return position && *position < record.fields.size() ? record.fields.at(*position) : QString();
}

QString hostOf(const QString& url)
{
    const QString host = QUrl::fromUserInput(url.trimmed()).host();
    return host.isEmpty() ? url.trimmed() : host;
}

}  // namespace

ImportPlan ImportPlan::fromColumns(const ImportColumns& columns)
{
    ImportPlan plan;
    for (int position = 0; position < kMaxImportFields; ++position) {
        if (columns.isMarked(position))
            plan.marked_.append({position, columns.fieldAt(position)});
    }
    return plan;
}

std::optional<ImportPlan> ImportPlan::fromList(const QString& list, QString* error)
{
    ImportPlan plan;
    const QStringList words = list.split(u',');
    if (words.size() > kMaxImportFields) {
        *error = QStringLiteral("at most %1 columns of a line are read; the list names %2.")
                     .arg(kMaxImportFields)
                     .arg(words.size());
        return std::nullopt;
    }
    for (int position = 0; position < words.size(); ++position) {
        const QString word = words.at(position).trimmed().toLower();
        auto known = std::find_if(kListWords.begin(), kListWords.end(), [&](const auto& w) { return w.first == word; });
        if (known == kListWords.end()) {
            *error = QStringLiteral("'%1' is no column name; use name, url, user1, user2, password, notes or -.")
                         .arg(words.at(position));
            return std::nullopt;
        }
        if (known->second == ImportField::None)
            continue;
        if (plan.positionOf(known->second)) {
            *error = QStringLiteral("'%1' is named twice.").arg(known->first);
            return std::nullopt;
        }
        plan.marked_.append({position, known->second});
    }
    return plan;
}

std::optional<int> ImportPlan::positionOf(ImportField field) const
{
    std::optional<int> found;
    for (const auto& [position, marked] : marked_) {
        if (marked == field)
            found = position;
    }
    return found;
}

std::optional<int> ImportPlan::namePosition() const
{
    return positionOf(ImportField::Name);
}

std::optional<QString> importedEntryName(const ImportRecord& record, const ImportPlan& plan)
{
    for (const QString& candidate : {nameFromField(fieldAt(record, plan.namePosition())),
                                     nameFromField(hostOf(fieldAt(record, plan.positionOf(ImportField::URL)))),
                                     nameFromField(fieldAt(record, plan.positionOf(ImportField::UserID1)))}) {
        if (!candidate.trimmed().isEmpty())
            return candidate;
    }
    return std::nullopt;
}

bool looksLikeColumnTitles(const ImportRecord& record)
{
    static const QSet<QString> titles = {
        QStringLiteral("name"),     QStringLiteral("title"),    QStringLiteral("url"),
        QStringLiteral("website"),  QStringLiteral("username"), QStringLiteral("user"),
        QStringLiteral("login"),    QStringLiteral("email"),    QStringLiteral("user id"),
        QStringLiteral("password"), QStringLiteral("note"),     QStringLiteral("notes"),
        QStringLiteral("group"),    QStringLiteral("login_uri"), QStringLiteral("login_username"),
        QStringLiteral("login_password"),
    };
    int known = 0;
    for (const QString& field : record.fields) {
        if (titles.contains(field.trimmed().toLower()))
            ++known;
    }
    return known >= 2;
}

ImportOutcome importRecords(EntryList& list, const QList<ImportRecord>& records, const ImportPlan& plan,
                            const ImportProgress& progress)
{
    ImportOutcome outcome;
    // One set of the names for the whole import: asking the list for every record
    // would read all its names again each time.
    QSet<QString> taken = namesOf(list.entries());
    const int total = int(records.size());
    for (int i = 0; i < total; ++i) {
        const ImportRecord& record = records.at(i);
        std::optional<QString> name;
        if (record.isBlank()) {
            // A blank line of the file, whatever its field count: nothing to keep.
        } else if (record.fields.size() < plan.markedCount()) {
            outcome.notImported.append({i, record, ImportSkip::TooFewFields});
        } else if (!(name = importedEntryName(record, plan))) {
            outcome.notImported.append({i, record, ImportSkip::NoName});
        } else {
            const QString unique = uniqueNameAmong(taken, *name);
            taken.insert(unique);
            Entry entry = newEntryForImport(unique);
            QStringList cut;
            for (const auto& [position, field] : plan.marked()) {
                const std::optional<QString> key = entryKeyForImportField(field);
                if (position >= record.fields.size() || (!key && field != ImportField::Name))
                    continue;
                if (record.wasCut(position))
                    cut << importColumnTitle(field);
                if (!key)
                    continue;
                const QString& value = record.fields.at(position);
                // The rest of the program stores no empty second user ID: its presence
                // adds a blank to the user IDs shown and printed.
                if (field == ImportField::UserID2 && value.isEmpty())
                    continue;
                entry.setString(*key, value);
            }
            if (!cut.isEmpty())
                outcome.cutFields.append({unique, cut});
            list.append(makeEntry(std::move(entry)));
            ++outcome.imported;
        }
        if (progress)
            progress(i + 1, total);
    }
    return outcome;
}

QString cutFieldsReport(const QList<QPair<QString, QStringList>>& cutFields)
{
    if (cutFields.isEmpty())
        return QString();
    QStringList items;
    for (const auto& [name, titles] : cutFields)
        items << QStringLiteral("\u201c%1\u201d (%2)").arg(name, titles.join(QStringLiteral(", ")));
    return QStringLiteral("Some fields were longer than %1 bytes and were imported cut to that length; check "
                          "them: %2.")
        .arg(kMaxImportFieldBytes)
        .arg(items.join(QStringLiteral("; ")));
}

}  // namespace quorly

namespace quorly {

QString importReport(const ImportOutcome& outcome)
{
    QStringList parts;
    if (!outcome.notImported.isEmpty()) {
        parts << QStringLiteral("%1 of these records could not be imported: each has fewer fields than there are "
                                "ticked columns, or no name, website or user ID to name its entry by. %2 entries were "
                                "imported.")
                     .arg(outcome.notImported.size())
                     .arg(outcome.imported);
    }
    if (!outcome.cutFields.isEmpty())
        parts << cutFieldsReport(outcome.cutFields);
    return parts.join(u' ');
}

}  // namespace quorly
