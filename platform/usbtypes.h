// Values that cross the USB seam: 32-bit result codes, the control request with its two timeouts,
// and what the bus tells about a device without opening it.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// Result codes of USB requests. The updater speaks in the 32-bit codes of the platform it was first
// written for, so every backend maps its own failures onto these.
namespace UsbStatus {
constexpr uint32_t Success = 0;
constexpr uint32_t Error = 0xE00002BC;
constexpr uint32_t NoMemory = 0xE00002BD;
constexpr uint32_t NoDevice = 0xE00002C0;
constexpr uint32_t NotPrivileged = 0xE00002C1;
constexpr uint32_t BadArgument = 0xE00002C2;
constexpr uint32_t ExclusiveAccess = 0xE00002C5;
constexpr uint32_t Unsupported = 0xE00002C7;
constexpr uint32_t IOError = 0xE00002CA;
constexpr uint32_t NotReady = 0xE00002D8;
constexpr uint32_t Overrun = 0xE00002E8;
constexpr uint32_t Aborted = 0xE00002EB;
constexpr uint32_t NotFound = 0xE00002F0;
constexpr uint32_t PipeStalled = 0xE000404F;
constexpr uint32_t TransactionTimeout = 0xE0004051;
} // namespace UsbStatus

// One control transfer on the default pipe. pData holds wLength bytes: sent for host-to-device,
// filled for device-to-host; wLenDone receives how many bytes moved.
struct UsbDeviceRequest
{
    uint8_t bmRequestType = 0;
    uint8_t bRequest = 0;
    uint16_t wValue = 0;
    uint16_t wIndex = 0;
    uint16_t wLength = 0;
    uint8_t *pData = nullptr;
    uint32_t wLenDone = 0;
    uint32_t noDataTimeout = 0;     // ms without data before giving up
    uint32_t completionTimeout = 0; // ms for the whole transfer

    bool deviceToHost() const { return (bmRequestType & 0x80) != 0; }
};

// Identifies one attachment of one device for as long as it stays on the bus: a device that
// leaves and comes back gets a new identity, so a removal names exactly what went away.
using UsbDeviceId = uint64_t;

struct UsbInterfaceInfo
{
    uint8_t number = 0;
    uint8_t interfaceClass = 0;
    uint8_t interfaceSubClass = 0;
};

struct UsbDeviceInfo
{
    UsbDeviceId id = 0;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    QString productName; // the "USB Product Name"; null when the device reports none
    // Where it is plugged in, as "bus-port.port…" (1-2.4: bus 1, port 4 of the hub on port 2):
    // the same for whatever device sits in that socket, across runs.
    QString location;
    std::vector<UsbInterfaceInfo> interfaces; // in interface-number order
};
