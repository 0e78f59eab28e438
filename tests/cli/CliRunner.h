#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the built quorly-cli with arguments and standard input; keeps what it printed.
struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline CliRun runCli(const QStringList& args, const QByteArray& input = {})
{
    QProcess process;
    process.start(QStringLiteral(QUORLY_BINARY_DIR "/bin/quorly-cli"), args);
    process.waitForStarted();
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    CliRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}
