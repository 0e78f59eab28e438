// The support message: its body from a scratch journal and crash folder, the mail link's
// escaping and its cut, and the facts about the system it carries.
#include "app/Preferences.h"
#include "app/SupportMail.h"
#include "platform/Diagnostics.h"

#include "app/ScratchHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

const QString kOpeningWithOS = QStringLiteral(
    "\n\nDebugging info is included below.  You can delete it if irrelevant to your email, or review it to "
    "assure that it contains no information that you do not want sent.  It contains your preferences, "
    "information from recent crashes (if any), and your OS version (Debian GNU/Linux 12).\n\n"
    "--------------------------   Preferences   --------------------------\n");
const QString kLogTitle =
    QStringLiteral("\n\n--------------------------   Log Entries   --------------------------\n\n");
const QString kCrashTitle =
    QStringLiteral("\n\n--------------------------   Crash Report   --------------------------\n");

class SupportMailTest : public ::testing::Test {
protected:
    void writeReport(const QString& name, const QByteArray& text)
    {
        QDir().mkpath(QFileInfo(folder + "/" + name).absolutePath());
        QFile file(folder + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    SupportMail::DiagnosticInfo gather(const QString& journal)
    {
        SupportMail::DiagnosticInfo info = SupportMail::gather([journal] { return journal; }, folder);
        info.osVersion = "Debian GNU/Linux 12";
        return info;
    }

    ScratchHome scratch;
    QString folder = Diagnostics::crashReportsFolder();
};

TEST_F(SupportMailTest, WithNothingToReportOnlyTheOpeningPreferencesAndLogTitleRemain)
{
    Preferences::setString(PrefKey::HotkeyUserID, "u");
    Preferences::setString(PrefKey::LastPWFile, "/home/me/My Bank.qly");
    Preferences::setBool(PrefKey::HoverURL, true);
    const QString description = SupportMail::preferencesDescription();
    EXPECT_EQ(description, "{\n    \"Last PW File\" = \"/home/me/My Bank.qly\";\n    hotkeyUserID = u;\n"
                           "    hoverURL = true;\n}");

    const QString body = SupportMail::body(gather("Jan 01 gnome-shell: nothing of ours\n"));
    EXPECT_EQ(body, kOpeningWithOS + description + kLogTitle);
}

TEST_F(SupportMailTest, JournalLinesAndEveryReadableReportGetTheirPlace)
{
    EXPECT_EQ(folder, scratch.path() + "/state/Quorly/CrashReports");
    writeReport("Quorly_2026-01-01-100000_1.crash", "first crash\n");
    writeReport("Quorly_2026-02-01-100000_2.crash", "second crash\n");
    writeReport("Quorly_2026-03-01-100000_3.crash", "");                     // says nothing
    writeReport("Other_2026-03-01-100000_4.crash", "not ours");              // another program's
    QFile::link(folder + "/missing", folder + "/Quorly_2026-04-01-100000_5.crash");  // cannot be read
    writeReport("Quorly/old.crash", "older crash");                          // below, found too

    const SupportMail::DiagnosticInfo info =
        gather("Jan 01 quorly[7]: first\r\nJan 01 kernel: other\nJan 01 systemd: Started Quorly.\n");
    EXPECT_EQ(info.logLines, (QStringList{"Jan 01 quorly[7]: first", "Jan 01 systemd: Started Quorly."}));
    // Newest first, so that a cut of a long message drops the oldest.
    EXPECT_EQ(info.crashReports, (QStringList{"second crash", "first crash", "older crash"}));

    const QString body = SupportMail::body(info);
    EXPECT_TRUE(body.contains(kLogTitle + "Jan 01 quorly[7]: first\rJan 01 systemd: Started Quorly.\r" + kCrashTitle +
                              "second crash" + kCrashTitle + "first crash" + kCrashTitle + "older crash"));
    EXPECT_TRUE(body.endsWith("older crash"));

    // No journal, no folder: empty sections, never a failure.
    QDir(folder).removeRecursively();
    EXPECT_EQ(SupportMail::body(gather(QString())), kOpeningWithOS + SupportMail::preferencesDescription() + kLogTitle);
}

TEST(SupportMailLink, EscapesEverythingThatWouldEndTheBody)
{
    const QByteArray link = SupportMail::link("help@example.org", "a&b=c?d#e f\nnext \u00e9\r\nlast\r", "/x");
    EXPECT_EQ(link, "mailto:help@example.org?Subject=Quorly%20v3.2&body="
                    "a%26b%3Dc%3Fd%23e%20f%0D%0Anext%20%C3%A9%0D%0Alast%0D%0A");
    // The desktop is handed the link as it is.
    EXPECT_EQ(QUrl::fromEncoded(link).toEncoded(), link);
}

TEST(SupportMailLink, ATooLongBodyIsCutAtALineWithANote)
{
    QString body;
    for (int i = 0; i < 400; ++i)
        body += QStringLiteral("line %1 with some words \u00fcber alles\n").arg(i);
    const QByteArray whole = SupportMail::link("a@b.c", body, "/state/CrashReports", 1000000);
    EXPECT_FALSE(whole.contains("left%20out"));

    const QByteArray cut = SupportMail::link("a@b.c", body, "/state/CrashReports", 4000);
    EXPECT_LE(cut.size(), 4000);
    const QString text = QUrl::fromPercentEncoding(cut.mid(cut.indexOf("&body=") + 6));
    EXPECT_TRUE(text.startsWith("line 0 with some words \u00fcber alles\r\n"));
    // The last line kept is whole, then the note says what happened and where to look.
    const qsizetype note = text.indexOf("\r\n\r\n[The rest of the debugging info is left out");
    ASSERT_GT(note, 0);
    EXPECT_TRUE(text.left(note).endsWith("\u00fcber alles")) << text.left(note).right(40).toStdString();
    EXPECT_TRUE(text.endsWith("The crash reports are in the folder /state/CrashReports; you can attach them.]"));
}

TEST(Diagnostics, OSVersionFromOsRelease)
{
    EXPECT_EQ(Diagnostics::osVersion("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
                                     "Linux 6.1.0"),
              "Debian GNU/Linux 12 (bookworm), Linux 6.1.0");
    EXPECT_EQ(Diagnostics::osVersion("NAME='Arch \\\"Linux\\\"'\nVERSION=rolling\n# PRETTY_NAME=x\n", ""),
              "Arch \"Linux\" rolling");
    EXPECT_EQ(Diagnostics::osVersion("", "Linux 6.1.0"), "Linux 6.1.0");
    EXPECT_EQ(Diagnostics::osVersion("garbage", ""), "unknown");
    EXPECT_FALSE(Diagnostics::osVersion().isEmpty());
}

}  // namespace
