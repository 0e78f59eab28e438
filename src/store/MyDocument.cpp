#include "store/MyDocument.h"

#include "app/Preferences.h"
#include "entries/EntryMerge.h"
#include "login/WebsitePasswordManager.h"
#include "platform/KeyedArchive.h"
#include "platform/RunLoop.h"
#include "platform/TypedStream.h"
#include "store/CipherEngine.h"
#include "store/DocumentMessages.h"
#include "store/DocumentWindow.h"
#include "store/Globals.h"
#include "store/PackageReader.h"
#include "store/PasswordArchive.h"
#include "store/PlaintextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace quorly {

namespace {

const QString kDataFile = QStringLiteral("Data.qlyi");
const QString kRecentWebsitesFile = QStringLiteral("Recent Websites.qlyi");
const QString kOldDataFile = QStringLiteral("Data.qlye");
const QString kOldRecentWebsitesFile = QStringLiteral("Recent Websites.qlye");
const QString kDataCopyPrefix = QStringLiteral("Data ");
const QString kRecentWebsitesCopyPrefix = QStringLiteral("Recent Websites ");
const QString kCurrentExtension = QStringLiteral(".qlyi");

const QString kOK = QStringLiteral("OK");
const QString& kNotAQuorlyFile = DocumentMessages::NotAQuorlyFile;
const QString& kSaveFailed = DocumentMessages::SaveFailed;
const QString& kEnterPassword = DocumentMessages::EnterPassword;
const QString& kPasswordIncorrect = DocumentMessages::PasswordIncorrect;
const QString kNoTempFolder = QStringLiteral(
    "This password file cannot be opened: Quorly could not make a private folder to work in (%1) "
    "The file has not been changed.");
const QString kDataUnreadable = QStringLiteral(
    "This password file cannot be opened: its data file cannot be read. The file has not been changed.");
const QString kDamagedAtOpen = QStringLiteral(
    "This password file cannot be read: it is damaged, or the password given unlocks it but is not its "
    "own. The file has not been changed.");
const QString kReloadUnreadable = QStringLiteral(
    "This password file was changed on disk by another program, but the new version cannot be read "
    "with this file's password. The window keeps showing the entries read before; a change you save "
    "now will replace the file on disk with them.");
const QString kReloadMissing = QStringLiteral(
    "This password file's data was removed from disk by another program. The window keeps showing "
    "the entries read before; a change you save now will store them again.");

void selectParametersFor(const QString& packageFile)
{
    if (packageFile.endsWith(QStringLiteral(".qlye")))
        selectPre20Parameters();
    else
        selectCurrentParameters();
}

// Decodes a plaintext archive just decrypted into the temporary folder; the plaintext
// is gone from the disk and from this buffer by the time this returns.
ArchiveReadResult readPlaintextArchive(const QString& plaintextPath, bool sequential)
{
    std::optional<QByteArray> bytes = takePlaintextFile(plaintextPath);
    if (!bytes)
        return {std::nullopt, QStringLiteral("the decrypted file cannot be read")};
    ArchiveReadResult result = sequential ? TypedStream::decode(*bytes) : KeyedArchive::decode(*bytes);
    cleanseBytes(*bytes);
    return result;
}

std::optional<QList<EntryRef>> readEntries(const QString& plaintextPath, bool sequential)
{
    const ArchiveReadResult archive = readPlaintextArchive(plaintextPath, sequential);
    if (!archive.root)
        return std::nullopt;
    return entriesFromArchive(*archive.root, nullptr);
}

std::optional<QStringList> readTitles(const QString& plaintextPath, bool sequential)
{
    const ArchiveReadResult archive = readPlaintextArchive(plaintextPath, sequential);
    if (!archive.root)
        return std::nullopt;
    return titlesFromArchive(*archive.root, nullptr);
}

bool isRegularFile(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

void removeIfPresent(const QString& path)
{
    if (QFileInfo::exists(path))
        secureDelete(path);
}

}  // namespace

MyDocument::MyDocument(const QString& packagePath, QObject* parent)
    : QObject(parent), packagePath_(QDir::cleanPath(QFileInfo(packagePath).absoluteFilePath()))
{
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
    if (window_)
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
    selectParametersFor(dataPath_);
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

    if (!obtainPassword()) {
        if (state_ == State::Closed)
            return false;
        removeIfPresent(tempDataPath_);
        openFailure_ = OpenFailure::Cancelled;
        close();
        return false;
    }

    passwordArray_.clear();
    // The rare wrong password that passes the padding check, or a damaged file: nothing
    // has been written yet, and nothing will be; the user is told and the document closes.
    if (loadEntries(false, true) == LoadResult::Failed) {
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

bool MyDocument::obtainPassword()
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
    while (!fileFramis_ || !decryptDataAtPath(dataPath_)) {
        // An item found by the file's name alone that does not open it is another
        // same-named file's: nothing is kept for this one.
        if (found.claim)
            passwordInKeychain_ = false;
        found.claim = nullptr;
        std::optional<QString> typed = window_ ? window_->askFilePassword(message) : std::nullopt;
        if (state_ == State::Closed || !typed)
            return false;
        setFileFramis(*typed);
        cleanseString(*typed);
        message = kPasswordIncorrect;
    }
    if (found.claim)
        found.claim();
    return true;
}

bool MyDocument::decryptDataAtPath(const QString& path)
{
    if (!fileFramis_ || tempDataPath_.isEmpty())
        return false;
    // The parameter set is process-wide: each run selects the one of the file it reads.
    selectParametersFor(path);
    const bool ok = framisD(path, *fileFramis_, tempDataPath_);
    selectCurrentParameters();
    return ok;
}

// ---------------------------------------------------------------------------
// Load

void MyDocument::readPasswordFileDataAgain(bool onlyIfChanged)
{
    if (state_ != State::Open && state_ != State::Opening)
        return;
    loadEntries(onlyIfChanged, false);
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

MyDocument::LoadResult MyDocument::loadEntries(bool onlyIfChanged, bool alreadyDecrypted)
{
    const std::optional<FileStamp> stamp = fileStamp(dataPath_, false);
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
            tellReloadFailed(kReloadUnreadable);
        } else {
            dataMissingSeen_ = true;
            tellReloadFailed(kReloadMissing);
        }
        return LoadResult::Failed;
    };

    if (!alreadyDecrypted && !decryptDataAtPath(dataPath_))
        return failed();
    std::optional<QList<EntryRef>> entries = readEntries(tempDataPath_, pre20File_);
    if (!entries)
        return failed();

    passwordArray_.replaceAll(std::move(*entries));
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
    if (onlyIfChanged && stamp && stamp == lastRecentWebsitesModificationTime_)
        return;

    std::optional<QStringList> titles;
    if (fileFramis_) {
        selectParametersFor(recentWebsitesPath_);
        const bool decrypted = framisD(recentWebsitesPath_, *fileFramis_, tempRecentWebsitesPath_);
        selectCurrentParameters();
        if (decrypted)
            titles = readTitles(tempRecentWebsitesPath_, pre20File_);
    }
    // Titles are only a convenience: a list that cannot be read is replaced by an empty
    // one (and tried again at the next tick, as no date is recorded).
    if (titles)
        lastRecentWebsitesModificationTime_ = stamp;
    wpm_->initRecentWebsitesMenu(gRecentWebsitesMenu, titles.value_or(QStringList()));
    if (!onlyIfChanged)
        saveRecentWebsites();
}

void MyDocument::mergeCopies()
{
    const QStringList names = QDir(packagePath_).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        if (!name.endsWith(kCurrentExtension))
            continue;
        const bool dataCopy = name.startsWith(kDataCopyPrefix);
        const bool titlesCopy = name.startsWith(kRecentWebsitesCopyPrefix);
        if (!dataCopy && !titlesCopy)
            continue;
        const QString path = packageFile(name);
        const std::optional<FileStamp> stamp = fileStamp(path, false);
        // An item that could not be merged (another password, a pre-2.0 copy, a folder, a
        // link) stays where it is, unread items are never removed, and it is not tried
        // again until it changes.
        const auto tried = unmergeableCopies_.constFind(name);
        if (tried != unmergeableCopies_.constEnd() && *tried == stamp)
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
    const std::optional<QList<EntryRef>> incoming = readEntries(tempDataPath_, false);
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
    const std::optional<QStringList> titles = readTitles(tempRecentWebsitesPath_, false);
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
// Save

bool MyDocument::storeArchive(QByteArray archive, const QString& plaintextPath, const QString& packageFile)
{
    if (!fileFramis_ || plaintextPath.isEmpty()) {
        cleanseBytes(archive);
        return false;
    }
    if (!writePlaintextFile(plaintextPath, archive))
        return false;
    selectCurrentParameters();
    const bool ok = framisE(plaintextPath, *fileFramis_, packageFile);
    // A failed proof leaves the plaintext behind; it must not outlive the save.
    removeIfPresent(plaintextPath);
    removeIfPresent(plaintextPath + QStringLiteral(".qlyd"));
    return ok;
}

bool MyDocument::KTTableViewArrayChanged()
{
    if (state_ != State::Open && state_ != State::Opening)
        return false;
    passwordArray_.sort();
    const bool ok = storeArchive(KeyedArchive::encode(archiveFromEntries(passwordArray_)), tempDataPath_,
                                 packageFile(kDataFile));
    if (!ok) {
        // The stored file keeps its content and its date, so no reload follows.
        showMessage(kSaveFailed);
        return false;
    }
    if (pre20File_)
        completeMigration();
    lastDataModificationTime_ = fileStamp(dataPath_, false);
    unreadableDataStamp_.reset();
    dataMissingSeen_ = false;
    toldReloadFailed_ = false;
    return true;
}

bool MyDocument::saveRecentWebsites()
{
    if (state_ != State::Open && state_ != State::Opening)
        return false;
    return storeArchive(KeyedArchive::encode(archiveFromTitles(wpm_->recentWebsiteTitles())),
                        tempRecentWebsitesPath_, packageFile(kRecentWebsitesFile));
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
