// The control requests to the camera's bridge chip, byte for byte: the HID feature-report channel
// (reports 0x87 and 0x93) for registers and SPI, and vendor requests to its I2C master. Each
// returns a 32-bit status, 0 on success, and goes to the camera of the session it is given.
#pragma once

#include "device/camerasession.h"
#include "platform/usbtypes.h"

#include <cstdint>

constexpr uint32_t kReportLengthTooLong = 0xFFFFFFFE; // -2
constexpr uint32_t kReportNoBuffer = 0xFFFFFFFD;      // -3
// A device-to-host request that moved fewer bytes than it asked for (the platform's underrun): the
// bytes that did not come are not the device's.
constexpr uint32_t kShortAnswer = 0xE00002E7;

// The bridge's command report announces what the next data report carries.
constexpr uint8_t kCommandReport = 0x87;
constexpr uint8_t kDataReport = 0x93;
constexpr int kDataReportLength = 40;

// Sends one request through the kept interface.
uint32_t usbreq_sendRequest(CameraSession &session, UsbDeviceRequest &request);
// Feature report reportId with length payload bytes (0-64).
uint32_t usbreq_setReport(CameraSession &session, uint8_t reportId, const uint8_t *payload, int length);
// Fills buffer with the first length bytes of the answer, from the report-ID position on. An
// answer shorter than the report fails with kShortAnswer and leaves buffer untouched.
uint32_t usbreq_getReport(CameraSession &session, uint8_t reportId, uint8_t *buffer, int length);
uint32_t usbreq_readRegister(CameraSession &session, uint8_t reg, uint8_t *value);
uint32_t usbreq_readChipId(CameraSession &session, uint8_t *chipId);
// I2C transfers to the device at address, under the session's mLock. A write goes out in chunks of
// at most 64 bytes; hold keeps the bus for the read that follows. A read that brings fewer bytes
// than asked for fails with kShortAnswer.
uint32_t usbreq_i2cWrite(CameraSession &session, int address, int count, const uint8_t *bytes, bool hold);
uint32_t usbreq_i2cRead(CameraSession &session, int address, int count, uint8_t *buffer);
