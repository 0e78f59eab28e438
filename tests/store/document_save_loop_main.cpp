// Test helper: opens a package and saves a growing entry list over and over, printing
// the number of entries after each save that succeeded, until it is killed.
#include "entries/EntryList.h"
#include "store/DocumentWindow.h"
#include "store/Globals.h"
#include "store/MyDocument.h"

#include <QCoreApplication>

#include <cstdio>

using namespace quorly;

namespace {

class SilentWindow : public DocumentWindow {
public:
    int prompt(const QString& message, const QString&, const QString&) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return 1;
    }
    std::optional<QString> askFilePassword(const QString&) override { return std::nullopt; }
    void showEntries(EntryList&) override {}
    void reloadList() override {}
    void selectRows(const QList<int>&) override {}
    void deselectAll() override {}
    void setWriteable(bool) override {}
    void closeWindow() override {}
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    gFramis = qEnvironmentVariable("QUORLY_TEST_PASSWORD");
    SilentWindow window;
    MyDocument document(QString::fromLocal8Bit(argv[1]));
    document.setWindow(&window);
    document.setRecordsLastFile(false);
    if (!document.openDatabase())
        return 1;
    std::printf("%d\n", document.passwordArray().size());
    std::fflush(stdout);
    for (;;) {
        Entry entry = newEntryForAdd();
        entry.setName(document.passwordArray().uniqueNameForName(QStringLiteral("entry")));
        entry.setString(EntryKey::WebsitePassword, QStringLiteral("secret-%1").arg(document.passwordArray().size()));
        document.passwordArray().append(makeEntry(std::move(entry)));
        if (!document.KTTableViewArrayChanged())
            return 1;
        std::printf("%d\n", document.passwordArray().size());
        std::fflush(stdout);
    }
}
