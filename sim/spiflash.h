// The serial NOR flash behind the bridge: the bytes of each SPI transaction are collected until
// the piece that ends it; write-type commands take effect then. Program needs the write-enable
// latch, only clears bits and wraps inside its page; sector erase sets 4 KiB to 0xFF; block
// protection makes both a no-op; write-in-progress stays set for the part's busy time, and while
// it is set the part answers status reads only. The fault options that belong to the part (lost
// programs, ignored erases, flipped reads, stuck protection, a changing identifier) act here.
#pragma once

#include "sim/backingstore.h"
#include "sim/virtualcameraconfig.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

class SpiFlash
{
public:
    static constexpr uint8_t kWriteInProgress = 0x01;
    static constexpr uint8_t kWriteEnableLatch = 0x02;
    static constexpr uint8_t kBlockProtection = 0x0C;

    explicit SpiFlash(const VirtualCameraConfig &config);

    // Power-up: content from the file, latch clear, nothing in progress.
    void powerUp();

    // Bytes the bridge clocks out to the flash, and bytes it clocks in; end closes the transaction.
    void clockOut(std::span<const uint8_t> bytes, bool end);
    void clockIn(std::span<uint8_t> into, bool end);

    // The part answers another identifier from now on; its memory stays as it is.
    void changeIdentifier(uint32_t jedec) { mJedec = jedec; }

    uint8_t statusRegister() const;
    uint32_t pageSize() const { return mPageSize; }
    const BackingStore &memory() const { return mMemory; }

private:
    using Clock = std::chrono::steady_clock;

    bool busy() const;
    void endTransaction();
    uint8_t answerByte(uint32_t index) const;
    uint32_t commandAddress() const;
    void program();
    void eraseSector();
    void startBusy(std::chrono::microseconds duration);

    BackingStore mMemory;
    uint32_t mJedec;
    uint32_t mPageSize;
    uint8_t mInitialStatus;
    std::chrono::microseconds mEraseTime;
    std::chrono::microseconds mProgramTime;
    bool mNeverReady;
    bool mStuckProtection;
    std::set<uint64_t> mLosePrograms;
    std::set<uint64_t> mIgnoreErases;
    std::set<uint64_t> mFlipReads;

    uint8_t mProtectionBits = 0; // status bits 2-7
    bool mLatch = false;
    bool mStuck = false;
    Clock::time_point mBusyUntil{};
    uint64_t mPrograms = 0;
    uint64_t mErases = 0;
    uint64_t mReads = 0;

    std::vector<uint8_t> mCommand; // bytes clocked out in the open transaction
    bool mIgnored = false;          // its opcode came while a write ran
    bool mFlipped = false;          // a read whose first answer byte comes back with bit 0 flipped
    uint32_t mClockedIn = 0;
};
