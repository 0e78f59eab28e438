#include "generator/GeneratePassword.h"

#include "platform/Crypto.h"

#include <array>
#include <cstddef>

namespace quorly {

namespace {

constexpr std::array<CharacterClass, 4> kClassOrder = {CharacterClass::LowerCase, CharacterClass::Capitals,
                                                       CharacterClass::Digits, CharacterClass::Specials};

CharacterClass classAt(quint32 position)
{
    if (position < 26)
        return CharacterClass::LowerCase;
    if (position < 49)
        return CharacterClass::Capitals;
    if (position < 59)
        return CharacterClass::Digits;
    return CharacterClass::Specials;
}

GeneratedPassword refused(GeneratedPassword::Status status, const QString& message)
{
    GeneratedPassword result;
    result.status = status;
    result.message = message;
    return result;
}

}  // namespace

CharacterClassRange characterClassRange(CharacterClass characterClass)
{
    switch (characterClass) {
    case CharacterClass::LowerCase: return {0, 26};
    case CharacterClass::Capitals: return {26, 23};
    case CharacterClass::Digits: return {49, 10};
    case CharacterClass::Specials: return {59, 12};
    }
    return {0, 0};
}

quint32 PasswordLength::minimum(bool includeSpecials)
{
    return includeSpecials ? 4 : 3;
}

GeneratedPassword GeneratePassword(quint32 length, bool includeSpecials, RandomSource& random)
{
    if (length == 0)
        length = PasswordLength::Default;
    // Checked before drawing: with fewer places than required classes the search for an
    // unprotected place below would never end. Decided here: such a length is refused
    // with a reason rather than quietly raised, so nobody gets a password longer than
    // the field it is meant for.
    if (length < PasswordLength::minimum(includeSpecials)) {
        return refused(GeneratedPassword::Status::TooShort,
                       includeSpecials
                           ? QStringLiteral("A password with special characters needs at least %1 characters.")
                                 .arg(PasswordLength::minimum(true))
                           : QStringLiteral("A password needs at least %1 characters.").arg(PasswordLength::minimum(false)));
    }
    if (length > PasswordLength::Maximum) {
        return refused(GeneratedPassword::Status::TooLong,
                       QStringLiteral("A generated password has at most %1 characters.").arg(PasswordLength::Maximum));
    }
    const GeneratedPassword failed = refused(GeneratedPassword::Status::RandomFailed,
                                             QStringLiteral("The system's random number generator failed; "
                                                            "no password was generated."));

    const quint32 alphabet = includeSpecials ? 71 : 59;
    std::array<bool, 4> satisfied = {false, false, false, !includeSpecials};
    std::array<bool, PasswordLength::Maximum> protectedPlace = {};
    crypto::SecureBytes password(length);  // wiped however this ends

    for (quint32 p = 0; p < length; ++p) {
        const std::optional<quint32> r = uniformBelow(random, alphabet);
        if (!r)
            return failed;
        password.data()[p] = static_cast<unsigned char>(pwChars[*r]);
        const auto c = std::size_t(classAt(*r));
        // The first character of each class is protected, so that no fix-up below can
        // overwrite the only character of another class.
        if (!satisfied[c]) {
            satisfied[c] = true;
            protectedPlace[p] = true;
        }
    }

    for (CharacterClass missing : kClassOrder) {
        if (satisfied[std::size_t(missing)])
            continue;
        // There is always a free place: fewer classes are protected than required, and
        // the length is at least the number of required classes.
        std::optional<quint32> q;
        do {
            q = uniformBelow(random, length);
        } while (q && protectedPlace[*q]);
        const CharacterClassRange range = characterClassRange(missing);
        const std::optional<quint32> r = q ? uniformBelow(random, quint32(range.count)) : std::nullopt;
        if (!r)
            return failed;
        protectedPlace[*q] = true;
        password.data()[*q] = static_cast<unsigned char>(pwChars[std::size_t(range.first) + *r]);
    }

    GeneratedPassword result;
    result.password = QString::fromLatin1(reinterpret_cast<const char*>(password.data()), qsizetype(length));
    return result;
}

GeneratedPassword GeneratePassword(quint32 length, bool includeSpecials)
{
    SystemRandom random;
    return GeneratePassword(length, includeSpecials, random);
}

}  // namespace quorly
