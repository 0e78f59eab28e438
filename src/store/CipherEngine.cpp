#include "store/CipherEngine.h"

#include "platform/ByteSink.h"
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
#include <functional>
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

void selectParametersForFile(const QString& packageFile)
{
    if (packageFile.endsWith(QLatin1String(".qlye")))
        selectPre20Parameters();
    else
        selectCurrentParameters();
}

namespace {

// The run reads and writes this much at a time. CBC output does not depend on how the
// input is cut, so the size only trades a bounded buffer against system calls: at 64 KiB
// a 3 MB file takes fifty reads instead of six thousand.
constexpr std::size_t kChunkLength = 64 * 1024;

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

using Kind = CryptFailure::Kind;

// What went wrong inside a run between two descriptors; the caller knows the paths.
enum class StreamFault { None, Read, Write, Cipher };

struct StreamResult {
    StreamFault fault = StreamFault::None;
    int error = 0;
};

void report(CryptFailure* why, Kind kind, const QString& path, int error = 0)
{
    if (why)
        *why = CryptFailure{kind, error, path};
}

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

// Opens (creating or truncating) an output that only the owner may read. The explicit
// fchmod also tightens a file that existed with wider bits or a umask that narrowed
// 0600. Symlinks are refused: plaintext must land where the caller meant, nowhere else.
int openOutput(const QString& path)
{
    const int fd = ::open(nativePath(path).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 && ::fchmod(fd, 0600) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// The run itself, between two open descriptors, with a key already derived. The key is
// derived afresh for every file and nothing is cached between files: two derivations
// per save cost a few milliseconds, and no key outlives the step that needed it.
// Where a run's output goes, a buffer at a time; false stops the run as a failed write.
using CipherOutput = std::function<bool(const unsigned char* data, std::size_t length)>;

StreamResult cryptStream(int inFd, CryptDirection direction, const unsigned char* key, const CipherOutput& output)
{
    if (::lseek(inFd, 0, SEEK_SET) < 0)
        return {StreamFault::Read, errno};
    if (ivCommon.data == nullptr || ivCommon.length != crypto::kIvLength)
        return {StreamFault::Cipher, 0};

    crypto::CipherContext context;
    const auto mode = direction == CryptDirection::Encrypt ? crypto::CipherMode::Encrypt
                                                           : crypto::CipherMode::Decrypt;
    if (!context.init(mode, key, ivCommon.data))
        return {StreamFault::Cipher, 0};

    crypto::SecureBytes in(kChunkLength);
    crypto::SecureBytes out(kChunkLength + 2 * crypto::kBlockLength);
    for (;;) {
        const ssize_t got = readFull(inFd, in.data(), kChunkLength);
        if (got < 0)
            return {StreamFault::Read, errno};
        const bool last = static_cast<std::size_t>(got) < kChunkLength;

        std::size_t produced = 0;
        if (!context.update(in.data(), static_cast<std::size_t>(got), out.data(), &produced))
            return {StreamFault::Cipher, 0};
        if (last) {
            std::size_t tail = 0;
            if (!context.finish(out.data() + produced, &tail))
                return {StreamFault::Cipher, 0};
            produced += tail;
        }
        if (!output(out.data(), produced))
            return {StreamFault::Write, errno};
        if (last)
            return {};
    }
}

StreamResult cryptStream(int inFd, CryptDirection direction, const unsigned char* key, int outFd)
{
    return cryptStream(inFd, direction, key, [outFd](const unsigned char* data, std::size_t length) {
        return writeAll(outFd, reinterpret_cast<const char*>(data), length);
    });
}

// Whether the ciphertext in `cipherFd` decrypts to exactly the bytes of `plainPath`,
// compared a buffer at a time in memory: the proof of a save leaves no second copy of
// the plaintext on disk. Errors reading either side count as a failed proof.
bool decryptsTo(int cipherFd, const unsigned char* key, const QString& plainPath)
{
    Fd plain(::open(nativePath(plainPath).constData(), O_RDONLY | O_CLOEXEC));
    if (!plain.valid())
        return false;
    crypto::SecureBytes expected(kChunkLength + 2 * crypto::kBlockLength);
    const StreamResult result =
        cryptStream(cipherFd, CryptDirection::Decrypt, key, [&](const unsigned char* data, std::size_t length) {
            return readFull(plain.get(), expected.data(), length) == static_cast<ssize_t>(length) &&
                   std::memcmp(expected.data(), data, length) == 0;
        });
    // Nothing of the plaintext may be left over.
    unsigned char more = 0;
    return result.fault == StreamFault::None && readFull(plain.get(), &more, 1) == 0;
}

// Derives the key of `framis` under the selected set into `key`.
bool deriveInto(const QString& framis, crypto::SecureBytes& key)
{
    return deriveFramisKey(framis, key.data());
}

// Turns a stream fault into the failure the user is told about.
bool streamFailed(const StreamResult& result, CryptDirection direction, const QString& in, const QString& out,
                  CryptFailure* why)
{
    switch (result.fault) {
    case StreamFault::None:
        return false;
    case StreamFault::Read:
        report(why, Kind::CannotRead, in, result.error);
        return true;
    case StreamFault::Write:
        report(why, Kind::CannotWrite, out, result.error);
        return true;
    case StreamFault::Cipher:
        report(why, direction == CryptDirection::Decrypt ? Kind::WrongPassword : Kind::CannotWrite,
               direction == CryptDirection::Decrypt ? in : out);
        return true;
    }
    return true;
}

// CBC lets the last block be checked alone: decrypted with the block before it as IV
// (the file's IV for a one-block file), it must end in valid PKCS#7 padding. A wrong
// password is thus found before anything is decrypted to disk, whatever the file's
// size; like the full run's check, it lets about one wrong password in 256 through,
// which the archive reader then refuses.
bool lastBlockPaddingValid(int fd, off_t size, const unsigned char* key)
{
    constexpr std::size_t kBlock = crypto::kBlockLength;
    unsigned char tail[2 * kBlock];
    const bool single = size == off_t(kBlock);
    const std::size_t want = single ? kBlock : 2 * kBlock;
    unsigned char* lastBlock = single ? tail : tail + kBlock;
    if (::pread(fd, tail, want, size - off_t(want)) != ssize_t(want))
        return false;
    const unsigned char* previous = single ? ivCommon.data : tail;
    if (previous == nullptr || ivCommon.length != crypto::kIvLength)
        return false;

    crypto::CipherContext context;
    crypto::SecureBytes plain(2 * kBlock);
    std::size_t produced = 0;
    if (!context.init(crypto::CipherMode::Decrypt, key, previous, false) ||
        !context.update(lastBlock, kBlock, plain.data(), &produced) || produced != kBlock)
        return false;
    const unsigned pad = plain.data()[kBlock - 1];
    if (pad == 0 || pad > kBlock)
        return false;
    for (std::size_t i = kBlock - pad; i < kBlock; ++i) {
        if (plain.data()[i] != pad)
            return false;
    }
    return true;
}

bool damagedSize(off_t size)
{
    return size <= 0 || size % off_t(crypto::kBlockLength) != 0;
}

}  // namespace

QString CryptFailure::describe() const
{
    const QString reason = error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QString();
    switch (kind) {
    case Kind::None:
        return {};
    case Kind::WrongPassword:
        return QStringLiteral("The password is incorrect.");
    case Kind::Damaged:
        return QStringLiteral("%1 is damaged: it is not a whole number of encrypted blocks.").arg(path);
    case Kind::CannotRead:
        return reason.isEmpty() ? QStringLiteral("%1 cannot be read.").arg(path)
                                : QStringLiteral("%1 cannot be read: %2.").arg(path, reason);
    case Kind::CannotWrite:
        return reason.isEmpty() ? QStringLiteral("%1 could not be written correctly.").arg(path)
                                : QStringLiteral("%1 could not be written: %2.").arg(path, reason);
    }
    return {};
}

void syncFolder(const QString& folder)
{
    Fd fd(::open(nativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::fsync(fd.get());
}

bool hasDamagedCipherSize(const QString& path)
{
    struct stat st {};
    return ::stat(nativePath(path).constData(), &st) == 0 && S_ISREG(st.st_mode) && damagedSize(st.st_size);
}

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
                const QString& outPath, CryptFailure* why)
{
    Fd in(::open(nativePath(inPath).constData(), O_RDONLY | O_CLOEXEC));
    if (!in.valid()) {
        report(why, Kind::CannotRead, inPath, errno);
        return false;
    }
    Fd out(openOutput(outPath));
    if (!out.valid()) {
        report(why, Kind::CannotWrite, outPath, errno);
        return false;
    }
    crypto::SecureBytes key(crypto::kKeyLength);
    if (!deriveInto(framis, key)) {
        report(why, Kind::CannotWrite, outPath);
        return false;
    }
    const StreamResult result = cryptStream(in.get(), direction, key.data(), out.get());
    if (streamFailed(result, direction, inPath, outPath, why))
        return false;
    if (!out.close()) {
        report(why, Kind::CannotWrite, outPath, errno);
        return false;
    }
    return true;
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
            static const unsigned char zeros[kChunkLength] = {};
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

std::optional<QString> framisEStaged(const QString& input, const QString& framis, const QString& outFile,
                                     CryptFailure* why)
{
    // The new ciphertext is written beside the stored file (same folder, so the final
    // rename is atomic) under a hidden name unique to this run. A failed save therefore
    // never touches the stored bytes, and two writers never share a temporary.
    const QFileInfo outInfo(outFile);
    const QString folder = outInfo.absolutePath();
    QByteArray tempTemplate =
        nativePath(folder + QLatin1String("/.") + outInfo.fileName() + QLatin1String(".XXXXXX"));
    Fd temp(::mkstemp(tempTemplate.data()));
    const QString tempPath = QFile::decodeName(tempTemplate);

    // The encryption or the proof failed: nothing usable was written, and the plaintext
    // must not stay at rest.
    auto runFailed = [&](Kind kind, const QString& path, int error) -> std::optional<QString> {
        report(why, kind, path, error);
        temp.reset();
        ::unlink(tempTemplate.constData());
        secureDelete(input);
        return std::nullopt;
    };

    if (!temp.valid()) {
        report(why, Kind::CannotWrite, outFile, errno);
        secureDelete(input);
        return std::nullopt;
    }
    if (::fchmod(temp.get(), 0600) != 0)
        return runFailed(Kind::CannotWrite, outFile, errno);
    crypto::SecureBytes key(crypto::kKeyLength);
    if (!deriveInto(framis, key))
        return runFailed(Kind::CannotWrite, outFile, 0);
    {
        Fd in(::open(nativePath(input).constData(), O_RDONLY | O_CLOEXEC));
        if (!in.valid())
            return runFailed(Kind::CannotRead, input, errno);
        const StreamResult result = cryptStream(in.get(), CryptDirection::Encrypt, key.data(), temp.get());
        if (result.fault == StreamFault::Read)
            return runFailed(Kind::CannotRead, input, result.error);
        if (result.fault != StreamFault::None)
            return runFailed(Kind::CannotWrite, outFile, result.error);
    }

    if (!decryptsTo(temp.get(), key.data(), input)) {
        // The plaintext stays, so the caller still holds what it meant to save.
        report(why, Kind::CannotWrite, outFile);
        temp.reset();
        ::unlink(tempTemplate.constData());
        return std::nullopt;
    }

    // Storing the proven ciphertext failed (disk full at fsync). This counts as a failed
    // run: the stored file is intact and the plaintext goes.
    if (::fsync(temp.get()) != 0 || !temp.close())
        return runFailed(Kind::CannotWrite, outFile, errno);
    secureDelete(input);
    return tempPath;
}

bool framisE(const QString& input, const QString& framis, const QString& outFile, CryptFailure* why)
{
    const std::optional<QString> staged = framisEStaged(input, framis, outFile, why);
    if (!staged)
        return false;
    if (::rename(nativePath(*staged).constData(), nativePath(outFile).constData()) != 0) {
        report(why, Kind::CannotWrite, outFile, errno);
        ::unlink(nativePath(*staged).constData());
        return false;
    }
    syncFolder(QFileInfo(outFile).absolutePath());
    return true;
}

bool framisD(const QString& input, const QString& framis, const QString& outFile, CryptFailure* why)
{
    if (framis.isEmpty()) {
        report(why, Kind::WrongPassword, input);
        return false;
    }
    Fd in(::open(nativePath(input).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!in.valid() || ::fstat(in.get(), &st) != 0) {
        report(why, Kind::CannotRead, input, errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        report(why, Kind::CannotRead, input, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        return false;
    }
    if (damagedSize(st.st_size)) {
        report(why, Kind::Damaged, input);
        return false;
    }
    crypto::SecureBytes key(crypto::kKeyLength);
    if (!deriveInto(framis, key) || !lastBlockPaddingValid(in.get(), st.st_size, key.data())) {
        report(why, Kind::WrongPassword, input);
        return false;
    }

    Fd out(openOutput(outFile));
    if (!out.valid()) {
        report(why, Kind::CannotWrite, outFile, errno);
        return false;
    }
    const StreamResult result = cryptStream(in.get(), CryptDirection::Decrypt, key.data(), out.get());
    const bool failed = streamFailed(result, CryptDirection::Decrypt, input, outFile, why);
    if (!out.close() && !failed) {
        report(why, Kind::CannotWrite, outFile, errno);
        secureDelete(outFile);
        return false;
    }
    if (failed) {
        secureDelete(outFile);
        return false;
    }
    return true;
}

}  // namespace quorly
