// The clearing rule of secrets copied to the clipboard, against the in-memory clipboard:
// taken off after the delay only while still there, never over something newer.
#include "platform/Clipboard.h"
#include "platform/ClipboardSecretTimer.h"

#include "support/EventLoop.h"
#include "support/PrintQString.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace quorly;
using namespace quorly::test;
using namespace std::chrono_literals;

namespace {

class ClipboardSecretTimerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        coreApplication();
        board = std::make_shared<MemoryClipboard>();
        setClipboard(board);
    }
    void TearDown() override { setClipboard(nullptr); }

    // Runs the event loop until the timer's wait ended; the outcome, if it did.
    std::optional<ClipboardSecretTimer::Outcome> endOf(ClipboardSecretTimer& timer)
    {
        std::optional<ClipboardSecretTimer::Outcome> outcome;
        const QMetaObject::Connection connection = QObject::connect(
            &timer, &ClipboardSecretTimer::ended, [&](ClipboardSecretTimer::Outcome o) { outcome = o; });
        spinUntil([&] { return outcome.has_value(); });
        QObject::disconnect(connection);
        return outcome;
    }

    std::shared_ptr<MemoryClipboard> board;
};

TEST(ClipboardClearDelay, ZeroKeepsNegativeMeansTheDefaultAndTheLongestIsCut)
{
    EXPECT_EQ(clipboardClearDelay(0), std::nullopt);
    EXPECT_EQ(clipboardClearDelay(30), std::optional<std::chrono::milliseconds>(30s));
    EXPECT_EQ(clipboardClearDelay(-1), std::optional<std::chrono::milliseconds>(30s));
    EXPECT_EQ(clipboardClearDelay(std::numeric_limits<qint64>::max()),
              std::optional<std::chrono::milliseconds>(std::chrono::seconds(std::numeric_limits<int>::max() / 1000)));
}

TEST_F(ClipboardSecretTimerTest, TakesTheSecretOffAfterTheDelay)
{
    ClipboardSecretTimer timer;
    timer.copy(QStringLiteral("s3cret"), 50ms);
    EXPECT_TRUE(board->holdsOurSecret());
    EXPECT_EQ(board->text(), QStringLiteral("s3cret"));
    EXPECT_EQ(endOf(timer), ClipboardSecretTimer::Outcome::Cleared);
    EXPECT_TRUE(board->text().isEmpty());
    EXPECT_FALSE(timer.waiting());
}

TEST_F(ClipboardSecretTimerTest, SomethingNewerIsNeverTakenAway)
{
    // Another program's copy.
    ClipboardSecretTimer timer;
    timer.copy(QStringLiteral("s3cret"), 30s);
    board->copyFromElsewhere(QStringLiteral("the user's"));
    EXPECT_EQ(endOf(timer), ClipboardSecretTimer::Outcome::Replaced);
    EXPECT_EQ(board->text(), QStringLiteral("the user's"));

    // A secret the program put there itself afterwards (the login's paste): its putter
    // clears it when it is done, not this wait.
    timer.copy(QStringLiteral("s3cret"), 30s);
    board->putSecret(QStringLiteral("pasted user ID"));
    timer.clearNow();
    EXPECT_EQ(board->text(), QStringLiteral("pasted user ID"));
    EXPECT_TRUE(board->holdsOurSecret());
    EXPECT_FALSE(timer.waiting());
}

TEST_F(ClipboardSecretTimerTest, ANewerCopyTakesOverTheWaitAndNoDelayKeepsIt)
{
    ClipboardSecretTimer timer;
    QSignalSpy ended(&timer, &ClipboardSecretTimer::ended);
    timer.copy(QStringLiteral("first"), 30s);
    timer.copy(QStringLiteral("second"), std::nullopt);
    QCoreApplication::processEvents();
    EXPECT_EQ(ended.count(), 0);
    EXPECT_TRUE(timer.waiting());
    EXPECT_EQ(board->text(), QStringLiteral("second"));

    timer.clearNow();  // as at quit
    EXPECT_TRUE(board->text().isEmpty());
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended.at(0).at(0).value<ClipboardSecretTimer::Outcome>(), ClipboardSecretTimer::Outcome::Cleared);
}

}  // namespace
