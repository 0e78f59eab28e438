// The document's writes: the entries and the recent-website titles, each under the
// package's writer lock, carrying this document's change over onto whatever another
// program stored since this document last read or wrote the file.
#include "store/MyDocument.h"

#include "login/WebsitePasswordManager.h"
#include "platform/RunLoop.h"
#include "store/DocumentMessages.h"
#include "store/DocumentWindow.h"
#include "store/PackageReader.h"
#include "store/PasswordArchive.h"
#include "store/PlaintextFile.h"

#include <cerrno>

namespace quorly {

namespace {

const QString& kSaveFailed = DocumentMessages::SaveFailed;
const QString kSaveRefused = QStringLiteral(
    "Your change was not saved: another program changed this password file, and its new version cannot be "
    "read with the password it was opened with here. Its password may have been changed. Close the file "
    "and open it again; until then your change shows only in this window.");
const QString kChangedTooOften = QStringLiteral("other programs kept changing the file while it was saved");

// A save that meets a writer between each of its attempts gives up at last, rather
// than asking the user forever.
constexpr int kSaveAttempts = 8;

// The save message as the user knows it, with the system's reason after it.
QString saveFailedBecause(const QString& reason)
{
    return reason.isEmpty() ? kSaveFailed : kSaveFailed + QStringLiteral(" (") + reason + QLatin1Char(')');
}

struct Question {
    QString text;
    QString keep;  // the default button: nothing of either side is lost
    QString mine;
};

Question questionFor(const EntryConflict& conflict)
{
    const QString name = QStringLiteral("\u201c%1\u201d").arg(conflict.name);
    switch (conflict.kind) {
    case EntryConflict::Kind::BothChanged:
        return {QStringLiteral("%1 was changed by another program while you changed it here. Keep both versions "
                               "(yours is added under another name if its name is taken), or replace the other "
                               "program's version with yours?")
                    .arg(name),
                QStringLiteral("Keep Both"), QStringLiteral("Use Mine")};
    case EntryConflict::Kind::RemovedHere:
        return {QStringLiteral("%1, which you deleted, was changed by another program meanwhile. Keep the changed "
                               "entry, or delete it all the same?")
                    .arg(name),
                QStringLiteral("Keep It"), QStringLiteral("Delete It")};
    case EntryConflict::Kind::RemovedThere:
        return {QStringLiteral("%1, which you changed, was deleted by another program meanwhile. Store your "
                               "version again, or leave it deleted?")
                    .arg(name),
                QStringLiteral("Store Mine"), QStringLiteral("Leave It Deleted")};
    }
    return {};
}

}  // namespace

bool MyDocument::storeArchive(const std::function<bool(int fd)>& writeArchive, const QString& plaintextPath,
                              const QString& packageFile, CryptFailure* why)
{
    if (!fileFramis_ || plaintextPath.isEmpty())
        return false;
    if (!writePlaintextFile(plaintextPath, writeArchive)) {
        if (why)
            *why = CryptFailure{CryptFailure::Kind::CannotWrite, errno, plaintextPath};
        return false;
    }
    selectCurrentParameters();
    const bool ok = framisE(plaintextPath, *fileFramis_, packageFile, why);
    // A failed proof leaves the plaintext behind; it must not outlive the save.
    secureDeleteIfPresent(plaintextPath);
    return ok;
}

bool MyDocument::KTTableViewArrayChanged()
{
    if (state_ != State::Open && state_ != State::Opening)
        return false;
    ConflictAnswers answers;
    for (int attempt = 0; attempt < kSaveAttempts; ++attempt) {
        QString lockError;
        PackageWriterLock::Hold hold = writerLock_.hold(&lockError);
        if (!hold) {
            saveFailed(saveFailedBecause(lockError));
            return false;
        }
        Reread reread = rereadChangedData(answers);
        if (reread.kind == Reread::Kind::Refused) {
            saveFailed(reread.message);
            return false;
        }
        if (reread.kind == Reread::Kind::Merged) {
            // The questions are asked with the lock let go (no other writer may wait for
            // the user), so the file is read again after them: it may have changed anew.
            // A step that holds the lock around this save cannot let it go; its conflicts
            // keep both sides, which loses nothing.
            if (!reread.merged.unanswered.isEmpty() && writerLock_.isOutermost() && window_) {
                hold.release();
                if (!askAbout(reread.merged.unanswered, answers))
                    return false;
                continue;
            }
            adopt(reread);
        }
        return writeEntries();
    }
    saveFailed(saveFailedBecause(kChangedTooOften));
    return false;
}

MyDocument::Reread MyDocument::rereadChangedData(const ConflictAnswers& answers)
{
    Reread reread;
    const PackageFiles files = packageFiles(packagePath_);
    // With no data file left there is nothing stored to lose: this list restores it.
    if (files.format == PackageFormat::None)
        return reread;
    reread.stamp = fileStamp(files.dataPath, false);
    if (files.dataPath == dataPath_ && reread.stamp && reread.stamp == lastDataModificationTime_)
        return reread;

    reread.dataPath = files.dataPath;
    reread.pre20 = files.format == PackageFormat::Pre20;
    CryptFailure why;
    if (!decryptDataAtPath(files.dataPath, &why)) {
        // Not whole cipher blocks: nobody can read it, so writing over it loses nothing.
        if (why.kind == CryptFailure::Kind::Damaged)
            return reread;
        reread.kind = Reread::Kind::Refused;
        // The list must not go back under a password the file no longer has.
        reread.message =
            why.kind == CryptFailure::Kind::WrongPassword ? kSaveRefused : saveFailedBecause(why.describe());
        return reread;
    }
    // No entry list in what decrypted: damaged, or the rare wrong password that passes
    // the padding check. Either way it is not this document's to write over.
    const std::optional<QList<EntryRef>> theirs = takePlaintextEntries(tempDataPath_, reread.pre20);
    if (!theirs) {
        reread.kind = Reread::Kind::Refused;
        reread.message = kSaveRefused;
        return reread;
    }
    reread.kind = Reread::Kind::Merged;
    reread.merged = EntryListChanges::apply(*theirs, EntryListChanges::since(baseline_, passwordArray_.entries()),
                                            passwordArray_.entries(), answers);
    return reread;
}

bool MyDocument::askAbout(const QList<EntryConflict>& conflicts, ConflictAnswers& answers)
{
    for (const EntryConflict& conflict : conflicts) {
        const Question question = questionFor(conflict);
        const int code = window_ ? window_->prompt(question.text, question.keep, question.mine) : RunLoop::OKCode;
        if (state_ == State::Closed)
            return false;
        // An aborted run (the window was left) counts as the default.
        answers.insert(conflict.key(), code == RunLoop::CancelCode ? ConflictChoice::Mine : ConflictChoice::Keep);
    }
    return true;
}

void MyDocument::adopt(Reread& reread)
{
    for (const auto& [entry, name] : std::as_const(reread.merged.renamed))
        entry->setName(name);
    passwordArray_.replaceAll(std::move(reread.merged.entries));
    baseline_ = std::move(reread.merged.baseline);
    lastDataModificationTime_ = reread.stamp;
    unreadableDataStamp_.reset();
    dataMissingSeen_ = false;
    // Another program migrated the package meanwhile: its files are the current ones.
    if (reread.dataPath != dataPath_) {
        dataPath_ = reread.dataPath;
        pre20File_ = reread.pre20;
        recentWebsitesPath_ = packageFile(pre20File_ ? PackageFileName::OldRecentWebsites
                                                     : PackageFileName::RecentWebsites);
    }
    if (state_ == State::Open && window_)
        window_->reloadList();
    emit entriesReloaded();
}

bool MyDocument::writeEntries()
{
    passwordArray_.sort();
    CryptFailure why;
    const auto writeArchive = [this](int fd) { return writeKeyedArchiveOfEntries(passwordArray_, fd); };
    if (!storeArchive(writeArchive, tempDataPath_, packageFile(PackageFileName::Data), &why)) {
        // The stored file keeps its content and its date, so no reload follows.
        saveFailed(saveFailedBecause(why.describe()));
        return false;
    }
    if (pre20File_)
        completeMigration();
    rememberStored();
    return true;
}

void MyDocument::rememberStored()
{
    // Under the lock still: nobody can have written since, so this stamp is ours.
    lastDataModificationTime_ = fileStamp(dataPath_, false);
    baseline_ = EntryListBaseline(passwordArray_.entries());
    unreadableDataStamp_.reset();
    dataMissingSeen_ = false;
    toldReloadFailed_ = false;
}

void MyDocument::saveFailed(const QString& message)
{
    ++failedSaves_;
    showMessage(message);
}

bool MyDocument::passwordStillOpensData()
{
    const PackageFiles files = packageFiles(packagePath_);
    if (files.format == PackageFormat::None)
        return true;
    if (files.dataPath == dataPath_ && fileStamp(files.dataPath, false) == lastDataModificationTime_)
        return true;
    CryptFailure why;
    if (!decryptDataAtPath(files.dataPath, &why))
        return why.kind == CryptFailure::Kind::Damaged;
    return takePlaintextEntries(tempDataPath_, files.format == PackageFormat::Pre20).has_value();
}

bool MyDocument::saveRecentWebsites()
{
    if (state_ != State::Open && state_ != State::Opening)
        return false;
    PackageWriterLock::Hold hold = writerLock_.hold();
    if (!hold)
        return false;
    const QString target = packageFile(PackageFileName::RecentWebsites);
    if (unreadableTitlesStamp_ && recentWebsitesPath_ == target && fileStamp(target, false) == unreadableTitlesStamp_)
        return false;
    // Titles written under a password the data file no longer has would leave the
    // package's two files under two passwords.
    if (!passwordStillOpensData())
        return false;
    const QStringList titles = wpm_->recentWebsiteTitles();
    return storeArchive([&titles](int fd) { return writeKeyedArchiveOfTitles(titles, fd); },
                        tempRecentWebsitesPath_, target);
}

}  // namespace quorly
