#include "store/FileStamp.h"

#include <QFile>

#include <sys/stat.h>

namespace quorly {

std::optional<FileStamp> fileStamp(const QString& path, bool followSymlink)
{
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if ((followSymlink ? ::stat(native.constData(), &st) : ::lstat(native.constData(), &st)) != 0)
        return std::nullopt;
    FileStamp stamp;
    stamp.seconds = qint64(st.st_mtim.tv_sec);
    stamp.nanoseconds = qint64(st.st_mtim.tv_nsec);
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    stamp.size = qint64(st.st_size);
    return stamp;
}

}  // namespace quorly
