#pragma once

#include <QString>

#include <cstddef>

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

enum class CryptDirection { Encrypt, Decrypt };

// The 32-byte key of `framis` under the selected parameter set, into `key`. Only as many
// leading UTF-8 bytes count as the password has UTF-16 code units: every existing file
// was written that way, so the cut is part of the format.
bool deriveFramisKey(const QString& framis, unsigned char* key);

// One streaming cipher run from `inPath` to `outPath` (created 0600, truncated) in
// 512-byte chunks. Output already written stays on failure; callers decide.
bool cryptInput(const QString& inPath, CryptDirection direction, const QString& framis,
                const QString& outPath);

// Overwrites the file with zeros and removes it; the removal's result (0 or -1).
int secureDelete(const char* path);
int secureDelete(const QString& path);

// Encrypts `input` into `outFile`, then proves the result by decrypting it beside the
// input (input + ".qlyd") and comparing. The stored `outFile` is replaced only once
// the proof succeeded; on every failure it keeps its previous bytes.
bool framisE(const QString& input, const QString& framis, const QString& outFile);

// Decrypts `input` into `outFile`; on failure no output is left behind.
bool framisD(const QString& input, const QString& framis, const QString& outFile);

}  // namespace quorly
