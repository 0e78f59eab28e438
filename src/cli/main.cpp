// quorly-cli: the password files of Quorly from a terminal or a script.
#include "cli/Cli.h"

#include "platform/ProcessProtection.h"
#include "store/TempFolder.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

using namespace quorly::cli;

namespace {

QList<Command> allCommands()
{
    return readCommands() + editCommands() + passwordCommands() + generateCommands() +
           importExportCommands() + entryCommands();
}

void printHelp(const QList<Command>& commands)
{
    QTextStream out(stdout);
    out << "Usage: quorly-cli COMMAND [OPTIONS] ARGUMENTS\n\n"
           "Reads and changes Quorly password files (.qly packages).\n"
           "The file password is asked on the terminal without echo; with --password-stdin\n"
           "it is read as a line of standard input instead.\n\nCommands:\n";
    for (const Command& command : commands)
        out << "  " << command.usage << "\n      " << command.summary << "\n";
    out << "\nCommands that change a file wait for one another (and for the desktop program's\n"
           "saves), so commands run side by side lose no change.\n"
           "\nExit status: 0 success, 1 failure, 2 usage, 3 not a Quorly file or missing,\n"
           "4 wrong password, 5 damaged file.\n";
}

}  // namespace

int main(int argc, char** argv)
{
    quorly::protectProcessSecrets();
    // Decoded as QCoreApplication would; the application object comes only once a command
    // runs, as --help and --version start quicker without one.
    QCoreApplication::setOrganizationName(QStringLiteral("Quorly"));
    QCoreApplication::setApplicationName(QStringLiteral("Quorly"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORLY_VERSION));
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    const QList<Command> commands = allCommands();
    if (args.isEmpty()) {
        printHelp(commands);
        return ExitUsage;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        printHelp(commands);
        return ExitOk;
    }
    if (name == QLatin1String("--version")) {
        QTextStream(stdout) << "quorly-cli " << QUORLY_VERSION << Qt::endl;
        return ExitOk;
    }
    for (const Command& command : commands) {
        if (command.name != name)
            continue;
        // Private folders of Quorly processes that died, with whatever plaintext they
        // held; those of live processes are locked and stay.
        quorly::TempFolder::removeStale();
        const std::optional<Arguments> parsed = parseArguments(command, args);
        if (!parsed)
            return ExitUsage;
        QCoreApplication app(argc, argv);
        return command.run(*parsed);
    }
    printError(QStringLiteral("unknown command '%1'; see quorly-cli --help.").arg(name));
    return ExitUsage;
}
