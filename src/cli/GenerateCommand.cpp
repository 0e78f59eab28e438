// `generate`: prints one password from the desktop program's generator.
#include "cli/Cli.h"

#include "app/Preferences.h"
#include "app/StartUp.h"
#include "generator/GeneratePassword.h"
#include "store/Globals.h"

#include <QTextStream>

#include <algorithm>

namespace quorly::cli {

namespace {

const QString kLength = QStringLiteral("--length");
const QString kNoSpecials = QStringLiteral("--no-specials");

int generate(const Arguments& args)
{
    // Without --length, the length the desktop program gives an entry that has none.
    qint64 length = StartUp::normalisedPasswordLength(Preferences::integer(PrefKey::GeneratedPasswordLength));
    if (const std::optional<QString> given = args.value(kLength)) {
        bool number = false;
        length = given->toLongLong(&number);
        if (!number || length < 0) {
            printError(QStringLiteral("--length takes a number of characters, not '%1'.").arg(*given));
            return ExitUsage;
        }
    }
    // Anything past the maximum is refused by the generator like the maximum plus one.
    const auto served = quint32(std::min<qint64>(length, qint64(PasswordLength::Maximum) + 1));
    GeneratedPassword generated = GeneratePassword(served, !args.has(kNoSpecials));
    if (!generated.ok()) {
        printError(generated.message);
        return generated.status == GeneratedPassword::Status::RandomFailed ? int(ExitFailure) : int(ExitUsage);
    }
    QTextStream(stdout) << generated.password << Qt::endl;
    cleanseString(generated.password);
    return ExitOk;
}

}  // namespace

QList<Command> generateCommands()
{
    return {
        {QStringLiteral("generate"), QStringLiteral("generate [--length N] [--no-specials]"),
         QStringLiteral("print a random password of N characters (0: 8; at most %1; default: the preferences' "
                        "length); --no-specials leaves out !-#$%+&()*[]")
             .arg(PasswordLength::Maximum),
         {kNoSpecials}, {kLength}, 0, 0, generate},
    };
}

}  // namespace quorly::cli
