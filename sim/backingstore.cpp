// The memory of a virtual flash or EEPROM, kept in a file.
#include "sim/backingstore.h"

#include "platform/systemlog.h"

#include <algorithm>

BackingStore::BackingStore(uint32_t size, QString path)
    : mBytes(size, 0xFF)
    , mPath(std::move(path))
{
}

void BackingStore::load()
{
    if (mPath.isEmpty())
        return;
    std::fill(mBytes.begin(), mBytes.end(), 0xFF);
    mFile.close();
    QFile file(mPath);
    if (!file.exists())
        return; // a blank part: the first change creates the file
    if (!file.open(QIODevice::ReadOnly)) {
        reportFailure(file.errorString());
        return;
    }
    const QByteArray content = file.read(qint64(mBytes.size()));
    std::copy(content.begin(), content.end(), mBytes.begin());
}

void BackingStore::writeBack(uint32_t address, uint32_t length)
{
    if (mPath.isEmpty() || length == 0)
        return;
    if (!mFile.isOpen()) {
        mFile.setFileName(mPath);
        // Unbuffered: each write reaches the kernel before the transfer that made it returns.
        if (!mFile.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
            reportFailure(mFile.errorString());
            return;
        }
    }
    // A file shorter than the memory would read back zeros in the gap: fill it whole once.
    if (mFile.size() < qint64(mBytes.size())) {
        address = 0;
        length = uint32_t(mBytes.size());
    }
    if (!mFile.seek(address)
        || mFile.write(reinterpret_cast<const char *>(mBytes.data() + address), length) != qint64(length))
        reportFailure(mFile.errorString());
}

// A test that gives a file it cannot use must hear of it once, not on every byte of an update.
void BackingStore::reportFailure(const QString &reason)
{
    if (mFailureReported)
        return;
    mFailureReported = true;
    systemLog(QStringLiteral("Virtual camera: cannot use the memory file %1: %2").arg(mPath, reason));
}
