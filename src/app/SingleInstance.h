#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QSocketNotifier;

namespace quorly {

// One running desktop program per user and display. The first start takes a lock and
// listens on a local socket; a later start (from a terminal, a file manager or the
// desktop entry) hands the files it was given to that one through the socket and ends,
// and the running program opens them or brings their windows to the front. Two
// programs on one file would each save over the other's changes only to merge them
// back; one program keeps one window per file.
//
// Decided here: a plain AF_UNIX socket rather than QLocalServer, which would bring in
// the whole Qt Network module for some hundred lines; and one program per display as
// well as per user, so that a second graphical session of the same user (a remote
// desktop beside the local one) gets its own windows. The socket and its lock live in
// $XDG_RUNTIME_DIR, or else in a private folder /tmp/quorly-UID.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        Primary,     // this is the running program now; `instance` listens
        HandedOver,  // a running program took the files; this one ends
        Alone,       // no way to reach or become the running program: run on our own
    };

    // `files`: the arguments as this process saw them, already made absolute.
    static Role start(const QStringList& files, std::unique_ptr<SingleInstance>* instance, QString* error = nullptr);

    // The socket's path for this user and display; empty when no private folder exists.
    static QString socketPath();

    ~SingleInstance() override;

signals:
    // A later start handed these over (possibly none: it was started without files).
    void filesHandedOver(const QStringList& files);

private:
    SingleInstance(int lockFd, int listenFd, QString socketPath);
    void acceptConnections();

    int lockFd_;
    int listenFd_;
    QString socketPath_;
    QSocketNotifier* notifier_;
};

}  // namespace quorly
