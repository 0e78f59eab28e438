// The password generator: its fixed rules driven by scripted random numbers, and what it
// makes of the system's generator over many passwords.
#include "generator/GeneratePassword.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <vector>

using namespace quorly;

namespace {

// Hands out the numbers it was given, then fails: a test that draws more than it
// scripted sees a refusal instead of hanging.
class ScriptedRandom : public RandomSource {
public:
    ScriptedRandom(std::initializer_list<quint32> values) : values_(values) {}
    std::optional<quint32> random32() override
    {
        ++asked_;
        return asked_ <= values_.size() ? std::optional<quint32>(values_[asked_ - 1]) : std::nullopt;
    }
    bool allDrawn() const { return asked_ == values_.size(); }
    std::size_t asked() const { return asked_; }

private:
    std::vector<quint32> values_;
    std::size_t asked_ = 0;
};

}  // namespace

TEST(GeneratePassword, MissingClassesAreFixedInOrderWithoutTouchingFirstOccurrences)
{
    // Six lower-case letters; position 0 holds the first of them and is protected.
    // Capitals: place 0 (protected, drawn again), place 2, 'A'. Digits: places 2 and 0
    // (both protected now), place 5, '0'. Specials: place 3, ']'.
    ScriptedRandom random {0, 1, 2, 3, 4, 5, /*capitals*/ 0, 2, 0, /*digits*/ 2, 0, 5, 9, /*specials*/ 3, 11};
    EXPECT_EQ(GeneratePassword(6, true, random).password, "abA]e0");
    EXPECT_TRUE(random.allDrawn());

    // Without specials the alphabet ends before them: 82 is 23 ('x') modulo 59, where
    // modulo 71 it would be 11 ('l'). Places 0 and 2 hold the first lower-case letter
    // and the first capital, so the digit goes to place 1.
    ScriptedRandom plain {82, 24, 48, /*digits*/ 0, 2, 1, 0};
    EXPECT_EQ(GeneratePassword(3, false, plain).password, "x1Z");
    EXPECT_TRUE(plain.allDrawn());
}

TEST(GeneratePassword, DrawsAtTheTopOfTheRangeAreThrownAwayRatherThanFoldedOver)
{
    // 2^32 = 71 × 60492497 + 9: the nine values from 4294967287 up would make the first
    // nine characters more likely than the rest.
    ScriptedRandom random {4294967295u, 4294967287u, 4294967286u};
    EXPECT_EQ(uniformBelow(random, 71), 70u);
    EXPECT_TRUE(random.allDrawn());

    // A power of two divides 2^32: nothing is thrown away.
    ScriptedRandom even {4294967295u};
    EXPECT_EQ(uniformBelow(even, 8), 7u);
}

TEST(GeneratePassword, LengthsAreServedFromTheClassCountToTheMaximum)
{
    using Status = GeneratedPassword::Status;
    ScriptedRandom none {};
    EXPECT_EQ(GeneratePassword(3, true, none).status, Status::TooShort);
    EXPECT_EQ(GeneratePassword(2, false, none).status, Status::TooShort);
    EXPECT_EQ(GeneratePassword(129, false, none).status, Status::TooLong);
    const GeneratedPassword refused = GeneratePassword(4294967295u, true, none);
    EXPECT_EQ(refused.status, Status::TooLong);
    EXPECT_TRUE(refused.password.isEmpty());
    EXPECT_FALSE(refused.message.isEmpty());
    EXPECT_EQ(none.asked(), 0u);  // refused before drawing

    EXPECT_EQ(GeneratePassword(0, true).password.size(), 8);
    EXPECT_EQ(GeneratePassword(3, false).password.size(), 3);
    EXPECT_EQ(GeneratePassword(128, true).password.size(), 128);

    // A source that fails midway gives nothing, not a shorter or partly fixed password.
    ScriptedRandom failing {0, 1};
    const GeneratedPassword failed = GeneratePassword(8, true, failing);
    EXPECT_EQ(failed.status, Status::RandomFailed);
    EXPECT_TRUE(failed.password.isEmpty());
}

