// The encrypted firmware catalogue. A wrong key passes the padding check about once in 256 tries
// and yields garbage, so the unarchive and the consistency checks are what really reject it.
#include "payload/encryptedcatalogue.h"

#include "payload/aescodec.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace EncryptedCatalogue {
namespace {

constexpr char kPassPhrase[] = "quillomar_51903748";
// The codec handles buffers well below 2 GiB; a larger file is no catalogue of ours.
constexpr qint64 kMaxFileSize = qint64(1) << 30;

std::optional<Contents> openChecked(const QStringList &paths, Failure *failure)
{
    auto failed = [failure](qsizetype file, const QStringList &names, QString reason) {
        if (failure)
            *failure = {names.value(file), std::move(reason)};
        return std::nullopt;
    };
    if (paths.size() != 3)
        return failed(0, paths, QStringLiteral("the catalogue needs exactly three files, found %1").arg(paths.size()));

    std::array<QList<ArchiveValue>, 3> arrays;
    for (qsizetype i = 0; i < 3; ++i) {
        QString reason;
        std::optional<QList<ArchiveValue>> values = openPath(paths[i], &reason);
        if (!values)
            return failed(i, paths, reason);
        arrays[size_t(i)] = std::move(*values);
    }

    Contents contents;
    QString reason;
    std::optional<QList<QByteArray>> images = KeyedArchive::dataElements(std::move(arrays[0]), &reason);
    if (!images)
        return failed(0, paths, QStringLiteral("the image array is not all data: %1").arg(reason));
    std::optional<QStringList> names = KeyedArchive::stringElements(std::move(arrays[1]), &reason);
    if (!names)
        return failed(1, paths, QStringLiteral("the name array is not all strings: %1").arg(reason));
    std::optional<QList<quint64>> lengths = KeyedArchive::numberElements(arrays[2], &reason);
    if (!lengths)
        return failed(2, paths, QStringLiteral("the length array is not all unsigned integers: %1").arg(reason));

    if (names->size() != images->size())
        return failed(1, paths, QStringLiteral("holds %1 names for %2 images").arg(names->size()).arg(images->size()));
    if (lengths->size() != images->size())
        return failed(2, paths, QStringLiteral("holds %1 lengths for %2 images").arg(lengths->size()).arg(images->size()));
    for (qsizetype i = 0; i < images->size(); ++i) {
        if (quint64(images->at(i).size()) != lengths->at(i)) {
            return failed(2, paths, QStringLiteral("image %1 (%2) is %3 bytes long, but its length says %4")
                                        .arg(i)
                                        .arg(names->at(i))
                                        .arg(images->at(i).size())
                                        .arg(lengths->at(i)));
        }
    }
    contents.images = std::move(*images);
    contents.names = std::move(*names);
    contents.lengths = std::move(*lengths);
    return contents;
}

} // namespace

QString keyString()
{
    return QString::fromLatin1(QByteArray(kPassPhrase).toBase64());
}

std::optional<QList<ArchiveValue>> openFile(const QByteArray &encrypted, QString *reason)
{
    std::optional<QByteArray> plain;
    try {
        plain = AESData(encrypted).decryptWithString(keyString());
    } catch (const AESException &failure) {
        *reason = QStringLiteral("%1 %2").arg(QString::fromStdString(failure.name()),
                                              QString::fromStdString(failure.reason()));
        return std::nullopt;
    }
    if (!plain) {
        *reason = QStringLiteral("the cipher failed");
        return std::nullopt;
    }
    // Handed over whole: the images stay slices of the one decrypted buffer.
    return KeyedArchive::readRootArray(std::move(*plain), reason);
}

std::optional<QList<ArchiveValue>> openPath(const QString &path, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = QStringLiteral("cannot read: %1").arg(file.errorString());
        return std::nullopt;
    }
    if (file.size() > kMaxFileSize) {
        *reason = QStringLiteral("file too large (%1 bytes)").arg(file.size());
        return std::nullopt;
    }
    // The mapping spares a copy of the whole file; the cipher reads it once.
    if (file.size() > 0) {
        if (const uchar *mapped = file.map(0, file.size()))
            return openFile(QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), file.size()), reason);
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *reason = QStringLiteral("cannot read: %1").arg(file.errorString());
        return std::nullopt;
    }
    return openFile(bytes, reason);
}

QByteArray sealFile(const QList<ArchiveValue> &values)
{
    // Encryption with a valid key and the default options always produces a result.
    const std::optional<QByteArray> archive = KeyedArchive::writeRootArray(values);
    return archive ? AESData(*archive).encryptWithString(keyString()).value_or(QByteArray()) : QByteArray();
}

std::optional<Contents> open(const QStringList &paths, Failure *failure)
{
    // A damaged catalogue must never take the launch down with it.
    try {
        return openChecked(paths, failure);
    } catch (const std::exception &error) {
        if (failure)
            *failure = {paths.value(0), QString::fromLocal8Bit(error.what())};
    } catch (...) {
        if (failure)
            *failure = {paths.value(0), QStringLiteral("unexpected failure")};
    }
    return std::nullopt;
}

bool write(const QString &folder, const Contents &contents, QString *error)
{
    const std::array<QList<ArchiveValue>, 3> arrays = {
        KeyedArchive::values(contents.images),
        KeyedArchive::values(contents.names),
        KeyedArchive::values(contents.lengths),
    };
    for (size_t i = 0; i < arrays.size(); ++i) {
        const QByteArray sealed = sealFile(arrays[i]);
        QSaveFile file(QDir(folder).filePath(QString::fromLatin1(kFileNames[i])));
        if (sealed.isEmpty()) {
            if (error)
                *error = QStringLiteral("cannot archive the file names: one holds a NUL character");
            return false;
        }
        if (!file.open(QIODevice::WriteOnly) || file.write(sealed) != sealed.size() || !file.commit()) {
            if (error)
                *error = QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString());
            return false;
        }
    }
    return true;
}

} // namespace EncryptedCatalogue
