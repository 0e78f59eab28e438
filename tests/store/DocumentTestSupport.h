#pragma once

// Shared by the document tests: a scripted window, scratch home folders and package
// helpers that work on files directly, without the document under test.

#include "entries/EntryList.h"
#include "store/DocumentWindow.h"
#include "store/MyDocument.h"
#include "support/PrintQString.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace quorly::test {

inline const QString kFixturePassword = QStringLiteral("correct horse");

// Answers every message from a list of answers (then with its default button) and the
// password question from a list (an exhausted list cancels). Records what it was asked.
class ScriptedWindow : public DocumentWindow {
public:
    explicit ScriptedWindow(QStringList passwords = {}) : passwords(std::move(passwords)) {}

    int prompt(const QString& message, const QString&, const QString&) override
    {
        messages << message;
        return answers.isEmpty() ? 1 : answers.takeFirst();
    }
    std::optional<QString> askFilePassword(const QString& prompt) override
    {
        passwordPrompts << prompt;
        if (passwords.isEmpty())
            return std::nullopt;
        return passwords.takeFirst();
    }
    void showEntries(EntryList&) override { shown = true; }
    void reloadList() override { ++reloads; }
    void selectRows(const QList<int>&) override {}
    void deselectAll() override {}
    void setWriteable(bool w) override { writeable = w; }
    void closeWindow() override
    {
        ++closes;
        if (document)
            document->windowWillClose();
    }

    MyDocument* document = nullptr;
    QStringList passwords;
    QStringList messages;
    QList<int> answers;  // to the messages, in turn; then the default button
    QStringList passwordPrompts;
    bool shown = false;
    bool writeable = false;
    int reloads = 0;
    int closes = 0;
};

// A document with a scripted window, opened with `passwords`.
struct Opened {
    std::unique_ptr<ScriptedWindow> window;
    std::unique_ptr<MyDocument> document;
    MyDocument* operator->() const { return document.get(); }
};
Opened openDocument(const QString& package, QStringList passwords = {kFixturePassword});

// A QCoreApplication and HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR in a scratch folder,
// so preferences and temporary folders never touch the real ones.
class ScratchEnvironment {
public:
    ScratchEnvironment();
    QString root() const { return dir_.path(); }
    QString runtimeDir() const { return dir_.path() + QStringLiteral("/run"); }
    // The ".QLY.*" folders now in the runtime folder.
    QStringList tempFolders() const;
    // Plaintext files (keyed archives) anywhere below `dir`, temp folders included.
    static QStringList plaintextFilesBelow(const QString& dir);

private:
    QTemporaryDir dir_;
};

ScratchEnvironment& scratch();

// Copies a fixture package (tests/fixtures/packages/<name>) to `destination`.
QString copyFixturePackage(const QString& name, const QString& destination);

// Writes entries (as a keyed archive, encrypted with `framis`) to `file`.
void writeEntriesFile(const QString& file, const QList<Entry>& entries, const QString& framis);
void writeTitlesFile(const QString& file, const QStringList& titles, const QString& framis);

// Decrypts and reads a package file, as another program would.
std::optional<QList<EntryRef>> readEntriesFile(const QString& file, const QString& framis);

// Every file of a folder with its bytes, to show that nothing changed.
QMap<QString, QByteArray> snapshot(const QString& dir);

QStringList namesOf(const EntryList& list);
Entry entry(const QString& name, const QString& password = QString());

}  // namespace quorly::test
