// The parser of delimited text: the splitting and quoting rules, the mends that keep
// every credential exactly as written, the file's decoding, and real exports of
// Firefox, Chrome and KeePassXC (tests/fixtures/import; see make-exports.py there).
#include "import/DelimitedText.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

QList<QStringList> fieldsOf(const QString& text, Separator separator)
{
    QList<QStringList> result;
    for (const ImportRecord& record : parseDelimitedText(text, separator))
        result << record.fields;
    return result;
}

QList<QStringList> fixture(const char* name, Separator separator)
{
    QFile file(QStringLiteral(QUORLY_TEST_DATA_DIR "/import/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    const std::optional<ImportText> text = decodeImportText(file.readAll());
    EXPECT_TRUE(text);
    return fieldsOf(text ? text->text : QString(), separator);
}

using Rows = QList<QStringList>;

}  // namespace

TEST(DelimitedText, QuotedRunsProtectSeparatorsAndDoubledQuotesCollapse)
{
    EXPECT_EQ(fieldsOf(R"("Smith, J",42)", Separator::Comma), (Rows{{"Smith, J", "42"}}));
    EXPECT_EQ(fieldsOf(R"("say ""hi""")", Separator::Comma), (Rows{{R"(say "hi")"}}));
    EXPECT_EQ(fieldsOf(R"(x,"a""""b")", Separator::Comma), (Rows{{"x", R"(a""b)"}}));
    EXPECT_EQ(fieldsOf(R"("a;b";"";")", Separator::Semicolon), (Rows{{"a;b", "", ""}}));
    // A trailing separator leaves an empty last field.
    EXPECT_EQ(fieldsOf("a,b,", Separator::Comma), (Rows{{"a", "b", ""}}));
    // Text after a closing mark belongs to the field, which then loses its first and
    // last character as a quoted field does.
    EXPECT_EQ(fieldsOf(R"("ab"cd,e)", Separator::Comma), (Rows{{R"(ab"c)", "e"}}));
}

TEST(DelimitedText, LineBreaksInsideQuotesStayForCommaAndSemicolonButNotForTab)
{
    EXPECT_EQ(fieldsOf("\"one\ntwo\",x\nnext", Separator::Comma), (Rows{{"one\ntwo", "x"}, {"next"}}));
    EXPECT_EQ(fieldsOf("\"one\r\ntwo\";x", Separator::Semicolon), (Rows{{"one\r\ntwo", "x"}}));
    EXPECT_EQ(fieldsOf("\"one\ntwo\"\tx", Separator::Tab), (Rows{{"\"one"}, {"two\"", "x"}}));
    // With tabs quotation marks are plain characters.
    EXPECT_EQ(fieldsOf("\"a\"\"b\"\t\"c", Separator::Tab), (Rows{{"\"a\"\"b\"", "\"c"}}));
}

TEST(DelimitedText, LineEndsOfEveryKindGiveTheSameRecordsAndBlankLinesVanish)
{
    const Rows expected{{"a", "b"}, {"c", "d"}};
    EXPECT_EQ(fieldsOf("a,b\nc,d\n", Separator::Comma), expected);
    EXPECT_EQ(fieldsOf("a,b\r\nc,d\r\n", Separator::Comma), expected);
    EXPECT_EQ(fieldsOf("a,b\rc,d", Separator::Comma), expected);
    EXPECT_EQ(fieldsOf("\n\na,b\n\n\nc,d", Separator::Comma), expected);
    EXPECT_TRUE(fieldsOf("", Separator::Comma).isEmpty());
    EXPECT_EQ(splitTextIntoLines(u"a\r\nb", Separator::Comma), (QStringList{"a", "", "b"}));
    EXPECT_EQ(splitTextIntoLines(u"", Separator::Tab), QStringList{""});
}

TEST(DelimitedText, SpacesAreKeptExactlyAsWritten)
{
    // The original folded runs of spaces and dropped leading ones; either would change
    // a password.
    EXPECT_EQ(fieldsOf("  a   b ,two  spaces", Separator::Comma), (Rows{{"  a   b ", "two  spaces"}}));
    EXPECT_EQ(fieldsOf("\" lead\",\"tail \"", Separator::Comma), (Rows{{" lead", "tail "}}));
    // A quotation mark after a space opens no quoted run: the comma inside splits, and
    // what is written stays.
    EXPECT_EQ(fieldsOf(R"( "a,b",c)", Separator::Comma), (Rows{{R"( "a)", R"(b")", "c"}}));
}

TEST(DelimitedText, AtMostNineFieldsAndLongFieldsAreCutAtACharacterAndReported)
{
    const QList<ImportRecord> twelve = parseDelimitedText(u"1,2,3,4,5,6,7,8,9,10,11,12", Separator::Comma);
    ASSERT_EQ(twelve.size(), 1);
    EXPECT_EQ(twelve.first().fields, (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9"}));

    // 8190 ASCII bytes and a two-byte character would pass the limit in its middle.
    const QString justFits = QString(8191, u'x');
    const QString tooLong = QString(8190, u'y') + QStringLiteral("é!");
    const ImportRecord record = parseRecord(QStringLiteral("a,%1,\"%2\"").arg(justFits, tooLong), Separator::Comma);
    ASSERT_EQ(record.fields.size(), 3);
    EXPECT_EQ(record.fields.at(1), justFits);
    EXPECT_EQ(record.fields.at(2), QString(8190, u'y'));
    EXPECT_FALSE(record.wasCut(1));
    EXPECT_TRUE(record.wasCut(2));
    // A character beyond the BMP is never split between its two halves.
    const ImportRecord emoji = parseRecord(QString(8188, u'z') + QStringLiteral("😀"), Separator::Tab);
    EXPECT_EQ(emoji.fields.first(), QString(8188, u'z'));
}

TEST(DelimitedText, DecodesUtf8WithoutItsMarkAndFallsBackToLatin1)
{
    const std::optional<ImportText> utf8 = decodeImportText(QByteArray("\xEF\xBB\xBFna\xC3\xAFve,\xE2\x9C\x93"));
    ASSERT_TRUE(utf8);
    EXPECT_EQ(utf8->text, QStringLiteral("naïve,✓"));
    EXPECT_EQ(utf8->encoding, ImportEncoding::UTF8);

    // Windows exports in a legacy code page: not UTF-8, so every byte is one character.
    const std::optional<ImportText> latin1 = decodeImportText(QByteArray("caf\xE9,se\xF1or"));
    ASSERT_TRUE(latin1);
    EXPECT_EQ(latin1->text, QStringLiteral("café,señor"));
    EXPECT_EQ(latin1->encoding, ImportEncoding::Latin1);

    const QString wide = QStringLiteral("name,pässword\n");
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(wide.utf16()), wide.size() * 2);
    const std::optional<ImportText> fromUtf16 = decodeImportText(utf16);
    ASSERT_TRUE(fromUtf16);
    EXPECT_EQ(fromUtf16->text, wide);

    // A lone half of a surrogate pair has no UTF-8 form and would change on export.
    EXPECT_FALSE(decodeImportText(QByteArray::fromHex("feff0061da776974")));

    QString error;
    EXPECT_FALSE(decodeImportText(QByteArray("PK\x03\x04\x00\x00", 6), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(DelimitedText, UnreadableFilesAreRefusedWithAReason)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(readImportFile(dir.filePath("missing.csv"), &error));
    EXPECT_TRUE(error.contains("missing.csv")) << error.toStdString();
    EXPECT_FALSE(readImportFile(dir.path(), &error));
    EXPECT_TRUE(error.contains("folder"));
    if (::geteuid() != 0) {
        QFile locked(dir.filePath("locked.csv"));
        ASSERT_TRUE(locked.open(QIODevice::WriteOnly));
        locked.close();
        locked.setPermissions(QFileDevice::WriteOwner);
        EXPECT_FALSE(readImportFile(locked.fileName(), &error));
    }
}

TEST(DelimitedText, ReadsFirefoxExportLogins)
{
    const Rows rows = fixture("firefox.csv", Separator::Comma);
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows.at(0).mid(0, 3), (QStringList{"url", "username", "password"}));
    EXPECT_EQ(rows.at(1).mid(0, 4), (QStringList{"https://accounts.example.com", "jörg.müller@example.de", "two  spaces", ""}));
    EXPECT_EQ(rows.at(2).mid(1, 2), (QStringList{" lead", R"(say "hi")"}));
    EXPECT_EQ(rows.at(3).mid(1, 2), (QStringList{"名前", "tail "}));
    EXPECT_EQ(rows.at(4).at(2), QStringLiteral("p,q;r\t\""));
    EXPECT_EQ(rows.at(5).mid(0, 5),
              (QStringList{"https://intranet.example", "multi\nline", R"(quote"inside)", R"(Realm "x")", ""}));
    EXPECT_EQ(rows.at(5).size(), 9);
    EXPECT_EQ(rows.at(5).at(8), QStringLiteral("1700000200004"));
}

TEST(DelimitedText, ReadsChromeExportWithCrLf)
{
    const Rows rows = fixture("chrome.csv", Separator::Comma);
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows.at(0), (QStringList{"name", "url", "username", "password", "note"}));
    EXPECT_EQ(rows.at(1), (QStringList{"accounts.example.com", "https://accounts.example.com/", "jörg.müller@example.de",
                                       "two  spaces", ""}));
    EXPECT_EQ(rows.at(2).mid(2, 2), (QStringList{" lead", R"(say "hi")"}));
    EXPECT_EQ(rows.at(3).mid(2), (QStringList{"名前", "tail ", "first line\nsecond, line"}));
    EXPECT_EQ(rows.at(4).at(3), QStringLiteral("p,q;r\t\""));
}

TEST(DelimitedText, ReadsKeePassXCExport)
{
    const Rows rows = fixture("keepassxc.csv", Separator::Comma);
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows.at(0).size(), 9);  // ten titles, the tenth beyond the cap
    EXPECT_EQ(rows.at(1).mid(1, 5), (QStringList{R"(Bank "Main")", "jörg.müller", "two  spaces",
                                                 "https://bank.example.de/login",
                                                 "PIN letter in drawer\nSecond line, with comma"}));
    EXPECT_EQ(rows.at(2).mid(1, 5),
              (QStringList{"Mail, work", " lead", R"(p"q,r;s)", "https://mail.example.com", "Tab\tinside"}));
    EXPECT_EQ(rows.at(3).mid(1, 3), (QStringList{"日本語サイト", "ユーザー", " \tx  "}));
    EXPECT_EQ(rows.at(4).mid(0, 2), (QStringList{"Passwords/Work", "VPN"}));
}

TEST(DelimitedText, ReadsSemicolonAndTabFiles)
{
    EXPECT_EQ(fixture("semicolon.ssv", Separator::Semicolon),
              (Rows{{"Name", "URL", "User", "Password"}, {"Bank; private", "bank.example", "me", "a;b"},
                    {"Plain", "", "you", "x y"}}));
    EXPECT_EQ(fixture("tab.txt", Separator::Tab),
              (Rows{{"Router", "http://10.0.0.1", "admin", "\"quoted\""}, {"NAS", "", "root", "pw", "with \"notes\""}}));
}
