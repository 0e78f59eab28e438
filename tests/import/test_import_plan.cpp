// The import's column mapping and its loop: which records become entries, with what
// names and fields; and that an export imports back into the same entries.
#include "entries/ExportText.h"
#include "import/ImportPlan.h"

#include <gtest/gtest.h>

using namespace quorly;

namespace {

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

ImportPlan planOf(const char* list)
{
    QString error;
    const std::optional<ImportPlan> plan = ImportPlan::fromList(QString::fromUtf8(list), &error);
    EXPECT_TRUE(plan) << error.toStdString();
    return plan.value_or(ImportPlan());
}

QList<ImportRecord> records(const QString& text) { return parseDelimitedText(text, Separator::Comma); }

QStringList namesIn(const EntryList& list)
{
    QStringList names;
    for (const EntryRef& e : list.entries())
        names << e->name();
    return names;
}

}  // namespace

TEST(ImportColumns, MarksStayWithPositionsWhenColumnsMove)
{
    ImportColumns columns;
    EXPECT_EQ(columns.titleAt(0), "Name");
    EXPECT_TRUE(columns.isMarked(0));
    EXPECT_FALSE(columns.isCellEnabled(0));  // "Name" cannot be unticked
    EXPECT_FALSE(columns.isCellEnabled(6));  // nor an untitled column ticked
    columns.setMarked(0, false);
    EXPECT_TRUE(columns.isMarked(0));

    columns.setMarked(4, true);  // Password
    // "Notes" dragged to the front: Name..Password shift right, the marks do not.
    columns.columnDidMove(5, 0);
    EXPECT_EQ(columns.titleAt(0), "Notes");
    EXPECT_EQ(columns.titleAt(1), "Name");
    EXPECT_EQ(columns.titleAt(5), "Password");
    EXPECT_TRUE(columns.isMarked(0));
    EXPECT_FALSE(columns.isMarked(1));
    EXPECT_TRUE(columns.isMarked(4));  // now under "User ID 2"
    EXPECT_FALSE(columns.isMarked(5));

    const ImportPlan plan = ImportPlan::fromColumns(columns);
    EXPECT_EQ(plan.markedCount(), 2);
    EXPECT_FALSE(plan.namePosition());  // the name column stands on an unmarked position
    EXPECT_EQ(plan.positionOf(ImportField::UserID2), 4);

    columns.reset();
    EXPECT_EQ(ImportPlan::fromColumns(columns).markedCount(), 1);
    EXPECT_EQ(columns.titleAt(5), "Notes");
}

TEST(ImportPlan, ListsNameTheFieldOfEachColumn)
{
    const ImportPlan plan = planOf("-,name,user1,password,url,notes");
    EXPECT_EQ(plan.markedCount(), 5);
    EXPECT_EQ(plan.namePosition(), 1);
    EXPECT_EQ(plan.positionOf(ImportField::URL), 4);
    QString error;
    EXPECT_FALSE(ImportPlan::fromList("name,login", &error));
    EXPECT_TRUE(error.contains("login"));
    EXPECT_FALSE(ImportPlan::fromList("name,url,name", &error));
    EXPECT_FALSE(ImportPlan::fromList("-,-,-,-,-,-,-,-,-,name", &error));
}

TEST(ImportPlan, RecordsWithTooFewFieldsStayListedAndBlankOnesVanish)
{
    EntryList list;
    // Positions 0, 1 and 4 marked.
    const ImportPlan plan = planOf("name,url,-,-,password");
    const QList<ImportRecord> input = records(QStringLiteral("Bank,bank.example,x,y,secret\n"
                                                             "Short,some text\n"
                                                             ",\n"
                                                             "  ,,\t\n"
                                                             "Mail,mail.example,-,-,pw,extra\n"));
    int lastProgress = 0;
    const ImportOutcome outcome = importRecords(list, input, plan, [&](int done, int total) {
        EXPECT_EQ(total, 5);
        lastProgress = done;
    });
    EXPECT_EQ(lastProgress, 5);
    EXPECT_EQ(outcome.imported, 2);
    ASSERT_EQ(outcome.notImported.size(), 1);
    EXPECT_EQ(outcome.notImported.first().record.fields, (QStringList{"Short", "some text"}));
    EXPECT_EQ(outcome.notImported.first().reason, ImportSkip::TooFewFields);
    EXPECT_EQ(outcome.notImported.first().index, 1);

    ASSERT_EQ(list.size(), 2);
    const Entry& bank = *list.at(0);
    EXPECT_EQ(bank.name(), "Bank");
    EXPECT_EQ(bank.string(EntryKey::WebsiteURL), "bank.example");
    EXPECT_EQ(bank.string(EntryKey::WebsitePassword), "secret");
    EXPECT_FALSE(bank.contains(EntryKey::WebsiteUserID));  // unmarked columns store nothing
    // The defaults of `newCategoryNamed:edit:`.
    EXPECT_EQ(bank, [] {
        Entry e = newEntryForImport("Bank");
        e.setString(EntryKey::WebsiteURL, "bank.example");
        e.setString(EntryKey::WebsitePassword, "secret");
        return e;
    }());
}

