#include "platform/RunLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>

#include <algorithm>
#include <optional>
#include <vector>

namespace quorly {

namespace {

struct ModalSession {
    const QObject* owner = nullptr;
    QEventLoop loop;
    std::optional<int> code;
};

// Innermost run last. Only the main thread runs modal sessions.
std::vector<ModalSession*> gSessions;
int gPauseDepth = 0;

void resumeIfOutermost()
{
    if (gSessions.empty() && gPauseDepth == 0)
        emit RunLoop::instance()->defaultModeResumed();
}

}  // namespace

RunLoop* RunLoop::instance()
{
    // Never destroyed: timers may still disconnect from it while statics go away.
    static RunLoop* const notifier = new RunLoop;
    return notifier;
}

int RunLoop::modalDepth()
{
    return int(gSessions.size());
}

bool RunLoop::isPaused()
{
    return gPauseDepth > 0;
}

int RunLoop::runModal(const QObject* owner, const std::function<void()>& whenRunning)
{
    ModalSession session;
    session.owner = owner;
    gSessions.push_back(&session);
    emit instance()->modalRunStarted();
    if (whenRunning)
        QTimer::singleShot(0, &session.loop, whenRunning);
    if (!session.code)
        session.loop.exec();
    gSessions.erase(std::find(gSessions.begin(), gSessions.end(), &session));
    const int code = session.code.value_or(AbortCode);
    resumeIfOutermost();
    return code;
}

void RunLoop::stopModal(const QObject* owner, int code)
{
    // The innermost unanswered run of `owner`: a panel is shown once at a time, but a
    // stale answer must not reach a later run of the same panel either.
    for (auto it = gSessions.rbegin(); it != gSessions.rend(); ++it) {
        ModalSession* session = *it;
        if (session->owner != owner || session->code)
            continue;
        session->code = code;
        // Exiting an outer loop while an inner one runs takes effect once the inner one
        // has returned: the run waits for the runs started inside it.
        session->loop.exit(code);
        emit instance()->modalRunAnswered(owner);
        return;
    }
}

bool RunLoop::isRunning(const QObject* owner)
{
    return std::any_of(gSessions.begin(), gSessions.end(),
                       [owner](const ModalSession* s) { return s->owner == owner && !s->code; });
}

void RunLoop::pause(int msec)
{
    ++gPauseDepth;
    if (msec > 0) {
        QEventLoop loop;
        QTimer end;
        end.setSingleShot(true);
        QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
        end.start(msec);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    --gPauseDepth;
    resumeIfOutermost();
}

// ---------------------------------------------------------------------------

DefaultModeTimer::DefaultModeTimer(QObject* parent) : DefaultModeTimer({}, parent) {}

DefaultModeTimer::DefaultModeTimer(std::function<void()> callback, QObject* parent)
    : QObject(parent), callback_(std::move(callback))
{
    connect(&timer_, &QTimer::timeout, this, &DefaultModeTimer::tick);
    connect(RunLoop::instance(), &RunLoop::defaultModeResumed, this, [this] {
        // Delivered on a later pass, not from inside the code that ended the run: the
        // caller of the panel finishes its work (an open, a save) before a held tick runs.
        if (held_ && !deliveryQueued_) {
            deliveryQueued_ = true;
            QMetaObject::invokeMethod(this, &DefaultModeTimer::deliverHeld, Qt::QueuedConnection);
        }
    });
}

void DefaultModeTimer::start(int msec, bool repeating)
{
    held_ = false;
    timer_.setSingleShot(!repeating);
    timer_.start(msec);
}

void DefaultModeTimer::stop()
{
    held_ = false;
    timer_.stop();
}

bool DefaultModeTimer::isActive() const
{
    return held_ || timer_.isActive();
}

void DefaultModeTimer::tick()
{
    if (RunLoop::defaultModeHeld()) {
        held_ = true;  // later ticks of a repeating timer fold into this one
        return;
    }
    fire();
}

void DefaultModeTimer::deliverHeld()
{
    deliveryQueued_ = false;
    if (!held_ || RunLoop::defaultModeHeld())
        return;  // stopped meanwhile, or another run began: wait for its end
    held_ = false;
    fire();
}

void DefaultModeTimer::fire()
{
    // The receiver may stop or delete this timer (a document closing from its own tick).
    const QPointer<DefaultModeTimer> self(this);
    const std::function<void()> callback = callback_;
    emit timeout();
    if (self && callback)
        callback();
}

// ---------------------------------------------------------------------------

ModalPanelModeTimer::ModalPanelModeTimer(QObject* parent) : ModalPanelModeTimer({}, parent) {}

ModalPanelModeTimer::ModalPanelModeTimer(std::function<void()> callback, QObject* parent)
    : QObject(parent), callback_(std::move(callback))
{
    connect(&timer_, &QTimer::timeout, this, &ModalPanelModeTimer::tick);
}

void ModalPanelModeTimer::start(int msec, bool repeating)
{
    timer_.setSingleShot(!repeating);
    timer_.start(msec);
}

void ModalPanelModeTimer::tick()
{
    if (!RunLoop::modalPanelModeRunning())
        return;
    const QPointer<ModalPanelModeTimer> self(this);
    const std::function<void()> callback = callback_;
    emit timeout();
    if (self && callback)
        callback();
}

}  // namespace quorly
