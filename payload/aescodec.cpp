// The AES data codec on OpenSSL libcrypto: one cipher run per call over the whole buffer, with the
// library's failures mapped onto the cipher statuses the callers know.
#include "payload/aescodec.h"

#include "platform/memoryadvice.h"

#include <openssl/evp.h>

#include <climits>
#include <memory>

namespace {

struct AESFailure
{
    AESStatus status;
    const char *name;
    const char *reason;
};

// The named failures, spelled as callers and logs have always seen them.
constexpr AESFailure kAESFailures[] = {
    {AESStatus::ParamError, "IllegalParameterValueException", "Illegal parameter value."},
    {AESStatus::BufferTooSmall, "InsufficentBufferException", "Insufficent buffer provided for specified operation."},
    {AESStatus::MemoryFailure, "MemoryAllocationFailure.", "Memory allocation failure."},
    {AESStatus::AlignmentError, "InputAlignmentException", "Input size was not aligned properly. "},
    {AESStatus::DecodeError, "DecryptionException.", "Input data did not decode or decrypt properly."},
    {AESStatus::Unimplemented, "FunctionNotImplementedException", "Function not implemented for the current algorithm."},
};

constexpr uint32_t kKnownOptions = kAESOptionPKCS7Padding | kAESOptionECBMode;
// The capacity rule works on a 32-bit length and OpenSSL counts in int: keep well inside both.
constexpr qsizetype kMaxInputLength = INT_MAX - 2 * kAESBlockSize;

struct CipherContextDeleter
{
    void operator()(EVP_CIPHER_CTX *context) const { EVP_CIPHER_CTX_free(context); }
};

const unsigned char *bytesOf(const QByteArray &data)
{
    return reinterpret_cast<const unsigned char *>(data.constData());
}

// Runs the cipher once over the whole input into output (capacity bytes available).
AESStatus runCipher(const QByteArray &key, const QByteArray &iv, const QByteArray &input,
                    AESOperation operation, uint32_t options, QByteArray &output, qsizetype &produced)
{
    produced = 0;
    if ((options & ~kKnownOptions) != 0 || key.size() != kAESKeySize || iv.size() != kAESBlockSize
        || input.size() > kMaxInputLength)
        return AESStatus::ParamError;

    const bool padding = (options & kAESOptionPKCS7Padding) != 0;
    const bool decrypting = operation == AESOperation::Decrypt;
    // Without padding every input must be whole blocks; so must any ciphertext.
    if ((!padding || decrypting) && input.size() % kAESBlockSize != 0)
        return AESStatus::AlignmentError;
    const qsizetype needed = padding && !decrypting
        ? (input.size() / kAESBlockSize + 1) * kAESBlockSize
        : input.size() + (decrypting && padding ? kAESBlockSize : 0);
    if (needed > output.size())
        return AESStatus::BufferTooSmall;

    const std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter> context(EVP_CIPHER_CTX_new());
    if (!context)
        return AESStatus::MemoryFailure;
    const bool ecb = (options & kAESOptionECBMode) != 0;
    if (EVP_CipherInit_ex(context.get(), ecb ? EVP_aes_256_ecb() : EVP_aes_256_cbc(), nullptr,
                          bytesOf(key), ecb ? nullptr : bytesOf(iv), decrypting ? 0 : 1) != 1
        || EVP_CIPHER_CTX_set_padding(context.get(), padding ? 1 : 0) != 1)
        return AESStatus::OtherFailure;

    auto *out = reinterpret_cast<unsigned char *>(output.data());
    int updated = 0;
    if (EVP_CipherUpdate(context.get(), out, &updated, bytesOf(input), static_cast<int>(input.size())) != 1)
        return AESStatus::OtherFailure;
    int finished = 0;
    if (EVP_CipherFinal_ex(context.get(), out + updated, &finished) != 1) {
        // The only way a whole-block decryption fails at the end is padding that does not check out.
        return decrypting ? AESStatus::DecodeError : AESStatus::OtherFailure;
    }
    produced = qsizetype(updated) + finished;
    return AESStatus::Success;
}

QByteArray digest(const QByteArray &bytes, const EVP_MD *type, const char *failureName)
{
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!type || EVP_Digest(bytes.constData(), static_cast<size_t>(bytes.size()), value, &length, type, nullptr) != 1)
        throw AESException(failureName, "Unknown");
    return QByteArray(reinterpret_cast<const char *>(value), static_cast<qsizetype>(length));
}

} // namespace

AESException::AESException(std::string name, std::string reason)
    : mName(std::move(name))
    , mReason(std::move(reason))
{
}

qsizetype aesOutputCapacity(qsizetype inputLength)
{
    return inputLength / kAESBlockSize * kAESBlockSize + kAESBlockSize;
}

