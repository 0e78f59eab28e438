#include "cli/Cli.h"

#include "platform/Crypto.h"

#include <QTextStream>

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace quorly::cli {

namespace {

const QString kPasswordStdin = QStringLiteral("--password-stdin");

// Standard input, line by line, read straight from the descriptor: stdio or iostreams
// would keep the passwords in a buffer of their own that nobody wipes. What was read
// beyond a line waits in a buffer that is wiped as it is consumed and when it goes.
class StdinLines {
public:
    std::optional<QString> next()
    {
        for (;;) {
            const auto newline = std::find(pending_.begin(), pending_.end(), '\n');
            if (newline != pending_.end())
                return take(std::size_t(newline - pending_.begin()), 1);
            if (ended_ && pending_.empty())
                return std::nullopt;
            if (ended_)
                return take(pending_.size(), 0);
            char chunk[4096];
            const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ended_ = true;
                continue;
            }
            pending_.insert(pending_.end(), chunk, chunk + n);
            crypto::cleanse(chunk, sizeof chunk);
        }
    }

private:
    // The first `length` bytes as text (a CR before the line end dropped), then
    // `length + skip` bytes are removed and the space they leave is wiped.
    QString take(std::size_t length, std::size_t skip)
    {
        std::size_t textLength = length;
        if (textLength > 0 && pending_[textLength - 1] == '\r')
            --textLength;
        QString text = QString::fromUtf8(pending_.data(), qsizetype(textLength));
        const std::size_t before = pending_.size();
        pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(length + skip));
        crypto::cleanse(pending_.data() + pending_.size(), before - pending_.size());
        return text;
    }

    std::vector<char, crypto::CleansingAllocator<char>> pending_;
    bool ended_ = false;
};

// One line of standard input without its line ending; nullopt at end of input.
std::optional<QString> readStdinLine()
{
    static StdinLines lines;
    return lines.next();
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
