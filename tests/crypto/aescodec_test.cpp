// The AES codec: known answers, key and IV derivation, named failures and the swapped and
// in-place members.
#include "payload/aescodec.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

QByteArray counting(int length, int start = 0)
{
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i)
        bytes[i] = char(start + i);
    return bytes;
}

// The failure body raised, or an empty one.
std::pair<std::string, std::string> failureOf(const std::function<void()> &body)
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

TEST(AESCodec, KnownAnswersAndPaddedRoundTrips)
{
    // NIST SP 800-38A, F.2.5 (CBC) and F.1.5 (ECB), AES-256, first block; IV used as given.
    const QByteArray key = hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const QByteArray iv = hex("000102030405060708090a0b0c0d0e0f"), plain = hex("6bc1bee22e409f96e93d7e117393172a");
    EXPECT_EQ(AESData(plain).encrypt(key, iv, 0), hex("f58c4c04d6e5f1ba779eabfb5f7bfbd6"));
    EXPECT_EQ(AESData(plain).encrypt(key, kAESOptionECBMode), hex("f3eed1bdb5d2a03c064b5a7e3db181f8"));
    EXPECT_EQ(AESData(hex("f58c4c04d6e5f1ba779eabfb5f7bfbd6")).decrypt(key, iv, 0), plain);
    EXPECT_EQ(aes_sha256(QByteArray()), hex("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
    EXPECT_EQ(aes_sha1(QByteArray("abc")), hex("a9993e364706816aba3e25717850c26c"));

    // Padding always adds up to a whole block, a whole block of its own after whole blocks.
    for (const int length : {0, 1, 15, 16, 31, 32, 33}) {
        const QByteArray sealed = AESData(counting(length)).encrypt(kKey32).value_or(QByteArray());
        EXPECT_TRUE(sealed.size() == (length / 16 + 1) * 16 && AESData(sealed).decrypt(kKey32) == counting(length)) << length;
    }
}

TEST(AESCodec, KeysOfOtherLengthsAndIVsOfOtherLengthsAreHashed)
{
    for (const int length : {0, 1, 16, 31, 33, 64})
        EXPECT_EQ(AESData(kPlain).encrypt(counting(length, 7)), AESData(kPlain).encrypt(aes_sha256(counting(length, 7))))
            << length;
    // A key string is its UTF-8 bytes.
    const QString keyString = QStringLiteral("clé-ключ-鍵");
    EXPECT_EQ(AESData(kPlain).encryptWithString(keyString), AESData(kPlain).encrypt(keyString.toUtf8()));
    // No IV is 16 zero bytes; an IV of another length, the empty one too, is its SHA-1 cut to 16.
    const std::optional<QByteArray> none = AESData(kPlain).encrypt(kKey32);
    EXPECT_EQ(none, AESData(kPlain).encrypt(kKey32, QByteArray(16, '\0')));
    for (const QByteArray &iv : {QByteArray(), QByteArray("12345"), counting(20)}) {
        const std::optional<QByteArray> sealed = AESData(kPlain).encrypt(kKey32, iv);
        EXPECT_TRUE(sealed == AESData(kPlain).encrypt(kKey32, aes_sha1(iv)) && sealed != none);
        EXPECT_EQ(AESData(*sealed).decrypt(kKey32, iv), kPlain);
    }
}

TEST(AESCodec, NamedFailures)
{
    // Decryption's failures reach the log through the catalogue: its table of damaged files.
    using Failure = std::pair<std::string, std::string>;
    const Failure alignment{"InputAlignmentException", "Input size was not aligned properly. "};
    const std::pair<std::function<void()>, Failure> rows[] = {
        {[] { AESData(counting(17)).encrypt(kKey32, 0); }, alignment},
        {[] { AESData(counting(17)).encrypt(kKey32, kAESOptionECBMode); }, alignment},
        {[] { AESData(kPlain).encrypt(kKey32, 4u | kAESOptionPKCS7Padding); },
         {"IllegalParameterValueException", "Illegal parameter value."}},
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(failureOf(rows[i].first), rows[i].second) << "row " << i;
    EXPECT_EQ(AESData(QByteArray()).encrypt(kKey32, 0), QByteArray());
}

TEST(AESCodec, ValueMembersSwapReceiverAndInPlaceMembersReplaceTheContent)
{
    const QByteArray key = QByteArrayLiteral("a key of no particular length");
    const QByteArray sealed = *AESData(kPlain).encryptWithKey(key);
    EXPECT_TRUE(AESData(key).encryptValue(kPlain) == sealed && AESData(key).decryptValue(sealed) == kPlain);
    AESMutableData data(kPlain);
    EXPECT_TRUE(data.encryptInPlace(key) == key && data.bytes() == sealed);
    // A raised failure leaves the content as it was.
    EXPECT_FALSE(failureOf([&] { data.decryptInPlace(kKey32); }).first.empty());
    EXPECT_TRUE(data.bytes() == sealed && data.decryptInPlace(key) == key && data.bytes() == kPlain);
}

} // namespace
