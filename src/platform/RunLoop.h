#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace quorly {

// Modal runs and timer modes on top of Qt's event loops.
//
// Qt fires every timer inside every nested event loop; the program relies on the
// opposite: a load, a save or a change check must never start while a panel, sheet or
// callout is waiting for the user, or while a login sequence pauses. So every modal run
// of the program goes through RunLoop::runModal (nobody calls QDialog::exec), the layer
// counts the runs, and the program's timers are DefaultModeTimer (held during a run) or
// ModalPanelModeTimer (alive only during a run).
class RunLoop : public QObject {
    Q_OBJECT
public:
    // The code of a run ended by abortModal(): neither OK (1) nor Cancel (0).
    static constexpr int AbortCode = -1001;
    static constexpr int OKCode = 1;
    static constexpr int CancelCode = 0;

    // The process-wide notifier; created on first use, lives as long as the application.
    static RunLoop* instance();

    // Number of modal runs going on (nested runs count one each).
    static int modalDepth();
    static bool inModalRun() { return modalDepth() > 0; }

    // Runs a nested event loop for `owner` (the panel, sheet or callout that waits for
    // the answer) until stopModal(owner, ...) or abortModal(owner) ends it, and returns
    // the code given there. The caller shows its panel before (or in `whenRunning`,
    // which is called once the loop is running) and hides it afterwards.
    static int runModal(const QObject* owner, const std::function<void()>& whenRunning = {});

    // Ends the run of `owner` with `code` (1 from OK, 0 from Cancel); the first answer
    // counts. Panels are window-modal, so another window's panel may have started a run
    // inside this one: then the answer is kept and the run returns as soon as the runs
    // inside it have ended, never with another panel's answer. Without a run of `owner`
    // it does nothing, as stopping a modal session that does not exist does.
    static void stopModal(const QObject* owner, int code);
    static void abortModal(const QObject* owner) { stopModal(owner, AbortCode); }
    // Whether `owner` has a run going on that has not been answered yet.
    static bool isRunning(const QObject* owner);

    // A pause of the main thread that keeps the windows painted: events are processed
    // for `msec` milliseconds but no user input is delivered and no timer of either mode
    // fires (the ticks of default-mode timers are held until the pause ends), just as a
    // sleeping main thread would behave.
    static void pause(int msec);
    static bool isPaused();

    // True while a default-mode timer must hold its ticks.
    static bool defaultModeHeld() { return modalDepth() > 0 || isPaused(); }
    // True while a modal-panel-mode timer may fire.
    static bool modalPanelModeRunning() { return modalDepth() > 0 && !isPaused(); }

signals:
    // The outermost modal run or pause has ended: held default-mode ticks may go.
    void defaultModeResumed();
    // A modal run has started (the depth went up).
    void modalRunStarted();
    // The run of `owner` has its answer; its panel can go even if the run itself still
    // waits for runs started inside it.
    void modalRunAnswered(const QObject* owner);

private:
    RunLoop() = default;
};

// A timer of the default run-loop mode. A tick that falls while a modal run (or a pause)
// is going on is held and delivered once, on a later pass of the event loop after the
// outermost run has ended; a repeating timer goes on ticking normally afterwards.
class DefaultModeTimer : public QObject {
    Q_OBJECT
public:
    explicit DefaultModeTimer(QObject* parent = nullptr);
    DefaultModeTimer(std::function<void()> callback, QObject* parent = nullptr);

    void setCallback(std::function<void()> callback) { callback_ = std::move(callback); }

    // (Re)starts; a held tick of an earlier start is forgotten.
    void start(int msec, bool repeating);
    // Invalidates: no further tick, none held.
    void stop();
    // Scheduled, or holding a tick not yet delivered.
    bool isActive() const;
    bool isRepeating() const { return !timer_.isSingleShot(); }
    int interval() const { return timer_.interval(); }

signals:
    void timeout();

private:
    void tick();
    void deliverHeld();
    void fire();

    QTimer timer_;
    std::function<void()> callback_;
    bool held_ = false;
    bool deliveryQueued_ = false;
};

// A timer of the modal-panel run-loop mode: its ticks are delivered only while a modal
// run is going on; a tick outside one is dropped (a one-shot timer then is over).
class ModalPanelModeTimer : public QObject {
    Q_OBJECT
public:
    explicit ModalPanelModeTimer(QObject* parent = nullptr);
    ModalPanelModeTimer(std::function<void()> callback, QObject* parent = nullptr);

    void setCallback(std::function<void()> callback) { callback_ = std::move(callback); }

    void start(int msec, bool repeating);
    void stop() { timer_.stop(); }
    bool isActive() const { return timer_.isActive(); }

signals:
    void timeout();

private:
    void tick();

    QTimer timer_;
    std::function<void()> callback_;
};

}  // namespace quorly
