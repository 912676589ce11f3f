// The AES codec: capacity, key and IV derivation, options, named failures and the in-place members.
#include "payload/aescodec.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray counting(int length, int start = 0)
{
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i)
        bytes[i] = char(start + i);
    return bytes;
}

// Runs body and returns the failure it raised, or an empty one when it raised nothing.
template <typename Body>
std::pair<std::string, std::string> failureOf(Body body)
{
    try {
        body();
    } catch (const AESException &failure) {
        return {failure.name(), failure.reason()};
    }
    return {};
}

const QByteArray kKey32 = counting(32, 0x40);
const QByteArray kPlain = QByteArrayLiteral("The quick brown fox jumps over the lazy dog");

TEST(AESCodec, OutputIsCutToWhatTheCipherProduced)
{
    struct Row { int input; qsizetype capacity; qsizetype encrypted; };
    for (const Row row : {Row{0, 16, 16}, Row{1, 16, 16}, Row{15, 16, 16}, Row{16, 32, 32},
                          Row{31, 32, 32}, Row{32, 48, 48}, Row{33, 48, 48}}) {
        SCOPED_TRACE(row.input);
        EXPECT_EQ(aesOutputCapacity(row.input), row.capacity);
        const std::optional<QByteArray> encrypted = AESData(counting(row.input)).encrypt(kKey32);
        ASSERT_TRUE(encrypted);
        EXPECT_EQ(encrypted->size(), row.encrypted);
        EXPECT_EQ(AESData(*encrypted).decrypt(kKey32), counting(row.input));
    }
}

TEST(AESCodec, KnownAnswersWithA32ByteKeyAndIVUsedAsGiven)
{
    // NIST SP 800-38A, F.2.5 (CBC) and F.1.5 (ECB), AES-256, first block.
    const QByteArray key = hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const QByteArray iv = hex("000102030405060708090a0b0c0d0e0f");
    const QByteArray plain = hex("6bc1bee22e409f96e93d7e117393172a");

    EXPECT_EQ(AESData(plain).encrypt(key, iv, 0), hex("f58c4c04d6e5f1ba779eabfb5f7bfbd6"));
    EXPECT_EQ(AESData(plain).encrypt(key, kAESOptionECBMode), hex("f3eed1bdb5d2a03c064b5a7e3db181f8"));
    EXPECT_EQ(AESData(hex("f58c4c04d6e5f1ba779eabfb5f7bfbd6")).decrypt(key, iv, 0), plain);
}

