#pragma once

#include <QString>

#include <optional>

namespace quorly {

// The private folder in which an open password file's plaintext may exist for moments.
// Made by mkdtemp from ".QLY.XXXXXXXX" with mode 0700, preferably in $XDG_RUNTIME_DIR
// (memory-backed and private to the user), otherwise in the home folder. Its owner
// keeps it locked (FolderLock) for its whole life, so that any other Quorly process can
// tell it from the folder of a process that died.
class TempFolder {
public:
    // Creates a new folder; nullopt (with `error` set) when no place accepts one.
    static std::optional<TempFolder> create(QString* error = nullptr);

    TempFolder(TempFolder&& other) noexcept;
    // The previous folder is removed first.
    TempFolder& operator=(TempFolder&& other) noexcept;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();  // removes the folder with whatever it still holds

    const QString& path() const { return path_; }
    QString filePath(const QString& name) const { return path_ + QLatin1Char('/') + name; }

    // Removes the folder now (idempotent). Plaintext files in it are overwritten first.
    void remove();

    // The folders that may hold temporary folders, in order of preference.
    static QStringList candidateParents();
    // Whether `path` is a real folder of this user that nobody else may enter, as the
    // XDG rules promise of $XDG_RUNTIME_DIR (which is not always so).
    static bool isPrivateFolder(const QString& path);

    // Removes the ".QLY.*" folders in every candidate parent whose owner is gone (their
    // lock is free). Safe at any moment, beside live programs and this one's own folders.
    static void removeStale();

private:
    TempFolder(QString path, int lockFd) : path_(std::move(path)), lockFd_(lockFd) {}
    QString path_;
    int lockFd_ = -1;
};

}  // namespace quorly
