// Open and save of password files of growing size through the document, and the three
// parts that make up their cost: key derivation, the cipher, and the archive.
#include "AnsweringWindow.h"
#include "entries/EntryList.h"
#include "store/CipherEngine.h"
#include "store/DocumentWindow.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "store/NewPasswordFile.h"
#include "store/PasswordArchive.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <memory>

using namespace quorly;

namespace {

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "bench_document";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

// An entry of the size people keep: address, IDs, password, a line of notes, options.
Entry realisticEntry(int i)
{
    Entry e;
    e.setName(QStringLiteral("Site %1 account").arg(i, 6, 10, QLatin1Char('0')));
    e.setString(EntryKey::Button, QString());
    e.setString(EntryKey::WebsiteURL, QStringLiteral("https://www.example-%1.com/account/login").arg(i));
    e.setString(EntryKey::WebsiteUserID, QStringLiteral("someone.%1@example.org").arg(i));
    e.setString(EntryKey::WebsitePassword, QStringLiteral("x7!Kp%1qZr$2mW").arg(i % 997));
    e.setString(EntryKey::Notes, QStringLiteral("Security question: first pet. Recovery code %1-%2.").arg(i).arg(i * 7));
    e.setBool(EntryKey::UserIDTabSwitch, true);
    e.setInteger(EntryKey::UserIDTabCount, 1);
    e.setBool(EntryKey::PasswordTabSwitch, false);
    e.setInteger(EntryKey::PasswordTabCount, 0);
    return e;
}

EntryList realisticList(int n)
{
    EntryList list;
    for (int i = 0; i < n; ++i)
        list.append(makeEntry(realisticEntry(i)));
    return list;
}

// Opens `document` with the bench's window, as a script would (no "Last PW File").
bool openQuietly(MyDocument& document)
{
    static bench::AnsweringWindow window;
    document.setWindow(&window);
    document.setRecordsLastFile(false);
    return document.openDatabase();
}

// One package per size, made once by a document's own save.
QString packageWith(int n)
{
    static QTemporaryDir dir;
    static std::map<int, QString> made;
    if (auto it = made.find(n); it != made.end())
        return it->second;
    ensureApplication();
    const QString path = dir.filePath(QStringLiteral("bench%1.qly").arg(n));
    createPasswordFile(path, bench::kFramis);
    MyDocument document(path);
    openQuietly(document);
    document.passwordArray().replaceAll(realisticList(n).entries());
    document.KTTableViewArrayChanged();
    document.close();
    made[n] = path;
    return path;
}

void BM_OpenDocument(benchmark::State& state)
{
    const QString path = packageWith(int(state.range(0)));
    for (auto _ : state) {
        MyDocument document(path);
        if (!openQuietly(document) || document.passwordArray().size() != state.range(0))
            state.SkipWithError("open failed");
        state.PauseTiming();
        document.close();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_OpenDocument)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_SaveDocument(benchmark::State& state)
{
    MyDocument document(packageWith(int(state.range(0))));
    openQuietly(document);
    int round = 0;
    for (auto _ : state) {
        ++round;
        const EntryRef entry = document.passwordArray().at(round % document.passwordArray().size());
        entry->setString(EntryKey::Notes, QStringLiteral("changed %1").arg(round));
        if (!document.KTTableViewArrayChanged())
            state.SkipWithError("save failed");
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SaveDocument)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

// A save that finds the file changed by another program: it reads the other list and
// carries its own change over (two documents on one package, taking turns).
void BM_SaveAfterAnotherWriter(benchmark::State& state)
{
    const QString path = packageWith(int(state.range(0)));
    MyDocument documents[2] = {MyDocument(path), MyDocument(path)};
    for (MyDocument& document : documents)
        openQuietly(document);
    int round = 0;
    for (auto _ : state) {
        ++round;
        MyDocument& document = documents[round % 2];
        const EntryRef entry = document.passwordArray().at((round * 7919) % document.passwordArray().size());
        entry->setString(EntryKey::Notes, QStringLiteral("changed %1").arg(round));
        if (!document.KTTableViewArrayChanged())
            state.SkipWithError("save failed");
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SaveAfterAnotherWriter)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

// The parts.

void BM_KeyDerivation(benchmark::State& state)
{
    unsigned char key[32];
    for (auto _ : state) {
        deriveFramisKey(bench::kFramis, key);
        benchmark::DoNotOptimize(key);
    }
}
BENCHMARK(BM_KeyDerivation)->Unit(benchmark::kMillisecond);

void BM_ArchiveEncode(benchmark::State& state)
{
    EntryList list = realisticList(int(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        list.sort();
        const QByteArray archive = keyedArchiveFromEntries(list);
        bytes = std::size_t(archive.size());
        benchmark::DoNotOptimize(archive.constData());
    }
    state.counters["archive_bytes"] = double(bytes);
}
BENCHMARK(BM_ArchiveEncode)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ArchiveDecode(benchmark::State& state)
{
    const QByteArray archive = keyedArchiveFromEntries(realisticList(int(state.range(0))));
    for (auto _ : state) {
        const auto entries = entriesFromKeyedArchive(archive, nullptr);
        benchmark::DoNotOptimize(entries->size());
    }
}
BENCHMARK(BM_ArchiveDecode)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_CipherEncryptAndVerify(benchmark::State& state)
{
    QTemporaryDir dir;
    const QByteArray archive = keyedArchiveFromEntries(realisticList(int(state.range(0))));
    const QString plain = dir.filePath(QStringLiteral("Data"));
    const QString stored = dir.filePath(QStringLiteral("Data.qlyi"));
    selectCurrentParameters();
    for (auto _ : state) {
        state.PauseTiming();
        QFile f(plain);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(archive);
        f.close();
        state.ResumeTiming();
        if (!framisE(plain, bench::kFramis, stored))
            state.SkipWithError("framisE failed");
    }
    state.SetBytesProcessed(state.iterations() * archive.size());
}
BENCHMARK(BM_CipherEncryptAndVerify)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
