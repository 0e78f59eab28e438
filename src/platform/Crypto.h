#pragma once

#include "platform/LargeMemory.h"

#include <QByteArray>

#include <cstddef>
#include <memory>

typedef struct evp_cipher_ctx_st EVP_CIPHER_CTX;

// The few pieces of libcrypto the program needs: PBKDF2-HMAC-SHA1 key derivation,
// staged AES-256-CBC with PKCS#7 padding, and wiping of secrets.
namespace quorly::crypto {

inline constexpr std::size_t kKeyLength = 32;  // AES-256
inline constexpr std::size_t kIvLength = 16;
inline constexpr std::size_t kBlockLength = 16;
inline constexpr int kKeyIterations = 1000;

// Overwrites memory in a way the optimiser may not drop.
void cleanse(void* data, std::size_t length);
// Wipes and empties `bytes`. It must be the only holder of its buffer (a shared
// QByteArray would be copied on write and the original left behind).
void cleanse(QByteArray& bytes);

// An allocator that wipes memory before handing it back, for containers that hold
// secrets and grow: the buffers a growing container leaves behind are wiped as well.
// Large buffers are mapped on their own (see LargeMemory.h).
template <typename T>
struct CleansingAllocator {
    using value_type = T;
    CleansingAllocator() = default;
    template <typename U>
    CleansingAllocator(const CleansingAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) { return static_cast<T*>(large_memory::allocate(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { large_memory::releaseWiped(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const CleansingAllocator<U>&) const noexcept { return true; }
};

// A fixed-size, zero-initialised heap buffer that is wiped when it goes away. It never
// grows, so no stale copy of a secret is left behind by a reallocation.
class SecureBytes {
public:
    explicit SecureBytes(std::size_t size);
    ~SecureBytes();
    SecureBytes(SecureBytes&& other) noexcept;
    SecureBytes& operator=(SecureBytes&& other) noexcept;
    SecureBytes(const SecureBytes&) = delete;
    SecureBytes& operator=(const SecureBytes&) = delete;

    unsigned char* data() { return bytes_.get(); }
    const unsigned char* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }

private:
    void wipe();
    std::unique_ptr<unsigned char[]> bytes_;
    std::size_t size_ = 0;
};

// PBKDF2 with HMAC-SHA1, kKeyIterations rounds, kKeyLength bytes into `key`.
bool deriveKey(const unsigned char* passphrase, std::size_t passphraseLength,
               const unsigned char* salt, std::size_t saltLength, unsigned char* key);

enum class CipherMode { Encrypt, Decrypt };

// One staged AES-256-CBC run with PKCS#7 padding. The context (and with it the
// expanded key) is wiped and freed on destruction, whichever way the run ended.
class CipherContext {
public:
    CipherContext();
    ~CipherContext();
    CipherContext(const CipherContext&) = delete;
    CipherContext& operator=(const CipherContext&) = delete;

    // `key` holds kKeyLength bytes, `iv` kIvLength bytes. Without `padding` the run
    // takes and gives whole blocks only (checking one block's padding by hand).
    bool init(CipherMode mode, const unsigned char* key, const unsigned char* iv, bool padding = true);

    // `out` must have room for inLength + kBlockLength bytes.
    bool update(const unsigned char* in, std::size_t inLength, unsigned char* out,
                std::size_t* outLength);

    // Adds the padding (encryption) or checks and strips it (decryption). `out` must
    // have room for kBlockLength bytes. False on bad padding.
    bool finish(unsigned char* out, std::size_t* outLength);

private:
    EVP_CIPHER_CTX* ctx_ = nullptr;
};

}  // namespace quorly::crypto
