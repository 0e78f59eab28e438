#include "store/CipherEngine.h"

#include "platform/Crypto.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace quorly {

const char newSalt[] = "kq3Rz8Vb";
const char* const theNewSalt = newSalt;
const unsigned char newIV[16] = {0xa1, 0x5c, 0x07, 0xe9, 0x3b, 0x82, 0xd4, 0x6f,
                                 0x19, 0xc0, 0x77, 0x2e, 0x58, 0xb3, 0x0d, 0x94};
const unsigned char* const theNewIV = newIV;
const char oldSalt[] = "mxTq4wLn";
const unsigned char oldIV[16] = {};

// The current set until someone asks for another: a run that forgot to choose writes
// the current format rather than the pre-2.0 one.
CipherBytes saltData{sizeof(newSalt) - 1, reinterpret_cast<const unsigned char*>(newSalt)};
CipherBytes ivCommon{sizeof(newIV), newIV};

void setSaltIV(const char* salt, const unsigned char* iv)
{
    saltData = {std::strlen(salt), reinterpret_cast<const unsigned char*>(salt)};
    ivCommon = {crypto::kIvLength, iv};
}

namespace {

constexpr std::size_t kChunkLength = 512;

// Owns one descriptor; closing on every path is what keeps a failed run from leaking.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    // Closes and reports whether the kernel accepted everything written (a deferred
    // write error surfaces only here on some file systems).
    bool close()
    {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

QByteArray nativePath(const QString& path) { return QFile::encodeName(path); }

// Reads until `length` bytes or end of file, so that only the true end of the input
// makes a short chunk (a pipe or a signal may otherwise cut a read short).
ssize_t readFull(int fd, unsigned char* buffer, std::size_t length)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::read(fd, buffer + done, length - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool writeAll(int fd, const unsigned char* buffer, std::size_t length)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, buffer + done, length - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Opens (creating or truncating) an output that only the owner may read. The explicit
// fchmod also tightens a file that existed with wider bits or a umask that narrowed
// 0600. Symlinks are refused: plaintext must land where the caller meant, nowhere else.
int openOutput(const QString& path)
{
    const int fd = ::open(nativePath(path).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 && ::fchmod(fd, 0600) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The run itself, between two open descriptors. The key is derived afresh for every
// run and nothing is cached between runs: two derivations per save cost a few
// milliseconds, and no key outlives the run that needed it.
bool cryptStream(int inFd, CryptDirection direction, const QString& framis, int outFd)
{
    if (::lseek(inFd, 0, SEEK_SET) < 0)
        return false;

    crypto::SecureBytes key(crypto::kKeyLength);
    if (!deriveFramisKey(framis, key.data()))
        return false;
    if (ivCommon.data == nullptr || ivCommon.length != crypto::kIvLength)
        return false;

    crypto::CipherContext context;
    const auto mode = direction == CryptDirection::Encrypt ? crypto::CipherMode::Encrypt
                                                           : crypto::CipherMode::Decrypt;
    if (!context.init(mode, key.data(), ivCommon.data))
        return false;

    crypto::SecureBytes in(kChunkLength);
    crypto::SecureBytes out(kChunkLength + 2 * crypto::kBlockLength);
    for (;;) {
        const ssize_t got = readFull(inFd, in.data(), kChunkLength);
        if (got < 0)
            return false;
        const bool last = static_cast<std::size_t>(got) < kChunkLength;

        std::size_t produced = 0;
        if (!context.update(in.data(), static_cast<std::size_t>(got), out.data(), &produced))
            return false;
        if (last) {
            std::size_t tail = 0;
            if (!context.finish(out.data() + produced, &tail))
                return false;
            produced += tail;
        }
        if (!writeAll(outFd, out.data(), produced))
            return false;
        if (last)
            return true;
    }
}

// Byte-for-byte equality of two files; a file that cannot be read counts as different.
bool sameContents(const QString& a, const QString& b)
{
    Fd fa(::open(nativePath(a).constData(), O_RDONLY | O_CLOEXEC));
    Fd fb(::open(nativePath(b).constData(), O_RDONLY | O_CLOEXEC));
    if (!fa.valid() || !fb.valid())
        return false;
    constexpr std::size_t kLength = 4096;
    crypto::SecureBytes ba(kLength);
    crypto::SecureBytes bb(kLength);
    for (;;) {
        const ssize_t na = readFull(fa.get(), ba.data(), kLength);
        const ssize_t nb = readFull(fb.get(), bb.data(), kLength);
        if (na < 0 || nb < 0 || na != nb)
            return false;
        if (std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(na)) != 0)
            return false;
        if (static_cast<std::size_t>(na) < kLength)
            return true;
    }
}

// Makes a rename in `dir` survive a power cut. Some file systems refuse fsync on a
// folder; the rename has happened by then, so that refusal is not a failed save.
void syncFolder(const QString& dir)
{
    Fd fd(::open(nativePath(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::fsync(fd.get());
}

bool isReadableRegularFile(const QString& path)
{
    struct stat st {};
    const QByteArray native = nativePath(path);
    return ::stat(native.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(native.constData(), R_OK) == 0;
}

}  // namespace

bool deriveFramisKey(const QString& framis, unsigned char* key)
{
    QByteArray utf8 = framis.toUtf8();
    const auto length = std::min<std::size_t>(static_cast<std::size_t>(utf8.size()),
                                              static_cast<std::size_t>(framis.size()));
    const bool ok = crypto::deriveKey(reinterpret_cast<const unsigned char*>(utf8.constData()),
                                      length, saltData.data, saltData.length, key);
    crypto::cleanse(utf8);
    return ok;
}

bool cryptInput(const QString& inPath, CryptDirection direction, const QString& framis,
                const QString& outPath)
{
    Fd in(::open(nativePath(inPath).constData(), O_RDONLY | O_CLOEXEC));
    if (!in.valid())
        return false;
    Fd out(openOutput(outPath));
    if (!out.valid())
        return false;
    const bool ok = cryptStream(in.get(), direction, framis, out.get());
    return out.close() && ok;
}

int secureDelete(const char* path)
{
    if (path == nullptr)
        return -1;
    // O_NOFOLLOW: a link is removed, never the file it points at overwritten.
    // O_NONBLOCK: a FIFO with no reader must not hang us. Only regular files are
    // overwritten; zeroing a device node named by mistake would be a disaster.
    const int fd = ::open(path, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
            static const unsigned char zeros[4096] = {};
            auto remaining = static_cast<std::size_t>(st.st_size);
            while (remaining > 0) {
                const std::size_t n = std::min(remaining, sizeof zeros);
                const ssize_t written = ::pwrite(fd, zeros, n, static_cast<off_t>(st.st_size - remaining));
                if (written < 0 && errno == EINTR)
                    continue;
                if (written <= 0)
                    break;  // a failed overwrite must not keep the file from being removed
                remaining -= static_cast<std::size_t>(written);
            }
        }
        ::close(fd);
    }
    return ::unlink(path) == 0 ? 0 : -1;
}

int secureDelete(const QString& path)
{
    return secureDelete(nativePath(path).constData());
}

bool framisE(const QString& input, const QString& framis, const QString& outFile)
{
    const QString verifyPath = input + QStringLiteral(".qlyd");

    // The new ciphertext is written beside the stored file (same folder, so the final
    // rename is atomic) under a hidden unique name, and only renamed over it once
    // proven. A failed save therefore never touches the stored bytes.
    const QFileInfo outInfo(outFile);
    const QString folder = outInfo.absolutePath();
    QByteArray tempTemplate =
        nativePath(folder + QLatin1String("/.") + outInfo.fileName() + QLatin1String(".XXXXXX"));
    Fd temp(::mkstemp(tempTemplate.data()));
    const QString tempPath = QFile::decodeName(tempTemplate);

    // The encryption or the proof failed: nothing usable was written, and the plaintext
    // must not stay at rest.
    auto runFailed = [&] {
        temp.reset();
        ::unlink(tempTemplate.constData());
        secureDelete(input);
        return false;
    };

    if (!temp.valid()) {
        secureDelete(input);
        return false;
    }
    if (::fchmod(temp.get(), 0600) != 0)
        return runFailed();
    {
        Fd in(::open(nativePath(input).constData(), O_RDONLY | O_CLOEXEC));
        if (!in.valid() || !cryptStream(in.get(), CryptDirection::Encrypt, framis, temp.get()))
            return runFailed();
    }

    if (!cryptInput(tempPath, CryptDirection::Decrypt, framis, verifyPath)) {
        secureDelete(verifyPath);
        return runFailed();
    }
    const bool same = sameContents(input, verifyPath);
    secureDelete(verifyPath);
    if (!same) {
        // The plaintext stays, so the caller still holds what it meant to save.
        temp.reset();
        ::unlink(tempTemplate.constData());
        return false;
    }

    // Storing the proven ciphertext failed (disk full at fsync, a rename refused). This
    // counts as a failed run: the stored file is intact and the plaintext goes.
    if (::fsync(temp.get()) != 0 || !temp.close())
        return runFailed();
    if (::rename(tempTemplate.constData(), nativePath(outFile).constData()) != 0)
        return runFailed();
    syncFolder(folder);

    secureDelete(input);
    return true;
}

bool framisD(const QString& input, const QString& framis, const QString& outFile)
{
    if (framis.isEmpty())
        return false;
    if (!isReadableRegularFile(input))
        return false;
    if (cryptInput(input, CryptDirection::Decrypt, framis, outFile))
        return true;
    secureDelete(outFile);
    return false;
}

}  // namespace quorly
