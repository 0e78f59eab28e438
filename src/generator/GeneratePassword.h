#pragma once

#include "platform/SecureRandom.h"

#include <QString>

#include <string_view>

namespace quorly {

// `pwChars`: four classes in consecutive positions; a character's class is known by its
// position. The capitals lack I, O and U, which are too easily read as 1, 0 and V.
inline constexpr std::string_view pwChars = "abcdefghijklmnopqrstuvwxyz"
                                            "ABCDEFGHJKLMNPQRSTVWXYZ"
                                            "1234567890"
                                            "!-#$%+&()*[]";

enum class CharacterClass { LowerCase, Capitals, Digits, Specials };

// Where each class starts in `pwChars` and how many characters it has.
struct CharacterClassRange {
    int first;
    int count;
};
CharacterClassRange characterClassRange(CharacterClass characterClass);

namespace PasswordLength {
// What a length of 0 asks for.
inline constexpr quint32 Default = 8;
// Decided here: the longest password served. Longer than any password field of a website
// we know of, and long enough that nobody needs more entropy (128 × log2 71 ≈ 787 bits).
inline constexpr quint32 Maximum = 128;
// Every required class needs a place of its own: 4 with specials, 3 without.
quint32 minimum(bool includeSpecials);
}  // namespace PasswordLength

struct GeneratedPassword {
    enum class Status { Generated, TooShort, TooLong, RandomFailed };
    Status status = Status::Generated;
    QString password;
    // Why nothing was generated, as a sentence for the user; empty when it was.
    QString message;
    bool ok() const { return status == Status::Generated; }
};

// A random password of `length` characters (0 means 8) that holds at least one lower-case
// letter, one capital and one digit, and one special character when `includeSpecials`.
// Lengths below the number of required classes and above the maximum are refused before
// anything is drawn.
GeneratedPassword GeneratePassword(quint32 length, bool includeSpecials, RandomSource& random);
// The same over the system's cryptographic generator.
GeneratedPassword GeneratePassword(quint32 length, bool includeSpecials);

}  // namespace quorly
