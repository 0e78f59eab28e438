#include "entries/EntrySearch.h"

#include <benchmark/benchmark.h>

using namespace quorly;

namespace {

// Entries with every searched field filled, none of them holding the search text, so
// a search that finds nothing reads every field of every row: the worst case.
EntryList filledList(int count)
{
    EntryList list;
    for (int i = 0; i < count; ++i) {
        Entry e = newEntryForAdd();
        e.setName(QStringLiteral("Account %1 at some website").arg(i));
        e.setString(EntryKey::WebsiteURL, QStringLiteral("https://login.example.org/%1").arg(i));
        e.setString(EntryKey::Notes, QStringLiteral("Security questions: first pet, street %1").arg(i));
        e.setString(EntryKey::WebsiteUserID, QStringLiteral("someone%1@example.org").arg(i));
        e.setString(EntryKey::WebsiteUserID2, QStringLiteral("PIN %1").arg(i % 10000));
        e.setString(EntryKey::WebsitePassword, QStringLiteral("x7#Qp2-kLm9a"));
        list.append(makeEntry(std::move(e)));
    }
    return list;
}

void BM_FindNextNoMatch(benchmark::State& state)
{
    const EntryList list = filledList(int(state.range(0)));
    for (auto _ : state) {
        const FindResult result = findNext(list, QStringLiteral("ZEBRA"), {});
        benchmark::DoNotOptimize(result.foundRow);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FindNextNoMatch)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// From the middle, wrapping: the match sits just before the selected row.
void BM_FindNextWrapping(benchmark::State& state)
{
    const int count = int(state.range(0));
    EntryList list = filledList(count);
    list.at(count / 2 - 1)->setString(EntryKey::Notes, QStringLiteral("my BANK card"));
    for (auto _ : state) {
        const FindResult result = findNext(list, QStringLiteral("bank"), {count / 2});
        benchmark::DoNotOptimize(result.foundRow);
    }
}
BENCHMARK(BM_FindNextWrapping)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
