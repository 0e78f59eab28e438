#pragma once

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Runs the built quorly-cli with arguments and standard input; keeps what it printed.
struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// The program under test; QUORLY_TEST_CLI points the same tests at another build (an
// older one, to measure what a change mends).
inline QString cliPath()
{
    return qEnvironmentVariable("QUORLY_TEST_CLI", QStringLiteral(QUORLY_BINARY_DIR "/bin/quorly-cli"));
}

inline CliRun runCli(const QStringList& args, const QByteArray& input = {})
{
    QProcess process;
    process.start(cliPath(), args);
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

// Points HOME and the XDG folders of this process, and so of the commands it starts,
// into `dir`. Without `runtime`, private folders go to the home folder, as on a system
// without $XDG_RUNTIME_DIR.
inline void useScratchHome(const QTemporaryDir& dir, bool runtime)
{
    QDir(dir.path()).mkpath("home/.config");
    qputenv("HOME", QFile::encodeName(dir.filePath("home")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("home/.config")));
    if (!runtime) {
        qunsetenv("XDG_RUNTIME_DIR");
        return;
    }
    QDir(dir.path()).mkpath("run");
    QFile::setPermissions(dir.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.filePath("run")));
}

inline const QString kPackages = QStringLiteral(QUORLY_TEST_DATA_DIR "/packages");

// Copies a fixture package, so that a command that wrongly wrote would be noticed
// without touching the committed files.
inline QString copyPackage(const QString& name, const QTemporaryDir& into)
{
    const QString source = kPackages + '/' + name, target = into.filePath(name);
    QDir().mkpath(target);
    for (const QString& file : QDir(source).entryList(QDir::Files))
        QFile::copy(source + '/' + file, target + '/' + file);
    return target;
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Names and contents of every file below `folder`, hidden ones included.
inline QByteArray fingerprint(const QString& folder)
{
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QStringList names;
    while (it.hasNext())
        names << it.next();
    names.sort();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& name : names) {
        hash.addData(name.toUtf8());
        hash.addData(readFile(name));
    }
    return hash.result();
}
