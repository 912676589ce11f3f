// The serial flash behind the bridge chip, reached through the bridge's SPI transactions: chip
// identification against the table of supported parts, write enable, block protection, sector
// erase, page program and read. Flash operations answer with a Boolean.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

class CameraSession;

struct SPI_FLASH_CHIP_t
{
    int index;
    std::string_view name;
    std::array<uint8_t, 3> jedecId; // manufacturer, memory type, capacity
    uint32_t pageSize;              // bytes
    uint32_t size;                  // bytes the updater was first built for; not always the capacity
    uint32_t capacity;              // bytes the part holds: what an image must fit in
    uint32_t sectorSize;            // bytes the sector erase (0x20) clears
    uint8_t protectionMask;         // the status register's block-protection bits
};

struct SPI_FLASH_INFO_t
{
    uint32_t size;
    uint32_t pageSize;
    uint32_t capacity;
    uint32_t sectorSize;
};

// The parts the updater can program; adding a part is adding a row.
inline constexpr std::array<SPI_FLASH_CHIP_t, 9> gSPIFlashChips{{
    {0, "MX25L512E-512Kbit", {0xC2, 0x20, 0x10}, 256, 0x10000, 0x10000, 0x1000, 0x0C},
    {1, "MX25L5121E-512Kbit", {0xC2, 0x22, 0x10}, 32, 0x10000, 0x10000, 0x1000, 0x0C},
    {2, "MX25L1021E-1Mbit", {0xC2, 0x22, 0x11}, 256, 0x20000, 0x20000, 0x1000, 0x0C},
    {3, "MX25L1006E-1Mbit", {0xC2, 0x20, 0x11}, 256, 0x20000, 0x20000, 0x1000, 0x0C},
    {4, "Pm25LD512C-512Kbit", {0x7F, 0x9D, 0x20}, 256, 0x10000, 0x10000, 0x1000, 0x0C},
    {5, "WinBond 20X10 - 1Mbit", {0xEF, 0x30, 0x11}, 256, 0x10000, 0x20000, 0x1000, 0x0C},
    {6, "WinBond 20X20 - 2Mbit", {0xEF, 0x30, 0x12}, 256, 0x20000, 0x40000, 0x1000, 0x0C},
    {7, "WinBond 20X40 - 4Mbit", {0xEF, 0x30, 0x13}, 256, 0x20000, 0x80000, 0x1000, 0x0C},
    {8, "WinBond 20X80 - 8Mbit", {0xEF, 0x30, 0x14}, 256, 0x20000, 0x100000, 0x1000, 0x0C},
}};

// Bytes a part holds by its JEDEC identifier's capacity byte (2^n); 0 where the byte does not
// follow that rule within the serial flash's 24-bit address space.
constexpr uint32_t jedecCapacity(const std::array<uint8_t, 3> &jedecId)
{
    return jedecId[2] >= 8 && jedecId[2] <= 24 ? uint32_t(1) << jedecId[2] : 0;
}

static_assert(
    [] {
        for (std::size_t i = 0; i < gSPIFlashChips.size(); ++i) {
            const SPI_FLASH_CHIP_t &chip = gSPIFlashChips[i];
            const uint32_t named = jedecCapacity(chip.jedecId);
            if (chip.index != int(i) || chip.pageSize == 0 || chip.sectorSize == 0 || chip.capacity % chip.sectorSize
                || (named && named != chip.capacity))
                return false;
        }
        return true;
    }(),
    "chip rows are numbered in order, every part has a page and whole sectors, and a capacity byte that "
    "follows the 2^n rule agrees with the capacity column");

// The table's row for a part, or nothing when the updater does not know it. A copy rather than a
// pointer into the table, so that it can be used in constant expressions whatever the build.
constexpr std::optional<SPI_FLASH_CHIP_t> findFlashChip(const std::array<uint8_t, 3> &jedecId)
{
    for (const SPI_FLASH_CHIP_t &chip : gSPIFlashChips) {
        if (chip.jedecId == jedecId)
            return chip;
    }
    return std::nullopt;
}

// Bytes a part holds: its row's capacity, else for a part the table does not know what its
// capacity byte says (0 when that does not follow the rule).
constexpr uint32_t partCapacity(const std::array<uint8_t, 3> &jedecId)
{
    const std::optional<SPI_FLASH_CHIP_t> chip = findFlashChip(jedecId);
    return chip ? chip->capacity : jedecCapacity(jedecId);
}

// The most any part of the table holds.
constexpr uint32_t kLargestPartCapacity = [] {
    uint32_t largest = 0;
    for (const SPI_FLASH_CHIP_t &chip : gSPIFlashChips)
        largest = std::max(largest, chip.capacity);
    return largest;
}();

// Largest SPI piece the bridge takes out (header and data) and gives back.
constexpr uint32_t kSpiMaxSendBytes = 37;
constexpr uint32_t kSpiMaxReceiveBytes = 40;

// Each function below talks to the flash of the session's camera; its waits are measured on the
// session's clock. Each transaction, from its first piece to the one with the end flag (a read, a
// page's data, a status read), holds the camera against other threads (DeviceTransaction); a
// caller that builds its own transaction from pieces holds it around them.

// One SPI piece out: header then data, at most 37 bytes together. endFlag 0 keeps the transaction
// open for the next piece.
bool spi_sendBytes(CameraSession &session, uint8_t channel, uint8_t endFlag, const uint8_t *header, uint32_t headerCount,
                   const uint8_t *data, uint32_t dataCount);
// One SPI piece in (at most 40 bytes), after the header when one is given.
bool spi_receiveBytes(CameraSession &session, uint8_t channel, uint8_t endFlag, const uint8_t *header, uint32_t headerCount,
                      uint32_t count, uint8_t *buffer);

bool spi_writeEnable(CameraSession &session);
bool spi_writeDisable(CameraSession &session);
bool spi_unprotect(CameraSession &session);
bool spi_protect(CameraSession &session);
bool spi_setProtection(CameraSession &session, int protect);
bool spi_setWriteEnable(CameraSession &session, int flag);
bool spi_identifyFlash(CameraSession &session, SPI_FLASH_INFO_t *info);
// The part's JEDEC identifier (manufacturer, memory type, capacity), asked once.
bool spi_readJedecId(CameraSession &session, std::array<uint8_t, 3> &id);
bool spi_eraseSector(CameraSession &session, uint32_t address);
// The caller keeps each call within one page of the chip.
bool spi_programPage(CameraSession &session, uint32_t address, uint32_t length, const uint8_t *data);
// False when any piece of the read failed; that part of the buffer keeps what it held.
bool spi_readData(CameraSession &session, uint32_t address, uint32_t length, uint8_t *buffer);