QByteArray aes_sha256(const QByteArray &bytes)
{
    return digest(bytes, EVP_sha256(), "SHA256Exception");
}

QByteArray aes_sha1(const QByteArray &bytes)
{
    return digest(bytes, EVP_sha1(), "SHA1Exception").first(kAESBlockSize);
}

std::optional<QByteArray> aes_crypt(const QByteArray &key, const QByteArray &input,
                                    const std::optional<QByteArray> &iv, AESOperation operation,
                                    uint32_t options)
{
    const QByteArray cipherKey = key.size() == kAESKeySize ? key : aes_sha256(key);
    const QByteArray cipherIV = !iv ? QByteArray(kAESBlockSize, '\0')
                                    : iv->size() == kAESBlockSize ? *iv : aes_sha1(*iv);

    // Only the bytes the cipher produces are kept, so the buffer need not be cleared first.
    QByteArray output(aesOutputCapacity(input.size()), Qt::Uninitialized);
    // A catalogue decrypts into fresh memory from end to end: in huge pages that costs a few page
    // faults instead of one every 4 KiB, which is most of a large catalogue's opening time.
    adviseHugePages(output.data(), size_t(output.size()));
    qsizetype produced = 0;
    const AESStatus status = runCipher(cipherKey, cipherIV, input, operation, options, output, produced);
    if (status == AESStatus::Success) {
        output.truncate(produced);
        return output;
    }
    for (const AESFailure &failure : kAESFailures) {
        if (failure.status == status)
            throw AESException(failure.name, failure.reason);
    }
    return std::nullopt;
}

std::optional<QByteArray> AESData::encrypt(const QByteArray &key) const
{
    return encrypt(key, std::optional<QByteArray>());
}

std::optional<QByteArray> AESData::encryptWithString(const QString &keyString) const
{
    return encrypt(keyString.toUtf8(), std::optional<QByteArray>());
}

std::optional<QByteArray> AESData::encrypt(const QByteArray &key, const std::optional<QByteArray> &iv) const
{
    return encrypt(key, iv, kAESDefaultOptions);
}

std::optional<QByteArray> AESData::encrypt(const QByteArray &key, uint32_t options) const
{
    return encrypt(key, std::nullopt, options);
}

std::optional<QByteArray> AESData::encrypt(const QByteArray &key, const std::optional<QByteArray> &iv,
                                           uint32_t options) const
{
    return aes_crypt(key, mBytes, iv, AESOperation::Encrypt, options);
}

std::optional<QByteArray> AESData::decrypt(const QByteArray &key) const
{
    return decrypt(key, std::optional<QByteArray>());
}

std::optional<QByteArray> AESData::decryptWithString(const QString &keyString) const
{
    return decrypt(keyString.toUtf8(), std::optional<QByteArray>());
}

std::optional<QByteArray> AESData::decrypt(const QByteArray &key, const std::optional<QByteArray> &iv) const
{
    return decrypt(key, iv, kAESDefaultOptions);
}

std::optional<QByteArray> AESData::decrypt(const QByteArray &key, uint32_t options) const
{
    return decrypt(key, std::nullopt, options);
}

std::optional<QByteArray> AESData::decrypt(const QByteArray &key, const std::optional<QByteArray> &iv,
                                           uint32_t options) const
{
    return aes_crypt(key, mBytes, iv, AESOperation::Decrypt, options);
}

std::optional<QByteArray> AESData::encryptWithKey(const QByteArray &key, uint32_t options) const
{
    return encrypt(key, options);
}

std::optional<QByteArray> AESData::decryptWithKey(const QByteArray &key, uint32_t options) const
{
    return decrypt(key, options);
}

std::optional<QByteArray> AESData::encryptValue(const QByteArray &value, uint32_t options) const
{
    return AESData(value).encrypt(mBytes, options);
}

std::optional<QByteArray> AESData::decryptValue(const QByteArray &value, uint32_t options) const
{
    return AESData(value).decrypt(mBytes, options);
}

QByteArray AESMutableData::encryptInPlace(const QByteArray &key, uint32_t options)
{
    return cryptInPlace(key, AESOperation::Encrypt, options);
}

QByteArray AESMutableData::decryptInPlace(const QByteArray &key, uint32_t options)
{
    return cryptInPlace(key, AESOperation::Decrypt, options);
}

QByteArray AESMutableData::cryptInPlace(const QByteArray &key, AESOperation operation, uint32_t options)
{
    // A raised failure leaves before the content is touched.
    std::optional<QByteArray> result = aes_crypt(key, mBytes, std::nullopt, operation, options);
    mBytes = result ? std::move(*result) : QByteArray();
    return key;
}
