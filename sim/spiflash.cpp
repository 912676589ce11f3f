// The serial NOR flash behind the bridge.
#include "sim/spiflash.h"

#include <algorithm>
#include <array>

namespace {

// Parts whose page is not the common 256 bytes.
struct PageRow
{
    uint32_t jedec;
    uint32_t pageSize;
};
constexpr std::array<PageRow, 1> kSmallPages{{{0xC22210, 32}}};

uint32_t pageSizeOf(uint32_t jedec)
{
    for (const PageRow &row : kSmallPages) {
        if (row.jedec == jedec)
            return row.pageSize;
    }
    return 256;
}

// The model keeps its own copy of the command set, so that a wrong opcode in the driver is not
// mirrored by the camera it is tested against.
constexpr uint8_t kWriteStatus = 0x01;
constexpr uint8_t kPageProgram = 0x02;
constexpr uint8_t kReadData = 0x03;
constexpr uint8_t kWriteDisable = 0x04;
constexpr uint8_t kReadStatus = 0x05;
constexpr uint8_t kWriteEnable = 0x06;
constexpr uint8_t kSectorErase = 0x20;
constexpr uint8_t kReadJedec = 0x9F;
constexpr uint32_t kSectorSize = 4096;

} // namespace

SpiFlash::SpiFlash(const VirtualCameraConfig &config)
    : mMemory(config.flashSize, config.flash)
    , mJedec(config.jedec)
    , mPageSize(pageSizeOf(config.jedec))
    , mInitialStatus(config.status)
    , mEraseTime(std::chrono::milliseconds(config.eraseMs))
    , mProgramTime(config.programUs)
    , mNeverReady(config.neverReady)
    , mStuckProtection(config.stuckProtection)
    , mLosePrograms(config.losePrograms)
    , mIgnoreErases(config.ignoreErases)
    , mFlipReads(config.flipReads)
{
    // The protection bits are non-volatile, like the memory: they start as described and then
    // keep what was written to them across unplugging.
    mProtectionBits = mInitialStatus & 0xFC;
    powerUp();
}

void SpiFlash::powerUp()
{
    mMemory.load();
    mLatch = false;
    mStuck = false;
    mBusyUntil = {};
    mCommand.clear();
    mIgnored = false;
    mFlipped = false;
    mClockedIn = 0;
}

bool SpiFlash::busy() const
{
    return mStuck || Clock::now() < mBusyUntil;
}

uint8_t SpiFlash::statusRegister() const
{
    return uint8_t(mProtectionBits | (mLatch ? kWriteEnableLatch : 0) | (busy() ? kWriteInProgress : 0));
}

void SpiFlash::clockOut(std::span<const uint8_t> bytes, bool end)
{
    // The part decodes the opcode as it arrives: while a write runs, it takes status reads only.
    if (mCommand.empty() && !bytes.empty()) {
        mIgnored = bytes[0] != kReadStatus && busy();
        mFlipped = bytes[0] == kReadData && mFlipReads.count(++mReads);
    }
    mCommand.insert(mCommand.end(), bytes.begin(), bytes.end());
    if (end)
        endTransaction();
}

void SpiFlash::clockIn(std::span<uint8_t> into, bool end)
{
    for (uint8_t &byte : into) {
        byte = answerByte(mClockedIn);
        if (mFlipped && mClockedIn == 0)
            byte ^= 0x01;
        ++mClockedIn;
    }
    if (end)
        endTransaction();
}

uint32_t SpiFlash::commandAddress() const
{
    return (uint32_t(mCommand[1]) << 16) | (uint32_t(mCommand[2]) << 8) | mCommand[3];
}

uint8_t SpiFlash::answerByte(uint32_t index) const
{
    if (mCommand.empty() || mIgnored)
        return 0xFF; // nothing drives the data line
    switch (mCommand[0]) {
    case kReadStatus:
        return statusRegister();
    case kReadJedec:
        return index < 3 ? uint8_t(mJedec >> (16 - 8 * index)) : 0xFF;
    case kReadData:
        return mCommand.size() >= 4 ? mMemory.at(commandAddress() + index) : 0xFF;
    default:
        return 0xFF;
    }
}

void SpiFlash::endTransaction()
{
    mClockedIn = 0;
    if (mCommand.empty())
        return;
    const uint8_t opcode = mCommand[0];
    // A write-type command acts as its transaction ends, and only if the part is idle then.
    if (!mIgnored && !busy()) {
        switch (opcode) {
        case kWriteEnable:
            mLatch = true;
            break;
        case kWriteDisable:
            mLatch = false;
            break;
        case kWriteStatus:
            if (mLatch && mCommand.size() >= 2) {
                // Stuck protection bits stay set whatever is written; the others follow the write.
                const uint8_t stuck = mStuckProtection ? mProtectionBits & kBlockProtection : 0;
                mProtectionBits = (mCommand[1] & 0xFC) | stuck;
                mLatch = false;
                mStuck = mNeverReady;
            }
            break;
        case kSectorErase:
            if (mLatch && mCommand.size() >= 4) {
                mLatch = false;
                eraseSector();
            }
            break;
        case kPageProgram:
            if (mLatch && mCommand.size() >= 4) {
                mLatch = false;
                program();
            }
            break;
        default:
            break;
        }
    }
    mCommand.clear();
    mIgnored = false;
    mFlipped = false;
}

void SpiFlash::startBusy(std::chrono::microseconds duration)
{
    mBusyUntil = Clock::now() + duration;
    mStuck = mNeverReady;
}

void SpiFlash::eraseSector()
{
    if (mProtectionBits & kBlockProtection)
        return;
    startBusy(mEraseTime);
    if (mIgnoreErases.count(++mErases))
        return; // acknowledged, never carried out
    const uint32_t start = (commandAddress() % mMemory.size()) & ~(kSectorSize - 1);
    const uint32_t length = std::min(kSectorSize, mMemory.size() - start);
    std::fill_n(mMemory.data() + start, length, 0xFF);
    mMemory.writeBack(start, length);
}

void SpiFlash::program()
{
    if (mProtectionBits & kBlockProtection)
        return;
    const uint64_t number = ++mPrograms;
    startBusy(mProgramTime);
    if (mLosePrograms.count(number))
        return; // acknowledged, never stored

    // Data past the end of the page wraps to its start; as on the part, the later byte wins.
    const uint32_t address = commandAddress() % mMemory.size();
    const uint32_t page = address - address % mPageSize;
    std::vector<int> latch(mPageSize, -1);
    for (size_t i = 4; i < mCommand.size(); ++i)
        latch[(address - page + (i - 4)) % mPageSize] = mCommand[i];
    const uint32_t length = std::min(mPageSize, mMemory.size() - page);
    bool changed = false;
    for (uint32_t offset = 0; offset < length; ++offset) {
        if (latch[offset] < 0)
            continue;
        uint8_t &cell = mMemory.data()[page + offset];
        const uint8_t programmed = cell & uint8_t(latch[offset]);
        changed |= programmed != cell;
        cell = programmed;
    }
    if (changed)
        mMemory.writeBack(page, length);
}
