// The serial flash behind the bridge chip. Each SPI piece is a command report (0x87) announcing
// the transfer and a data report (0x93) carrying or fetching its bytes; a flash transaction runs
// from its first piece to the piece with the end flag set.
#include "device/spiflash.h"

#include "device/bxhardwarelib.h"
#include "device/usbrequests.h"
#include "platform/usbtypes.h"

#include <algorithm>
#include <atomic>
#include <chrono>

namespace {

constexpr uint8_t kSpiWriteCommand = 0x0B;
constexpr uint8_t kSpiReadCommand = 0x0A;
constexpr uint8_t kChannel = 0;

constexpr uint8_t kWriteStatus = 0x01;
constexpr uint8_t kPageProgram = 0x02;
constexpr uint8_t kReadData = 0x03;
constexpr uint8_t kWriteDisable = 0x04;
constexpr uint8_t kReadStatus = 0x05;
constexpr uint8_t kWriteEnable = 0x06;
constexpr uint8_t kSectorErase = 0x20;
constexpr uint8_t kReadJedec = 0x9F;

constexpr uint8_t kBusyAndLatch = 0x03;
constexpr uint8_t kLatchSet = 0x02;
constexpr uint8_t kProtectionBits = 0x0C;

// Pieces of data in programs and reads; the bridge's own limits are a little higher.
constexpr uint32_t kChunk = 32;
constexpr uint64_t kStatusWaitMs = 3000;
constexpr uint64_t kIdentifyMs = 1000;
constexpr int kWriteEnableTries = 5;

uint64_t steadyMilliseconds()
{
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count()) / 1000000;
}

std::atomic<SpiMillisecondClock> gClock = nullptr;

// Time since it was made. A clock that reads earlier than the start does not count as time
// passing: the elapsed time stays and the start moves back to that reading.
class Stopwatch
{
public:
    Stopwatch()
        : mStart(currentMilliseconds())
    {
    }

    uint64_t elapsed()
    {
        const uint64_t now = currentMilliseconds();
        if (now < mStart)
            mStart = now;
        else
            mElapsed = now - mStart;
        return mElapsed;
    }

private:
    uint64_t mStart;
    uint64_t mElapsed = 0;
};

std::array<uint8_t, 4> addressed(uint8_t opcode, uint32_t address)
{
    return {opcode, uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)};
}

bool sendCommand(const uint8_t *bytes, uint32_t count)
{
    return spi_sendBytes(kChannel, 1, bytes, count, nullptr, 0);
}

bool readStatus(uint8_t *status)
{
    return spi_receiveBytes(kChannel, 1, &kReadStatus, 1, 1, status);
}

// Reads the status back to back until (status & mask) == value; false once 3000 ms have passed.
// A status that cannot be read does not meet the condition.
bool waitForStatus(uint8_t mask, uint8_t value)
{
    Stopwatch stopwatch;
    while (stopwatch.elapsed() < kStatusWaitMs) {
        uint8_t status = 0;
        if (readStatus(&status) && (status & mask) == value)
            return true;
        // The camera has gone: no status will ever come.
        if (!gUSBInterface.load())
            return false;
    }
    return false;
}

bool writeStatus(uint8_t status)
{
    const uint8_t command[2] = {kWriteStatus, status};
    return sendCommand(command, 2);
}

} // namespace

void spi_setClock(SpiMillisecondClock clock)
{
    gClock = clock;
}

uint64_t currentMilliseconds()
{
    const SpiMillisecondClock clock = gClock.load();
    return clock ? clock() : steadyMilliseconds();
}

bool spi_sendBytes(uint8_t channel, uint8_t endFlag, const uint8_t *header, uint32_t headerCount,
                   const uint8_t *data, uint32_t dataCount)
{
    if (headerCount > kSpiMaxSendBytes || dataCount > kSpiMaxSendBytes - headerCount
        || (headerCount && !header) || (dataCount && !data))
        return false;
    const DeviceTransaction transaction;
    const uint8_t command[4] = {kSpiWriteCommand, 0x00, 0x00, 0x00};
    if (usbreq_setReport(kCommandReport, command, 4) != UsbStatus::Success)
        return false;
    std::array<uint8_t, kDataReportLength> payload{};
    payload[0] = channel;
    payload[1] = uint8_t(headerCount + dataCount);
    payload[2] = endFlag;
    std::copy_n(header, headerCount, payload.begin() + 3);
    std::copy_n(data, dataCount, payload.begin() + 3 + headerCount);
    return usbreq_setReport(kDataReport, payload.data(), kDataReportLength) == UsbStatus::Success;
}

bool spi_receiveBytes(uint8_t channel, uint8_t endFlag, const uint8_t *header, uint32_t headerCount,
                      uint32_t count, uint8_t *buffer)
{
    if (count > kSpiMaxReceiveBytes || (count && !buffer))
        return false;
    const DeviceTransaction transaction;
    // Only the read itself decides the result; a caller that must know the header went out
    // (spi_readData) sends it as a piece of its own.
    if (header && headerCount)
        spi_sendBytes(channel, 0, header, headerCount, nullptr, 0);
    const uint8_t command[4] = {kSpiReadCommand, channel, uint8_t(count), endFlag};
    if (usbreq_setReport(kCommandReport, command, 4) != UsbStatus::Success)
        return false;
    std::array<uint8_t, kDataReportLength> answer{};
    if (usbreq_getReport(kDataReport, answer.data(), kDataReportLength) != UsbStatus::Success)
        return false;
    std::copy_n(answer.begin(), count, buffer);
    return true;
}

