#include "store/CipherEngine.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

using namespace quorly;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray pattern(int n)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>(i % 251);
    return b;
}

QString keyHex(const QString& framis)
{
    unsigned char key[32];
    EXPECT_TRUE(deriveFramisKey(framis, key));
    return QString::fromLatin1(QByteArray(reinterpret_cast<char*>(key), 32).toHex());
}

mode_t modeOf(const QString& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    return st.st_mode & 07777;
}

class Cipher : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override { selectCurrentParameters(); }
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QTemporaryDir dir;
};

// Vectors computed with Python's hashlib, independently of this code:
//   python3 -c "import hashlib; print(hashlib.pbkdf2_hmac('sha1', b'correct horse', b'kq3Rz8Vb', 1000, 32).hex())"
//   python3 -c "import hashlib; print(hashlib.pbkdf2_hmac('sha1', 'pässwörd'.encode()[:8], b'kq3Rz8Vb', 1000, 32).hex())"
// and the same two with b'mxTq4wLn' for the pre-2.0 set.
TEST_F(Cipher, KeysMatchIndependentPbkdf2InBothSets)
{
    EXPECT_EQ(saltData.data, reinterpret_cast<const unsigned char*>(newSalt));  // current set first
    EXPECT_EQ(keyHex(QStringLiteral("correct horse")),
              "f7d458e8ce813886cb2cec8668000d717713c15151476c84bfbab92377ffb11f");
    EXPECT_EQ(keyHex(QStringLiteral("pässwörd")),
              "92435bb0e58c2582b538d4fd835b38f0bc682545981eb86de7e0c2446824a7bb");

    selectPre20Parameters();
    EXPECT_EQ(keyHex(QStringLiteral("correct horse")),
              "050dc8e768ec903ded1381188a968140841516b7e80e7beca51bb1ac812f084c");
    EXPECT_EQ(keyHex(QStringLiteral("pässwörd")),
              "542fca872130d9c488dfe78889a3a550d73270091dd61abf1af2ca5627852f64");
}

// Only as many UTF-8 bytes as UTF-16 code units count; what lies past the cut is ignored.
TEST_F(Cipher, NonAsciiPasswordsEqualUpToTheCutShareTheKey)
{
    EXPECT_EQ(keyHex(QStringLiteral("pässwörd")), keyHex(QStringLiteral("pässwöXY")));
    // A surrogate pair is 2 units: only f0 9f of the 4-byte encoding counts.
    EXPECT_EQ(keyHex(QStringLiteral("\U0001F600")), keyHex(QStringLiteral("\U0001F601")));
    EXPECT_NE(keyHex(QStringLiteral("pässwörd")), keyHex(QStringLiteral("pässwärd")));
}

// Ciphertexts from the openssl command line, keys from the vectors above:
//   printf 'attack at dawn' | openssl enc -aes-256-cbc -K f7d458e8ce813886cb2cec8668000d717713c15151476c84bfbab92377ffb11f -iv a15c07e93b82d46f19c0772e58b30d94 | xxd -p
//   printf 'attack at dawn' | openssl enc -aes-256-cbc -K 050dc8e768ec903ded1381188a968140841516b7e80e7beca51bb1ac812f084c -iv 00000000000000000000000000000000 | xxd -p
//   python3 -c "import sys; sys.stdout.buffer.write(bytes(i%251 for i in range(1300)))" | openssl enc -aes-256-cbc -K f7d458e8ce813886cb2cec8668000d717713c15151476c84bfbab92377ffb11f -iv a15c07e93b82d46f19c0772e58b30d94 | sha256sum
TEST_F(Cipher, CiphertextMatchesOpensslInBothSets)
{
    const QString plain = path("plain"), enc = path("enc"), back = path("back");
    writeFile(plain, "attack at dawn");

    ASSERT_TRUE(cryptInput(plain, CryptDirection::Encrypt, QStringLiteral("correct horse"), enc));
    EXPECT_EQ(readAll(enc).toHex(), "8ab0b087f35e870619acea2df8310189");

    selectPre20Parameters();
    ASSERT_TRUE(cryptInput(plain, CryptDirection::Encrypt, QStringLiteral("correct horse"), enc));
    EXPECT_EQ(readAll(enc).toHex(), "537eef954009fcae162809adabf09f39");
    ASSERT_TRUE(cryptInput(enc, CryptDirection::Decrypt, QStringLiteral("correct horse"), back));
    EXPECT_EQ(readAll(back), "attack at dawn");

    // Several chunks, the last one partial: the staging must not disturb the CBC chain.
    selectCurrentParameters();
    writeFile(plain, pattern(1300));
    ASSERT_TRUE(cryptInput(plain, CryptDirection::Encrypt, QStringLiteral("correct horse"), enc));
    const QByteArray cipher = readAll(enc);
    EXPECT_EQ(cipher.size(), 1312);
    EXPECT_EQ(QCryptographicHash::hash(cipher, QCryptographicHash::Sha256).toHex(),
              "d7e36df70f11f5031c074835b9a51ef6dabe1be70a3435e764184fa356fb2007");
}

