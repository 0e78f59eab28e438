// `passwd`: gives a package a new file password, re-encrypting both of its files.
#include "cli/Cli.h"

#include "store/PackageReader.h"
#include "store/PasswordChange.h"

#include <QTextStream>

#include <openssl/crypto.h>

namespace quorly::cli {

namespace {

void wipe(QString& text)
{
    OPENSSL_cleanse(text.data(), size_t(text.size()) * sizeof(QChar));
    text.clear();
}

int passwd(const Arguments& args)
{
    const QString path = args.positional.at(0);
    const PackageFiles files = packageFiles(path);
    if (files.format == PackageFormat::None) {
        printError(readPackage(path, QString()).message);
        return ExitNotQuorly;
    }

    std::optional<QString> current = readPassword(args, QStringLiteral("Current password for %1: ").arg(path));
    if (!current)
        return ExitUsage;
    // Proving the current password first tells a wrong password from a damaged file.
    const PackageContents contents = readPackage(path, *current);
    if (contents.status != PackageContents::Status::Ok) {
        wipe(*current);
        printError(contents.message);
        return contents.status == PackageContents::Status::WrongPassword ? int(ExitPassword)
               : contents.status == PackageContents::Status::Damaged    ? int(ExitDamaged)
                                                                        : int(ExitFailure);
    }

    std::optional<QString> first = readPassword(args, QStringLiteral("New password: "));
    std::optional<QString> second = first ? readPassword(args, QStringLiteral("New password again: ")) : std::nullopt;
    int status = ExitOk;
    QString error;
    if (!first || !second) {
        status = ExitUsage;
    } else if (*first != *second) {
        printError(QStringLiteral("the two new passwords differ. Password NOT changed."));
        status = ExitFailure;
    } else if (!changeFilePassword(path, *current, *first, &error)) {
        printError(error + QStringLiteral(" Password NOT changed."));
        status = ExitFailure;
    } else {
        QTextStream(stderr) << "Password changed." << Qt::endl;
    }
    for (std::optional<QString>* text : {&current, &first, &second})
        if (*text)
            wipe(**text);
    return status;
}

}  // namespace

QList<Command> passwordCommands()
{
    return {
        {QStringLiteral("passwd"), QStringLiteral("passwd [--password-stdin] PACKAGE"),
         QStringLiteral("change the file password (current, then the new one twice; with --password-stdin three lines)"),
         {}, {}, 1, 1, passwd},
    };
}

}  // namespace quorly::cli
