#include "platform/RunLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

class RunLoopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_run_loop";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }

    // Lets the event loop run for `msec` without any modal run.
    static void spin(int msec)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < msec)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents();
    }

    // A modal run that lasts `msec`, then ends with `code`.
    static int modalFor(int msec, int code = 1)
    {
        static QObject panel;
        return RunLoop::runModal(&panel, [=] { QTimer::singleShot(msec, [=] { RunLoop::stopModal(&panel, code); }); });
    }
};

TEST_F(RunLoopTest, CodesOfOkCancelAbortAndNesting)
{
    EXPECT_EQ(modalFor(0, 1), 1);
    EXPECT_EQ(modalFor(0, 0), 0);
    QObject a;
    QObject b;
    EXPECT_EQ(RunLoop::runModal(&a, [&] { RunLoop::abortModal(&a); }), RunLoop::AbortCode);

    int inner = -5;
    int depthInside = 0;
    const int outer = RunLoop::runModal(&a, [&] {
        inner = RunLoop::runModal(&b, [&] {
            depthInside = RunLoop::modalDepth();
            RunLoop::stopModal(&b, 0);
        });
        EXPECT_EQ(RunLoop::modalDepth(), 1);
        RunLoop::stopModal(&a, 1);
    });
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(depthInside, 2);
    EXPECT_EQ(RunLoop::modalDepth(), 0);

    RunLoop::stopModal(&a, 1);  // no run: nothing happens
    EXPECT_EQ(RunLoop::modalDepth(), 0);
}

// Two windows, each with its panel waiting: window A's panel ran first, B's inside it.
// The answer to A must end A's run, never B's, and B's own answer still ends B's.
TEST_F(RunLoopTest, AnOuterPanelsAnswerWaitsForTheInnerRunAndNeverEndsIt)
{
    QObject a;
    QObject b;
    int inner = -5;
    bool aWaitedForB = false;
    bool answeredA = false;
    QObject::connect(RunLoop::instance(), &RunLoop::modalRunAnswered, &a,
                     [&](const QObject* owner) { answeredA = answeredA || owner == &a; });
    const int outer = RunLoop::runModal(&a, [&] {
        inner = RunLoop::runModal(&b, [&] {
            RunLoop::stopModal(&a, 1);  // A's OK, pressed while B's question is open
            EXPECT_TRUE(RunLoop::isRunning(&b));
            EXPECT_FALSE(RunLoop::isRunning(&a));
            RunLoop::stopModal(&a, 0);  // a second press counts no more
            QTimer::singleShot(30, [&] { RunLoop::stopModal(&b, 0); });
        });
        aWaitedForB = true;
    });
    EXPECT_TRUE(answeredA);
    EXPECT_TRUE(aWaitedForB);
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(RunLoop::modalDepth(), 0);
}

TEST_F(RunLoopTest, DefaultModeTickInsideModalRunIsHeldAndFiredOnceAfterIt)
{
    int fired = 0;
    int firedDuringRun = 0;
    DefaultModeTimer timer([&] {
        ++fired;
        if (RunLoop::inModalRun())
            ++firedDuringRun;
    });
    timer.start(10, true);
    bool firedBeforeRunEnded = false;
    // Several ticks fall into this run; nested runs included.
    QObject panel;
    RunLoop::runModal(&panel, [&] {
        modalFor(60);
        QTimer::singleShot(60, [&] {
            firedBeforeRunEnded = fired > 0;
            RunLoop::stopModal(&panel, 1);
        });
    });
    EXPECT_FALSE(firedBeforeRunEnded);
    // Not from inside the code that ended the run, but on a later pass.
    EXPECT_EQ(fired, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, 1);
    spin(80);
    EXPECT_GE(fired, 3);  // goes on ticking normally
    EXPECT_EQ(firedDuringRun, 0);

    timer.stop();

    // A held tick of a stopped timer is forgotten.
    fired = 0;
    DefaultModeTimer once([&] { ++fired; });
    once.start(0, false);
    modalFor(20);
    EXPECT_TRUE(once.isActive());  // holding its tick
    once.stop();
    spin(20);
    EXPECT_EQ(fired, 0);
    EXPECT_FALSE(once.isActive());
}

TEST_F(RunLoopTest, HeldTickWaitsForASecondRunThatStartsFirst)
{
    int fired = 0;
    DefaultModeTimer once([&] { ++fired; });
    once.start(0, false);
    modalFor(10);
    // Another run starts before the event loop got to the held tick.
    modalFor(10);
    EXPECT_EQ(fired, 0);
    spin(5);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(once.isActive());
}

TEST_F(RunLoopTest, ModalPanelModeTimerFiresOnlyInsideARun)
{
    int fired = 0;
    ModalPanelModeTimer timer([&] { ++fired; });
    timer.start(5, true);
    spin(30);
    EXPECT_EQ(fired, 0);
    modalFor(40);
    EXPECT_GE(fired, 2);

    // The callout timer's use: a one-shot that aborts the callout's run.
    QObject callout;
    ModalPanelModeTimer abortTimer([&] { RunLoop::abortModal(&callout); });
    abortTimer.start(10, false);
    EXPECT_EQ(RunLoop::runModal(&callout), RunLoop::AbortCode);

    // A one-shot whose moment falls outside a run is dropped, not kept for the next run.
    int late = 0;
    ModalPanelModeTimer dropped([&] { ++late; });
    dropped.start(0, false);
    spin(10);
    modalFor(10);
    EXPECT_EQ(late, 0);
}

TEST_F(RunLoopTest, PauseHoldsEveryTimer)
{
    int defaultFired = 0;
    int modalFired = 0;
    DefaultModeTimer d([&] { ++defaultFired; });
    ModalPanelModeTimer m([&] { ++modalFired; });
    d.start(5, true);
    m.start(5, true);
    QObject panel;
    RunLoop::runModal(&panel, [&] {
        RunLoop::pause(40);
        RunLoop::stopModal(&panel, 1);
    });
    EXPECT_EQ(modalFired, 0);
    RunLoop::pause(30);
    EXPECT_EQ(defaultFired, 0);
    spin(5);
    EXPECT_GE(defaultFired, 1);
}

TEST_F(RunLoopTest, TimerDeletedFromItsOwnTick)
{
    auto* timer = new DefaultModeTimer;
    int fired = 0;
    timer->setCallback([&] {
        ++fired;
        delete timer;
    });
    timer->start(0, false);
    spin(10);
    EXPECT_EQ(fired, 1);
}

}  // namespace
