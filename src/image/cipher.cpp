#include "image/cipher.h"

#include "image/cipheraes.h"

#include <openssl/crypto.h>

#include <cstring>
#include <iterator>
#include <limits>
#include <vector>

namespace {

constexpr std::size_t kLargestBlockSize = 4096;

const TCipherInfo kUnusable = {
    false, "", CipherKind::Block, 0, 0, 0, nullptr, nullptr, nullptr, nullptr,
};

// A working copy of a block, wiped however the routine is left.
class WorkingBlock {
public:
    explicit WorkingBlock(std::size_t size)
        : m_bytes(size)
    {
    }
    ~WorkingBlock() { OPENSSL_cleanse(m_bytes.data(), m_bytes.size()); }
    WorkingBlock(const WorkingBlock &) = delete;
    WorkingBlock &operator=(const WorkingBlock &) = delete;

    std::uint8_t *data() { return m_bytes.data(); }

private:
    std::vector<std::uint8_t> m_bytes;
};

void requireInitialised(const CipherState &state, CipherDirection direction)
{
    if (state.direction != direction || state.descriptor == nullptr)
        throw ECipherConsistency(direction == CipherDirection::Encrypt
                                     ? "cipher state is not initialised for encryption"
                                     : "cipher state is not initialised for decryption");
}

void requireModeArguments(const CipherState &state, std::size_t length, const std::uint8_t *iv,
                          std::size_t ivLength)
{
    const std::size_t blockSize = state.descriptor->blockSize;
    if (length == 0)
        throw ECipherConsistency("cipher buffer is empty");
    if (blockSize > kLargestBlockSize)
        throw ECipherConsistency("cipher block size above 4096 bytes");
    if (iv == nullptr)
        throw ECipherConsistency("no initialisation vector given");
    if (ivLength != blockSize)
        throw ECipherConsistency("initialisation vector length differs from the block size");
}

void xorInto(std::uint8_t *target, const std::uint8_t *source, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i)
        target[i] ^= source[i];
}

void cbcEncrypt(CipherState &state, std::uint8_t *buffer, std::size_t length,
                const std::uint8_t *iv, std::size_t ivLength)
{
    requireModeArguments(state, length, iv, ivLength);
    const TCipherInfo &info = *state.descriptor;
    const std::size_t blockSize = info.blockSize;
    WorkingBlock previous(blockSize);
    std::memcpy(previous.data(), iv, blockSize);
    for (std::size_t offset = 0; offset < length; offset += blockSize) {
        std::uint8_t *block = buffer + offset;
        xorInto(block, previous.data(), blockSize);
        info.encipherBlock(state.context, block, blockSize, block, blockSize);
        std::memcpy(previous.data(), block, blockSize);
    }
}

void cbcDecrypt(CipherState &state, std::uint8_t *buffer, std::size_t length,
                const std::uint8_t *iv, std::size_t ivLength)
{
    requireModeArguments(state, length, iv, ivLength);
    const TCipherInfo &info = *state.descriptor;
    const std::size_t blockSize = info.blockSize;
    // A partial last block cannot be deciphered; refuse before any block of
    // the buffer has changed.
    if (length % blockSize != 0)
        throw ECipher(CipherError::kInvalidSize, "Invalid buffer size");
    WorkingBlock previous(blockSize);
    WorkingBlock kept(blockSize);
    std::memcpy(previous.data(), iv, blockSize);
    for (std::size_t offset = 0; offset < length; offset += blockSize) {
        std::uint8_t *block = buffer + offset;
        std::memcpy(kept.data(), block, blockSize);
        info.decipherBlock(state.context, block, blockSize, block, blockSize);
        xorInto(block, previous.data(), blockSize);
        std::memcpy(previous.data(), kept.data(), blockSize);
    }
}

