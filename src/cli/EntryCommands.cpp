// The commands about one entry: `show` prints its fields, `clip` puts one of them on
// the desktop's clipboard for a while. Both read the package and change nothing in it.
#include "cli/Cli.h"

#include "entries/EntryCopy.h"
#include "entries/EntryList.h"
#include "platform/Clipboard.h"
#include "platform/ClipboardSecretTimer.h"
#include "platform/TerminationSignals.h"
#include "platform/desktop/QtClipboard.h"
#include "store/Globals.h"
#include "store/PackageReader.h"

#include <QGuiApplication>
#include <QTextStream>

#include <X11/Xlib.h>

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
std::unique_ptr<QGuiApplication> displayApplication()
{
    // Qt's own options never come from the command line: a NAME such as "-display" is
    // the entry's.
    static int argc = 1;
    static char name[] = "quorly-cli";
    static char* argv[] = {name, nullptr};
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "xcb") {
        // On a Wayland desktop too: XWayland hands an X11 copy to Wayland programs, and
        // the desktop program's own clipboard is X11's as well.
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            printError(QStringLiteral("clip needs a display, and DISPLAY is not set (show prints the entry "
                                      "without one)."));
            return nullptr;
        }
        // Qt would end the program with a message of its own; this one says what to do.
        Display* display = XOpenDisplay(nullptr);
        if (!display) {
            printError(QStringLiteral("clip cannot reach the display %1.").arg(qEnvironmentVariable("DISPLAY")));
            return nullptr;
        }
        XCloseDisplay(display);
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    return std::make_unique<QGuiApplication>(argc, argv);
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

    const std::unique_ptr<QGuiApplication> app = displayApplication();
    if (!app)
        return ExitFailure;
    int exitCode = ExitOk;
    const EntryRef entry = readNamedEntry(args, &exitCode);
    if (!entry)
        return exitCode;
    QString text = entryFieldText(*entry, *field);
    if (text.isEmpty()) {
        printError(QStringLiteral("the entry '%1' has no %2.").arg(entry->name(), fieldLabel(*field)));
        return ExitFailure;
    }

    // Every field goes as a secret, so clipboard managers keep none of them in their
    // history and the wait below can tell whether the clipboard still holds it.
    setClipboard(std::make_shared<QtClipboard>());
    ClipboardSecretTimer timer;
    QTextStream out(stdout);
    QObject::connect(&timer, &ClipboardSecretTimer::ended, [&out](ClipboardSecretTimer::Outcome outcome) {
        out << (outcome == ClipboardSecretTimer::Outcome::Cleared
                    ? QStringLiteral("Cleared the clipboard.")
                    : QStringLiteral("The clipboard holds something newer now; left it as it is."))
            << Qt::endl;
        QCoreApplication::quit();
    });
    // Ctrl+C or a kill ends the wait early, and the field goes with it.
    handleTerminationSignals(&timer, [&timer] { timer.clearNow(); });
    timer.copy(text, delay);
    cleanseString(text);
    out << QStringLiteral("Copied the %1 of '%2' to the clipboard; ").arg(fieldLabel(*field), entry->name());
    if (delay) {
        const qint64 seconds = std::chrono::duration_cast<std::chrono::seconds>(*delay).count();
        out << QStringLiteral("it will be cleared in %1 %2.")
                   .arg(seconds)
                   .arg(seconds == 1 ? QStringLiteral("second") : QStringLiteral("seconds"));
    } else {
        out << QStringLiteral("it stays until something else is copied (Ctrl+C clears it now).");
    }
    out << Qt::endl;
    QCoreApplication::exec();
    setClipboard(nullptr);
    return ExitOk;
}

}  // namespace

QList<Command> entryCommands()
{
    Command clip{
        QStringLiteral("clip"),
        QStringLiteral("clip [--password-stdin] PACKAGE NAME [--field password|user|user2|url] [--seconds N]"),
        QStringLiteral("put one field of the entry NAME (its password unless --field says otherwise) on the "
                       "clipboard, wait N seconds (Quorly's clipboard setting, 30 unless changed; 0 waits until "
                       "something else is copied), then clear it if it is still there; needs a display"),
        {}, {kFieldOption, kSecondsOption}, 2, 2, clipField};
    clip.makesOwnApplication = true;
    return {
        {QStringLiteral("show"), QStringLiteral("show [--password-stdin] [--show-password] PACKAGE NAME"),
         QStringLiteral("print the fields of the entry NAME, its password as asterisks unless --show-password"),
         {QStringLiteral("--show-password")}, {}, 2, 2, show},
        clip,
    };
}

}  // namespace quorly::cli
