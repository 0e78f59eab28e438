// Importing a browser's export of 10,000 logins into a password file of 10,000 entries
// with `quorly-cli import`: the whole process (start, key derivation, decryption, parse,
// import, the one save with its proof), as a user runs it.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <filesystem>

namespace {

const QByteArray kPassword = "correct horse battery staple\n";
constexpr int kCount = 10000;

QString cliPath()
{
    return QString::fromStdString((std::filesystem::read_symlink("/proc/self/exe").parent_path() / "quorly-cli").string());
}

int runCli(const QStringList& args)
{
    QProcess process;
    process.start(cliPath(), args);
    process.write(kPassword);
    process.closeWriteChannel();
    process.waitForFinished(600000);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}

// As Firefox writes "Export Logins…": every value quoted, CR LF, nine columns.
QByteArray firefoxExport(int count)
{
    QByteArray text = "\"url\",\"username\",\"password\",\"httpRealm\",\"formActionOrigin\",\"guid\","
                      "\"timeCreated\",\"timeLastUsed\",\"timePasswordChanged\"\r\n";
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        text += "\"https://login.site-" + n + ".example.com\",\"user." + n + "@example.org\",\"p\"\"w " + n +
                "  x!\",,\"https://login.site-" + n + ".example.com\",\"{" + n +
                "-guid}\",\"1700000000000\",\"1700000100000\",\"1700000200000\"\r\n";
    }
    return text;
}

// Quorly's own export of `count` entries, to fill the file being imported into.
QByteArray quorlyExport(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        text += "\"Account " + n + "\",\"https://www.example-" + n + ".com/account\",\"someone." + n +
                "@example.org\",\"\",\"x7!Kp" + n + "qZr\",\"Recovery code " + n + "\"\n";
    }
    return text;
}

void copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files))
        QFile::copy(from + '/' + name, to + '/' + name);
}

void BM_CliImportBrowserExport(benchmark::State& state)
{
    static int argc = 1;
    static char name[] = "bench_import";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
    if (!QFile::exists(cliPath())) {
        state.SkipWithError("quorly-cli is not built");
        return;
    }
    QTemporaryDir dir;
    qputenv("HOME", QFile::encodeName(dir.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(".config")));
    const QString base = dir.filePath("Base.qly");
    writeFile(dir.filePath("existing.txt"), quorlyExport(kCount));
    writeFile(dir.filePath("logins.csv"), firefoxExport(kCount));
    if (runCli({"create", "--password-stdin", base}) != 0 ||
        runCli({"import", "--password-stdin", base, dir.filePath("existing.txt")}) != 0) {
        state.SkipWithError("could not make the 10,000-entry file");
        return;
    }
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString target = dir.filePath(QStringLiteral("Run%1.qly").arg(round++));
        copyFolder(base, target);
        state.ResumeTiming();
        if (runCli({"import", "--password-stdin", target, dir.filePath("logins.csv"), "--columns",
                    "url,user1,password", "--skip-header"}) != 0)
            state.SkipWithError("the import failed");
    }
    state.counters["rows"] = kCount;
}
BENCHMARK(BM_CliImportBrowserExport)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
