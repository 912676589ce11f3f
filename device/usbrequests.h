// The control requests to the camera's bridge chip, byte for byte: the HID feature-report channel
// (reports 0x87 and 0x93) for registers and SPI, and vendor requests to its I2C master. Each
// returns a 32-bit status, 0 on success.
#pragma once

#include "platform/usbtypes.h"

#include <cstdint>
#include <mutex>

class bxHardwareLib;

constexpr uint32_t kReportLengthTooLong = 0xFFFFFFFE; // -2
constexpr uint32_t kReportNoBuffer = 0xFFFFFFFD;      // -3
// A device-to-host request that moved fewer bytes than it asked for (the platform's underrun): the
// bytes that did not come are not the device's.
constexpr uint32_t kShortAnswer = 0xE00002E7;

// The bridge's command report announces what the next data report carries.
constexpr uint8_t kCommandReport = 0x87;
constexpr uint8_t kDataReport = 0x93;
constexpr int kDataReportLength = 40;

// Keeps the camera to one thread from the first request of an exchange to its last. The bridge
// answers a data report by the command report before it and the EEPROM reads from the address
// the held write before it set, so a request from another thread in between would take or spoil
// the answer. Every request holds it for itself; an exchange holds it around its requests, and
// exchanges nest.
class DeviceTransaction
{
public:
    DeviceTransaction();
    ~DeviceTransaction();

    DeviceTransaction(const DeviceTransaction &) = delete;
    DeviceTransaction &operator=(const DeviceTransaction &) = delete;

private:
    std::unique_lock<std::recursive_mutex> mHold;
};

// Sends one request through the kept interface.
uint32_t usbreq_sendRequest(UsbDeviceRequest &request);
// Feature report reportId with length payload bytes (0-64).
uint32_t usbreq_setReport(uint8_t reportId, const uint8_t *payload, int length);
// Fills buffer with the first length bytes of the answer, from the report-ID position on. An
// answer shorter than the report fails with kShortAnswer and leaves buffer untouched.
uint32_t usbreq_getReport(uint8_t reportId, uint8_t *buffer, int length);
uint32_t usbreq_readRegister(uint8_t reg, uint8_t *value);
uint32_t usbreq_readChipId(uint8_t *chipId);
// I2C transfers to the device at address, under the object's mLock. A write goes out in chunks of
// at most 64 bytes; hold keeps the bus for the read that follows. A read that brings fewer bytes
// than asked for fails with kShortAnswer.
uint32_t usbreq_i2cWrite(bxHardwareLib *hardware, int address, int count, const uint8_t *bytes, bool hold);
uint32_t usbreq_i2cRead(bxHardwareLib *hardware, int address, int count, uint8_t *buffer);
