#include "app/Preferences.h"

#include "app/ScratchHome.h"
#include "cli/CliRunner.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

TEST(CliGenerate, PrintsOnePasswordOfTheAskedLengthOrRefusesWithAReason)
{
    ScratchHome scratch;
    quorly::Preferences::setInteger(quorly::PrefKey::GeneratedPasswordLength, 24);
    struct Case {
        QStringList args;
        int status;
        int length;              // of the password printed
        const char* message;     // of a refusal
    } cases[] = {
        {{}, 0, 24, ""},  // the preferences' length, specials included
        {{"--length", "3", "--no-specials"}, 0, 3, ""},
        {{"--length=0"}, 0, 8, ""},
        {{"--no-specials", "--length", "128"}, 0, 128, ""},
        {{"--length", "3"}, 2, 0, "at least 4 characters"},
        {{"--length", "2", "--no-specials"}, 2, 0, "at least 3 characters"},
        {{"--length", "99999999999"}, 2, 0, "at most 128 characters"},
        {{"--length", "-1"}, 2, 0, "takes a number of characters"},
        {{"--length", "twelve"}, 2, 0, "takes a number of characters"},
        {{"extra"}, 2, 0, "usage"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun run = runCli(QStringList {"generate"} + c.args);
        ASSERT_EQ(run.exitCode, c.status) << run.err.constData();
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.constData();
        if (c.status != 0) {
            EXPECT_TRUE(run.out.isEmpty());
            continue;
        }
        const QString password = QString::fromLatin1(run.out).chopped(1);
        EXPECT_EQ(run.out.back(), '\n');
        EXPECT_EQ(password.size(), c.length);
        EXPECT_EQ(password.contains(QRegularExpression(R"([^A-Za-z0-9])")), !c.args.contains("--no-specials"))
            << qPrintable(password);
    }
}