TEST(ImportPlan, NamesAreMadeUniqueAndFreeOfPathCharacters)
{
    EntryList list;
    list.append(makeEntry(newEntryForImport("hidden-dir")));
    const ImportOutcome outcome = importRecords(list, records(".hidden/dir\n.hidden/dir\nhidden-dir\n..x\n"),
                                                planOf("name"));
    EXPECT_EQ(outcome.imported, 4);
    EXPECT_EQ(namesIn(list), (QStringList{"hidden-dir", "hidden-dir2", "hidden-dir3", "hidden-dir4", ".x"}));
}

TEST(ImportPlan, WithoutANameTheEntryIsNamedAfterItsWebsiteOrUser)
{
    // A browser's export has no name column: url,username,password.
    EntryList list;
    const ImportOutcome outcome =
        importRecords(list, records("https://accounts.example.com/login?x=1,me,pw\n"
                                    "https://accounts.example.com,you,pw2\n"
                                    ",only-user,pw3\n"
                                    ",,pw4\n"),
                      planOf("url,user1,password"));
    EXPECT_EQ(namesIn(list), (QStringList{"accounts.example.com", "accounts.example.com2", "only-user"}));
    EXPECT_EQ(list.at(0)->string(EntryKey::WebsiteURL), "https://accounts.example.com/login?x=1");
    ASSERT_EQ(outcome.notImported.size(), 1);
    EXPECT_EQ(outcome.notImported.first().reason, ImportSkip::NoName);

    // An empty name field, or a name column beyond the record's last field, falls back
    // the same way.
    EntryList more;
    importRecords(more, records(",site.example,u\n"), planOf("name,url,user1"));
    const ImportPlan sparse = planOf("url,user1,-,-,name");
    importRecords(more, records("other.example,u,p\n"), sparse);
    EXPECT_EQ(namesIn(more), (QStringList{"site.example", "other.example"}));
}

TEST(ImportPlan, ExportsStartWithALineOfColumnTitles)
{
    EXPECT_TRUE(looksLikeColumnTitles(records("url,username,password,httpRealm").first()));
    EXPECT_TRUE(looksLikeColumnTitles(records("\"Group\",\"Title\",\"Username\",\"Password\"").first()));
    EXPECT_FALSE(looksLikeColumnTitles(records("Bank,https://bank.example,me,password").first()));
}

TEST(ImportPlan, CutFieldsAreReportedByEntryAndColumn)
{
    EntryList list;
    const QString longNote = QString(9000, u'n');
    const ImportOutcome outcome = importRecords(list, records("Bank,\"" + longNote + "\"\nMail,short\n"),
                                                planOf("name,notes"));
    ASSERT_EQ(outcome.cutFields.size(), 1);
    EXPECT_EQ(outcome.cutFields.first().first, "Bank");
    EXPECT_EQ(outcome.cutFields.first().second, QStringList{"Notes"});
    EXPECT_EQ(list.at(0)->string(EntryKey::Notes).size(), kMaxImportFieldBytes);
    const QString report = cutFieldsReport(outcome.cutFields);
    EXPECT_TRUE(report.contains("\u201cBank\u201d (Notes)")) << report.toStdString();
    EXPECT_TRUE(cutFieldsReport({}).isEmpty());
}

TEST(ImportPlan, AnExportImportsBackIntoTheSameEntries)
{
    EntryList original;
    const auto add = [&original](const QString& name, const QString& user2, const QString& password,
                                 const QString& notes) {
        Entry e = newEntryForImport(name);
        e.setString(EntryKey::WebsiteURL, "https://" + name.toLower() + ".example/");
        e.setString(EntryKey::WebsiteUserID, " me  ");
        if (!user2.isEmpty())
            e.setString(EntryKey::WebsiteUserID2, user2);
        e.setString(EntryKey::WebsitePassword, password);
        e.setString(EntryKey::Notes, notes);
        original.append(makeEntry(e));
    };
    add("Bank", "", R"(q"uo""te)", "line one\nline, two\r\nthree");
    add("Mail", "second", "ä ö ü 😀", "");
    add("Semi", "x", "a;b\tc", "\"quoted\"");
    const QByteArray text = exportText(original, {0, 1, 2});

    EntryList imported;
    const ImportOutcome outcome = importRecords(
        imported, parseDelimitedText(decodeImportText(text)->text, Separator::Comma),
        planOf("name,url,user1,user2,password,notes"));
    EXPECT_TRUE(outcome.notImported.isEmpty());
    ASSERT_EQ(imported.size(), original.size());
    for (int i = 0; i < original.size(); ++i)
        EXPECT_EQ(*imported.at(i), *original.at(i)) << i;
}
