// The boot EEPROM on the bridge's I2C bus.
#include "sim/i2ceeprom.h"

I2cEeprom::I2cEeprom(QString path)
    : mMemory(kSize, std::move(path))
{
    powerUp();
}

void I2cEeprom::powerUp()
{
    mMemory.load();
    mAddress = 0;
    mContinuing = false;
}

void I2cEeprom::write(std::span<const uint8_t> bytes, bool hold)
{
    if (!mContinuing) {
        if (bytes.size() < 2) {
            mContinuing = hold && !bytes.empty();
            return;
        }
        mAddress = uint16_t((bytes[0] << 8) | bytes[1]);
        bytes = bytes.subspan(2);
    }
    for (const uint8_t byte : bytes) {
        mMemory.data()[mAddress] = byte;
        mMemory.writeBack(mAddress, 1);
        ++mAddress;
    }
    mContinuing = hold;
}

void I2cEeprom::read(std::span<uint8_t> into)
{
    for (uint8_t &byte : into)
        byte = mMemory.at(mAddress++);
    mContinuing = false;
}
