#include "fuzz_oracle.h"
#include "platform/KeyedArchive.h"
#include "store/PasswordArchive.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// A stored file is read straight into entries, without the object graph: both ways
// must agree on what they accept and on every entry.
void checkEntriesAgree(const QByteArray& bytes, const quorly::ArchiveReadResult& graph)
{
    const auto viaGraph = graph ? quorly::entriesFromArchive(*graph.root, nullptr) : std::nullopt;
    QString error;
    const auto direct = quorly::entriesFromKeyedArchive(bytes, &error);
    if (bool(viaGraph) != bool(direct) || (!direct && error.isEmpty())) {
        std::fprintf(stderr, "the entry readers disagree: %s\n", qPrintable(error));
        std::abort();
    }
    if (direct && direct->size() != viaGraph->size()) {
        std::fputs("the entry readers read different numbers of entries\n", stderr);
        std::abort();
    }
    for (qsizetype i = 0; direct && i < direct->size(); ++i) {
        const quorly::Entry& a = *direct->at(i);
        const quorly::Entry& b = *viaGraph->at(i);
        // Equal values (a NaN equals a NaN there), and the keys in the same order.
        bool same = a == b;
        for (int k = 0; same && k < a.size(); ++k)
            same = a.keyAt(k) == b.keyAt(k);
        if (!same) {
            std::fprintf(stderr, "entry %lld reads differently\n", static_cast<long long>(i));
            std::abort();
        }
    }
    const auto titlesViaGraph = graph ? quorly::titlesFromArchive(*graph.root, nullptr) : std::nullopt;
    if (titlesViaGraph != quorly::titlesFromKeyedArchive(bytes, nullptr)) {
        std::fputs("the title readers disagree\n", stderr);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const quorly::ArchiveReadResult graph = quorly::KeyedArchive::decode(bytes);
    checkEntriesAgree(bytes, graph);
    quorly::fuzz::checkRoundTrip(graph);
    return 0;
}
