// The serial flash behind the bridge chip. Each SPI piece is a command report (0x87) announcing
// the transfer and a data report (0x93) carrying or fetching its bytes; a flash transaction runs
// from its first piece to the piece with the end flag set.
#include "device/spiflash.h"

#include "device/camerasession.h"
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

// Time since it was made. A clock that reads earlier than the start does not count as time
// passing: the elapsed time stays and the start moves back to that reading.
class Stopwatch
{
public:
    explicit Stopwatch(const CameraSession &session)
        : mSession(session)
        , mStart(session.milliseconds())
    {
    }

    uint64_t elapsed()
    {
        const uint64_t now = mSession.milliseconds();
        if (now < mStart)
            mStart = now;
        else
            mElapsed = now - mStart;
        return mElapsed;
    }

private:
    const CameraSession &mSession;
    uint64_t mStart;
    uint64_t mElapsed = 0;
};

std::array<uint8_t, 4> addressed(uint8_t opcode, uint32_t address)
{
    return {opcode, uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)};
}

bool sendCommand(CameraSession &session, const uint8_t *bytes, uint32_t count)
{
    return spi_sendBytes(session, kChannel, 1, bytes, count, nullptr, 0);
}

bool readStatus(CameraSession &session, uint8_t *status)
{
    return spi_receiveBytes(session, kChannel, 1, &kReadStatus, 1, 1, status);
}

// Reads the status back to back until (status & mask) == value; false once 3000 ms have passed.
// A status that cannot be read does not meet the condition.
bool waitForStatus(CameraSession &session, uint8_t mask, uint8_t value)
{
    Stopwatch stopwatch(session);
    while (stopwatch.elapsed() < kStatusWaitMs) {
        uint8_t status = 0;
        if (readStatus(session, &status) && (status & mask) == value)
            return true;
        // The camera has gone: no status will ever come.
        if (!session.isOpen())
            return false;
    }
    return false;
}

bool writeStatus(CameraSession &session, uint8_t status)
{
    const uint8_t command[2] = {kWriteStatus, status};
    return sendCommand(session, command, 2);
}

} // namespace

bool spi_sendBytes(CameraSession &session, uint8_t channel, uint8_t endFlag, const uint8_t *header, uint32_t headerCount,
                   const uint8_t *data, uint32_t dataCount)
{
    if (headerCount > kSpiMaxSendBytes || dataCount > kSpiMaxSendBytes - headerCount
        || (headerCount && !header) || (dataCount && !data))
        return false;
    const DeviceTransaction transaction(session);
    const uint8_t command[4] = {kSpiWriteCommand, 0x00, 0x00, 0x00};
    if (usbreq_setReport(session, kCommandReport, command, 4) != UsbStatus::Success)
        return false;
    std::array<uint8_t, kDataReportLength> payload{};
    payload[0] = channel;
    payload[1] = uint8_t(headerCount + dataCount);
    payload[2] = endFlag;
    std::copy_n(header, headerCount, payload.begin() + 3);
    std::copy_n(data, dataCount, payload.begin() + 3 + headerCount);
    return usbreq_setReport(session, kDataReport, payload.data(), kDataReportLength) == UsbStatus::Success;
}

bool spi_receiveBytes(CameraSession &session, uint8_t channel, uint8_t endFlag, const uint8_t *header, uint32_t headerCount,
                      uint32_t count, uint8_t *buffer)
{
    if (count > kSpiMaxReceiveBytes || (count && !buffer))
        return false;
    const DeviceTransaction transaction(session);
    // Only the read itself decides the result; a caller that must know the header went out
    // (spi_readData) sends it as a piece of its own.
    if (header && headerCount)
        spi_sendBytes(session, channel, 0, header, headerCount, nullptr, 0);
    const uint8_t command[4] = {kSpiReadCommand, channel, uint8_t(count), endFlag};
    if (usbreq_setReport(session, kCommandReport, command, 4) != UsbStatus::Success)
        return false;
    std::array<uint8_t, kDataReportLength> answer{};
    if (usbreq_getReport(session, kDataReport, answer.data(), kDataReportLength) != UsbStatus::Success)
        return false;
    std::copy_n(answer.begin(), count, buffer);
    return true;
}

bool spi_writeEnable(CameraSession &session)
{
    // A part still busy ignores the command: ask again after each wait that runs out.
    for (int attempt = 0; attempt < kWriteEnableTries; ++attempt) {
        sendCommand(session, &kWriteEnable, 1);
        if (waitForStatus(session, kBusyAndLatch, kLatchSet))
            return true;
    }
    return false;
}

