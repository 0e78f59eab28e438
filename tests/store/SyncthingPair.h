#pragma once

// Two Syncthing instances on this machine sharing one folder, as two computers would.
// Each has a scratch home and listens on 127.0.0.1 only, on ports found free; there is no
// global or local discovery, no relay, no NAT traversal, no usage or crash report and
// no upgrade. Everything started here is stopped when the object goes, and also when the
// test process dies first. Every wait is bounded and says what it waited for.
#include <QByteArray>
#include <QJsonDocument>
#include <QProcess>
#include <QString>

#include <array>
#include <optional>
#include <memory>

namespace quorly::test {

class SyncthingPair {
public:
    // Sets up both instances below `root` (keys, configuration) and starts them.
    explicit SyncthingPair(const QString& root);
    ~SyncthingPair();
    SyncthingPair(const SyncthingPair&) = delete;
    SyncthingPair& operator=(const SyncthingPair&) = delete;

    // Empty once both instances answer; otherwise what went wrong.
    const QString& error() const { return error_; }

    // The shared folder as side 0 or 1 sees it.
    QString folder(int side) const { return sides_[side].folder; }

    // Waits until the two are connected (or disconnected); false after `msec`.
    bool waitUntilConnected(bool connected, int msec = 60000);
    // Each side stops talking to the other, or starts again: the network between two
    // computers going down and coming back.
    bool pause();
    bool resume();
    // Has side `side` look at its folder now, instead of at its file watcher's pace;
    // returns when the scan is done.
    bool scan(int side);

    // The last lines of a side's log, for failure messages.
    QString logTail(int side) const;

private:
    struct Side {
        QString home;
        QString folder;
        QString log;
        QString deviceID;
        quint16 listenPort = 0;
        quint16 guiPort = 0;
        QString apiKey;
        std::unique_ptr<QProcess> process;
    };

    bool setUp(int side, const QString& root);
    void writeConfiguration(int side);
    bool start(int side);
    void stop(int side);
    // A REST call; nullopt when it failed or took longer than `msec`.
    std::optional<QJsonDocument> rest(int side, const QByteArray& verb, const QString& path, int msec = 60000);

    std::array<Side, 2> sides_;
    QString error_;
};

}  // namespace quorly::test
