// The memory of a virtual flash or EEPROM, kept in a file.
#include "sim/backingstore.h"

#include <algorithm>

BackingStore::BackingStore(uint32_t size, QString path)
    : mBytes(size, 0xFF)
    , mPath(std::move(path))
{
}

void BackingStore::load()
{
    std::fill(mBytes.begin(), mBytes.end(), 0xFF);
    mFile.close();
    if (mPath.isEmpty())
        return;
    QFile file(mPath);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray content = file.read(qint64(mBytes.size()));
        std::copy(content.begin(), content.end(), mBytes.begin());
    }
}

void BackingStore::writeBack(uint32_t address, uint32_t length)
{
    if (mPath.isEmpty() || length == 0)
        return;
    if (!mFile.isOpen()) {
        mFile.setFileName(mPath);
        // Unbuffered: each write reaches the kernel before the transfer that made it returns.
        if (!mFile.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
            return;
    }
    // A file shorter than the memory would read back zeros in the gap: fill it whole once.
    if (mFile.size() < qint64(mBytes.size())) {
        address = 0;
        length = uint32_t(mBytes.size());
    }
    if (mFile.seek(address))
        mFile.write(reinterpret_cast<const char *>(mBytes.data() + address), length);
}
