#include "store/SyncthingPair.h"

#include "support/EventLoop.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpServer>
#include <QTimer>
#include <QUuid>

#include <signal.h>
#include <sys/prctl.h>

namespace quorly::test {

namespace {

const QString kFolderID = QStringLiteral("quorly");

// Ports nobody listens on now: all asked for at once, so that they differ.
QList<quint16> freePorts(int count)
{
    std::vector<std::unique_ptr<QTcpServer>> servers;
    QList<quint16> ports;
    for (int i = 0; i < count; ++i) {
        servers.push_back(std::make_unique<QTcpServer>());
        if (servers.back()->listen(QHostAddress::LocalHost, 0))
            ports << servers.back()->serverPort();
    }
    return ports;
}

// Runs syncthing to its end (key generation, asking the device ID): its output, or
// nullopt when it failed.
std::optional<QByteArray> runToEnd(const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("syncthing"), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

QProcessEnvironment environmentFor(const QString& home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    environment.insert("STNODEFAULTFOLDER", "1");
    environment.insert("STNOUPGRADE", "1");
    return environment;
}

}  // namespace

SyncthingPair::SyncthingPair(const QString& root)
{
    const QList<quint16> ports = freePorts(4);
    if (ports.size() != 4) {
        error_ = QStringLiteral("no free ports on 127.0.0.1");
        return;
    }
    for (int side : {0, 1}) {
        sides_[side].listenPort = ports[2 * side];
        sides_[side].guiPort = ports[2 * side + 1];
        if (!setUp(side, root))
            return;
    }
    for (int side : {0, 1})
        writeConfiguration(side);
    for (int side : {0, 1}) {
        if (!start(side))
            return;
    }
}

SyncthingPair::~SyncthingPair()
{
    for (int side : {0, 1})
        stop(side);
}

bool SyncthingPair::setUp(int side, const QString& root)
{
    Side& s = sides_[side];
    const QString base = root + (side == 0 ? QStringLiteral("/first") : QStringLiteral("/second"));
    s.home = base + QStringLiteral("/syncthing");
    s.folder = base + QStringLiteral("/Shared");
    s.log = base + QStringLiteral("/syncthing.log");
    s.apiKey = QUuid::createUuid().toString(QUuid::Id128);
    QDir().mkpath(s.home);
    QDir().mkpath(s.folder + QStringLiteral("/.stfolder"));
    const QProcessEnvironment environment = environmentFor(base);
    if (!runToEnd({"generate", "--home=" + s.home, "--no-default-folder"}, environment)) {
        error_ = QStringLiteral("syncthing generate failed for %1").arg(s.home);
        return false;
    }
    const std::optional<QByteArray> id = runToEnd({"serve", "--home=" + s.home, "--device-id"}, environment);
    s.deviceID = id ? QString::fromLatin1(id->trimmed()) : QString();
    if (s.deviceID.isEmpty()) {
        error_ = QStringLiteral("syncthing did not tell the device ID of %1").arg(s.home);
        return false;
    }
    return true;
}

void SyncthingPair::writeConfiguration(int side)
{
    const Side& s = sides_[side];
    QString devices, folderDevices;
    for (const Side& each : sides_) {
        folderDevices += QStringLiteral("        <device id=\"%1\"></device>\n").arg(each.deviceID);
        devices += QStringLiteral("    <device id=\"%1\" name=\"%2\"><address>tcp://127.0.0.1:%3</address></device>\n")
                       .arg(each.deviceID, &each == &sides_[0] ? QStringLiteral("first") : QStringLiteral("second"))
                       .arg(each.listenPort);
    }
    // Written whole: elements left out would not take their usual defaults (a missing
    // maxConflicts means no conflict copies at all).
    const QString xml = QStringLiteral(R"(<configuration version="36">
    <folder id="%1" label="Quorly" path="%2" type="sendreceive" rescanIntervalS="3600" fsWatcherEnabled="true" fsWatcherDelayS="1" ignorePerms="false" autoNormalize="true">
%3        <maxConflicts>10</maxConflicts>
        <markerName>.stfolder</markerName>
    </folder>
%4    <gui enabled="true" tls="false"><address>127.0.0.1:%5</address><apikey>%6</apikey></gui>
    <options>
        <listenAddress>tcp://127.0.0.1:%7</listenAddress>
        <globalAnnounceEnabled>false</globalAnnounceEnabled>
        <localAnnounceEnabled>false</localAnnounceEnabled>
        <relaysEnabled>false</relaysEnabled>
        <natEnabled>false</natEnabled>
        <stunKeepaliveStartS>0</stunKeepaliveStartS>
        <urAccepted>-1</urAccepted>
        <crashReportingEnabled>false</crashReportingEnabled>
        <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
        <startBrowser>false</startBrowser>
        <reconnectionIntervalS>1</reconnectionIntervalS>
        <setLowPriority>false</setLowPriority>
    </options>
</configuration>
)")
                            .arg(kFolderID, s.folder, folderDevices, devices)
                            .arg(s.guiPort)
                            .arg(s.apiKey)
                            .arg(s.listenPort);
    QFile file(s.home + QStringLiteral("/config.xml"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(xml.toUtf8());
}

bool SyncthingPair::start(int side)
{
    Side& s = sides_[side];
    s.process = std::make_unique<QProcess>();
    s.process->setProcessEnvironment(environmentFor(QFileInfo(s.folder).path()));
    s.process->setProcessChannelMode(QProcess::MergedChannels);
    s.process->setStandardOutputFile(s.log);
    // Should the test die first, Syncthing follows it (its monitor passes the signal on).
    s.process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    s.process->start(QStringLiteral("syncthing"),
                     {"serve", "--home=" + s.home, "--no-browser", "--no-restart", "--logflags=3"});
    if (!s.process->waitForStarted(10000)) {
        error_ = QStringLiteral("syncthing did not start: %1").arg(s.process->errorString());
        return false;
    }
    if (!spinUntil([&] { return rest(side, "GET", QStringLiteral("/rest/system/ping"), 2000).has_value(); }, 60000)) {
        error_ = QStringLiteral("syncthing of side %1 never answered on 127.0.0.1:%2:\n%3")
                     .arg(side)
                     .arg(s.guiPort)
                     .arg(logTail(side));
        return false;
    }
    return true;
}

void SyncthingPair::stop(int side)
{
    Side& s = sides_[side];
    if (!s.process || s.process->state() == QProcess::NotRunning)
        return;
    rest(side, "POST", QStringLiteral("/rest/system/shutdown"), 5000);
    if (s.process->waitForFinished(15000))
        return;
    s.process->terminate();
    if (!s.process->waitForFinished(5000)) {
        s.process->kill();
        s.process->waitForFinished();
    }
}

std::optional<QJsonDocument> SyncthingPair::rest(int side, const QByteArray& verb, const QString& path, int msec)
{
    const Side& s = sides_[side];
    QNetworkAccessManager network;
    network.setProxy(QNetworkProxy::NoProxy);  // never a proxy from the environment
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(s.guiPort).arg(path)));
    request.setRawHeader("X-API-Key", s.apiKey.toLatin1());
    QNetworkReply* reply = network.sendCustomRequest(request, verb);
    QEventLoop wait;
    QTimer::singleShot(msec, &wait, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    if (!reply->isFinished())
        wait.exec();
    std::optional<QJsonDocument> answer;
    if (reply->isFinished() && reply->error() == QNetworkReply::NoError)
        answer = QJsonDocument::fromJson(reply->readAll());
    reply->abort();
    reply->deleteLater();
    return answer;
}

bool SyncthingPair::waitUntilConnected(bool connected, int msec)
{
    const auto isConnected = [this](int side) {
        const std::optional<QJsonDocument> answer = rest(side, "GET", QStringLiteral("/rest/system/connections"), 5000);
        const QString other = sides_[1 - side].deviceID;
        return answer && answer->object()[QStringLiteral("connections")][other][QStringLiteral("connected")].toBool();
    };
    return spinUntil([&] { return isConnected(0) == connected && isConnected(1) == connected; }, msec);
}

bool SyncthingPair::pause()
{
    for (int side : {0, 1}) {
        if (!rest(side, "POST", QStringLiteral("/rest/system/pause?device=") + sides_[1 - side].deviceID))
            return false;
    }
    return waitUntilConnected(false);
}

bool SyncthingPair::resume()
{
    for (int side : {0, 1}) {
        if (!rest(side, "POST", QStringLiteral("/rest/system/resume?device=") + sides_[1 - side].deviceID))
            return false;
    }
    return true;
}

bool SyncthingPair::scan(int side)
{
    // The scan answers once it is done; a folder still starting up refuses it for a moment.
    return spinUntil([&] { return rest(side, "POST", QStringLiteral("/rest/db/scan?folder=") + kFolderID).has_value(); },
                60000);
}

QString SyncthingPair::logTail(int side) const
{
    QFile file(sides_[side].log);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QList<QByteArray> lines = file.readAll().split('\n');
    return QString::fromUtf8(lines.mid(std::max<qsizetype>(0, lines.size() - 30)).join('\n'));
}

}  // namespace quorly::test
