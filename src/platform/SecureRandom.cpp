#include "platform/SecureRandom.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

namespace quorly {

SystemRandom::~SystemRandom()
{
    OPENSSL_cleanse(buffer_, sizeof buffer_);
}

std::optional<quint32> SystemRandom::random32()
{
    if (next_ == 16) {
        if (RAND_bytes(reinterpret_cast<unsigned char*>(buffer_), sizeof buffer_) != 1)
            return std::nullopt;
        next_ = 0;
    }
    const quint32 value = buffer_[next_];
    buffer_[next_++] = 0;
    return value;
}

std::optional<quint32> uniformBelow(RandomSource& random, quint32 bound)
{
    Q_ASSERT(bound > 0);
    // 2^32 mod bound values at the top would make the low results more likely.
    const quint64 limit = (quint64(1) << 32) - (quint64(1) << 32) % bound;
    for (;;) {
        const std::optional<quint32> drawn = random.random32();
        if (!drawn)
            return std::nullopt;
        if (*drawn < limit)
            return *drawn % bound;
    }
}

}  // namespace quorly
