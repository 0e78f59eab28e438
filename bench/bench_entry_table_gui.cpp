#include "entries/desktop/KTTableViewArray.h"

#include <benchmark/benchmark.h>

#include <QApplication>

using namespace quorly;

namespace {

QApplication& application()
{
    static int argc = 1;
    static char name[] = "bench_entry_table_gui";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

class Quiet : public KTTableViewArrayDelegate {
public:
    bool KTTableViewArrayAddEntry(KTTableViewArray*) override { return true; }
    void KTTableViewArrayEditEntryAtIndex(KTTableViewArray*, int) override {}
    bool confirmDelete(int) override { return true; }
    void KTTableViewArraySelectionDidChange(KTTableViewArray*) override {}
    void KTTableViewArrayChanged(KTTableViewArray*) override {}
    void KTTableViewArrayWillDisplayCell(KTTableViewArray* table, KTTableCell& cell, int column,
                                         int row) override
    {
        if (column == 0)
            cell.enabled = !table->array().at(row)->string(EntryKey::WebsiteURL).isEmpty();
    }
};

EntryList namedList(int count)
{
    EntryList list;
    for (int i = 0; i < count; ++i) {
        Entry e = newEntryForAdd();
        e.setName(QStringLiteral("Entry %1").arg(i, 6, 10, QLatin1Char('0')));
        if (i % 3)
            e.setString(EntryKey::WebsiteURL, QStringLiteral("example.org"));
        list.append(makeEntry(std::move(e)));
    }
    return list;
}

// A reload of a shown table with one row selected, painted as the event loop would.
void BM_TableReload(benchmark::State& state)
{
    QApplication& app = application();
    EntryList list = namedList(int(state.range(0)));
    Quiet quiet;
    KTTableViewArray table(list, &quiet, {QStringLiteral("Button"), QStringLiteral("Path")});
    table.resize(400, 600);
    table.show();
    table.selectRowIndexes({int(state.range(0)) / 2});
    for (auto _ : state) {
        table.reloadData();
        table.viewport()->repaint();
        app.processEvents();
    }
}
BENCHMARK(BM_TableReload)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Select all, then a single row far down, scrolled into view and painted.
void BM_TableSelectAndScroll(benchmark::State& state)
{
    QApplication& app = application();
    const int count = int(state.range(0));
    EntryList list = namedList(count);
    Quiet quiet;
    KTTableViewArray table(list, &quiet, {QStringLiteral("Button"), QStringLiteral("Path")});
    table.resize(400, 600);
    table.show();
    QList<int> all(count);
    for (int i = 0; i < count; ++i)
        all[i] = i;
    for (auto _ : state) {
        table.selectRowIndexes(all);
        table.selectRowIndexes({count - 7});
        table.scrollRowToVisible(count - 7);
        table.viewport()->repaint();
        app.processEvents();
    }
}
BENCHMARK(BM_TableSelectAndScroll)->Arg(100000)->Unit(benchmark::kMillisecond);

// Deleting every tenth row (a scattered selection) and putting the rows back.
void BM_TableDeleteScattered(benchmark::State& state)
{
    application();
    const int count = int(state.range(0));
    const EntryList original = namedList(count);
    EntryList list;
    Quiet quiet;
    KTTableViewArray table(list, &quiet, {QStringLiteral("Button"), QStringLiteral("Path")});
    QList<int> tenth;
    for (int i = 0; i < count; i += 10)
        tenth << i;
    for (auto _ : state) {
        state.PauseTiming();
        list.replaceAll(original.entries());
        table.reloadData();
        table.selectRowIndexes(tenth);
        state.ResumeTiming();
        table.remove();
    }
}
BENCHMARK(BM_TableDeleteScattered)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
