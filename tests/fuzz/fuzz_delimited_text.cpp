// The import's parser on arbitrary bytes, with each separator. Beyond not crashing:
// no record holds more than 9 fields or a field longer than the limit, and whatever it
// reads, written out by the export and parsed again, reads back the same.
#include "entries/ExportText.h"
#include "import/DelimitedText.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace quorly;

namespace {

void fail(const char* what)
{
    std::fprintf(stderr, "round trip: %s\n", what);
    std::abort();
}

void checkRecords(const QList<ImportRecord>& records)
{
    EntryList list;
    const QString* keys[] = {&EntryKey::Path, &EntryKey::WebsiteURL, &EntryKey::WebsiteUserID,
                             &EntryKey::WebsiteUserID2, &EntryKey::WebsitePassword, &EntryKey::Notes};
    for (const ImportRecord& record : records) {
        if (record.fields.isEmpty() || record.fields.size() > kMaxImportFields)
            fail("field count out of range");
        Entry entry;
        for (int i = 0; i < record.fields.size(); ++i) {
            if (record.fields.at(i).toUtf8().size() > kMaxImportFieldBytes)
                fail("field longer than the limit");
            if (i < 6)
                entry.setString(*keys[i], record.fields.at(i));
        }
        list.append(makeEntry(entry));
    }
    QList<int> rows;
    for (int row = 0; row < list.size(); ++row)
        rows << row;
    const std::optional<ImportText> exported = decodeImportText(exportText(list, rows));
    if (!exported)
        fail("the export is not text");
    const QList<ImportRecord> again = parseDelimitedText(exported->text, Separator::Comma);
    if (again.size() != records.size())
        fail("record count changed");
    for (int r = 0; r < records.size(); ++r) {
        for (int i = 0; i < 6; ++i) {
            if (again.at(r).fields.value(i) != records.at(r).fields.value(i))
                fail("a field changed");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<ImportText> text = decodeImportText(bytes);
    if (!text)
        return 0;
    for (const Separator separator : {Separator::Comma, Separator::Semicolon, Separator::Tab})
        checkRecords(parseDelimitedText(text->text, separator));
    return 0;
}
