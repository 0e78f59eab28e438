#include "platform/Crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <climits>
#include <utility>

namespace quorly::crypto {

void cleanse(void* data, std::size_t length)
{
    if (data != nullptr && length > 0)
        OPENSSL_cleanse(data, length);
}

void cleanse(QByteArray& bytes)
{
    if (!bytes.isEmpty())
        OPENSSL_cleanse(bytes.data(), static_cast<std::size_t>(bytes.size()));
    bytes.clear();
}

SecureBytes::SecureBytes(std::size_t size) : bytes_(new unsigned char[size]()), size_(size) {}

SecureBytes::~SecureBytes() { wipe(); }

SecureBytes::SecureBytes(SecureBytes&& other) noexcept
    : bytes_(std::move(other.bytes_)), size_(std::exchange(other.size_, 0))
{
}

SecureBytes& SecureBytes::operator=(SecureBytes&& other) noexcept
{
    if (this != &other) {
        wipe();
        bytes_ = std::move(other.bytes_);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void SecureBytes::wipe()
{
    cleanse(bytes_.get(), size_);
}

bool deriveKey(const unsigned char* passphrase, std::size_t passphraseLength,
               const unsigned char* salt, std::size_t saltLength, unsigned char* key)
{
    if (passphraseLength > INT_MAX || saltLength > INT_MAX || key == nullptr)
        return false;
    // An empty password is still a password; libcrypto wants a pointer even then.
    static const unsigned char none = 0;
    return PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(passphrase ? passphrase : &none),
                             static_cast<int>(passphraseLength), salt ? salt : &none,
                             static_cast<int>(saltLength), kKeyIterations, EVP_sha1(),
                             static_cast<int>(kKeyLength), key) == 1;
}

CipherContext::CipherContext() : ctx_(EVP_CIPHER_CTX_new()) {}

CipherContext::~CipherContext()
{
    EVP_CIPHER_CTX_free(ctx_);  // resets the context, which wipes the key schedule
}

bool CipherContext::init(CipherMode mode, const unsigned char* key, const unsigned char* iv, bool padding)
{
    if (ctx_ == nullptr || key == nullptr || iv == nullptr)
        return false;
    const int enc = mode == CipherMode::Encrypt ? 1 : 0;
    if (EVP_CipherInit_ex(ctx_, EVP_aes_256_cbc(), nullptr, key, iv, enc) != 1)
        return false;
    return EVP_CIPHER_CTX_set_padding(ctx_, padding ? 1 : 0) == 1;
}

bool CipherContext::update(const unsigned char* in, std::size_t inLength, unsigned char* out,
                           std::size_t* outLength)
{
    *outLength = 0;
    if (inLength == 0)
        return true;
    if (ctx_ == nullptr || inLength > INT_MAX - kBlockLength)
        return false;
    int written = 0;
    if (EVP_CipherUpdate(ctx_, out, &written, in, static_cast<int>(inLength)) != 1)
        return false;
    *outLength = static_cast<std::size_t>(written);
    return true;
}

bool CipherContext::finish(unsigned char* out, std::size_t* outLength)
{
    *outLength = 0;
    if (ctx_ == nullptr)
        return false;
    int written = 0;
    if (EVP_CipherFinal_ex(ctx_, out, &written) != 1)
        return false;
    *outLength = static_cast<std::size_t>(written);
    return true;
}

}  // namespace quorly::crypto
