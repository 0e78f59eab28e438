#include "store/DocumentTestSupport.h"

#include "store/CipherEngine.h"
#include "store/PasswordArchive.h"

#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

namespace quorly::test {

Opened openDocument(const QString& package, QStringList passwords)
{
    Opened o{std::make_unique<ScriptedWindow>(std::move(passwords)), std::make_unique<MyDocument>(package)};
    o.window->document = o.document.get();
    o.document->setWindow(o.window.get());
    o.document->openDatabase();
    return o;
}

ScratchEnvironment::ScratchEnvironment()
{
    QDir(dir_.path()).mkpath(QStringLiteral("home/.config"));
    QDir(dir_.path()).mkpath(QStringLiteral("run"));
    QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", QFile::encodeName(dir_.path() + QStringLiteral("/home")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.path() + QStringLiteral("/home/.config")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir()));
    static int argc = 1;
    static char name[] = "test_document";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

ScratchEnvironment& scratch()
{
    static ScratchEnvironment environment;
    return environment;
}

QStringList ScratchEnvironment::tempFolders() const
{
    return QDir(runtimeDir()).entryList({QStringLiteral(".QLY.*")}, QDir::Dirs | QDir::Hidden);
}

QStringList ScratchEnvironment::plaintextFilesBelow(const QString& dir)
{
    QStringList found;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.read(8) == "bplist00")
            found << file.fileName();
    }
    return found;
}

QString copyFixturePackage(const QString& name, const QString& destination)
{
    const QDir source(QStringLiteral(QUORLY_TEST_DATA_DIR "/packages/") + name);
    QDir().mkpath(destination);
    for (const QString& file : source.entryList(QDir::Files | QDir::Hidden)) {
        QFile::remove(destination + QLatin1Char('/') + file);
        EXPECT_TRUE(QFile::copy(source.filePath(file), destination + QLatin1Char('/') + file));
        QFile::setPermissions(destination + QLatin1Char('/') + file, QFile::ReadOwner | QFile::WriteOwner);
    }
    return destination;
}

namespace {

// The helpers work in a folder of their own rather than in scratch(): its first use
// points $HOME and $XDG_CONFIG_HOME elsewhere, and a widget test with its own scratch
// home would find its preferences gone in the middle of the test.
void writeEncrypted(const QString& file, const QByteArray& plaintext, const QString& framis)
{
    const QTemporaryDir work;
    const QString plain = work.filePath(QStringLiteral("plain"));
    QFile out(plain);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(plaintext);
    out.close();
    selectCurrentParameters();
    ASSERT_TRUE(framisE(plain, framis, file));
}

}  // namespace

void writeEntriesFile(const QString& file, const QList<Entry>& entries, const QString& framis)
{
    EntryList list;
    for (const Entry& e : entries)
        list.append(makeEntry(e));
    writeEncrypted(file, keyedArchiveFromEntries(list), framis);
}

void writeTitlesFile(const QString& file, const QStringList& titles, const QString& framis)
{
    writeEncrypted(file, keyedArchiveFromTitles(titles), framis);
}

std::optional<QList<EntryRef>> readEntriesFile(const QString& file, const QString& framis)
{
    const QTemporaryDir work;
    const QString plain = work.filePath(QStringLiteral("plain"));
    selectCurrentParameters();
    if (!framisD(file, framis, plain))
        return std::nullopt;
    QFile in(plain);
    in.open(QIODevice::ReadOnly);
    const QByteArray bytes = in.readAll();
    in.close();
    secureDelete(plain);
    return entriesFromKeyedArchive(bytes, nullptr);
}

QMap<QString, QByteArray> snapshot(const QString& dir)
{
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden)) {
        QFile f(dir + QLatin1Char('/') + name);
        f.open(QIODevice::ReadOnly);
        files.insert(name, f.readAll());
    }
    return files;
}

QStringList namesOf(const EntryList& list)
{
    QStringList names;
    for (const EntryRef& e : list.entries())
        names << e->name();
    return names;
}

Entry entry(const QString& name, const QString& password)
{
    Entry e;
    e.setName(name);
    e.setString(EntryKey::Button, QString());
    e.setString(EntryKey::Notes, QString());
    if (!password.isEmpty())
        e.setString(EntryKey::WebsitePassword, password);
    return e;
}

}  // namespace quorly::test
