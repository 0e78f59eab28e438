#pragma once

#include <QtGlobal>

#include <optional>

namespace quorly {

// Where random numbers come from. The program draws from the system's cryptographic
// generator; tests of the rules above it script their numbers.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    // 32 uniformly random bits; nullopt when the source has failed (never retried: a
    // generator that fails once is not trusted for the rest of a draw).
    virtual std::optional<quint32> random32() = 0;
};

// OpenSSL's RAND_bytes, seeded by the kernel. Fetched a few numbers at a time; what is
// left unused is wiped when the source goes.
class SystemRandom final : public RandomSource {
public:
    SystemRandom() = default;
    ~SystemRandom() override;
    SystemRandom(const SystemRandom&) = delete;
    SystemRandom& operator=(const SystemRandom&) = delete;

    std::optional<quint32> random32() override;

private:
    quint32 buffer_[16] = {};
    int next_ = 16;
};

// A number uniformly distributed in [0, bound), bound > 0, without the bias that taking
// a 32-bit number modulo `bound` has: draws at or above the largest multiple of `bound`
// that fits in 32 bits are thrown away and drawn again.
std::optional<quint32> uniformBelow(RandomSource& random, quint32 bound);

}  // namespace quorly
