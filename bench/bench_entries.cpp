#include "entries/EntryList.h"

#include <benchmark/benchmark.h>

#include <QRandomGenerator>

using namespace quorly;

namespace {

// Names like a real file's: mixed case, digits, some accents and the odd emoji, with
// many sharing a prefix ("Bank ...", "Mail ...").
QString realisticName(QRandomGenerator& rng, int i)
{
    static const QStringList stems = {"Bank", "bank", "Mail", "Shop", "Forum", "Caf\u00e9", "\u00c9cole",
                                      "router", "VPN", "Zeitung", "Stra\u00dfe", "\u65e5\u672c"};
    QString name = stems.at(int(rng.bounded(stems.size())));
    name += u' ';
    const int letters = 3 + int(rng.bounded(10));
    for (int k = 0; k < letters; ++k)
        name += QChar(u'a' + rng.bounded(26));
    if (rng.bounded(20) == 0)
        name += QString::fromUcs4(U"\U0001F511");
    name += QString::number(i % 97);
    return name;
}

EntryList realisticList(int count)
{
    QRandomGenerator rng(1234);
    EntryList list;
    for (int i = 0; i < count; ++i) {
        Entry e = newEntryForImport(realisticName(rng, i));
        e.setString(EntryKey::WebsiteURL, QStringLiteral("https://example.org/login"));
        e.setString(EntryKey::WebsiteUserID, QStringLiteral("someone@example.org"));
        e.setString(EntryKey::WebsitePassword, QStringLiteral("x7#Qp2-kLm9a"));
        list.append(makeEntry(std::move(e)));
    }
    return list;
}

void BM_SortEntries(benchmark::State& state)
{
    const EntryList shuffled = realisticList(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        EntryList list = shuffled;
        state.ResumeTiming();
        list.sort();
        benchmark::DoNotOptimize(list.at(0));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortEntries)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Re-sorting a list that is already in order: the save after every edit.
void BM_ResortSortedEntries(benchmark::State& state)
{
    EntryList list = realisticList(int(state.range(0)));
    list.sort();
    for (auto _ : state) {
        list.sort();
        benchmark::DoNotOptimize(list.at(0));
    }
}
BENCHMARK(BM_ResortSortedEntries)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The worst case of the naming rule: the name and a long run of its numbered forms
// are all taken.
void BM_UniqueNameForName(benchmark::State& state)
{
    const int count = int(state.range(0));
    EntryList list = realisticList(count - 1000);
    list.append(makeEntry(newEntryForImport(QStringLiteral("Bank"))));
    for (int n = 2; n <= 1000; ++n)
        list.append(makeEntry(newEntryForImport(QStringLiteral("Bank") + QString::number(n))));
    for (auto _ : state)
        benchmark::DoNotOptimize(list.uniqueNameForName(QStringLiteral("Bank")));
}
BENCHMARK(BM_UniqueNameForName)->Arg(100000)->Unit(benchmark::kMillisecond);

// A free name, the common case: one pass over the list.
void BM_UniqueNameForFreeName(benchmark::State& state)
{
    const EntryList list = realisticList(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(list.uniqueNameForName(QStringLiteral("Not there")));
}
BENCHMARK(BM_UniqueNameForFreeName)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