bool spi_writeEnable()
{
    // A part still busy ignores the command: ask again after each wait that runs out.
    for (int attempt = 0; attempt < kWriteEnableTries; ++attempt) {
        sendCommand(&kWriteEnable, 1);
        if (waitForStatus(kBusyAndLatch, kLatchSet))
            return true;
    }
    return false;
}

bool spi_writeDisable()
{
    sendCommand(&kWriteDisable, 1);
    return waitForStatus(kBusyAndLatch, 0);
}

bool spi_unprotect()
{
    // Without a status the protection bits to keep are unknown: write nothing.
    uint8_t status = 0;
    if (!readStatus(&status))
        return false;
    if (status & kProtectionBits) {
        writeStatus(status & uint8_t(~kProtectionBits));
        if (!waitForStatus(kProtectionBits, 0))
            return false;
    }
    // The status write cleared the latch; the caller goes on writing.
    spi_writeEnable();
    return true;
}

bool spi_protect()
{
    uint8_t status = 0;
    if (!readStatus(&status))
        return false;
    if ((status & kProtectionBits) == kProtectionBits)
        return true;
    writeStatus(status | kProtectionBits);
    return waitForStatus(kProtectionBits, kProtectionBits);
}

bool spi_setProtection(int protect)
{
    if (!spi_writeEnable())
        return false;
    if (!(protect ? spi_protect() : spi_unprotect()))
        return false;
    return spi_writeDisable();
}

bool spi_setWriteEnable(int flag)
{
    return flag == 1 ? spi_writeEnable() : spi_writeDisable();
}

bool spi_readJedecId(std::array<uint8_t, 3> &id)
{
    return spi_receiveBytes(kChannel, 1, &kReadJedec, 1, 3, id.data());
}

bool spi_identifyFlash(SPI_FLASH_INFO_t *info)
{
    Stopwatch stopwatch;
    do {
        std::array<uint8_t, 3> id{};
        // A read that fails is asked again within the same second: giving up at once would leave
        // an erased camera unwritten over one glitch on the wire.
        if (!spi_readJedecId(id)) {
            if (!gUSBInterface.load())
                return false; // no camera to ask
            continue;
        }
        if (const std::optional<SPI_FLASH_CHIP_t> chip = findFlashChip(id)) {
            if (info)
                *info = {chip->size, chip->pageSize, chip->capacity, chip->sectorSize};
            return true;
        }
        // A part that is still waking up may answer with nonsense for a while.
    } while (stopwatch.elapsed() < kIdentifyMs);
    return false;
}

bool spi_eraseSector(uint32_t address)
{
    // Every sector is erased twice over.
    const std::array<uint8_t, 4> command = addressed(kSectorErase, address);
    for (int pass = 0; pass < 2; ++pass) {
        if (!spi_writeEnable())
            return false;
        spi_unprotect();
        sendCommand(command.data(), uint32_t(command.size()));
        if (!waitForStatus(kBusyAndLatch, 0))
            return false;
        spi_writeDisable();
    }
    return true;
}

bool spi_programPage(uint32_t address, uint32_t length, const uint8_t *data)
{
    if (length && !data)
        return false;
    if (!spi_writeEnable())
        return false;
    const std::array<uint8_t, 4> header = addressed(kPageProgram, address);
    // Whether the page took its data shows in the status alone.
    if (length <= kChunk) {
        spi_sendBytes(kChannel, 1, header.data(), uint32_t(header.size()), data, length);
    } else {
        const DeviceTransaction transaction;
        spi_sendBytes(kChannel, 0, header.data(), uint32_t(header.size()), nullptr, 0);
        for (uint32_t done = 0; done < length;) {
            const uint32_t piece = std::min(length - done, kChunk);
            const uint8_t last = done + piece == length ? 1 : 0;
            spi_sendBytes(kChannel, last, nullptr, 0, data + done, piece);
            done += piece;
        }
    }
    if (!waitForStatus(kBusyAndLatch, 0))
        return false;
    spi_writeDisable();
    return true;
}

bool spi_readData(uint32_t address, uint32_t length, uint8_t *buffer)
{
    if (length && !buffer)
        return false;
    const DeviceTransaction transaction;
    const std::array<uint8_t, 4> header = addressed(kReadData, address);
    // The header always goes out as a piece of its own, so that the transaction ends on the
    // wire even when a piece in between fails; any failure makes the whole read fail.
    bool ok = spi_sendBytes(kChannel, 0, header.data(), uint32_t(header.size()), nullptr, 0);
    if (length <= kChunk)
        return spi_receiveBytes(kChannel, 1, nullptr, 0, length, buffer) && ok;
    for (uint32_t done = 0; done < length;) {
        const uint32_t piece = std::min(length - done, kChunk);
        const uint8_t last = done + piece == length ? 1 : 0;
        ok = spi_receiveBytes(kChannel, last, nullptr, 0, piece, buffer + done) && ok;
        done += piece;
    }
    return ok;
}
