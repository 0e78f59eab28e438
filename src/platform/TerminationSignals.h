#pragma once

#include <QObject>

#include <functional>

namespace quorly {

// Runs `handler` on the event loop, instead of dying on the spot, when the process gets
// SIGTERM, SIGINT or SIGHUP (a logout, a kill, Ctrl+C in the terminal): the program can
// first put away what must not outlive it (private folders, a secret on the clipboard).
// The signal handler itself only writes to a pipe. The handling ends with `context`.
void handleTerminationSignals(QObject* context, std::function<void()> handler);

}  // namespace quorly
