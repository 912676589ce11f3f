// One opened camera: the Video Control interface that every control request travels through, the
// HID interface number the bridge's reports are addressed to, the locks that keep an exchange to
// one thread, and the clock its waits are measured with. Each open makes a session of its own,
// so two cameras are driven independently, and an update run holds its camera's session for as
// long as it runs: a session closed meanwhile (the camera pulled out) fails its requests cleanly.
#pragma once

#include "platform/usbinterface.h"
#include "platform/usbtypes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// A monotonic clock in whole milliseconds.
using MillisecondClock = std::function<uint64_t()>;

class CameraSession
{
public:
    CameraSession(std::shared_ptr<UsbInterface> control, uint8_t hidInterface, MillisecondClock clock = {});

    CameraSession(const CameraSession &) = delete;
    CameraSession &operator=(const CameraSession &) = delete;

    // The kept interface while the session is open, null once it is closed. A request in flight
    // keeps its interface alive and fails cleanly.
    std::shared_ptr<UsbInterface> interface() const { return mControl.load(); }
    bool isOpen() const { return interface() != nullptr; }
    // The attachment the session talks to, 0 once closed.
    UsbDeviceId device() const;
    uint8_t hidInterface() const { return mHidInterface; }
    // Later requests fail with "no device".
    void close() { mControl.store(nullptr); }

    // Now on the session's clock (the steady clock unless another was given): the flash driver's
    // time limits are measured with it, so tests run them without waiting them out.
    uint64_t milliseconds() const;
    // Replaces the clock; only before the session is used from another thread.
    void setClock(MillisecondClock clock) { mClock = std::move(clock); }

    // Held from the first request of an exchange to its last (DeviceTransaction).
    std::recursive_mutex &exchangeLock() { return mExchange; }
    std::mutex mLock; // serialises the I2C transfers

private:
    std::atomic<std::shared_ptr<UsbInterface>> mControl;
    const uint8_t mHidInterface;
    MillisecondClock mClock;
    std::recursive_mutex mExchange;
};

// Keeps the camera to one thread from the first request of an exchange to its last. The bridge
// answers a data report by the command report before it and the EEPROM reads from the address
// the held write before it set, so a request from another thread in between would take or spoil
// the answer. Every request holds it for itself; an exchange holds it around its requests, and
// exchanges nest.
class DeviceTransaction
{
public:
    explicit DeviceTransaction(CameraSession &session)
        : mHold(session.exchangeLock())
    {
    }

    DeviceTransaction(const DeviceTransaction &) = delete;
    DeviceTransaction &operator=(const DeviceTransaction &) = delete;

private:
    std::unique_lock<std::recursive_mutex> mHold;
};
