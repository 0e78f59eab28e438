#pragma once

#include "entries/EntryList.h"
#include "entries/EntryListChanges.h"
#include "platform/Keychain.h"
#include "store/CipherEngine.h"
#include "store/FileStamp.h"
#include "store/PackageLock.h"
#include "store/TempFolder.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

namespace quorly {

class DefaultModeTimer;
class DocumentWindow;
class WebsitePasswordManager;

// The whole life of one open password file: the package's format, the private
// temporary folder, the file password, loading and reloading, saving after every
// change, the merge of copies placed beside the main files, migration of pre-2.0
// packages, the change check every 10 seconds, and the close. It talks to its window
// only through DocumentWindow.
class MyDocument : public QObject {
    Q_OBJECT
public:
    enum class State { Created, Opening, Open, Closed };

    // Why an open ended without an open document.
    enum class OpenFailure {
        None,
        NotAQuorlyFile,  // neither "Data.qlyi" nor "Data.qlye"
        NoTempFolder,    // the private folder could not be made
        Unreadable,      // the data file exists but cannot be read at all
        Cancelled,       // the user cancelled the password question
        Damaged,         // not whole cipher blocks, or decrypted but no entry list in it
    };

    // Looks up the keychain item of the package at the path given; the keychain step of
    // the password question. Without one the keychain is not consulted.
    using KeychainLookupFn = std::function<KeychainLookup(const QString& packagePath)>;

    explicit MyDocument(const QString& packagePath, QObject* parent = nullptr);
    ~MyDocument() override;  // closes the document if it is still open

    void setWindow(DocumentWindow* window) { window_ = window; }
    DocumentWindow* window() const { return window_; }
    void setKeychainLookup(KeychainLookupFn lookup) { keychainLookup_ = std::move(lookup); }
    // Whether an open stores the package's path as "Last PW File" (the desktop program
    // does; a script working on a file must not change what the program reopens).
    void setRecordsLastFile(bool records) { recordsLastFile_ = records; }

    const QString& fileName() const { return packagePath_; }
    State state() const { return state_; }
    bool isOpen() const { return state_ == State::Open; }
    OpenFailure openFailure() const { return openFailure_; }

    EntryList& passwordArray() { return passwordArray_; }
    const EntryList& passwordArray() const { return passwordArray_; }
    WebsitePasswordManager* wpm() const { return wpm_; }

    const std::optional<QString>& fileFramis() const { return fileFramis_; }
    void setFileFramis(const QString& framis);
    bool passwordInKeychain() const { return passwordInKeychain_; }
    void setPasswordInKeychain(bool inKeychain) { passwordInKeychain_ = inKeychain; }
    bool PWFileWriteable() const { return PWFileWriteable_; }
    bool pre20File() const { return pre20File_; }
    const QString& dataPath() const { return dataPath_; }
    const QString& recentWebsitesPath() const { return recentWebsitesPath_; }
    QString tempDir() const { return tempFolder_ ? tempFolder_->path() : QString(); }
    const QString& tempDataPath() const { return tempDataPath_; }
    const QString& tempRecentWebsitesPath() const { return tempRecentWebsitesPath_; }
    const std::optional<FileStamp>& lastDataModificationTime() const { return lastDataModificationTime_; }
    const std::optional<FileStamp>& lastRecentWebsitesModificationTime() const
    {
        return lastRecentWebsitesModificationTime_;
    }

    // The window has loaded: the open sequence runs on a later pass of the event loop.
    void windowControllerDidLoadNib();
    // The open sequence. True when the document ends up open; otherwise it has closed.
    bool openDatabase();

    // Load (only-if-changed NO, at open) or reload (YES, the change check).
    void readPasswordFileDataAgain(bool onlyIfChanged);
    // Decrypts a package file with the file password into the temporary data path.
    bool decryptDataAtPath(const QString& path, CryptFailure* why = nullptr);

    // The save step after every change of the entries: sort, archive, encrypt and
    // verify into "Data.qlyi". Callers change `passwordArray` as they like and then call
    // this; what they changed is found by comparing with the list as last read or
    // stored. Under the package's writer lock, a data file another program stored
    // meanwhile is read first and the change is carried over onto its list (the user is
    // asked only about entries both changed). Shows the save message when it fails, and
    // refuses to write when the stored file no longer opens with this file's password.
    bool KTTableViewArrayChanged();
    // Stores the recent-website titles; shows nothing. A recent-websites file that could
    // not be read is never written over.
    bool saveRecentWebsites();

