// The device-access object: the session with the one camera being handled (each open makes a new
// CameraSession), its identity and descriptor strings, and the bridge's EEPROM. The requests it is
// built on live in usbrequests.h and spiflash.h, and take the session.
#pragma once

#include "device/camerakind.h"
#include "device/camerasession.h"
#include "device/deviceresult.h"
#include "payload/firmwarerecords.h"
#include "platform/usbbus.h"
#include "platform/usbinterface.h"

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

// The family's USB vendor identifier (the one the udev rule opens to the user at the seat).
inline constexpr uint16_t kFamilyVendorId = 0xF055;

class bxHardwareLib
{
public:
    static constexpr uint16_t kAnyInterfaceClass = UsbDevice::kAnyInterfaceClass;

    // Every field zero and no interface kept. Without a bus, each open looks up the application's
    // bus (UsbBus::system()) at the time it runs.
    bxHardwareLib();
    explicit bxHardwareLib(UsbBus &bus);
    ~bxHardwareLib();

    bxHardwareLib(const bxHardwareLib &) = delete;
    bxHardwareLib &operator=(const bxHardwareLib &) = delete;

    // Ends any session first, then finds the camera by its identifiers, keeps its Video Control
    // interface, learns its HID interface and checks its bridge chip. True for a bridge of the T or
    // S kind; only then are the identity and the firmware record set, and only then is the
    // session kept.
    bool initDevice(uint32_t vid, uint32_t pid, uint16_t interfaceClass);
    // The same for exactly the attachment the bus reported, which must carry these identifiers:
    // of two cameras with the same identifiers, the one that arrived.
    bool initDevice(uint32_t vid, uint32_t pid, uint16_t interfaceClass, UsbDeviceId device);
    // How the last initDevice came out (why it kept no session), and the chip register it read (an
    // unknown chip's identifier): whoever lists cameras says which were seen but could not be used.
    const DeviceResult &lastOpen() const { return mLastOpen; }
    uint8_t lastChip() const { return mLastChip; }

    // Reads the firmware record from the camera's flash into myQLV2_FW_Info; a record that cannot
    // be read whole stays empty.
    bool loadQLV2FirmwareInfo();

    uint8_t isQLV2Hardware() const { return is_qlv2_hardware; }
    uint16_t GetVendorID() const { return mVid; }
    uint16_t GetProductID() const { return mPid; }
    std::shared_ptr<UsbInterface> GetUSBInterfaceInterfaceHandle() const;
    // The open session, null when none is: what an update run holds on to, whatever happens to
    // this object meanwhile. Safe from any thread.
    std::shared_ptr<CameraSession> session() const { return mSession.load(); }
    // The clock the sessions opened from now on measure their waits with (tests make it instant).
    void setClock(MillisecondClock clock) { mClock = std::move(clock); }
    // The attachment the session talks to, 0 when none: a removal ends the session only if it
    // names this one.
    UsbDeviceId sessionDevice() const;

    QString GetProductString();
    QString GetManufacturerString();
    QString GetSerialNumberString();

    // Ends the session between two exchanges: no interface kept, identity, firmware record and
    // EEPROM block forgotten.
    void custom_dealloc();

    // The boot EEPROM, in pieces of at most 32 bytes; statuses as the requests return them.
    uint32_t fEEPROMRead(uint32_t address, uint32_t count, uint8_t *bytes);
    uint32_t fEEPROMWrite(uint32_t address, uint32_t count, const uint8_t *bytes);
    // The camera's firmware version; 0 when it cannot be read.
    uint32_t GetFirmwareVersion();
    // The EEPROM's 256-byte descriptor block, read once per session; owned by this object until
    // the session ends.
    uint8_t *GetEeprom256Bytes();

    std::unique_ptr<std::array<uint8_t, 256>> my256ByteData;
    uint16_t mPid = 0;
    uint16_t mVid = 0;
    uint8_t is_qlv2_hardware = 0;
    _QLV2_FW_INFO myQLV2_FW_Info{};

private:
    enum class Descriptor { Product, Manufacturer, Serial };
    QString descriptorString(Descriptor which);
    bool openSession(std::unique_ptr<UsbDevice> device, uint32_t vid, uint32_t pid, uint16_t interfaceClass);
    // The firmware record as the flash holds it; empty unless every read succeeded.
    static bool readQLV2FirmwareInfo(CameraSession &session, _QLV2_FW_INFO &info);

    UsbBus *mBus = nullptr;
    // Read from the update queue while the GUI thread may end the session, hence atomic.
    std::atomic<std::shared_ptr<CameraSession>> mSession;
    MillisecondClock mClock;
    DeviceResult mLastOpen;
    uint8_t mLastChip = 0;
};
