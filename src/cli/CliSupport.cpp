#include "cli/Cli.h"

#include <QTextStream>

#include <openssl/crypto.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace quorly::cli {

namespace {

const QString kPasswordStdin = QStringLiteral("--password-stdin");

// One line of standard input without its line ending; nullopt at end of input.
std::optional<QString> readStdinLine()
{
    std::string line;
    if (!std::getline(std::cin, line))
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    QString text = QString::fromUtf8(line.data(), qsizetype(line.size()));
    OPENSSL_cleanse(line.data(), line.size());
    return text;
}

}  // namespace

void printError(const QString& message)
{
    QTextStream(stderr) << "quorly-cli: " << message << Qt::endl;
}

std::optional<Arguments> parseArguments(const Command& command, const QStringList& args)
{
    Arguments parsed;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && arg.startsWith(QLatin1String("--"))) {
            const qsizetype eq = arg.indexOf(QLatin1Char('='));
            const QString name = eq < 0 ? arg : arg.left(eq);
            if (name == kPasswordStdin || command.flags.contains(name)) {
                if (eq >= 0) {
                    printError(QStringLiteral("%1 takes no value.").arg(name));
                    return std::nullopt;
                }
                parsed.flags << name;
            } else if (command.valued.contains(name)) {
                if (eq >= 0) {
                    parsed.values.insert(name, arg.mid(eq + 1));
                } else if (i + 1 < args.size()) {
                    parsed.values.insert(name, args.at(++i));
                } else {
                    printError(QStringLiteral("%1 needs a value.").arg(name));
                    return std::nullopt;
                }
            } else {
                printError(QStringLiteral("unknown option %1 for '%2'.").arg(name, command.name));
                return std::nullopt;
            }
        } else {
            parsed.positional << arg;
        }
    }
    if (parsed.positional.size() < command.minPositional || parsed.positional.size() > command.maxPositional) {
        printError(QStringLiteral("usage: quorly-cli %1").arg(command.usage));
        return std::nullopt;
    }
    return parsed;
}

std::optional<QString> readPassword(const Arguments& args, const QString& prompt)
{
    if (args.has(kPasswordStdin)) {
        std::optional<QString> line = readStdinLine();
        if (!line)
            printError(QStringLiteral("standard input ended before the password."));
        return line;
    }
    if (!::isatty(STDIN_FILENO)) {
        printError(QStringLiteral("no terminal to ask for the password on; use --password-stdin."));
        return std::nullopt;
    }

    QTextStream(stderr) << prompt << Qt::flush;
    termios saved {};
    const bool haveTerminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveTerminal) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    std::optional<QString> line = readStdinLine();
    if (haveTerminal)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    QTextStream err(stderr);
    err << Qt::endl;
    if (!line)
        printError(QStringLiteral("no password given."));
    return line;
}

}  // namespace quorly::cli
