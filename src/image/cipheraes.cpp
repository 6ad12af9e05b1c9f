#include "image/cipheraes.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <stdexcept>

namespace {

constexpr std::size_t kAesBlockSize = 16;

EVP_CIPHER_CTX *library(CipherContext &context)
{
    return static_cast<EVP_CIPHER_CTX *>(context.library);
}

const EVP_CIPHER *ecbCipher(int keyBits)
{
    switch (keyBits) {
    case 128:
        return EVP_aes_128_ecb();
    case 192:
        return EVP_aes_192_ecb();
    default:
        return EVP_aes_256_ecb();
    }
}

void aesInitialise(CipherContext &context, CipherDirection direction, int keyBits,
                   const std::uint8_t *key, std::size_t keyLength)
{
    if (keyBits != 128 && keyBits != 192 && keyBits != 256)
        throw ECipher(CipherError::kInvalidAesKeyLength, "Invalid AES key length");
    OPENSSL_cleanse(&context, sizeof context);
    context.nk = keyBits / 32;
    context.nr = context.nk + 6;
    if (key == nullptr || keyLength != std::size_t(4 * context.nk))
        throw ECipher(CipherError::kInvalidSize, "Invalid key size");

    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    if (ctx == nullptr)
        throw std::bad_alloc();
    context.library = ctx;
    const int ok = direction == CipherDirection::Encrypt
        ? EVP_EncryptInit_ex(ctx, ecbCipher(keyBits), nullptr, key, nullptr)
        : EVP_DecryptInit_ex(ctx, ecbCipher(keyBits), nullptr, key, nullptr);
    if (ok != 1 || EVP_CIPHER_CTX_set_padding(ctx, 0) != 1)
        throw std::runtime_error("AES key set-up failed in the cryptographic library");
}

void checkBlock(std::size_t inLength, std::size_t outLength)
{
    if (inLength != kAesBlockSize || outLength < kAesBlockSize)
        throw ECipher(CipherError::kInvalidSize, "Invalid buffer size");
}

void aesEncipherBlock(CipherContext &context, const std::uint8_t *in, std::size_t inLength,
                      std::uint8_t *out, std::size_t outLength)
{
    checkBlock(inLength, outLength);
    int written = 0;
    if (EVP_EncryptUpdate(library(context), out, &written, in, int(kAesBlockSize)) != 1
        || written != int(kAesBlockSize))
        throw std::runtime_error("AES block encryption failed in the cryptographic library");
}

void aesDecipherBlock(CipherContext &context, const std::uint8_t *in, std::size_t inLength,
                      std::uint8_t *out, std::size_t outLength)
{
    checkBlock(inLength, outLength);
    int written = 0;
    if (EVP_DecryptUpdate(library(context), out, &written, in, int(kAesBlockSize)) != 1
        || written != int(kAesBlockSize))
        throw std::runtime_error("AES block decryption failed in the cryptographic library");
}

void aesFinalise(CipherContext &context)
{
    // Frees and cleanses the expanded key held by the library.
    EVP_CIPHER_CTX_free(library(context));
    context.library = nullptr;
}

const TCipherInfo kAesInfo = {
    true, "AES",         CipherKind::Block, kAesBlockSize,    128,
    256,  aesInitialise, aesEncipherBlock,  aesDecipherBlock, aesFinalise,
};

} // namespace

const TCipherInfo &aesCipherInfo()
{
    return kAesInfo;
}
