#pragma once

#include <QString>

#include <optional>

namespace quorly {

// The modification date of a package file as a document records it. The file's
// identity (device and inode) and size go with the date: every save renames a new file
// over the old one, so a write by another process within the same clock tick as ours
// is still seen as a change. Equality is all that is ever asked.
struct FileStamp {
    qint64 seconds = 0;
    qint64 nanoseconds = 0;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// nullopt when the file does not exist or cannot be examined: that counts as a change
// against any recorded stamp, and recorded nothing counts as a change too.
std::optional<FileStamp> fileStamp(const QString& path, bool followSymlink);

}  // namespace quorly
