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
// document and closes it. Any failed save on the way makes the command fail. The
// package's writer lock is held from before the open to after the save, so the change
// is made to the list as it is stored, and no other writer comes between.
// `readMore` reads what else the command takes from standard input, after the file
// password and before the lock: nobody waits for the lock while a user types.
int withDocument(const Arguments& args, const std::function<int(MyDocument&)>& change,
                 std::optional<QString> handedFramis = std::nullopt, const std::function<bool()>& readMore = {})
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
    if (readMore && !readMore()) {
        if (framis)
            cleanseString(*framis);
        return ExitUsage;
    }

    TerminalWindow window(std::move(framis));
    MyDocument document(path);
    window.document = &document;
    document.setWindow(&window);
    // A script must not change which file the desktop program reopens at start.
    document.setRecordsLastFile(false);
    QString lockError;
    PackageWriterLock::Hold writing = document.holdWriterLock(&lockError);
    if (!writing) {
        printError(lockError);
        return ExitFailure;
    }
    if (!document.openDatabase()) {
        writing.release();
        if (document.openFailure() == MyDocument::OpenFailure::Cancelled)
            printError(QStringLiteral("The password is incorrect."));
        return exitForOpenFailure(document.openFailure());
    }
    int status = change(document);
    document.close();
    writing.release();
    if (status == ExitOk && document.failedSaves() > 0)
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

// A secret read from standard input (or the terminal) for the option `flag`, which
// keeps it out of the argument list that every user of the machine can read.
bool readSecretFor(const Arguments& args, const QString& flag, const QString& prompt, std::optional<QString>& secret)
{
    if (!args.has(flag))
        return true;
    secret = readPassword(args, prompt);
    return secret.has_value();
}

int add(const Arguments& args)
{
    if (args.has(QStringLiteral("--entry-password-stdin")) && args.value(QStringLiteral("--password"))) {
        printError(QStringLiteral("--password and --entry-password-stdin exclude each other."));
        return ExitUsage;
    }
    std::optional<QString> entryPassword;
    const auto readEntryPassword = [&] {
        return readSecretFor(args, QStringLiteral("--entry-password-stdin"),
                             QStringLiteral("Password of the entry %1: ").arg(args.positional.at(1)), entryPassword);
    };
    const int result = withDocument(args, [&args, &entryPassword](MyDocument& document) {
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
        if (entryPassword)
            entry.setString(EntryKey::WebsitePassword, *entryPassword);
        const QString name = entry.name();
        list.append(makeEntry(std::move(entry)));
        const int status = save(document);
        if (status == ExitOk)
            QTextStream(stdout) << name << Qt::endl;
        return status;
    }, std::nullopt, readEntryPassword);
    if (entryPassword)
        cleanseString(*entryPassword);
    return result;
}

std::optional<EntryValue> typedValue(const Arguments& args, const QString& text)
{
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
    const bool valueOnStdin = args.has(QStringLiteral("--value-stdin"));
    if (valueOnStdin != (args.positional.size() == 3)) {
        printError(QStringLiteral("give VALUE or --value-stdin, not both or neither."));
        return ExitUsage;
    }
    if (key == EntryKey::Path && (args.has(QStringLiteral("--bool")) || args.has(QStringLiteral("--int")))) {
        printError(QStringLiteral("an entry's name (Path) is text."));
        return ExitUsage;
    }
    std::optional<EntryValue> value;
    std::optional<QString> secret;
    // The value is checked once it is known: from the arguments now, from standard
    // input after the file password.
    const auto takeValue = [&](const QString& text) {
        value = typedValue(args, text);
        return value.has_value();
    };
    if (!valueOnStdin && !takeValue(args.positional.at(3)))
        return ExitUsage;
    const auto readValue = [&] {
        return !valueOnStdin ||
               (readSecretFor(args, QStringLiteral("--value-stdin"), QStringLiteral("Value of %1: ").arg(key), secret) &&
                takeValue(*secret));
    };
    const int result = withDocument(args, [&](MyDocument& document) {
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
    }, std::nullopt, readValue);
    if (secret)
        cleanseString(*secret);
    return result;
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
         QStringLiteral("add [--password-stdin] PACKAGE NAME [--url U] [--user U] [--user2 U] "
                        "[--password P | --entry-password-stdin] [--notes N]"),
         QStringLiteral("add an entry (its name made unique with a number when taken) and print its name;\n"
                        "      --entry-password-stdin reads the entry's password as the next line of standard\n"
                        "      input (after the file password), keeping it out of the process list"),
         {QStringLiteral("--entry-password-stdin")},
         {QStringLiteral("--url"), QStringLiteral("--user"), QStringLiteral("--user2"), QStringLiteral("--password"),
          QStringLiteral("--notes")},
         2, 2, add},
        {QStringLiteral("set"),
         QStringLiteral("set [--password-stdin] [--bool|--int] PACKAGE NAME KEY (VALUE | --value-stdin)"),
         QStringLiteral("set a key of the entry NAME to a text, or with --bool / --int to a typed value;\n"
                        "      --value-stdin reads VALUE as the next line of standard input (after the file\n"
                        "      password), e.g. for websitePassword"),
         {QStringLiteral("--bool"), QStringLiteral("--int"), QStringLiteral("--value-stdin")}, {}, 3, 4, set},
        {QStringLiteral("remove"), QStringLiteral("remove [--password-stdin] PACKAGE NAME"),
         QStringLiteral("remove the entry NAME"), {}, {}, 2, 2, remove},
    };
}

}  // namespace quorly::cli
