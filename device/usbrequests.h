// The control requests to the camera's bridge chip, byte for byte: the HID feature-report channel
// (reports 0x87 and 0x93) for registers and SPI, and vendor requests to its I2C master. Each
// returns a 32-bit status, 0 on success.
#pragma once

#include "platform/usbtypes.h"

#include <cstdint>

class bxHardwareLib;

constexpr uint32_t kReportLengthTooLong = 0xFFFFFFFE; // -2
constexpr uint32_t kReportNoBuffer = 0xFFFFFFFD;      // -3

// The bridge's command report announces what the next data report carries.
constexpr uint8_t kCommandReport = 0x87;
constexpr uint8_t kDataReport = 0x93;
constexpr int kDataReportLength = 40;

// Sends one request through the kept interface.
uint32_t usbreq_sendRequest(UsbDeviceRequest &request);
// Feature report reportId with length payload bytes (0-64).
uint32_t usbreq_setReport(uint8_t reportId, const uint8_t *payload, int length);
// Fills buffer with the first length bytes of the answer, from the report-ID position on.
uint32_t usbreq_getReport(uint8_t reportId, uint8_t *buffer, int length);
uint32_t usbreq_readRegister(uint8_t reg, uint8_t *value);
uint32_t usbreq_readChipId(uint8_t *chipId);
// I2C transfers to the device at address, under the object's mLock. A write goes out in chunks of
// at most 64 bytes; hold keeps the bus for the read that follows.
uint32_t usbreq_i2cWrite(bxHardwareLib *hardware, int address, int count, const uint8_t *bytes, bool hold);
uint32_t usbreq_i2cRead(bxHardwareLib *hardware, int address, int count, uint8_t *buffer);
