#include "store/MyDocument.h"

#include "app/Preferences.h"
#include "entries/EntryMerge.h"
#include "login/WebsitePasswordManager.h"
#include "platform/RunLoop.h"
#include "store/CipherEngine.h"
#include "store/ConflictCopies.h"
#include "store/DocumentMessages.h"
#include "store/DocumentWindow.h"
#include "store/Globals.h"
#include "store/PackageReader.h"
#include "store/PlaintextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace quorly {

namespace {

const QString& kDataFile = PackageFileName::Data;
const QString& kRecentWebsitesFile = PackageFileName::RecentWebsites;
const QString& kOldDataFile = PackageFileName::OldData;
const QString& kOldRecentWebsitesFile = PackageFileName::OldRecentWebsites;

const QString kOK = QStringLiteral("OK");
const QString& kNotAQuorlyFile = DocumentMessages::NotAQuorlyFile;
const QString& kEnterPassword = DocumentMessages::EnterPassword;
const QString& kPasswordIncorrect = DocumentMessages::PasswordIncorrect;
const QString kNoTempFolder = QStringLiteral(
    "This password file cannot be opened: Quorly could not make a private folder to work in (%1) "
    "The file has not been changed.");
const QString kCannotOpenBecause = QStringLiteral(
    "This password file cannot be opened: %1 The file has not been changed.");
const QString kDataUnreadable = QStringLiteral(
    "This password file cannot be opened: its data file cannot be read. The file has not been changed.");
const QString kDamagedAtOpen = QStringLiteral(
    "This password file cannot be read: it is damaged, or the password given unlocks it but is not its "
    "own. The file has not been changed.");
const QString kReloadUnreadable = QStringLiteral(
    "This password file was changed on disk by another program, but the new version cannot be read "
    "with this file's password (its password may have been changed). The window keeps showing the "
    "entries read before; changes to them cannot be saved until you close the file and open it again.");
// Not whole cipher blocks: nobody can read it, so a save may write over it.
const QString kReloadDamaged = QStringLiteral(
    "This password file was replaced on disk by another program with a damaged file. The window keeps "
    "showing the entries read before; a change you save now will store them again.");
const QString kReloadMissing = QStringLiteral(
    "This password file's data was removed from disk by another program. The window keeps showing "
    "the entries read before; a change you save now will store them again.");

bool isRegularFile(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

MyDocument::MyDocument(const QString& packagePath, QObject* parent)
    : QObject(parent), packagePath_(QDir::cleanPath(QFileInfo(packagePath).absoluteFilePath())),
      writerLock_(packagePath_)
{
    writerLock_.setReleased([this] {
        const QStringList messages = std::exchange(deferredMessages_, {});
        for (const QString& message : messages)
            showMessage(message);
    });
    wpm_ = new WebsitePasswordManager(this);
    openTimer_ = new DefaultModeTimer([this] { openDatabase(); }, this);
    updateTimer_ = new DefaultModeTimer([this] { checkForUpdates(); }, this);
}

MyDocument::~MyDocument()
{
    windowWillClose();
}

QString MyDocument::packageFile(const QString& name) const
{
    return packagePath_ + QLatin1Char('/') + name;
}

void MyDocument::setFileFramis(const QString& framis)
{
    if (fileFramis_)
        cleanseString(*fileFramis_);
    fileFramis_ = framis;
}

void MyDocument::showMessage(const QString& message)
{
    if (writerLock_.isHeld())
        deferredMessages_.append(message);
    else if (window_)
        window_->prompt(message, kOK);
}

void MyDocument::windowControllerDidLoadNib()
{
    // The open asks questions in modal runs; it must not begin inside the window's own
    // set-up, so it waits for a later pass of the event loop.
    openTimer_->start(0, false);
}

// ---------------------------------------------------------------------------
// Open

bool MyDocument::decideFormat()
{
    const PackageFiles files = packageFiles(packagePath_);
    if (files.format == PackageFormat::None)
        return false;
    pre20File_ = files.format == PackageFormat::Pre20;
    dataPath_ = files.dataPath;
    recentWebsitesPath_ = files.recentWebsitesPath;
    selectParametersForFile(dataPath_);
    return true;
}

void MyDocument::failOpen(OpenFailure failure, const QString& message)
{
    openFailure_ = failure;
    showMessage(message);
    close();
}

bool MyDocument::openDatabase()
{
    if (state_ != State::Created)
        return isOpen();
    state_ = State::Opening;

    if (!decideFormat()) {
        failOpen(OpenFailure::NotAQuorlyFile, kNotAQuorlyFile);
        return false;
    }

    // Without a private folder there is nowhere to decrypt to: the document closes before
    // anything in the package is read or written.
    QString folderError;
    tempFolder_ = TempFolder::create(&folderError);
    if (!tempFolder_) {
        failOpen(OpenFailure::NoTempFolder, kNoTempFolder.arg(folderError));
        return false;
    }
    tempDataPath_ = tempFolder_->filePath(QStringLiteral("Data"));
    tempRecentWebsitesPath_ = tempFolder_->filePath(QStringLiteral("Recent Websites"));

    PWFileWriteable_ = ::access(QFile::encodeName(packagePath_).constData(), W_OK) == 0;
    if (window_)
        window_->setWriteable(PWFileWriteable_);

    // A data file that cannot be read at all would otherwise look like a wrong password
    // and the question would be asked forever.
    if (!QFileInfo(dataPath_).isReadable()) {
        failOpen(OpenFailure::Unreadable, kDataUnreadable);
        return false;
    }

    CryptFailure decryptFailure;
    std::optional<FileStamp> openedDataStamp;
    const PasswordResult password = obtainPassword(&decryptFailure, &openedDataStamp);
    if (password != PasswordResult::Proved) {
        if (state_ == State::Closed)
            return false;
        secureDeleteIfPresent(tempDataPath_);
        if (password == PasswordResult::Cancelled) {
            openFailure_ = OpenFailure::Cancelled;
            close();
        } else if (decryptFailure.kind == CryptFailure::Kind::Damaged) {
            failOpen(OpenFailure::Damaged, kCannotOpenBecause.arg(decryptFailure.describe()));
        } else if (decryptFailure.kind == CryptFailure::Kind::CannotWrite) {
            failOpen(OpenFailure::NoTempFolder, kCannotOpenBecause.arg(decryptFailure.describe()));
        } else {
            failOpen(OpenFailure::Unreadable, kCannotOpenBecause.arg(decryptFailure.describe()));
        }
        return false;
    }

    passwordArray_.clear();
    // The rare wrong password that passes the padding check, or a damaged file: nothing
    // has been written yet, and nothing will be; the user is told and the document closes.
    if (loadEntries(false, &openedDataStamp) == LoadResult::Failed) {
        if (state_ != State::Closed)
            failOpen(OpenFailure::Damaged, kDamagedAtOpen);
        return false;
    }
    loadRecentWebsites(false);
    if (state_ == State::Closed)
        return false;
    mergeCopies();
    if (state_ == State::Closed)
        return false;

    if (recordsLastFile_)
        Preferences::setString(PrefKey::LastPWFile, packagePath_);

    if (pre20File_)
        migrate();
    if (state_ == State::Closed)
        return false;

    state_ = State::Open;
    if (window_)
        window_->showEntries(passwordArray_);
    updateTimer_->start(10000, true);
    emit opened();
    return true;
}

MyDocument::PasswordResult MyDocument::obtainPassword(CryptFailure* failure, std::optional<FileStamp>* decryptedStamp)
{
    KeychainLookup found;
    if (std::optional<QString> handed = takeGFramis()) {
        setFileFramis(*handed);
        cleanseString(*handed);
        passwordInKeychain_ = false;
    } else if (keychainLookup_) {
        found = keychainLookup_(packagePath_);
        passwordInKeychain_ = found.status != KeychainStatus::NotFound;
        if (found.status == KeychainStatus::Found)
            setFileFramis(found.password);
    } else {
        passwordInKeychain_ = false;
    }

    QString message = kEnterPassword;
    for (bool typedOne = false;; typedOne = true) {
        if (fileFramis_) {
            // The stamp goes with what is decrypted: taken before, so that a file replaced
            // meanwhile makes the stamp old (a harmless re-read), never the content.
            *decryptedStamp = fileStamp(dataPath_, false);
            if (decryptDataAtPath(dataPath_, failure)) {
                if (found.claim)
                    found.claim();
                return PasswordResult::Proved;
            }
            // Asking for another password cannot help a damaged file or a full folder.
            if (failure->kind != CryptFailure::Kind::WrongPassword)
                return PasswordResult::Failed;
            if (typedOne)
                message = kPasswordIncorrect;
        }
        // An item found by the file's name alone that does not open it is another
        // same-named file's: nothing is kept for this one.
        if (found.claim)
            passwordInKeychain_ = false;
        found.claim = nullptr;
        std::optional<QString> typed = window_ ? window_->askFilePassword(message) : std::nullopt;
        if (state_ == State::Closed || !typed)
            return PasswordResult::Cancelled;
        setFileFramis(*typed);
        cleanseString(*typed);
    }
}

bool MyDocument::decryptDataAtPath(const QString& path, CryptFailure* why)
{
    if (!fileFramis_ || tempDataPath_.isEmpty())
        return false;
    // The parameter set is process-wide: each run selects the one of the file it reads.
    selectParametersForFile(path);
    const bool ok = framisD(path, *fileFramis_, tempDataPath_, why);
    selectCurrentParameters();
    return ok;
}

// ---------------------------------------------------------------------------
// Load

void MyDocument::readPasswordFileDataAgain(bool onlyIfChanged)
{
    if (state_ != State::Open && state_ != State::Opening)
        return;
    loadEntries(onlyIfChanged);
    if (state_ == State::Closed)
        return;
    loadRecentWebsites(onlyIfChanged);
    if (state_ == State::Closed)
        return;
    mergeCopies();
}

void MyDocument::tellReloadFailed(const QString& message)
{
    // Once, not at every tick: the next successful load or save makes it worth telling again.
    if (toldReloadFailed_)
        return;
    toldReloadFailed_ = true;
    showMessage(message);
}

MyDocument::LoadResult MyDocument::loadEntries(bool onlyIfChanged, const std::optional<FileStamp>* decryptedStamp)
{
    const bool alreadyDecrypted = decryptedStamp != nullptr;
    const std::optional<FileStamp> stamp = alreadyDecrypted ? *decryptedStamp : fileStamp(dataPath_, false);
    if (onlyIfChanged && stamp && stamp == lastDataModificationTime_)
        return LoadResult::Unchanged;

    // A changed file that could not be read is kept out of the list: the entries shown
    // stay as they are (an empty list here would be saved over the stored entries by the
    // next change), the user is told once, and the same file is not tried again at every
    // tick. Its stamp stays unrecorded, so an edit's save still asks first.
    if (onlyIfChanged) {
        if (stamp ? stamp == unreadableDataStamp_ : dataMissingSeen_)
            return LoadResult::Failed;
    }
    const auto failed = [&] {
        if (state_ == State::Opening)
            return LoadResult::Failed;
        if (stamp) {
            unreadableDataStamp_ = stamp;
            tellReloadFailed(hasDamagedCipherSize(dataPath_) ? kReloadDamaged : kReloadUnreadable);
        } else {
            dataMissingSeen_ = true;
            tellReloadFailed(kReloadMissing);
        }
        return LoadResult::Failed;
    };

    if (!alreadyDecrypted && !decryptDataAtPath(dataPath_))
        return failed();
    std::optional<QList<EntryRef>> entries = takePlaintextEntries(tempDataPath_, pre20File_);
    if (!entries)
        return failed();

    passwordArray_.replaceAll(std::move(*entries));
    baseline_ = EntryListBaseline(passwordArray_.entries());
    lastDataModificationTime_ = stamp;
    unreadableDataStamp_.reset();
    dataMissingSeen_ = false;
    toldReloadFailed_ = false;
    if (state_ == State::Open && window_)
        window_->reloadList();
    emit entriesReloaded();
    return LoadResult::Loaded;
}

void MyDocument::loadRecentWebsites(bool onlyIfChanged)
{
    const std::optional<FileStamp> stamp = fileStamp(recentWebsitesPath_, false);
    if (onlyIfChanged && stamp && (stamp == lastRecentWebsitesModificationTime_ || stamp == unreadableTitlesStamp_))
        return;

    std::optional<QStringList> titles;
    if (fileFramis_ && stamp) {
        selectParametersForFile(recentWebsitesPath_);
        const bool decrypted = framisD(recentWebsitesPath_, *fileFramis_, tempRecentWebsitesPath_);
        selectCurrentParameters();
        if (decrypted)
            titles = takePlaintextTitles(tempRecentWebsitesPath_, pre20File_);
    }
    // Titles are only a convenience: a list that cannot be read shows as an empty one,
    // but the file itself is kept (another password, a newer version or a sync in
    // progress may have written it) and no save writes over it until it changes.
    if (titles) {
        lastRecentWebsitesModificationTime_ = stamp;
        unreadableTitlesStamp_.reset();
    } else {
        unreadableTitlesStamp_ = stamp;
    }
    wpm_->initRecentWebsitesMenu(gRecentWebsitesMenu, titles.value_or(QStringList()));
    // The open writes the list once so that a new package gets its file; a list that was
    // read would only be written back unchanged.
    if (!onlyIfChanged && !stamp)
        saveRecentWebsites();
}

void MyDocument::mergeCopies()
{
    const QStringList names = QDir(packagePath_).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const CopyOf copyOf = conflictCopyOf(name);
        if (copyOf == CopyOf::Nothing)
            continue;
        const bool dataCopy = copyOf == CopyOf::Data;
        const QString path = packageFile(name);
        const std::optional<FileStamp> stamp = fileStamp(path, false);
        // An item that could not be merged (another password, a pre-2.0 copy, a folder, a
        // link) stays where it is, unread items are never removed, and it is not tried
        // again until it changes.
        const auto tried = unmergeableCopies_.constFind(name);
        if (tried != unmergeableCopies_.constEnd() && *tried == stamp)
            continue;
        // Read, stored and removed under one hold of the lock: another process merging
        // the same copy finds it gone, rather than adding its entries a second time.
        PackageWriterLock::Hold hold = writerLock_.hold();
        if (!hold)
            return;  // the next check tries again
        if (!fileStamp(path, false))
            continue;
        const bool merged = isRegularFile(path) &&
                            (dataCopy ? mergeDataCopy(path) : mergeRecentWebsitesCopy(path));
        if (state_ == State::Closed)
            return;
        if (merged) {
            unmergeableCopies_.remove(name);
            QFile::remove(path);
        } else {
            unmergeableCopies_.insert(name, stamp);
        }
    }
}

bool MyDocument::mergeDataCopy(const QString& path)
{
    if (!fileFramis_)
        return false;
    selectCurrentParameters();
    if (!framisD(path, *fileFramis_, tempDataPath_))
        return false;
    const std::optional<QList<EntryRef>> incoming = takePlaintextEntries(tempDataPath_, false);
    if (!incoming)
        return false;
    if (mergeConflictedCopy(passwordArray_, *incoming) == 0)
        return true;
    // The copy goes only once what it added is stored: after a failed save its entries
    // would exist nowhere but in this window.
    const bool saved = KTTableViewArrayChanged();
    if (state_ == State::Open && window_)
        window_->reloadList();
    emit entriesReloaded();
    return saved;
}

bool MyDocument::mergeRecentWebsitesCopy(const QString& path)
{
    if (!fileFramis_)
        return false;
    selectCurrentParameters();
    if (!framisD(path, *fileFramis_, tempRecentWebsitesPath_))
        return false;
    const std::optional<QStringList> titles = takePlaintextTitles(tempRecentWebsitesPath_, false);
    if (!titles)
        return false;
    QStringList fresh;
    for (const QString& title : *titles) {
        if (!wpm_->recentWebsiteTitles().contains(title))
            fresh.append(title);
    }
    return wpm_->addRecentWebsiteTitles(fresh);
}

// ---------------------------------------------------------------------------
// Migration of a pre-2.0 package

void MyDocument::migrate()
{
    selectCurrentParameters();
    // The save writes "Data.qlyi" and, once that is stored, finishes the migration. When
    // it fails (a read-only package) the old files stay and the document keeps reading
    // them; the first save that succeeds later finishes the migration then.
    KTTableViewArrayChanged();
}

void MyDocument::completeMigration()
{
    const bool titlesStored = saveRecentWebsites();
    secureDelete(packageFile(kOldDataFile));
    if (titlesStored)
        secureDelete(packageFile(kOldRecentWebsitesFile));
    dataPath_ = packageFile(kDataFile);
    recentWebsitesPath_ = packageFile(kRecentWebsitesFile);
    pre20File_ = false;
}

// ---------------------------------------------------------------------------
// Change detection

void MyDocument::checkForUpdates()
{
    if (isOpen())
        readPasswordFileDataAgain(true);
}

void MyDocument::readPasswordFileDataIfChanged()
{
    if (isOpen() && fileChanged())
        readPasswordFileDataAgain(true);
}

bool MyDocument::fileChanged() const
{
    const std::optional<FileStamp> stamp = fileStamp(packageFile(kDataFile), true);
    return !stamp || stamp != lastDataModificationTime_;
}

// ---------------------------------------------------------------------------
// Close

void MyDocument::close()
{
    if (state_ == State::Closed)
        return;
    if (window_)
        window_->closeWindow();
    windowWillClose();
}

void MyDocument::windowWillClose()
{
    if (state_ == State::Closed)
        return;
    state_ = State::Closed;
    openTimer_->stop();
    updateTimer_->stop();
    if (tempFolder_) {
        tempFolder_->remove();
        tempFolder_.reset();
    }
    wpm_->initRecentWebsitesMenu(gRecentWebsitesMenu, std::nullopt);
    if (fileFramis_)
        cleanseString(*fileFramis_);
    fileFramis_.reset();

    // Nothing may act on a closed document through the process-wide references.
    const bool wasCurrent = gWebsiteDocument == this;
    if (wasCurrent)
        gWebsiteDocument = nullptr;
    if (gWPM == wpm_)
        gWPM = nullptr;
    if (gWebsiteItem && (wasCurrent || passwordArray_.indexOf(gWebsiteItem) >= 0))
        gWebsiteItem.reset();
    emit closed();
}

}  // namespace quorly