TEST(AESCodec, KeysOfAnyOtherLengthAreHashedFirst)
{
    for (const int length : {0, 1, 16, 31, 33, 64}) {
        SCOPED_TRACE(length);
        const QByteArray key = counting(length, 7);
        EXPECT_EQ(AESData(kPlain).encrypt(key), AESData(kPlain).encrypt(aes_sha256(key)));
        EXPECT_NE(AESData(kPlain).encrypt(key), AESData(kPlain).encrypt(counting(32, 7)));
    }
    EXPECT_EQ(aes_sha256(QByteArray()), hex("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
    // A key string is its UTF-8 bytes.
    const QString keyString = QStringLiteral("clé-ключ-鍵");
    EXPECT_EQ(AESData(kPlain).encryptWithString(keyString), AESData(kPlain).encrypt(keyString.toUtf8()));
}

TEST(AESCodec, InitialisationVectors)
{
    const std::optional<QByteArray> none = AESData(kPlain).encrypt(kKey32);
    // No IV is 16 zero bytes; an IV of another length, the empty one too, is its SHA-1 cut to 16.
    EXPECT_EQ(none, AESData(kPlain).encrypt(kKey32, QByteArray(16, '\0')));
    EXPECT_EQ(aes_sha1(QByteArray("abc")), hex("a9993e364706816aba3e25717850c26c"));
    for (const QByteArray &iv : {QByteArray(), QByteArray("12345"), counting(20)}) {
        SCOPED_TRACE(iv.toHex().constData());
        const std::optional<QByteArray> sealed = AESData(kPlain).encrypt(kKey32, iv);
        EXPECT_EQ(sealed, AESData(kPlain).encrypt(kKey32, aes_sha1(iv)));
        EXPECT_NE(sealed, none);
        EXPECT_EQ(AESData(*sealed).decrypt(kKey32, iv), kPlain);
    }
}

TEST(AESCodec, NamedFailures)
{
    const QByteArray sealed = *AESData(kPlain).encrypt(kKey32);
    using Failure = std::pair<std::string, std::string>;
    const Failure alignment{"InputAlignmentException", "Input size was not aligned properly. "};
    struct Row { const char *what; std::function<void()> body; Failure failure; };
    const Row rows[] = {
        {"options 0, 17 bytes", [] { AESData(counting(17)).encrypt(kKey32, 0); }, alignment},
        {"ECB, 17 bytes", [] { AESData(counting(17)).encrypt(kKey32, kAESOptionECBMode); }, alignment},
        // A ciphertext cut short is not whole blocks either, padding or not.
        {"ciphertext cut short", [&] { AESData(sealed.chopped(1)).decrypt(kKey32); }, alignment},
        // An empty ciphertext has no padding block to check.
        {"empty ciphertext", [] { AESData(QByteArray()).decrypt(kKey32); },
         {"DecryptionException.", "Input data did not decode or decrypt properly."}},
        {"unknown option bit", [] { AESData(kPlain).encrypt(kKey32, 4u | kAESOptionPKCS7Padding); },
         {"IllegalParameterValueException", "Illegal parameter value."}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(failureOf(row.body), row.failure);
    }
    // Whole blocks need no padding, an empty input neither.
    EXPECT_EQ(AESData(counting(16)).encrypt(kKey32, 0)->size(), 16);
    EXPECT_EQ(AESData(QByteArray()).encrypt(kKey32, 0), QByteArray());
}

TEST(AESCodec, WrongKeyFailsThePaddingCheckOrYieldsGarbage)
{
    const QByteArray sealed = *AESData(kPlain).encryptWithString(QStringLiteral("right key"));
    int raised = 0;
    for (int i = 0; i < 200; ++i) {
        std::optional<QByteArray> opened;
        const auto failure = failureOf([&] { opened = AESData(sealed).decryptWithString(QStringLiteral("wrong key %1").arg(i)); });
        if (!failure.first.empty()) {
            EXPECT_EQ(failure.first, "DecryptionException.");
            ++raised;
        } else {
            EXPECT_NE(opened.value_or(kPlain), kPlain);
        }
    }
    EXPECT_GT(raised, 150);
}

TEST(AESCodec, ValueMembersSwapReceiverAndArgument)
{
    const QByteArray key = QByteArrayLiteral("a key of no particular length");
    EXPECT_EQ(AESData(key).encryptValue(kPlain), AESData(kPlain).encryptWithKey(key));
    EXPECT_EQ(AESData(key).encryptValue(counting(32), 0), AESData(counting(32)).encryptWithKey(key, 0));
    const QByteArray sealed = *AESData(kPlain).encryptWithKey(key);
    EXPECT_EQ(AESData(key).decryptValue(sealed), kPlain);
    EXPECT_EQ(AESData(sealed).decryptWithKey(key, kAESDefaultOptions), kPlain);
    EXPECT_EQ(AESData(sealed).decryptWithString(QString::fromLatin1(key)), kPlain);
}

TEST(AESCodec, InPlaceMembersReplaceTheContentAndReturnTheKey)
{
    AESMutableData data(kPlain);
    EXPECT_EQ(data.encryptInPlace(kKey32), kKey32);
    EXPECT_EQ(data.bytes(), AESData(kPlain).encrypt(kKey32));
    const QByteArray sealed = data.bytes();

    const auto failure = failureOf([&] { data.decryptInPlace(QByteArrayLiteral("wrong key 0")); });
    EXPECT_EQ(failure.first, "DecryptionException.");
    EXPECT_EQ(data.bytes(), sealed);

    EXPECT_EQ(data.decryptInPlace(kKey32), kKey32);
    EXPECT_EQ(data.bytes(), kPlain);
}

} // namespace
