// Cost of the cipher engine: one key derivation, a save (encrypt, decrypt again and
// compare) and an open (decrypt) of data files of growing size.
#include "store/CipherEngine.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

using namespace quorly;

namespace {

const QString kFramis = QStringLiteral("correct horse battery staple");

void writeFile(const QString& path, qint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QByteArray block(64 * 1024, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 131 % 251);
    for (qint64 left = size; left > 0; left -= block.size())
        f.write(block.constData(), std::min<qint64>(left, block.size()));
}

void BM_DeriveKey(benchmark::State& state)
{
    unsigned char key[32];
    for (auto _ : state) {
        deriveFramisKey(kFramis, key);
        benchmark::DoNotOptimize(key);
    }
}
BENCHMARK(BM_DeriveKey)->Unit(benchmark::kMillisecond);

void BM_EncryptAndVerify(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("Data"));
    const QString stored = dir.filePath(QStringLiteral("Data.qlyi"));
    for (auto _ : state) {
        state.PauseTiming();
        writeFile(plain, state.range(0));  // framisE consumes its input
        state.ResumeTiming();
        if (!framisE(plain, kFramis, stored))
            state.SkipWithError("framisE failed");
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EncryptAndVerify)->Arg(100 << 10)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

void BM_Decrypt(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("Data"));
    const QString stored = dir.filePath(QStringLiteral("Data.qlyi"));
    const QString out = dir.filePath(QStringLiteral("Out"));
    writeFile(plain, state.range(0));
    if (!framisE(plain, kFramis, stored)) {
        state.SkipWithError("framisE failed");
        return;
    }
    for (auto _ : state) {
        if (!framisD(stored, kFramis, out))
            state.SkipWithError("framisD failed");
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Decrypt)->Arg(100 << 10)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
