#pragma once

#include "store/PackageReader.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quorly {
class MyDocument;
}

namespace quorly::cli {

// Exit statuses, so that scripts can tell the failures apart.
enum Exit : int {
    ExitOk = 0,
    ExitFailure = 1,     // the operation failed (a save, a missing entry, ...)
    ExitUsage = 2,       // the command line itself is wrong
    ExitNotQuorly = 3,   // no such package, or not a Quorly file
    ExitPassword = 4,    // wrong password
    ExitDamaged = 5,     // decrypts, but holds no readable archive
};

// The parsed command line of one command. Options may stand anywhere after the
// command name; "--" ends them.
struct Arguments {
    QStringList positional;
    QHash<QString, QString> values;  // valued options, e.g. "--url" -> "https://..."
    QStringList flags;               // flags given, e.g. "--password-stdin"

    bool has(const QString& flag) const { return flags.contains(flag); }
    std::optional<QString> value(const QString& option) const
    {
        return values.contains(option) ? std::optional<QString>(values.value(option)) : std::nullopt;
    }
};

struct Command {
    QString name;
    QString usage;     // e.g. "dump [--password-stdin] PACKAGE"
    QString summary;   // one line for --help
    QStringList flags;         // accepted flags besides --password-stdin
    QStringList valued;        // accepted options that take a value
    int minPositional = 1;
    int maxPositional = 1;
    std::function<int(const Arguments&)> run;
};

// The commands of each group; main() lists them all.
QList<Command> readCommands();
QList<Command> passwordCommands();
QList<Command> editCommands();
QList<Command> generateCommands();
QList<Command> importExportCommands();
QList<Command> entryCommands();

// Opens the package of the first positional argument as the desktop program does (a
// pre-2.0 package migrated, copies beside it merged), runs `change` on the open document
// and closes it; a failed save on the way makes the command fail.
int changeDocument(const Arguments& args, const std::function<int(MyDocument&)>& change);

// Reads the package of the first positional argument without changing it, asking for its
// password; nullopt (after a message, with the exit status in `exitCode`) when it cannot.
std::optional<PackageContents> readNamedPackage(const Arguments& args, int* exitCode);

// Splits `args` (after the command name) by the command's options. Returns nullopt
// after printing a message to stderr when something is wrong.
std::optional<Arguments> parseArguments(const Command& command, const QStringList& args);

// Reads one password: with --password-stdin the next line of standard input,
// otherwise from the terminal without echo, after printing `prompt` to stderr.
// nullopt (after a message) when there is no way to ask.
std::optional<QString> readPassword(const Arguments& args, const QString& prompt);

// Prints "quorly-cli: <message>" to stderr.
void printError(const QString& message);

}  // namespace quorly::cli
