#pragma once

#include <QString>

#include <cstddef>
#include <optional>

namespace quorly {

// The two cipher parameter sets. Neither is stored in any file: the file's name says
// which set encrypted it (".qlyi" current, ".qlye" pre-2.0).
extern const char newSalt[];             // "kq3Rz8Vb"
extern const char* const theNewSalt;     // same bytes as newSalt
extern const unsigned char newIV[16];
extern const unsigned char* const theNewIV;
extern const char oldSalt[];             // "mxTq4wLn"
extern const unsigned char oldIV[16];    // sixteen zero bytes

// The selected set, process-wide; every cipher run uses it until the next selection.
struct CipherBytes {
    std::size_t length;
    const unsigned char* data;
};
extern CipherBytes saltData;
extern CipherBytes ivCommon;

// Selects the parameter set for later runs.
void setSaltIV(const char* salt, const unsigned char* iv);
inline void selectCurrentParameters() { setSaltIV(theNewSalt, theNewIV); }
inline void selectPre20Parameters() { setSaltIV(oldSalt, oldIV); }
// The set of a package file by its name: pre-2.0 for ".qlye", current otherwise.
void selectParametersForFile(const QString& packageFile);

enum class CryptDirection { Encrypt, Decrypt };

// Why a cipher step failed, with the system's reason where there is one, so that a full
// disk is never reported as a wrong password.
struct CryptFailure {
    enum class Kind {
        None,
        WrongPassword,  // the final block's padding is not valid under this password
        Damaged,        // empty, or a size no encryption produces (not whole blocks)
        CannotRead,
        CannotWrite,
    };
    Kind kind = Kind::None;
    int error = 0;  // errno of the failed call; 0 when no system call failed
    QString path;   // the file or folder concerned

    explicit operator bool() const { return kind != Kind::None; }
    // One sentence for the user, naming the file and the system's reason.
    QString describe() const;
};

// The 32-byte key of `framis` under the selected parameter set, into `key`. Only as many
// leading UTF-8 bytes count as the password has UTF-16 code units: every existing file
// was written that way, so the cut is part of the format.
bool deriveFramisKey(const QString& framis, unsigned char* key);

// One streaming cipher run from `inPath` to `outPath` (created 0600, truncated) through a
// buffer of fixed size. Output already written stays on failure; callers decide.
bool cryptInput(const QString& inPath, CryptDirection direction, const QString& framis,
                const QString& outPath, CryptFailure* why = nullptr);

// Overwrites the file with zeros and removes it; the removal's result (0 or -1).
int secureDelete(const char* path);
int secureDelete(const QString& path);

// Encrypts `input` into `outFile`, then proves the result by decrypting it again and
// comparing it with the input in memory. The stored `outFile` is replaced only once the
// proof succeeded; on every failure it keeps its previous bytes.
bool framisE(const QString& input, const QString& framis, const QString& outFile, CryptFailure* why = nullptr);

// framisE without its last step: the proven, synced ciphertext is left beside `outFile`
// under a hidden name unique to this run (".<name>.XXXXXX") and that name is returned;
// the caller renames it into place or unlinks it. Whatever the result, the plaintext
// input is gone afterwards unless the proof found a difference.
std::optional<QString> framisEStaged(const QString& input, const QString& framis, const QString& outFile,
                                     CryptFailure* why = nullptr);

// Decrypts `input` into `outFile`; on failure no output is left behind. A file that
// cannot be ciphertext, or whose last block does not end in valid padding under this
// password, is refused before a single byte is written.
bool framisD(const QString& input, const QString& framis, const QString& outFile, CryptFailure* why = nullptr);

// Whether `path` is, by its size alone, no encrypted file at all: empty, or not a whole
// number of cipher blocks. No password can make sense of such a file.
bool hasDamagedCipherSize(const QString& path);

// Makes a rename in `folder` survive a power cut (a refusal to sync a folder is ignored).
void syncFolder(const QString& folder);

}  // namespace quorly