// Chunk boundaries, of the 512-byte chunks of the original engine and of the 64 KiB
// ones read now: empty input, one byte short of a chunk, exactly one chunk (followed by
// an empty read that must still finish the cipher), one byte more, and several chunks.
TEST_F(Cipher, RoundTripsAroundTheChunkSizeDeterministically)
{
    const QString framis = QStringLiteral("s3cret");
    for (const auto& [size, expected] : {std::pair{0, 16}, {511, 512}, {512, 528}, {65535, 65536}, {65536, 65552},
                                          {65537, 65552}, {200003, 200016}}) {
        SCOPED_TRACE(size);
        const QString plain = path("Data"), stored = path("Data.qlyi"), back = path("Back");
        writeFile(plain, pattern(size));
        ASSERT_TRUE(framisE(plain, framis, stored));
        const QByteArray first = readAll(stored);
        EXPECT_EQ(first.size(), expected);

        writeFile(plain, pattern(size));
        ASSERT_TRUE(framisE(plain, framis, stored));
        EXPECT_EQ(readAll(stored), first);  // fixed salt and IV

        ASSERT_TRUE(framisD(stored, framis, back));
        EXPECT_EQ(readAll(back), pattern(size));
        EXPECT_EQ(secureDelete(back), 0);
    }
}

// Existing files with wide bits and a permissive umask must not widen what we write.
TEST_F(Cipher, OutputsEndOwnerOnlyAndFramisELeavesOnlyTheStoredFile)
{
    const QString plain = path("Data"), stored = path("Data.qlyi"), out = path("Out");
    writeFile(stored, "older, world-readable version");
    writeFile(out, "older plaintext");
    ASSERT_EQ(::chmod(QFile::encodeName(stored).constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(out).constData(), 0666), 0);
    writeFile(plain, pattern(2000));

    const mode_t oldMask = ::umask(0);
    const bool saved = framisE(plain, QStringLiteral("pw"), stored);
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("Data.qlyi"), QStringLiteral("Out")}));
    const bool opened = framisD(stored, QStringLiteral("pw"), out);
    ::umask(oldMask);

    ASSERT_TRUE(saved && opened);
    EXPECT_EQ(modeOf(stored), 0600u);
    EXPECT_EQ(modeOf(out), 0600u);
    EXPECT_EQ(readAll(out), pattern(2000));
}

TEST_F(Cipher, FailedDecryptionsLeaveNoPlaintextAndSparePrecheckedOutputs)
{
    const QString plain = path("Data"), stored = path("Data.qlyi"), out = path("Out");
    writeFile(plain, pattern(3000));
    ASSERT_TRUE(framisE(plain, QStringLiteral("right"), stored));

    // Wrong password: the padding of the last block, decrypted alone, fails (for this
    // key and file it does), so nothing is written at all, not even an empty output.
    CryptFailure why;
    EXPECT_FALSE(framisD(stored, QStringLiteral("wrong"), out, &why));
    EXPECT_EQ(why.kind, CryptFailure::Kind::WrongPassword);
    EXPECT_FALSE(QFile::exists(out));

    // The same for a huge foreign file: refused before a byte of it is decrypted. (A
    // sparse gigabyte: it takes no room, but decrypting it would fill a memory-backed
    // private folder.)
    const QString huge = path("Huge.qlyi");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(1) << 30));
    }
    EXPECT_FALSE(framisD(huge, QStringLiteral("right"), out, &why));
    EXPECT_EQ(why.kind, CryptFailure::Kind::WrongPassword);
    EXPECT_FALSE(QFile::exists(out));

    // Empty or truncated ciphertext (not a whole number of blocks): damaged, whatever
    // the password.
    const QString cut = path("Cut.qlyi");
    for (const QByteArray& bytes : {readAll(stored).left(1000), QByteArray()}) {
        writeFile(cut, bytes);
        EXPECT_FALSE(framisD(cut, QStringLiteral("right"), out, &why));
        EXPECT_EQ(why.kind, CryptFailure::Kind::Damaged);
        EXPECT_FALSE(QFile::exists(out));
    }

    // No password, a missing input or a folder as input: nothing is touched.
    writeFile(out, "keep me");
    EXPECT_FALSE(framisD(stored, QString(), out));
    EXPECT_FALSE(framisD(path("missing.qlyi"), QStringLiteral("right"), out));
    EXPECT_FALSE(framisD(dir.path(), QStringLiteral("right"), out));
    EXPECT_EQ(readAll(out), "keep me");
}

// A save that runs out of room must leave the stored file as it was and no stray
// temporary behind. The file-size limit stops root too, unlike folder permissions.
TEST_F(Cipher, FailedEncryptionKeepsTheStoredFile)
{
    const QString plain = path("Data"), stored = path("Data.qlyi");
    writeFile(stored, "the stored ciphertext");
    writeFile(plain, pattern(20000));

    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit tight = old;
    tight.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool ok = framisE(plain, QStringLiteral("pw"), stored);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_EQ(readAll(stored), "the stored ciphertext");
    EXPECT_EQ(entries(), QStringList{QStringLiteral("Data.qlyi")});  // plaintext gone too
}

TEST_F(Cipher, SecureDeleteZeroesInPlaceAndNeverFollowsLinks)
{
    // A second hard link sees what happened to the file's own blocks.
    const QString file = path("secret"), witness = path("witness");
    writeFile(file, "top secret bytes");
    ASSERT_EQ(::link(QFile::encodeName(file).constData(), QFile::encodeName(witness).constData()), 0);
    EXPECT_EQ(secureDelete(file), 0);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(readAll(witness), QByteArray(16, '\0'));

    const QString target = path("target"), link = path("link");
    writeFile(target, "must survive");
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
    EXPECT_EQ(secureDelete(link), 0);
    struct stat st {};
    EXPECT_NE(::lstat(QFile::encodeName(link).constData(), &st), 0);
    EXPECT_EQ(readAll(target), "must survive");

    EXPECT_EQ(secureDelete(path("missing")), -1);
}

}  // namespace