void initialise(CipherState &state, CipherDirection direction, CipherId cipher, CipherMode mode,
                CipherPadding padding, int keyBits, const std::uint8_t *key, std::size_t keyLength)
{
    const TCipherInfo *info = cipherInfo(cipher);
    if (info == nullptr)
        throw ECipher(CipherError::kInvalidCipher, "Invalid cipher");
    encryptFinalise(state); // clears whatever an earlier run left
    if (mode != CipherMode::Cbc)
        throw ECipher(CipherError::kInvalidCipherMode, "Invalid cipher mode");

    state.cipher = cipher;
    state.mode = mode;
    state.padding = padding;
    state.keyBits = keyBits;
    try {
        info->initialise(state.context, direction, keyBits, key, keyLength);
    } catch (...) {
        info->finalise(state.context);
        OPENSSL_cleanse(&state.context, sizeof state.context);
        throw;
    }
    // Usable only once the key set-up has succeeded.
    state.descriptor = info;
    state.direction = direction;
}

void finalise(CipherState &state)
{
    if (state.descriptor != nullptr)
        state.descriptor->finalise(state.context);
    OPENSSL_cleanse(&state.context, sizeof state.context);
    state.direction = CipherDirection::None;
    state.cipher = CipherId::None;
    state.mode = CipherMode::Cbc;
    state.padding = CipherPadding::ZeroFill;
    state.keyBits = 0;
    state.descriptor = nullptr;
}

} // namespace

CipherState::~CipherState()
{
    finalise(*this);
}

const TCipherInfo *cipherInfo(CipherId cipher)
{
    // Indexed by CipherId.
    static const TCipherInfo *const kTable[] = {&kUnusable, &aesCipherInfo()};
    const auto index = std::size_t(cipher);
    if (index >= std::size(kTable) || !kTable[index]->usable)
        return nullptr;
    return kTable[index];
}

void encryptInit(CipherState &state, CipherId cipher, CipherMode mode, CipherPadding padding,
                 int keyBits, const std::uint8_t *key, std::size_t keyLength)
{
    initialise(state, CipherDirection::Encrypt, cipher, mode, padding, keyBits, key, keyLength);
}

std::size_t encryptBuffer(CipherState &state, const std::uint8_t *input, std::size_t inputLength,
                          std::uint8_t *output, std::size_t outputCapacity, const std::uint8_t *iv,
                          std::size_t ivLength)
{
    requireInitialised(state, CipherDirection::Encrypt);
    const std::size_t blockSize = state.descriptor->blockSize;
    if (inputLength == 0)
        return 0;
    if (inputLength > std::numeric_limits<std::size_t>::max() - blockSize)
        throw ECipher(CipherError::kInvalidSize, "Output buffer too small");
    const std::size_t padded = (inputLength + blockSize - 1) / blockSize * blockSize;
    if (outputCapacity < padded)
        throw ECipher(CipherError::kInvalidSize, "Output buffer too small");
    if (input == nullptr || output == nullptr)
        throw ECipher(CipherError::kInvalidBuffer, "Invalid buffer");

    if (output != input)
        std::memmove(output, input, inputLength);
    std::memset(output + inputLength, 0, padded - inputLength);
    cbcEncrypt(state, output, padded, iv, ivLength);
    return padded;
}

void encryptFinalise(CipherState &state)
{
    finalise(state);
}

void decryptInit(CipherState &state, CipherId cipher, CipherMode mode, CipherPadding padding,
                 int keyBits, const std::uint8_t *key, std::size_t keyLength)
{
    initialise(state, CipherDirection::Decrypt, cipher, mode, padding, keyBits, key, keyLength);
}

std::size_t decryptBuffer(CipherState &state, std::uint8_t *buffer, std::size_t length,
                          const std::uint8_t *iv, std::size_t ivLength)
{
    requireInitialised(state, CipherDirection::Decrypt);
    if (buffer == nullptr)
        throw ECipher(CipherError::kInvalidBuffer, "Invalid buffer");
    cbcDecrypt(state, buffer, length, iv, ivLength);
    return length;
}

void decryptFinalise(CipherState &state)
{
    finalise(state);
}
