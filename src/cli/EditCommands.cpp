// The editing commands. They open the package through the same document the desktop
// program uses, so a pre-2.0 package is migrated and copies placed beside its files are
// merged on the way, and they store every change through the document's save step.
#include "cli/Cli.h"

#include "entries/EntryList.h"
#include "login/WebsitePasswordManager.h"
#include "store/DocumentMessages.h"
#include "store/DocumentWindow.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "store/NewPasswordFile.h"
#include "store/PackageReader.h"

#include <QFileInfo>
#include <QTextStream>

namespace quorly::cli {

namespace {

const QString& kSaveFailed = DocumentMessages::SaveFailed;

// The document's window on a terminal: messages go to stderr and are answered with
// their default button; the password question is answered once with the password the
// user gave, and a second question (the first answer was wrong) is cancelled.
class TerminalWindow : public DocumentWindow {
public:
    explicit TerminalWindow(std::optional<QString> framis) : framis_(std::move(framis)) {}
    ~TerminalWindow() override
    {
        if (framis_)
            cleanseString(*framis_);
    }

    int prompt(const QString& message, const QString&, const QString&) override
    {
        printError(message);
        if (message == kSaveFailed)
            saveFailed = true;
        return 1;
    }
    std::optional<QString> askFilePassword(const QString&) override
    {
        if (asked_)
            return std::nullopt;
        asked_ = true;
        return framis_;
    }
    void showEntries(EntryList&) override {}
    void reloadList() override {}
    void selectRows(const QList<int>&) override {}
    void deselectAll() override {}
    void setWriteable(bool) override {}
    void closeWindow() override
    {
        if (document)
            document->windowWillClose();
    }