    // The package's writer lock, held until the Hold goes. A command holds it from
    // before the open to after its save, so that nothing changes between its read and
    // its write; the document's own steps take it by themselves otherwise.
    PackageWriterLock::Hold holdWriterLock(QString* error = nullptr) { return writerLock_.hold(error); }
    // Saves that failed or were refused since the open.
    int failedSaves() const { return failedSaves_; }

    // The change check of the timer, and the on-demand one before an edit.
    void checkForUpdates();
    void readPasswordFileDataIfChanged();
    bool fileChanged() const;

    // Ends the document: stops its timers, removes the temporary folder, empties the
    // recent-websites menu, forgets the password and clears the process-wide references
    // to it. Harmless when called again.
    void windowWillClose();
    // Closes the window (which ends the document) or, without one, the document itself.
    void close();

signals:
    void opened();
    void closed();
    // The entries were replaced or added to from disk (load, reload, merge).
    void entriesReloaded();

private:
    enum class LoadResult { Loaded, Unchanged, Failed };
    enum class PasswordResult { Proved, Cancelled, Failed };

    // The data file as another program left it, with this document's change applied.
    struct Reread {
        enum class Kind { Unchanged, Merged, Refused } kind = Kind::Unchanged;
        EntryListChanges::Merged merged;
        QList<EntryRef> theirs;
        std::optional<FileStamp> stamp;
        QString dataPath;
        bool pre20 = false;
        QString message;  // Refused: why, for the user
    };

    bool decideFormat();
    PasswordResult obtainPassword(CryptFailure* failure, std::optional<FileStamp>* decryptedStamp);
    // `decryptedStamp`: the open has just decrypted the file, whose stamp was this.
    LoadResult loadEntries(bool onlyIfChanged, const std::optional<FileStamp>* decryptedStamp = nullptr);
    void loadRecentWebsites(bool onlyIfChanged);
    void mergeCopies();
    bool mergeDataCopy(const QString& path);
    bool mergeRecentWebsitesCopy(const QString& path);
    void migrate();
    void completeMigration();
    // `writeArchive` writes the plaintext archive into the open file.
    bool storeArchive(const std::function<bool(int fd)>& writeArchive, const QString& plaintextPath,
                      const QString& packageFile, CryptFailure* why = nullptr);
    Reread rereadChangedData(const ConflictAnswers& answers);
    void adopt(Reread& reread);
    bool writeEntries();
    bool askAbout(const QList<EntryConflict>& conflicts, ConflictAnswers& answers);
    bool passwordStillOpensData();
    void saveFailed(const QString& message);
    void rememberStored();
    void tellReloadFailed(const QString& message);
    void failOpen(OpenFailure failure, const QString& message);
    void showMessage(const QString& message);
    QString packageFile(const QString& name) const;

    QString packagePath_;
    PackageWriterLock writerLock_;
    // Messages wait while the writer lock is held: a question is a modal run, and no
    // other writer may wait for the user's answer.
    QStringList deferredMessages_;
    DocumentWindow* window_ = nullptr;
    KeychainLookupFn keychainLookup_;
    bool recordsLastFile_ = true;

    State state_ = State::Created;
    OpenFailure openFailure_ = OpenFailure::None;

    EntryList passwordArray_;
    std::optional<QString> fileFramis_;
    QString dataPath_;
    QString recentWebsitesPath_;
    std::optional<TempFolder> tempFolder_;
    QString tempDataPath_;
    QString tempRecentWebsitesPath_;
    bool pre20File_ = false;
    bool PWFileWriteable_ = false;
    bool passwordInKeychain_ = false;
    std::optional<FileStamp> lastDataModificationTime_;
    std::optional<FileStamp> lastRecentWebsitesModificationTime_;
    // The entries as last read or stored, to tell what this document changed since.
    EntryListBaseline baseline_;
    int failedSaves_ = 0;
    // A recent-websites file that exists but could not be read, with its stamp: kept as
    // it is (it may hold what another password or a newer version wrote) until it changes.
    std::optional<FileStamp> unreadableTitlesStamp_;

    // A changed data file that could not be read: its stamp (so the same file is not
    // decrypted again at every tick) and whether the user has been told.
    std::optional<FileStamp> unreadableDataStamp_;
    bool dataMissingSeen_ = false;
    bool toldReloadFailed_ = false;
    // Copies beside the main files that could not be merged, with the stamp they had
    // then: left in place, and tried again only once they change.
    QHash<QString, std::optional<FileStamp>> unmergeableCopies_;

    DefaultModeTimer* openTimer_ = nullptr;
    DefaultModeTimer* updateTimer_ = nullptr;
    WebsitePasswordManager* wpm_ = nullptr;
};

}  // namespace quorly
