#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

namespace quorly {

// The writer lock of a password file package: an exclusive flock() on the package
// folder itself. Every read-modify-write of a package holds it (each quorly-cli edit,
// a password change, a document's save, a migration, the merge of copies), so two
// processes never write on the basis of the same old list. Readers take no lock: every
// stored file is replaced by an atomic rename, so a reader always meets an old or a new
// file.
//
// The folder, rather than a lock file, because it needs no extra file for a sync
// engine to copy to other machines, works on a package the user may only read, and is
// keyed by the inode: two paths to one package (a symbolic link, "..") share the lock.
class PackageLock {
public:
    // How long a writer waits for another one before giving up with a message. Writers
    // hold the lock for one save (milliseconds) and never across a question to the user.
    static constexpr std::chrono::milliseconds kPatience{20000};

    // Waits up to `patience` for the lock. nullopt, with `error` set for the user, when
    // the package cannot be opened or another writer keeps it longer. On a file system
    // that cannot lock (some network mounts), the lock is granted without locking, as
    // every version before this one worked.
    static std::optional<PackageLock> acquire(const QString& packagePath, QString* error = nullptr,
                                              std::chrono::milliseconds patience = kPatience);

    PackageLock(PackageLock&& other) noexcept;
    PackageLock& operator=(PackageLock&& other) noexcept;
    PackageLock(const PackageLock&) = delete;
    PackageLock& operator=(const PackageLock&) = delete;
    ~PackageLock();

    // False when the file system could not lock and the writer goes on unprotected.
    bool isExclusive() const { return exclusive_; }

private:
    PackageLock(int fd, bool exclusive) : fd_(fd), exclusive_(exclusive) {}
    void release();

    int fd_ = -1;
    bool exclusive_ = false;
};

// The writer lock as one owner (a document) holds it: steps that hold it may call other
// steps that hold it too (a merge of copies saves; a command holds it from open to
// save), and only the outermost hold takes and releases the lock.
class PackageWriterLock {
public:
    explicit PackageWriterLock(QString packagePath) : packagePath_(std::move(packagePath)) {}
    PackageWriterLock(const PackageWriterLock&) = delete;
    PackageWriterLock& operator=(const PackageWriterLock&) = delete;

    class Hold {
    public:
        Hold() = default;
        Hold(Hold&& other) noexcept : owner_(std::exchange(other.owner_, nullptr)) {}
        Hold& operator=(Hold&& other) noexcept;
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        ~Hold() { release(); }

        explicit operator bool() const { return owner_ != nullptr; }
        void release();

    private:
        friend class PackageWriterLock;
        explicit Hold(PackageWriterLock* owner) : owner_(owner) {}
        PackageWriterLock* owner_ = nullptr;
    };

    // An empty Hold, with `error` set, when the lock cannot be had.
    Hold hold(QString* error = nullptr);
    bool isHeld() const { return depth_ > 0; }
    // Whether this hold is the only one, so letting go of it releases the lock.
    bool isOutermost() const { return depth_ == 1; }

    // Runs each time the lock has been let go of (messages that waited for it).
    void setReleased(std::function<void()> released) { released_ = std::move(released); }

private:
    QString packagePath_;
    std::optional<PackageLock> lock_;
    int depth_ = 0;
    std::function<void()> released_;
};

}  // namespace quorly
