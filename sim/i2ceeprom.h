// The boot EEPROM on the bridge's I2C bus (address 0xA0), 64 KiB: a write sets the 16-bit address
// from its first two bytes (high first) and stores the rest; a write held open for more continues
// where it left off, or sets the address for the read that follows.
#pragma once

#include "sim/backingstore.h"

#include <cstdint>
#include <span>

class I2cEeprom
{
public:
    static constexpr uint8_t kAddress = 0xA0;
    static constexpr uint32_t kSize = 0x10000;

    explicit I2cEeprom(QString path);

    void powerUp();
    void write(std::span<const uint8_t> bytes, bool hold);
    void read(std::span<uint8_t> into);
    // A stop condition: the next write starts with an address again.
    void stop() { mContinuing = false; }

    const BackingStore &memory() const { return mMemory; }

private:
    BackingStore mMemory;
    uint16_t mAddress = 0;
    bool mContinuing = false;
};