bool spi_writeDisable(CameraSession &session)
{
    sendCommand(session, &kWriteDisable, 1);
    return waitForStatus(session, kBusyAndLatch, 0);
}

bool spi_unprotect(CameraSession &session)
{
    // Without a status the protection bits to keep are unknown: write nothing.
    uint8_t status = 0;
    if (!readStatus(session, &status))
        return false;
    if (status & kProtectionBits) {
        writeStatus(session, status & uint8_t(~kProtectionBits));
        if (!waitForStatus(session, kProtectionBits, 0))
            return false;
    }
    // The status write cleared the latch; the caller goes on writing.
    spi_writeEnable(session);
    return true;
}

bool spi_protect(CameraSession &session)
{
    uint8_t status = 0;
    if (!readStatus(session, &status))
        return false;
    if ((status & kProtectionBits) == kProtectionBits)
        return true;
    writeStatus(session, status | kProtectionBits);
    return waitForStatus(session, kProtectionBits, kProtectionBits);
}

bool spi_setProtection(CameraSession &session, int protect)
{
    if (!spi_writeEnable(session))
        return false;
    if (!(protect ? spi_protect(session) : spi_unprotect(session)))
        return false;
    return spi_writeDisable(session);
}

bool spi_setWriteEnable(CameraSession &session, int flag)
{
    return flag == 1 ? spi_writeEnable(session) : spi_writeDisable(session);
}

bool spi_readJedecId(CameraSession &session, std::array<uint8_t, 3> &id)
{
    return spi_receiveBytes(session, kChannel, 1, &kReadJedec, 1, 3, id.data());
}

bool spi_identifyFlash(CameraSession &session, SPI_FLASH_INFO_t *info)
{
    Stopwatch stopwatch(session);
    do {
        std::array<uint8_t, 3> id{};
        // A read that fails is asked again within the same second: giving up at once would leave
        // an erased camera unwritten over one glitch on the wire.
        if (!spi_readJedecId(session, id)) {
            if (!session.isOpen())
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

bool spi_eraseSector(CameraSession &session, uint32_t address)
{
    // Every sector is erased twice over.
    const std::array<uint8_t, 4> command = addressed(kSectorErase, address);
    for (int pass = 0; pass < 2; ++pass) {
        if (!spi_writeEnable(session))
            return false;
        spi_unprotect(session);
        sendCommand(session, command.data(), uint32_t(command.size()));
        if (!waitForStatus(session, kBusyAndLatch, 0))
            return false;
        spi_writeDisable(session);
    }
    return true;
}

bool spi_programPage(CameraSession &session, uint32_t address, uint32_t length, const uint8_t *data)
{
    if (length && !data)
        return false;
    if (!spi_writeEnable(session))
        return false;
    const std::array<uint8_t, 4> header = addressed(kPageProgram, address);
    // Whether the page took its data shows in the status alone.
    if (length <= kChunk) {
        spi_sendBytes(session, kChannel, 1, header.data(), uint32_t(header.size()), data, length);
    } else {
        const DeviceTransaction transaction(session);
        spi_sendBytes(session, kChannel, 0, header.data(), uint32_t(header.size()), nullptr, 0);
        for (uint32_t done = 0; done < length;) {
            const uint32_t piece = std::min(length - done, kChunk);
            const uint8_t last = done + piece == length ? 1 : 0;
            spi_sendBytes(session, kChannel, last, nullptr, 0, data + done, piece);
            done += piece;
        }
    }
    if (!waitForStatus(session, kBusyAndLatch, 0))
        return false;
    spi_writeDisable(session);
    return true;
}

bool spi_readData(CameraSession &session, uint32_t address, uint32_t length, uint8_t *buffer)
{
    if (length && !buffer)
        return false;
    const DeviceTransaction transaction(session);
    const std::array<uint8_t, 4> header = addressed(kReadData, address);
    // The header always goes out as a piece of its own, so that the transaction ends on the
    // wire even when a piece in between fails; any failure makes the whole read fail.
    bool ok = spi_sendBytes(session, kChannel, 0, header.data(), uint32_t(header.size()), nullptr, 0);
    if (length <= kChunk)
        return spi_receiveBytes(session, kChannel, 1, nullptr, 0, length, buffer) && ok;
    for (uint32_t done = 0; done < length;) {
        const uint32_t piece = std::min(length - done, kChunk);
        const uint8_t last = done + piece == length ? 1 : 0;
        ok = spi_receiveBytes(session, kChannel, last, nullptr, 0, piece, buffer + done) && ok;
        done += piece;
    }
    return ok;
}
