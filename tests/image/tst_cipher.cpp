#include "image/cipher.h"

#include <QTest>

#include <functional>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes hex(const char *text)
{
    const QByteArray bytes = QByteArray::fromHex(text);
    return Bytes(bytes.begin(), bytes.end());
}

const Bytes kZeroIv(16, 0);

Bytes encrypt(const Bytes &key, const Bytes &iv, const Bytes &plain)
{
    CipherState state;
    encryptInit(state, CipherId::Aes, CipherMode::Cbc, CipherPadding::ZeroFill, int(key.size() * 8),
                key.data(), key.size());
    Bytes out(plain.size() + 16);
    out.resize(encryptBuffer(state, plain.data(), plain.size(), out.data(), out.size(), iv.data(),
                             iv.size()));
    encryptFinalise(state);
    return out;
}

Bytes decrypt(const Bytes &key, const Bytes &iv, Bytes buffer)
{
    CipherState state;
    decryptInit(state, CipherId::Aes, CipherMode::Cbc, CipherPadding::ZeroFill, int(key.size() * 8),
                key.data(), key.size());
    buffer.resize(decryptBuffer(state, buffer.data(), buffer.size(), iv.data(), iv.size()));
    decryptFinalise(state);
    return buffer;
}

} // namespace

Q_DECLARE_METATYPE(Bytes)
using Action = std::function<void()>;
Q_DECLARE_METATYPE(Action)

class TestCipher : public QObject {
    Q_OBJECT

private slots:
    // FIPS-197 appendix C: one block, so CBC with a zero IV is the bare cipher.
    void fips197_data()
    {
        QTest::addColumn<Bytes>("key");
        QTest::addColumn<Bytes>("plain");
        QTest::addColumn<Bytes>("cipher");

        const Bytes plain = hex("00112233445566778899aabbccddeeff");
        QTest::newRow("AES-128") << hex("000102030405060708090a0b0c0d0e0f") << plain
                                 << hex("69c4e0d86a7b0430d8cdb78070b4c55a");
        QTest::newRow("AES-192") << hex("000102030405060708090a0b0c0d0e0f1011121314151617") << plain
                                 << hex("dda97ca4864cdfe06eaf70a0ec0d7191");
        QTest::newRow("AES-256") << hex(
            "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f")
                                 << plain << hex("8ea2b7ca516745bfeafc49904b496089");
    }
    void fips197()
    {
        QFETCH(Bytes, key);
        QFETCH(Bytes, plain);
        QFETCH(Bytes, cipher);
        QCOMPARE(encrypt(key, kZeroIv, plain), cipher);
        QCOMPARE(decrypt(key, kZeroIv, cipher), plain);
    }

    // NIST SP 800-38A F.2.1 and F.2.2: CBC-AES128 over four blocks.
    void sp800_38a_cbc()
    {
        const Bytes key = hex("2b7e151628aed2a6abf7158809cf4f3c");
        const Bytes iv = hex("000102030405060708090a0b0c0d0e0f");
        const Bytes plain = hex("6bc1bee22e409f96e93d7e117393172a"
                                "ae2d8a571e03ac9c9eb76fac45af8e51"
                                "30c81c46a35ce411e5fbc1191a0a52ef"
                                "f69f2445df4f9b17ad2b417be66c3710");
        const Bytes cipher = hex("7649abac8119b246cee98e9b12e9197d"
                                 "5086cb9b507219ee95db113a917678b2"
                                 "73bed6b8e3c1743b7116e69e22229516"
                                 "3ff1caa1681fac09120eca307586e1a7");
        QCOMPARE(encrypt(key, iv, plain), cipher);
        QCOMPARE(decrypt(key, iv, cipher), plain);
    }

    void zeroFillPadding_data()
    {
        QTest::addColumn<int>("inputLength");
        QTest::addColumn<int>("cipherLength");

        QTest::newRow("empty input gives nothing") << 0 << 0;
        QTest::newRow("one byte") << 1 << 16;
        QTest::newRow("20 bytes") << 20 << 32;
        QTest::newRow("whole blocks get no extra block") << 32 << 32;
        QTest::newRow("one past a block") << 33 << 48;
    }
    void zeroFillPadding()
    {
        QFETCH(int, inputLength);
        QFETCH(int, cipherLength);

        const Bytes key = hex("2b7e151628aed2a6abf7158809cf4f3c");
        Bytes plain(static_cast<std::size_t>(inputLength));
        for (std::size_t i = 0; i < plain.size(); ++i)
            plain[i] = std::uint8_t(0xA0 + i);

        const Bytes cipher = encrypt(key, kZeroIv, plain);
        QCOMPARE(int(cipher.size()), cipherLength);
        if (cipherLength == 0)
            return;
        // The padding stays in place: the input, then zero bytes.
        Bytes expected = plain;
        expected.resize(std::size_t(cipherLength), 0);
        QCOMPARE(decrypt(key, kZeroIv, cipher), expected);
    }

