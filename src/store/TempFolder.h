#pragma once

#include <QString>

#include <optional>

namespace quorly {

// The private folder in which an open password file's plaintext may exist for moments.
// Made by mkdtemp from ".QLY.XXXXXXXX" with mode 0700, preferably in $XDG_RUNTIME_DIR
// (memory-backed and private to the user), otherwise in the home folder.
class TempFolder {
public:
    // Creates a new folder; nullopt (with `error` set) when no place accepts one.
    static std::optional<TempFolder> create(QString* error = nullptr);

    TempFolder(TempFolder&& other) noexcept;
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

    // Removes the ".QLY.*" folders that an earlier run left behind in every candidate
    // parent. Must run before any file is opened: a folder of a document open in this
    // process would be removed too.
    static void removeStale();

private:
    explicit TempFolder(QString path) : path_(std::move(path)) {}
    QString path_;
};

}  // namespace quorly