    MyDocument* document = nullptr;
    bool saveFailed = false;

private:
    std::optional<QString> framis_;
    bool asked_ = false;
};

int exitForOpenFailure(MyDocument::OpenFailure failure)
{
    switch (failure) {
    case MyDocument::OpenFailure::None: return ExitOk;
    case MyDocument::OpenFailure::NotAQuorlyFile: return ExitNotQuorly;
    case MyDocument::OpenFailure::Cancelled: return ExitPassword;
    case MyDocument::OpenFailure::Damaged: return ExitDamaged;
    case MyDocument::OpenFailure::NoTempFolder:
    case MyDocument::OpenFailure::Unreadable: return ExitFailure;
    }
    return ExitFailure;
}

// Opens the package of the first positional argument, runs `change` on the open
// document and closes it. Any failed save on the way makes the command fail.
int withDocument(const Arguments& args, const std::function<int(MyDocument&)>& change,
                 std::optional<QString> handedFramis = std::nullopt)
{
    const QString path = args.positional.at(0);
    if (!QFileInfo(path).isDir() || packageFiles(path).format == PackageFormat::None) {
        printError(QFileInfo::exists(path) ? QStringLiteral("%1: %2").arg(path, DocumentMessages::NotAQuorlyFile)
                                           : QStringLiteral("%1: no such file or folder.").arg(path));
        return ExitNotQuorly;
    }
    std::optional<QString> framis;
    if (handedFramis) {
        gFramis = std::move(handedFramis);
    } else {
        framis = readPassword(args, QStringLiteral("Password for %1: ").arg(path));
        if (!framis)
            return ExitUsage;
    }

    TerminalWindow window(std::move(framis));
    MyDocument document(path);
    window.document = &document;
    document.setWindow(&window);
    // A script must not change which file the desktop program reopens at start.
    document.setRecordsLastFile(false);
    if (!document.openDatabase()) {
        if (document.openFailure() == MyDocument::OpenFailure::Cancelled)
            printError(QStringLiteral("The password is incorrect."));
        return exitForOpenFailure(document.openFailure());
    }
    int status = change(document);
    document.close();
    if (status == ExitOk && window.saveFailed)
        status = ExitFailure;
    return status;
}

int save(MyDocument& document)
{
    return document.KTTableViewArrayChanged() ? int(ExitOk) : int(ExitFailure);
}

int create(const Arguments& args)
{
    QString path = args.positional.at(0);
    if (!path.endsWith(QStringLiteral(".qly")))
        path += QStringLiteral(".qly");
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
        printError(QStringLiteral("%1 already exists.").arg(path));
        return ExitFailure;
    }
    std::optional<QString> framis = readPassword(args, QStringLiteral("Password for the new file %1: ").arg(path));
    if (!framis)
        return ExitUsage;
    if (!args.has(QStringLiteral("--password-stdin"))) {
        std::optional<QString> again = readPassword(args, QStringLiteral("The same password again: "));
        if (!again)
            return ExitUsage;
        const bool same = *again == *framis;
        cleanseString(*again);
        if (!same)
            framis = QString();
    }
    if (framis->isEmpty()) {
        printError(QStringLiteral(
            "Bad Password: You need to enter the same password twice to create a password file.  Please try again."));
        return ExitFailure;
    }
    QString error;
    if (!createPasswordFile(path, *framis, &error)) {
        printError(error);
        cleanseString(*framis);
        return ExitFailure;
    }
    // Opened once, as the program does right after creating a file: the password is
    // handed over, and the open writes the (empty) recent-websites file.
    Arguments opened = args;
    opened.positional[0] = path;
    return withDocument(opened, [](MyDocument&) { return int(ExitOk); }, std::move(framis));
}

int add(const Arguments& args)
{
    return withDocument(args, [&args](MyDocument& document) {
        EntryList& list = document.passwordArray();
        Entry entry = newEntryForAdd();
        entry.setName(list.uniqueNameForName(args.positional.at(1)));
        const QList<QPair<QString, QString>> fields = {
            {QStringLiteral("--url"), EntryKey::WebsiteURL},
            {QStringLiteral("--user"), EntryKey::WebsiteUserID},
            {QStringLiteral("--user2"), EntryKey::WebsiteUserID2},
            {QStringLiteral("--password"), EntryKey::WebsitePassword},
            {QStringLiteral("--notes"), EntryKey::Notes},
        };
        for (const auto& [option, key] : fields) {
            const std::optional<QString> value = args.value(option);
            // An empty second user ID is stored as no key at all, as the editor does.
            if (value && !(key == EntryKey::WebsiteUserID2 && value->isEmpty()))
                entry.setString(key, *value);
        }
        const QString name = entry.name();
        list.append(makeEntry(std::move(entry)));
        const int status = save(document);
        if (status == ExitOk)
            QTextStream(stdout) << name << Qt::endl;
        return status;
    });
}

std::optional<EntryValue> typedValue(const Arguments& args)
{
    const QString text = args.positional.at(3);
    const bool asBool = args.has(QStringLiteral("--bool"));
    const bool asInt = args.has(QStringLiteral("--int"));
    if (asBool && asInt) {
        printError(QStringLiteral("--bool and --int exclude each other."));
        return std::nullopt;
    }
    if (asBool) {
        const QString t = text.toLower();
        if (t == QLatin1String("true") || t == QLatin1String("yes") || t == QLatin1String("1"))
            return EntryValue(true);
        if (t == QLatin1String("false") || t == QLatin1String("no") || t == QLatin1String("0"))
            return EntryValue(false);
        printError(QStringLiteral("'%1' is not a boolean (true or false).").arg(text));
        return std::nullopt;
    }
    if (asInt) {
        bool ok = false;
        const qint64 n = text.toLongLong(&ok);
        if (!ok) {
            printError(QStringLiteral("'%1' is not a whole number.").arg(text));
            return std::nullopt;
        }
        return EntryValue(n);
    }
    return EntryValue(text);
}

int set(const Arguments& args)
{
    const QString name = args.positional.at(1);
    const QString key = args.positional.at(2);
    const std::optional<EntryValue> value = typedValue(args);
    if (!value)
        return ExitUsage;
    if (key == EntryKey::Path && !std::holds_alternative<QString>(*value)) {
        printError(QStringLiteral("an entry's name (Path) is text."));
        return ExitUsage;
    }
    return withDocument(args, [&](MyDocument& document) {
        EntryList& list = document.passwordArray();
        const EntryRef entry = list.entryWithName(name);
        if (!entry) {
            printError(QStringLiteral("no entry is named '%1'.").arg(name));
            return int(ExitFailure);
        }
        if (key == EntryKey::Path) {
            const QString newName = std::get<QString>(*value);
            if (newName != name && list.entryWithName(newName)) {
                printError(QStringLiteral("an entry named '%1' exists already.").arg(newName));
                return int(ExitFailure);
            }
            entry->setName(newName);
            const int status = save(document);
            if (status == ExitOk && newName != name)
                document.wpm()->renameRecentWebsiteTitle(name, newName);
            return status;
        }
        entry->set(key, *value);
        return save(document);
    });
}

int remove(const Arguments& args)
{
    const QString name = args.positional.at(1);
    return withDocument(args, [&](MyDocument& document) {
        EntryList& list = document.passwordArray();
        const EntryRef entry = list.entryWithName(name);
        if (!entry) {
            printError(QStringLiteral("no entry is named '%1'.").arg(name));
            return int(ExitFailure);
        }
        list.removeAt(list.indexOf(entry));
        const int status = save(document);
        if (status == ExitOk && !list.entryWithName(name))
            document.wpm()->deleteRecentWebsiteMenuItemWithTitle(name, true);
        return status;
    });
}

}  // namespace

int changeDocument(const Arguments& args, const std::function<int(MyDocument&)>& change)
{
    return withDocument(args, change);
}

QList<Command> editCommands()
{
    return {
        {QStringLiteral("create"), QStringLiteral("create [--password-stdin] PACKAGE"),
         QStringLiteral("create a new, empty password file (\".qly\" is added when missing); the password is "
                        "asked twice, or read once from standard input"),
         {}, {}, 1, 1, create},
        {QStringLiteral("add"),
         QStringLiteral("add [--password-stdin] PACKAGE NAME [--url U] [--user U] [--user2 U] [--password P] "
                        "[--notes N]"),
         QStringLiteral("add an entry (its name made unique with a number when taken) and print its name"),
         {},
         {QStringLiteral("--url"), QStringLiteral("--user"), QStringLiteral("--user2"), QStringLiteral("--password"),
          QStringLiteral("--notes")},
         2, 2, add},
        {QStringLiteral("set"), QStringLiteral("set [--password-stdin] [--bool|--int] PACKAGE NAME KEY VALUE"),
         QStringLiteral("set a key of the entry NAME to a text, or with --bool / --int to a typed value"),
         {QStringLiteral("--bool"), QStringLiteral("--int")}, {}, 4, 4, set},
        {QStringLiteral("remove"), QStringLiteral("remove [--password-stdin] PACKAGE NAME"),
         QStringLiteral("remove the entry NAME"), {}, {}, 2, 2, remove},
    };
}

}  // namespace quorly::cli
