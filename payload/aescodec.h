// The AES data codec: AES-256 over whole byte buffers (CBC or ECB, optional PKCS#7 padding) with
// the key and IV derivation the encrypted firmware catalogue was made with.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

// A codec failure: a fixed name and reason, as the cipher's status tells them.
class AESException : public std::exception
{
public:
    AESException(std::string name, std::string reason);

    const std::string &name() const { return mName; }
    const std::string &reason() const { return mReason; }
    const char *what() const noexcept override { return mReason.c_str(); }

private:
    std::string mName;
    std::string mReason;
};

// Cipher statuses, numbered as the CommonCrypto cipher call numbers them.
enum class AESStatus : int32_t {
    Success = 0,
    ParamError = -4300,
    BufferTooSmall = -4301,
    MemoryFailure = -4302,
    AlignmentError = -4303,
    DecodeError = -4304,
    Unimplemented = -4305,
    // A library failure with none of the meanings above: no result and no exception.
    OtherFailure = -1,
};

// Option bits handed to the cipher.
inline constexpr uint32_t kAESOptionPKCS7Padding = 1;
inline constexpr uint32_t kAESOptionECBMode = 2;
inline constexpr uint32_t kAESDefaultOptions = kAESOptionPKCS7Padding;

inline constexpr int kAESKeySize = 32;
inline constexpr int kAESBlockSize = 16;

enum class AESOperation { Encrypt, Decrypt };

// The core routine: derives the key (anything but 32 bytes is replaced by its SHA-256) and the IV
// (none: zeros; 16 bytes: as given; anything else: the first 16 bytes of its SHA-1), runs the
// cipher once over the whole input and returns what it produced. Raises AESException for the six
// named statuses; another library failure yields no result.
std::optional<QByteArray> aes_crypt(const QByteArray &key, const QByteArray &input,
                                    const std::optional<QByteArray> &iv, AESOperation operation,
                                    uint32_t options);
// The output capacity for an input of the given length: rounded down to the block, plus a block.
qsizetype aesOutputCapacity(qsizetype inputLength);
// SHA-256 of the bytes; raises "SHA256Exception" when the digest cannot be computed.
QByteArray aes_sha256(const QByteArray &bytes);
// The first 16 bytes of the SHA-1 of the bytes; raises "SHA1Exception" likewise.
QByteArray aes_sha1(const QByteArray &bytes);

// A byte buffer with the codec's members; the receiver is the buffer held. Every member returns
// a new buffer, or none when the library failed without a named status.
class AESData
{
public:
    AESData() = default;
    explicit AESData(QByteArray bytes) : mBytes(std::move(bytes)) {}

    const QByteArray &bytes() const { return mBytes; }

    std::optional<QByteArray> encrypt(const QByteArray &key) const;
    std::optional<QByteArray> encryptWithString(const QString &keyString) const;
    std::optional<QByteArray> encrypt(const QByteArray &key, const std::optional<QByteArray> &iv) const;
    std::optional<QByteArray> encrypt(const QByteArray &key, uint32_t options) const;
    std::optional<QByteArray> encrypt(const QByteArray &key, const std::optional<QByteArray> &iv,
                                      uint32_t options) const;

    std::optional<QByteArray> decrypt(const QByteArray &key) const;
    std::optional<QByteArray> decryptWithString(const QString &keyString) const;
    std::optional<QByteArray> decrypt(const QByteArray &key, const std::optional<QByteArray> &iv) const;
    std::optional<QByteArray> decrypt(const QByteArray &key, uint32_t options) const;
    std::optional<QByteArray> decrypt(const QByteArray &key, const std::optional<QByteArray> &iv,
                                      uint32_t options) const;

    std::optional<QByteArray> encryptWithKey(const QByteArray &key, uint32_t options = kAESDefaultOptions) const;
    std::optional<QByteArray> decryptWithKey(const QByteArray &key, uint32_t options = kAESDefaultOptions) const;

    // The receiver is the key, the argument the data.
    std::optional<QByteArray> encryptValue(const QByteArray &value, uint32_t options = kAESDefaultOptions) const;
    std::optional<QByteArray> decryptValue(const QByteArray &value, uint32_t options = kAESDefaultOptions) const;

protected:
    QByteArray mBytes;
};

// A byte buffer whose content the in-place members replace with their result (with nothing when
// the library failed without a named status). A raised failure leaves the content as it was.
class AESMutableData : public AESData
{
public:
    using AESData::AESData;
    using AESData::bytes;

    QByteArray &bytes() { return mBytes; }

    // Each returns its key argument.
    QByteArray encryptInPlace(const QByteArray &key, uint32_t options = kAESDefaultOptions);
    QByteArray decryptInPlace(const QByteArray &key, uint32_t options = kAESDefaultOptions);

private:
    QByteArray cryptInPlace(const QByteArray &key, AESOperation operation, uint32_t options);
};
