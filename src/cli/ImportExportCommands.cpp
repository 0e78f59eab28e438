// Import of delimited text into a password file and export of its entries, over the same
// parser, import plan and export text as the desktop program's dialogs.
#include "cli/Cli.h"

#include "entries/ExportText.h"
#include "import/ImportPlan.h"
#include "store/MyDocument.h"
#include "store/PlaintextFile.h"

#include <QTextStream>

#include <climits>

namespace quorly::cli {

namespace {

// Quorly's own export: importing it gives back the exported entries.
const QString kDefaultColumns = QStringLiteral("name,url,user1,user2,password,notes");

std::optional<Separator> separatorOption(const Arguments& args)
{
    const QString word = args.value(QStringLiteral("--separator")).value_or(QStringLiteral("comma")).toLower();
    if (word == QLatin1String("comma"))
        return Separator::Comma;
    if (word == QLatin1String("semicolon"))
        return Separator::Semicolon;
    if (word == QLatin1String("tab"))
        return Separator::Tab;
    printError(QStringLiteral("--separator takes tab, comma or semicolon, not '%1'.").arg(word));
    return std::nullopt;
}

QString reasonText(ImportSkip reason)
{
    return reason == ImportSkip::TooFewFields ? QStringLiteral("fewer fields than the columns named")
                                              : QStringLiteral("no name, website or user ID to name it by");
}

int importFile(const Arguments& args)
{
    const std::optional<Separator> separator = separatorOption(args);
    if (!separator)
        return ExitUsage;
    QString error;
    const std::optional<ImportPlan> plan =
        ImportPlan::fromList(args.value(QStringLiteral("--columns")).value_or(kDefaultColumns), &error);
    if (!plan) {
        printError(QStringLiteral("--columns: %1").arg(error));
        return ExitUsage;
    }
    // The file is read before the password is asked: a wrong path needs no password.
    std::optional<ImportText> text = readImportFile(args.positional.at(1), &error);
    if (!text) {
        printError(error + QStringLiteral(" Nothing was imported."));
        return ExitFailure;
    }
    if (text->encoding == ImportEncoding::Latin1)
        printError(QStringLiteral("the file is not UTF-8 text; its characters were read as Latin-1."));
    QList<ImportRecord> records = parseDelimitedText(text->text, *separator);
    text.reset();
    const int skipped = args.has(QStringLiteral("--skip-header")) && !records.isEmpty() ? 1 : 0;
    records.remove(0, skipped);

    return changeDocument(args, [&](MyDocument& document) {
        const ImportOutcome outcome = importRecords(document.passwordArray(), records, *plan);
        // One save for the whole import.
        if (outcome.imported > 0 && !document.KTTableViewArrayChanged())
            return int(ExitFailure);
        QTextStream(stdout) << QStringLiteral("Imported %1 entries.").arg(outcome.imported) << Qt::endl;
        // Named by number only: a field of the record may well be a password.
        for (const SkippedRecord& skip : outcome.notImported) {
            printError(QStringLiteral("record %1 of the file (%2 fields) not imported: %3.")
                           .arg(skip.index + skipped + 1)
                           .arg(skip.record.fields.size())
                           .arg(reasonText(skip.reason)));
        }
        if (!outcome.cutFields.isEmpty())
            printError(cutFieldsReport(outcome.cutFields));
        return outcome.notImported.isEmpty() && outcome.cutFields.isEmpty() ? int(ExitOk) : int(ExitFailure);
    });
}

int exportFile(const Arguments& args)
{
    int exitCode = ExitOk;
    const std::optional<PackageContents> contents = readNamedPackage(args, &exitCode);
    if (!contents)
        return exitCode;
    EntryList list;
    list.replaceAll(contents->entries);
    list.sort();

    QList<int> rows;
    const QStringList names = args.positional.mid(2);
    if (names.isEmpty()) {
        for (int row = 0; row < list.size(); ++row)
            rows << row;
    }
    for (const QString& name : names) {
        const EntryRef entry = list.entryWithName(name);
        if (!entry) {
            printError(QStringLiteral("no entry is named '%1'; nothing was exported.").arg(name));
            return ExitFailure;
        }
        rows << list.indexOf(entry);
    }
    const QString out = args.positional.at(1);
    QByteArray text = exportText(list, rows);
    QString error;
    const bool written = writeExportFile(out, text, &error);
    cleanseBytes(text);
    if (!written) {
        printError(QStringLiteral("%1 could not be written: %2.").arg(out, error));
        return ExitFailure;
    }
    QTextStream(stderr) << QStringLiteral("Exported %1 entries to %2 (readable by you only: it holds the "
                                          "passwords in plain text).")
                               .arg(QSet<int>(rows.begin(), rows.end()).size())
                               .arg(out)
                        << Qt::endl;
    return ExitOk;
}

}  // namespace

QList<Command> importExportCommands()
{
    return {
        {QStringLiteral("import"),
         QStringLiteral("import [--password-stdin] PACKAGE FILE [--separator tab|comma|semicolon] [--columns LIST] "
                        "[--skip-header]"),
         QStringLiteral("import the records of a delimited text file (comma-separated unless --separator says "
                        "otherwise) as new entries, saved once at the end. LIST names, in the file's column "
                        "order, the field each column fills: name, url, user1, user2, password, notes, or - to "
                        "skip it (default: name,url,user1,user2,password,notes, the order of an export). Without "
                        "a name column an entry is named after its website's host. --skip-header leaves out the "
                        "first line. Exits 1 when records were left out or fields cut (the rest is imported)"),
         {QStringLiteral("--skip-header")},
         {QStringLiteral("--separator"), QStringLiteral("--columns")},
         2, 2, importFile},
        {QStringLiteral("export"), QStringLiteral("export [--password-stdin] PACKAGE OUT [NAME ...]"),
         QStringLiteral("write the entries NAME ... (all entries when none is given) to OUT as six quoted, "
                        "comma-separated fields each, in the list's order; OUT is readable by you only"),
         {}, {}, 2, INT_MAX, exportFile},
    };
}

}  // namespace quorly::cli
