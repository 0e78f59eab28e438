// The export file's bytes, read back by an independent CSV reader (Python's csv
// module), its private and atomic write, and the printout's styled text.
#include "entries/ExportText.h"
#include "entries/PrintLayout.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace quorly;

namespace {

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

EntryRef entryOf(const QString& name, const QString& url, const QString& user, const QString& user2,
                 const QString& password, const QString& notes)
{
    Entry e = newEntryForAdd();
    e.setName(name);
    for (const auto& [key, value] : {std::pair{EntryKey::WebsiteURL, url}, {EntryKey::WebsiteUserID, user},
                                     {EntryKey::WebsiteUserID2, user2}, {EntryKey::WebsitePassword, password}}) {
        if (!value.isEmpty())
            e.setString(key, value);
    }
    e.setString(EntryKey::Notes, notes);
    return makeEntry(e);
}

EntryList sampleList()
{
    EntryList list;
    list.append(entryOf("Bank", "https://bank.example", "me", "", "", "x"));
    list.append(entryOf("Mail", "", "", "", "p\"w", "line one\nline two"));
    list.append(entryOf("Shop", "shop.example", "a", "b", "s3cret", ""));
    list.append(entryOf("Zoo", "", "", "", "", ""));
    return list;
}

}  // namespace

TEST(Export, LinesAreSixQuotedFieldsInListOrder)
{
    const EntryList list = sampleList();
    EXPECT_EQ(exportText(list, {0}), QByteArray("\"Bank\",\"https://bank.example\",\"me\",\"\",\"\",\"x\"\n"));
    // Rows 3 and 1 selected: row 1 comes first. The quote inside the password is
    // doubled; the two-line note stays inside its quotes.
    EXPECT_EQ(exportText(list, {3, 1}), QByteArray("\"Mail\",\"\",\"\",\"\",\"p\"\"w\",\"line one\nline two\"\n"
                                                   "\"Zoo\",\"\",\"\",\"\",\"\",\"\"\n"));
    EXPECT_TRUE(exportText(list, {}).isEmpty());
}

TEST(Export, AnIndependentCsvReaderReadsEveryValueBack)
{
    EntryList list = sampleList();
    list.append(entryOf("Ünïcödé, \"quoted\"", "u", " lead", "tail ", "a,b;c\td", "crlf\r\nnote"));
    QTemporaryDir dir;
    const QString path = dir.filePath("export.txt");
    QString error;
    ASSERT_TRUE(writeExportFile(path, exportText(list, {0, 1, 2, 3, 4}), &error)) << error.toStdString();

    QProcess python;
    python.start("python3", {"-c", "import csv, json, sys\n"
                                   "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                   "    json.dump(list(csv.reader(f)), sys.stdout)\n",
                             path});
    ASSERT_TRUE(python.waitForFinished(30000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(rows.size(), list.size());
    for (int i = 0; i < list.size(); ++i) {
        const Entry& e = *list.at(i);
        QStringList expected;
        for (const QString& key : {EntryKey::Path, EntryKey::WebsiteURL, EntryKey::WebsiteUserID,
                                   EntryKey::WebsiteUserID2, EntryKey::WebsitePassword, EntryKey::Notes})
            expected << e.string(key);
        QStringList read;
        for (const QJsonValue& v : rows.at(i).toArray())
            read << v.toString();
        EXPECT_EQ(read, expected) << i;
    }
}

TEST(Export, TheFileIsPrivateReplacedWholeAndAFailedWriteIsReported)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("export.txt");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents");
    old.close();
    ::chmod(QFile::encodeName(path).constData(), 0644);

    QString error;
    ASSERT_TRUE(writeExportFile(path, "\"new\"\n", &error));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("\"new\"\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);  // no leftover

    EXPECT_FALSE(writeExportFile(dir.filePath("no/such/folder/export.txt"), "x", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(Print, EachEntryIsItsBoldNameAndOneLabelledLinePerField)
{
    const EntryList list = sampleList();
    EXPECT_EQ(printItem(*list.at(3)), (QList<PrintRun>{{"Zoo", PrintStyle::EntryName}, {"\n\n", PrintStyle::Value}}));
    const QList<PrintRun> shop = printItem(*list.at(2));
    ASSERT_EQ(shop.size(), 8);
    EXPECT_EQ(shop.at(3), (PrintRun{"\nUserID: ", PrintStyle::Label}));
    EXPECT_EQ(shop.at(4), (PrintRun{"a b", PrintStyle::Value}));
    EXPECT_EQ(plainText(shop), "Shop\nWebsite: shop.example\nUserID: a b\nPassword: s3cret\n\n");

    // A second user ID without a first prints no user-ID line at all.
    const EntryRef onlySecond = entryOf("Odd", "", "", "second", "", "");
    EXPECT_EQ(plainText(printItem(*onlySecond)), "Odd\n\n");
    EXPECT_EQ(plainText(printItem(*list.at(1))), "Mail\nPassword: p\"w\nNotes: line one\nline two\n\n");

    // No selection prints every entry; a selection only its rows, in list order.
    EXPECT_EQ(plainText(printString(list, {})).count("\n\n"), 4);
    EXPECT_EQ(plainText(printString(list, {3, 0})), plainText(printItem(*list.at(0))) + "Zoo\n\n");
    EXPECT_EQ(printFontFor(PrintStyle::EntryName).pointSize, 16.0);
    EXPECT_TRUE(printFontFor(PrintStyle::Label).bold);
    EXPECT_FALSE(printFontFor(PrintStyle::Value).bold);
}