    void encryptingInPlaceMatchesCopying()
    {
        const Bytes key = hex("000102030405060708090a0b0c0d0e0f");
        Bytes buffer(48, 0x5A);
        buffer.resize(40);
        const Bytes copied = encrypt(key, kZeroIv, buffer);

        buffer.resize(48);
        CipherState state;
        encryptInit(state, CipherId::Aes, CipherMode::Cbc, CipherPadding::ZeroFill, 128, key.data(),
                    key.size());
        QCOMPARE(encryptBuffer(state, buffer.data(), 40, buffer.data(), buffer.size(),
                               kZeroIv.data(), 16),
                 std::size_t(48));
        QCOMPARE(buffer, copied);
    }

    void errors_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");

        static const Bytes key16(16, 1);
        static const Bytes iv(16, 2);
        const auto init = [](CipherState &state, bool forEncryption, int bits = 128,
                             CipherMode mode = CipherMode::Cbc, CipherId id = CipherId::Aes,
                             std::size_t keyLength = 16) {
            (forEncryption ? encryptInit : decryptInit)(state, id, mode, CipherPadding::ZeroFill,
                                                        bits, key16.data(), keyLength);
        };

        QTest::newRow("no such cipher") << Action([=] {
            CipherState s;
            init(s, true, 128, CipherMode::Cbc, static_cast<CipherId>(7));
        }) << CipherError::kInvalidCipher
                                        << QStringLiteral("Invalid cipher");
        QTest::newRow("cipher None") << Action([=] {
            CipherState s;
            init(s, false, 128, CipherMode::Cbc, CipherId::None);
        }) << CipherError::kInvalidCipher
                                     << QStringLiteral("Invalid cipher");
        QTest::newRow("100 key bits") << Action([=] {
            CipherState s;
            init(s, true, 100);
        }) << CipherError::kInvalidAesKeyLength
                                      << QStringLiteral("Invalid AES key length");
        QTest::newRow("ECB is not implemented") << Action([=] {
            CipherState s;
            init(s, true, 128, CipherMode::Ecb);
        }) << CipherError::kInvalidCipherMode << QStringLiteral("Invalid cipher mode");
        QTest::newRow("16 key bytes declared as 192 bits") << Action([=] {
            CipherState s;
            init(s, true, 192);
        }) << CipherError::kInvalidSize << QStringLiteral("Invalid key size");
        QTest::newRow("15 key bytes") << Action([=] {
            CipherState s;
            init(s, false, 128, CipherMode::Cbc, CipherId::Aes, 15);
        }) << CipherError::kInvalidSize
                                      << QStringLiteral("Invalid key size");
        QTest::newRow("output one byte short") << Action([=] {
            CipherState s;
            init(s, true);
            Bytes in(20), out(31);
            encryptBuffer(s, in.data(), in.size(), out.data(), out.size(), iv.data(), iv.size());
        }) << CipherError::kInvalidSize << QStringLiteral("Output buffer too small");
        QTest::newRow("no input buffer") << Action([=] {
            CipherState s;
            init(s, true);
            Bytes out(32);
            encryptBuffer(s, nullptr, 20, out.data(), out.size(), iv.data(), iv.size());
        }) << CipherError::kInvalidBuffer << QStringLiteral("Invalid buffer");
        QTest::newRow("no output buffer") << Action([=] {
            CipherState s;
            init(s, true);
            Bytes in(20);
            encryptBuffer(s, in.data(), in.size(), nullptr, 32, iv.data(), iv.size());
        }) << CipherError::kInvalidBuffer << QStringLiteral("Invalid buffer");
        QTest::newRow("partial block cannot be deciphered") << Action([=] {
            CipherState s;
            init(s, false);
            Bytes buffer(20);
            decryptBuffer(s, buffer.data(), buffer.size(), iv.data(), iv.size());
        }) << CipherError::kInvalidSize << QStringLiteral("Invalid buffer size");
    }
    void errors()
    {
        QFETCH(Action, action);
        QFETCH(int, code);
        QFETCH(QString, message);
        try {
            action();
            QFAIL("no ECipher raised");
        } catch (const ECipher &e) {
            QCOMPARE(e.code(), code);
            QCOMPARE(QString::fromUtf8(e.what()), message);
        }
    }

    void brokenPreconditions_data()
    {
        QTest::addColumn<Action>("action");
        static const Bytes key16(16, 1);
        static const Bytes iv(16, 2);

        QTest::newRow("deciphering nothing") << Action([] {
            CipherState s;
            decryptInit(s, CipherId::Aes, CipherMode::Cbc, CipherPadding::ZeroFill, 128,
                        key16.data(), 16);
            Bytes buffer(16);
            decryptBuffer(s, buffer.data(), 0, iv.data(), iv.size());
        });
        QTest::newRow("IV shorter than a block") << Action([] {
            CipherState s;
            encryptInit(s, CipherId::Aes, CipherMode::Cbc, CipherPadding::ZeroFill, 128,
                        key16.data(), 16);
            Bytes in(16), out(16);
            encryptBuffer(s, in.data(), in.size(), out.data(), out.size(), iv.data(), 8);
        });
        QTest::newRow("no IV") << Action([] {
            CipherState s;
            decryptInit(s, CipherId::Aes, CipherMode::Cbc, CipherPadding::ZeroFill, 128,
                        key16.data(), 16);
            Bytes buffer(16);
            decryptBuffer(s, buffer.data(), buffer.size(), nullptr, 16);
        });
        QTest::newRow("state never initialised") << Action([] {
            CipherState s;
            Bytes in(16), out(16);
            encryptBuffer(s, in.data(), in.size(), out.data(), out.size(), iv.data(), iv.size());
        });
        QTest::newRow("state initialised the other way") << Action([] {
            CipherState s;
            encryptInit(s, CipherId::Aes, CipherMode::Cbc, CipherPadding::ZeroFill, 128,
                        key16.data(), 16);
            Bytes buffer(16);
            decryptBuffer(s, buffer.data(), buffer.size(), iv.data(), iv.size());
        });
        QTest::newRow("state used after finalise") << Action([] {
            CipherState s;
            encryptInit(s, CipherId::Aes, CipherMode::Cbc, CipherPadding::ZeroFill, 128,
                        key16.data(), 16);
            encryptFinalise(s);
            Bytes in(16), out(16);
            encryptBuffer(s, in.data(), in.size(), out.data(), out.size(), iv.data(), iv.size());
        });
    }
    void brokenPreconditions()
    {
        QFETCH(Action, action);
        QVERIFY_THROWS_EXCEPTION(ECipherConsistency, action());
    }

    void failedDecryptionLeavesTheBufferAlone()
    {
        const Bytes key(16, 1);
        Bytes buffer(20, 0x77);
        CipherState state;
        decryptInit(state, CipherId::Aes, CipherMode::Cbc, CipherPadding::ZeroFill, 128, key.data(),
                    key.size());
        QVERIFY_THROWS_EXCEPTION(
            ECipher,
            decryptBuffer(state, buffer.data(), buffer.size(), kZeroIv.data(), kZeroIv.size()));
        QCOMPARE(buffer, Bytes(20, 0x77));
    }

    void finaliseWipesTheState()
    {
        const Bytes key(32, 0xC3);
        CipherState state;
        encryptInit(state, CipherId::Aes, CipherMode::Cbc, CipherPadding::ZeroFill, 256, key.data(),
                    key.size());
        QCOMPARE(state.context.nk, 8);
        QCOMPARE(state.context.nr, 14);
        QVERIFY(state.context.library != nullptr);

        encryptFinalise(state);
        const auto *bytes = reinterpret_cast<const unsigned char *>(&state.context);
        QVERIFY(std::all_of(bytes, bytes + sizeof state.context,
                            [](unsigned char b) { return b == 0; }));
        QCOMPARE(state.descriptor, nullptr);
        QCOMPARE(state.direction, CipherDirection::None);
        QCOMPARE(state.keyBits, 0);
    }

    void descriptorTableHoldsAesAlone()
    {
        const TCipherInfo *aes = cipherInfo(CipherId::Aes);
        QVERIFY(aes != nullptr);
        QCOMPARE(QString::fromLatin1(aes->name), QStringLiteral("AES"));
        QCOMPARE(aes->blockSize, std::size_t(16));
        QCOMPARE(aes->smallestKeyBits, 128);
        QCOMPARE(aes->largestKeyBits, 256);
        QCOMPARE(aes->kind, CipherKind::Block);
        QCOMPARE(cipherInfo(CipherId::None), nullptr);
    }
};

QTEST_GUILESS_MAIN(TestCipher)
#include "tst_cipher.moc"
