#include "store/PlaintextFile.h"

#include "platform/ByteSink.h"
#include "store/CipherEngine.h"
#include "store/PasswordArchive.h"

#include <QFile>

#include <openssl/crypto.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quorly {

void cleanseBytes(QByteArray& bytes)
{
    if (!bytes.isEmpty() && bytes.isDetached())
        OPENSSL_cleanse(bytes.data(), size_t(bytes.size()));
    bytes.clear();
}

void secureDeleteIfPresent(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0)
        secureDelete(path);
}

bool writePlaintextFile(const QString& path, const std::function<bool(int fd)>& write)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0600) == 0 && write(fd);
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        secureDelete(path);
        errno = error;  // the caller tells the user why
    }
    return ok;
}

bool writePlaintextFile(const QString& path, QByteArray& bytes)
{
    const bool ok = writePlaintextFile(
        path, [&bytes](int fd) { return writeAll(fd, bytes.constData(), std::size_t(bytes.size())); });
    const int error = errno;
    cleanseBytes(bytes);
    errno = error;
    return ok;
}

namespace {

// The decrypted file, mapped rather than copied into the heap: its pages are in the page
// cache already, and fresh heap pages for a copy are what reading a large file costs most.
// Nothing of it stays in the process: the readers copy what they keep.
class MappedPlaintext {
public:
    explicit MappedPlaintext(const QString& path)
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            if (st.st_size == 0) {
                readable_ = true;
            } else {
                void* mapped = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
                if (mapped != MAP_FAILED) {
                    data_ = static_cast<const char*>(mapped);
                    size_ = size_t(st.st_size);
                    readable_ = true;
                }
            }
        }
        ::close(fd);
    }
    ~MappedPlaintext()
    {
        if (data_)
            ::munmap(const_cast<char*>(data_), size_);
    }
    MappedPlaintext(const MappedPlaintext&) = delete;
    MappedPlaintext& operator=(const MappedPlaintext&) = delete;

    bool readable() const { return readable_; }
    // Valid while this object lives; no copy of it may outlive the mapping.
    QByteArray bytes() const { return QByteArray::fromRawData(data_, qsizetype(size_)); }

private:
    const char* data_ = nullptr;
    size_t size_ = 0;
    bool readable_ = false;
};

// Reads the decrypted file with `read`, then overwrites and removes it whatever came of it.
template <typename Result, typename Read>
std::optional<Result> takePlaintext(const QString& path, QString* error, Read read)
{
    std::optional<Result> result;
    {
        const MappedPlaintext mapped(path);
        if (mapped.readable())
            result = read(mapped.bytes());
        else if (error)
            *error = QStringLiteral("the decrypted file cannot be read");
    }
    secureDelete(path);
    return result;
}

}  // namespace

std::optional<QList<EntryRef>> takePlaintextEntries(const QString& path, bool sequential, QString* error)
{
    return takePlaintext<QList<EntryRef>>(
        path, error, [&](const QByteArray& bytes) { return entriesFromPlaintext(bytes, sequential, error); });
}

std::optional<QStringList> takePlaintextTitles(const QString& path, bool sequential, QString* error)
{
    return takePlaintext<QStringList>(
        path, error, [&](const QByteArray& bytes) { return titlesFromPlaintext(bytes, sequential, error); });
}

}  // namespace quorly