namespace {

// The probability of each character at each place, worked out from the description of
// the algorithm rather than from its code: every place draws uniformly from the alphabet;
// the first character of each class stays; each missing class then takes one of the
// places that are not kept, each of them equally likely, with a character uniform within
// the class. So the first place is uniform over the alphabet and every place is uniform
// within each class, while the fix-ups shift the classes' shares of the later places.
std::vector<std::vector<double>> expectedDistribution(int length, bool specials)
{
    const int classes = specials ? 4 : 3;
    const int alphabet = specials ? 71 : 59;
    const int size[4] = {26, 23, 10, 12};
    std::vector<std::vector<double>> share(length, std::vector<double>(classes));
    std::vector<int> drawn(length);
    const long sequences = std::lround(std::pow(classes, length));
    for (long code = 0; code < sequences; ++code) {
        double weight = 1.0;
        long rest = code;
        for (int& c : drawn) {
            c = int(rest % classes);
            rest /= classes;
            weight *= double(size[c]) / alphabet;
        }
        std::vector<bool> present(classes), kept(length);
        for (int p = 0; p < length; ++p) {
            if (!present[drawn[p]])
                present[drawn[p]] = kept[p] = true;
        }
        const auto missing = std::count(present.begin(), present.end(), false);
        const auto free = double(std::count(kept.begin(), kept.end(), false));
        for (int p = 0; p < length; ++p) {
            if (kept[p]) {
                share[p][drawn[p]] += weight;
                continue;
            }
            share[p][drawn[p]] += weight * (1.0 - double(missing) / free);
            for (int c = 0; c < classes; ++c) {
                if (!present[c])
                    share[p][c] += weight / free;
            }
        }
    }
    std::vector<std::vector<double>> perCharacter(length, std::vector<double>(alphabet));
    for (int p = 0; p < length; ++p) {
        for (int c = 0; c < classes; ++c) {
            const CharacterClassRange range = characterClassRange(CharacterClass(c));
            for (int i = range.first; i < range.first + range.count; ++i)
                perCharacter[p][i] = share[p][c] / range.count;
        }
    }
    return perCharacter;
}

}  // namespace

// Over the system's generator, 40000 passwords of each kind: the shortest with and
// without specials (where the fix-ups do the most) and one of 8. Every password must
// hold each of its classes and nothing outside its alphabet (so never I, O or U, nor a
// special character without the switch). Each place must follow its exact
// distribution: Pearson's chi-square against it stays below the chi-square
// distribution's upper 1e-10 quantile for 70 or 58 degrees of freedom (71 or 59
// characters, expected counts all above 250), so the 15 places checked fail together by
// chance about once in 10^9 runs. A character that never turns up fails it too.
TEST(GeneratePassword, EveryPasswordHoldsItsClassesAndEachPlaceFollowsItsDistribution)
{
    constexpr int kPasswords = 40000;
    for (auto [length, specials, limit] :
         {std::tuple {4, true, 173.26}, std::tuple {3, false, 154.64}, std::tuple {8, true, 173.26}}) {
        const std::string_view alphabet = pwChars.substr(0, specials ? 71 : 59);
        const std::vector<std::vector<double>> expected = expectedDistribution(length, specials);
        std::vector<std::vector<int>> counts(length, std::vector<int>(alphabet.size()));
        for (int n = 0; n < kPasswords; ++n) {
            const QByteArray password = GeneratePassword(quint32(length), specials).password.toLatin1();
            ASSERT_EQ(password.size(), length);
            std::array<bool, 4> classes = {};
            for (int p = 0; p < length; ++p) {
                const std::size_t i = alphabet.find(password[p]);
                ASSERT_NE(i, std::string_view::npos) << password.constData();
                ++counts[p][i];
                classes[i < 26 ? 0 : i < 49 ? 1 : i < 59 ? 2 : 3] = true;
            }
            ASSERT_TRUE(classes[0] && classes[1] && classes[2] && classes[3] == specials) << password.constData();
        }
        for (int p = 0; p < length; ++p) {
            double chiSquare = 0.0;
            for (std::size_t i = 0; i < alphabet.size(); ++i) {
                const double e = kPasswords * expected[p][i];
                chiSquare += (counts[p][i] - e) * (counts[p][i] - e) / e;
            }
            EXPECT_LT(chiSquare, limit) << "place " << p << " of " << length << (specials ? " with" : " without")
                                        << " specials";
        }
    }
}
