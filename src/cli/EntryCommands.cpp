// The commands about one entry: `show` prints its fields, `clip` puts one of them on
// the desktop's clipboard for a while. Both read the package and change nothing in it.
#include "cli/Cli.h"

#include "cli/ClipHelper.h"
#include "entries/EntryCopy.h"
#include "entries/EntryList.h"
#include "platform/ClipboardSecretTimer.h"
#include "store/PackageReader.h"

#include <QTextStream>

namespace quorly::cli {

namespace {

const QString kFieldOption = QStringLiteral("--field");
const QString kSecondsOption = QStringLiteral("--seconds");

// The entry named by the second positional argument of a package read for `args`.
EntryRef readNamedEntry(const Arguments& args, int* exitCode)
{
    const std::optional<PackageContents> contents = readNamedPackage(args, exitCode);
    if (!contents)
        return nullptr;
    EntryList list;
    list.replaceAll(contents->entries);
    const QString name = args.positional.at(1);
    EntryRef entry = list.entryWithName(name);
    if (!entry) {
        printError(QStringLiteral("no entry is named '%1'.").arg(name));
        *exitCode = ExitFailure;
    }
    return entry;
}

int show(const Arguments& args)
{
    int exitCode = ExitOk;
    const EntryRef entry = readNamedEntry(args, &exitCode);
    if (!entry)
        return exitCode;
    QTextStream(stdout) << entryShowText(*entry, args.has(QStringLiteral("--show-password"))) << Qt::flush;
    return ExitOk;
}

// The clipboard belongs to the display's server: the program that copied serves what
// it copied until something else is copied, so `clip` runs while the field is there.
// Said before the password is asked, as it needs no display library.
bool displayIsMissing()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    // On a Wayland desktop too: XWayland hands an X11 copy to Wayland programs, and the
    // desktop program's own clipboard is X11's as well.
    if ((platform.isEmpty() || platform == "xcb") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        printError(QStringLiteral("clip needs a display, and DISPLAY is not set (show prints the entry "
                                  "without one)."));
        return true;
    }
    return false;
}

QString fieldLabel(EntryField field)
{
    switch (field) {
    case EntryField::UserID: return QStringLiteral("user ID");
    case EntryField::SecondUserID: return QStringLiteral("second user ID");
    case EntryField::Password: return QStringLiteral("password");
    case EntryField::URL: return QStringLiteral("URL");
    }
    return {};
}

int clipField(const Arguments& args)
{
    const std::optional<EntryField> field = entryFieldNamed(args.value(kFieldOption).value_or(QStringLiteral("password")));
    if (!field) {
        printError(QStringLiteral("--field takes password, user, user2 or url."));
        return ExitUsage;
    }
    // Decided here: without --seconds, the wait the desktop program uses for a copied
    // password ("clipboardClearSeconds", 30 unless changed), as `generate` takes its
    // length from the preferences.
    std::optional<std::chrono::milliseconds> delay = passwordClipboardDelay();
    if (const std::optional<QString> seconds = args.value(kSecondsOption)) {
        bool ok = false;
        const qint64 n = seconds->toLongLong(&ok);
        if (!ok || n < 0) {
            printError(QStringLiteral("--seconds takes a whole number of seconds, 0 to wait until something "
                                      "else is copied."));
            return ExitUsage;
        }
        delay = clipboardClearDelay(n);
    }

    if (displayIsMissing())
        return ExitFailure;
    const std::optional<QString> helper = clipHelperPath();
    if (!helper)
        return ExitFailure;

    QString text, name;
    {  // The decrypted entries are wiped as they go, which exec would not wait for.
        int exitCode = ExitOk;
        const EntryRef entry = readNamedEntry(args, &exitCode);
        if (!entry)
            return exitCode;
        text = entryFieldText(*entry, *field);
        name = entry->name();
    }
    if (text.isEmpty()) {
        printError(QStringLiteral("the entry '%1' has no %2.").arg(name, fieldLabel(*field)));
        return ExitFailure;
    }
    const qint64 seconds = delay ? std::chrono::duration_cast<std::chrono::seconds>(*delay).count() : 0;
    return execClipHelper(*helper, seconds, fieldLabel(*field), name, text);
}

}  // namespace

QList<Command> entryCommands()
{
    return {
        {QStringLiteral("show"), QStringLiteral("show [--password-stdin] [--show-password] PACKAGE NAME"),
         QStringLiteral("print the fields of the entry NAME, its password as asterisks unless --show-password"),
         {QStringLiteral("--show-password")}, {}, 2, 2, show},
        {QStringLiteral("clip"),
         QStringLiteral("clip [--password-stdin] PACKAGE NAME [--field password|user|user2|url] [--seconds N]"),
         QStringLiteral("put one field of the entry NAME (its password unless --field says otherwise) on the "
                        "clipboard, wait N seconds (Quorly's clipboard setting, 30 unless changed; 0 waits until "
                        "something else is copied), then clear it if it is still there; needs a display"),
         {}, {kFieldOption, kSecondsOption}, 2, 2, clipField},
    };
}

}  // namespace quorly::cli
