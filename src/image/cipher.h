#pragma once

// cCipher: the small cipher layer the encrypted hex format calls. One run is
// init, one buffer call, finalise. The block cipher is AES (cCipherAES, over
// OpenSSL); the chaining mode and the zero-fill padding are done here.

#include "common/corvanterror.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

// A cipher error with the layer's numeric code and text.
class ECipher : public CorvantError {
public:
    ECipher(int code, const std::string &message)
        : CorvantError(QString::fromStdString(message))
        , m_code(code)
    {
    }
    int code() const { return m_code; }

private:
    int m_code;
};

// A broken precondition of the mode routines: a caller's bug, not bad
// data, so no CorvantError: no handler may report it as a bad file.
class ECipherConsistency : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

namespace CipherError {
constexpr int kInvalidCipher = 1;
constexpr int kInvalidAesKeyLength = 2;
constexpr int kInvalidCipherMode = 4;
constexpr int kInvalidSize = 5;
constexpr int kInvalidBuffer = 6;
} // namespace CipherError

enum class CipherId { None = 0, Aes = 1 };
enum class CipherMode { Ecb, Cbc, Cfb, Ofb };
enum class CipherPadding { ZeroFill };
enum class CipherDirection { None = 0, Encrypt, Decrypt };
enum class CipherKind { Block, Stream };

struct CipherContext;

// Descriptor of one cipher in the layer's table.
struct TCipherInfo {
    bool usable;
    const char *name;
    CipherKind kind;
    std::size_t blockSize;
    int smallestKeyBits;
    int largestKeyBits;
    void (*initialise)(CipherContext &, CipherDirection, int keyBits, const std::uint8_t *key,
                       std::size_t keyLength);
    void (*encipherBlock)(CipherContext &, const std::uint8_t *in, std::size_t inLength,
                          std::uint8_t *out, std::size_t outLength);
    void (*decipherBlock)(CipherContext &, const std::uint8_t *in, std::size_t inLength,
                          std::uint8_t *out, std::size_t outLength);
    void (*finalise)(CipherContext &);
};

// The cipher's own context. For AES: Nk key words, Nr rounds, the working
// block, and the library's cipher context holding the expanded key.
struct CipherContext {
    int nk;
    int nr;
    std::uint8_t block[16];
    void *library; // OpenSSL EVP_CIPHER_CTX
};

// State of one run. Plain data so that finalise can wipe all of it; the
// destructor finalises a run that an exception cut short.
struct CipherState {
    CipherDirection direction = CipherDirection::None;
    CipherId cipher = CipherId::None;
    CipherMode mode = CipherMode::Cbc;
    CipherPadding padding = CipherPadding::ZeroFill;
    int keyBits = 0;
    const TCipherInfo *descriptor = nullptr;
    CipherContext context{};

    CipherState() = default;
    CipherState(const CipherState &) = delete;
    CipherState &operator=(const CipherState &) = delete;
    ~CipherState();
};

// The descriptor of a cipher identifier, or nullptr when it has no usable one.
const TCipherInfo *cipherInfo(CipherId cipher);

void encryptInit(CipherState &state, CipherId cipher, CipherMode mode, CipherPadding padding,
                 int keyBits, const std::uint8_t *key, std::size_t keyLength);
// Copies the input to the output, pads it with zero bytes to a whole number of
// blocks and enciphers it there. Returns the padded length (0 for no input).
std::size_t encryptBuffer(CipherState &state, const std::uint8_t *input, std::size_t inputLength,
                          std::uint8_t *output, std::size_t outputCapacity, const std::uint8_t *iv,
                          std::size_t ivLength);
void encryptFinalise(CipherState &state);

void decryptInit(CipherState &state, CipherId cipher, CipherMode mode, CipherPadding padding,
                 int keyBits, const std::uint8_t *key, std::size_t keyLength);
// Deciphers the buffer in place; the zero-fill padding stays in place.
std::size_t decryptBuffer(CipherState &state, std::uint8_t *buffer, std::size_t length,
                          const std::uint8_t *iv, std::size_t ivLength);
void decryptFinalise(CipherState &state);
