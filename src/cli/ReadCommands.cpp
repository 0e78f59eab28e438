// The read-only commands: they decrypt a package into a private temporary folder,
// print what it holds and change nothing in it.
#include "cli/Cli.h"

#include "entries/EntryList.h"
#include "store/PackageReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace quorly::cli {

namespace {

int exitFor(PackageContents::Status status)
{
    switch (status) {
    case PackageContents::Status::Ok: return ExitOk;
    case PackageContents::Status::Missing:
    case PackageContents::Status::NotAQuorlyFile: return ExitNotQuorly;
    case PackageContents::Status::WrongPassword: return ExitPassword;
    case PackageContents::Status::Damaged: return ExitDamaged;
    case PackageContents::Status::NoTempFolder:
    case PackageContents::Status::Failed: return ExitFailure;
    }
    return ExitFailure;
}

}  // namespace

std::optional<PackageContents> readNamedPackage(const Arguments& args, int* exitCode)
{
    const QString path = args.positional.at(0);
    const PackageFiles files = packageFiles(path);
    if (files.format == PackageFormat::None) {
        // Say what is wrong before asking for a password that cannot help.
        const PackageContents contents = readPackage(path, QString());
        printError(contents.message);
        *exitCode = exitFor(contents.status);
        return std::nullopt;
    }
    const std::optional<QString> framis = readPassword(args, QStringLiteral("Password for %1: ").arg(path));
    if (!framis) {
        *exitCode = ExitUsage;
        return std::nullopt;
    }
    PackageContents contents = readPackage(path, *framis);
    if (contents.status != PackageContents::Status::Ok) {
        printError(contents.message);
        *exitCode = exitFor(contents.status);
        return std::nullopt;
    }
    return contents;
}

namespace {

QJsonValue jsonValue(const EntryValue& value)
{
    if (const auto* s = std::get_if<QString>(&value))
        return *s;
    if (const auto* b = std::get_if<bool>(&value))
        return *b;
    if (const auto* i = std::get_if<qint64>(&value))
        return QJsonValue(*i);
    return std::get<double>(value);
}

int dump(const Arguments& args)
{
    int exitCode = ExitOk;
    const std::optional<PackageContents> contents = readNamedPackage(args, &exitCode);
    if (!contents)
        return exitCode;

    QJsonArray entries;
    for (const EntryRef& entry : contents->entries) {
        QJsonObject object;
        for (const Entry::Item& item : entry->items())
            object.insert(item.first, jsonValue(item.second));
        entries.append(object);
    }
    QJsonObject root;
    root.insert(QStringLiteral("format"),
                contents->format == PackageFormat::Pre20 ? QStringLiteral("pre-2.0") : QStringLiteral("current"));
    root.insert(QStringLiteral("entries"), entries);
    root.insert(QStringLiteral("recentWebsites"), QJsonArray::fromStringList(contents->recentWebsites));
    std::fputs(QJsonDocument(root).toJson(QJsonDocument::Indented).constData(), stdout);
    return ExitOk;
}

// A name as one line of `list`: as it is, unless a line break or another control
// character in it would split or garble the line, or it begins with a double quote;
// then as a JSON string, in double quotes with backslash escapes. Every line thus
// names exactly one entry, and the names people give print unchanged.
QString listLine(const QString& name)
{
    const bool plain = !name.startsWith(QLatin1Char('"')) &&
                       std::none_of(name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
    if (plain)
        return name;
    const QByteArray json = QJsonDocument(QJsonArray{name}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));  // the string without the array's brackets
}

int list(const Arguments& args)
{
    int exitCode = ExitOk;
    const std::optional<PackageContents> contents = readNamedPackage(args, &exitCode);
    if (!contents)
        return exitCode;

    EntryList sorted;
    sorted.replaceAll(contents->entries);
    sorted.sort();
    QTextStream out(stdout);
    const bool nul = args.has(QStringLiteral("--null"));
    for (const EntryRef& entry : sorted.entries()) {
        if (nul)
            out << entry->name() << QChar(0);
        else
            out << listLine(entry->name()) << '\n';
    }
    return ExitOk;
}

}  // namespace

QList<Command> readCommands()
{
    return {
        {QStringLiteral("dump"), QStringLiteral("dump [--password-stdin] PACKAGE"),
         QStringLiteral("print every entry and the recent websites as JSON"), {}, {}, 1, 1, dump},
        {QStringLiteral("list"), QStringLiteral("list [--password-stdin] [--null] PACKAGE"),
         QStringLiteral("print the entry names, one a line, in the list's order; a name holding a line break\n"
                        "      or another control character, or beginning with a double quote, is printed as a\n"
                        "      JSON string; with --null each name is printed as it is, ended by a NUL byte"),
         {QStringLiteral("--null")}, {}, 1, 1, list},
    };
}

}  // namespace quorly::cli
