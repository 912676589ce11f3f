// The device-access object: the USB session with the camera, its identity and strings, and the
// bridge's EEPROM.
#include "device/bxhardwarelib.h"

#include "platform/devicelog.h"
#include "device/usbrequests.h"
#include "payload/bytereader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr uint8_t kVideoClass = 14;
constexpr uint8_t kVideoControlSubClass = 1;
constexpr uint8_t kHidClass = 3;
constexpr int kI2cEeprom = 0xA0;
constexpr uint32_t kEepromPiece = 32;
constexpr uint32_t kDescriptorBlockAddress = 100;
constexpr uint32_t kVersionAddress = 0x60;
constexpr size_t kStringBuffer = 128;

QString fromUtf16Le(std::span<const uint8_t> bytes)
{
    std::vector<char16_t> units(bytes.size() / 2);
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return QString::fromUtf16(units.data(), qsizetype(units.size()));
}

} // namespace

bxHardwareLib::bxHardwareLib() = default;

bxHardwareLib::bxHardwareLib(UsbBus &bus)
    : mBus(&bus)
{
}

bxHardwareLib::~bxHardwareLib()
{
    // Hand the camera's interfaces back to their kernel drivers, unless a run still holds them.
    if (const std::shared_ptr<CameraSession> open = session())
        open->close();
}

bool bxHardwareLib::initDevice(uint32_t vid, uint32_t pid, uint16_t interfaceClass)
{
    custom_dealloc();
    UsbBus &bus = mBus ? *mBus : UsbBus::system();
    return openSession(bus.openDevice(vid, pid), vid, pid, interfaceClass);
}

bool bxHardwareLib::initDevice(uint32_t vid, uint32_t pid, uint16_t interfaceClass, UsbDeviceId device)
{
    custom_dealloc();
    UsbBus &bus = mBus ? *mBus : UsbBus::system();
    std::unique_ptr<UsbDevice> attached = bus.openDevice(device);
    // An attachment with other identifiers is not the one asked for: as if it were not there.
    if (attached && (attached->info().vendorId != vid || attached->info().productId != pid))
        attached.reset();
    return openSession(std::move(attached), vid, pid, interfaceClass);
}

bool bxHardwareLib::openSession(std::unique_ptr<UsbDevice> device, uint32_t vid, uint32_t pid, uint16_t interfaceClass)
{
    const auto failed = [this](std::string reason, uint32_t status = 0) {
        mLastOpen = DeviceFailure{DeviceStep::Open, std::move(reason), std::nullopt, status};
        return false;
    };
    mLastChip = 0;
    if (!device)
        return failed("cannot be opened: it has left, or this user may not open it (see the README on USB permissions)");

    std::shared_ptr<UsbInterface> control;
    std::optional<uint8_t> hid;
    for (std::unique_ptr<UsbInterface> &interface : device->interfaces(interfaceClass)) {
        deviceLog("intfNumber: %d. intfClass: %d, intfSubClass: %d\n", interface->number(),
                   interface->interfaceClass(), interface->interfaceSubClass());
        if (!control && interface->interfaceClass() == kVideoClass
            && interface->interfaceSubClass() == kVideoControlSubClass) {
            control = std::move(interface);
            continue;
        }
        if (interface->interfaceClass() == kHidClass)
            hid = interface->number();
    }
    // Without a HID interface there is no bridge to talk to: not a camera of this family, and
    // nothing is sent to it.
    if (!control || !hid)
        return failed("no Video Control and HID interfaces: no bridge to talk to");
    const auto opened = std::make_shared<CameraSession>(std::move(control), *hid, mClock);
    mSession.store(opened);

    uint8_t chip = 0;
    _QLV2_FW_INFO record{};
    uint32_t status = usbreq_readRegister(*opened, 0x00, &chip);
    if (status == UsbStatus::Success) {
        readQLV2FirmwareInfo(*opened, record);
        status = usbreq_readChipId(*opened, &chip);
    }
    if (status == UsbStatus::Success && cameraKindOf(chip)) {
        mLastChip = chip;
        myQLV2_FW_Info = record;
        is_qlv2_hardware = 1;
        mPid = uint16_t(pid);
        mVid = uint16_t(vid);
        mLastOpen = {};
        return true;
    }
    // Not a camera of this family after all: the next camera's requests must not go to it.
    custom_dealloc();
    if (status != UsbStatus::Success)
        return failed("the bridge does not answer", status);
    mLastChip = chip;
    char unknown[32];
    std::snprintf(unknown, sizeof unknown, "unknown bridge chip 0x%02x", chip);
    return failed(unknown);
}

UsbDeviceId bxHardwareLib::sessionDevice() const
{
    const std::shared_ptr<CameraSession> open = session();
    return open ? open->device() : 0;
}

std::shared_ptr<UsbInterface> bxHardwareLib::GetUSBInterfaceInterfaceHandle() const
{
    const std::shared_ptr<CameraSession> open = session();
    return open ? open->interface() : nullptr;
}

void bxHardwareLib::custom_dealloc()
{
    const std::shared_ptr<CameraSession> ended = mSession.exchange(nullptr);
    if (!ended)
        return;
    // Waits for an exchange in flight (the EEPROM block being filled) before forgetting.
    const DeviceTransaction transaction(*ended);
    ended->close();
    my256ByteData.reset();
    myQLV2_FW_Info = {};
    is_qlv2_hardware = 0;
    mPid = 0;
    mVid = 0;
}

QString bxHardwareLib::GetProductString()
{
    QString name = descriptorString(Descriptor::Product);
    name.remove(QChar(u'\0'));
    name.remove(QStringLiteral("Audio"), Qt::CaseSensitive);
    return name;
}

QString bxHardwareLib::GetManufacturerString()
{
    QString name = descriptorString(Descriptor::Manufacturer);
    name.remove(QChar(u'\0'));
    return name;
}

QString bxHardwareLib::GetSerialNumberString()
{
    return descriptorString(Descriptor::Serial);
}

QString bxHardwareLib::descriptorString(Descriptor which)
{
    std::array<uint8_t, kStringBuffer> buffer{};
    if (is_qlv2_hardware) {
        const _QLV2_USER_SPACE_t &user = myQLV2_FW_Info.UserSpaceData;
        const _USB_STRING_t &entry = which == Descriptor::Product ? user.ProductString
                                   : which == Descriptor::Manufacturer ? user.VendorString
                                                                        : user.SerialNumber;
        std::memcpy(buffer.data(), entry.StringData, sizeof(entry.StringData));
        // The flash states the length; the buffer bounds it.
        const size_t length = std::min<size_t>(entry.StringLen, buffer.size());
        return fromUtf16Le(std::span(buffer).first(length));
    }

    const ByteReader block(std::span<const uint8_t>(GetEeprom256Bytes(), 256));
    const size_t pair = which == Descriptor::Product ? 12 : which == Descriptor::Serial ? 14 : 16;
    const uint8_t offset = *block.u8(pair);
    const uint8_t length = *block.u8(pair + 1);
    if (offset == 0)
        return QString();
    // The EEPROM states offset and length; the block and the buffer bound them.
    const size_t available = std::min<size_t>({length, block.size() - offset, buffer.size()});
    const std::span<const uint8_t> descriptor = *block.bytes(offset, available);
    std::copy(descriptor.begin(), descriptor.end(), buffer.begin());
    // A string descriptor: two header bytes, then the text; the zeroed buffer supplies the NUL
    // that follows it.
    const size_t textBytes = std::min<size_t>(length, buffer.size() - 2);
    return fromUtf16Le(std::span(buffer).subspan(2, textBytes));
}

namespace {

// A transfer longer than one piece goes as whole pieces and a last, shorter one; the result is
// the status of the first piece that failed.
template<typename Byte, typename Piece>
uint32_t inEepromPieces(uint32_t address, uint32_t count, Byte *bytes, Piece piece)
{
    uint32_t result = UsbStatus::Success;
    const uint32_t pieces = count / kEepromPiece;
    for (uint32_t i = 0; i <= pieces; ++i) {
        const uint32_t length = i < pieces ? kEepromPiece : count % kEepromPiece;
        const uint32_t status = piece(address + i * kEepromPiece, length, bytes + i * kEepromPiece);
        if (result == UsbStatus::Success)
            result = status;
    }
    return result;
}

} // namespace

uint32_t bxHardwareLib::fEEPROMRead(uint32_t address, uint32_t count, uint8_t *bytes)
{
    // A held address write without its read would leave the bus open, and the next write would
    // land at this address.
    if (count == 0)
        return UsbStatus::Success;
    if (count <= kEepromPiece) {
        const std::shared_ptr<CameraSession> open = session();
        if (!open)
            return UsbStatus::NotReady;
        const DeviceTransaction transaction(*open);
        const uint8_t where[2] = {uint8_t(address >> 8), uint8_t(address)};
        if (const uint32_t status = usbreq_i2cWrite(*open, kI2cEeprom, 2, where, true))
            return status;
        return usbreq_i2cRead(*open, kI2cEeprom, int(count), bytes);
    }
    return inEepromPieces(address, count, bytes, [this](uint32_t at, uint32_t length, auto *part) {
        return fEEPROMRead(at, length, part);
    });
}

uint32_t bxHardwareLib::fEEPROMWrite(uint32_t address, uint32_t count, const uint8_t *bytes)
{
    if (count <= kEepromPiece) {
        const std::shared_ptr<CameraSession> open = session();
        if (!open)
            return UsbStatus::NotReady;
        std::array<uint8_t, kEepromPiece + 2> data{};
        data[0] = uint8_t(address >> 8);
        data[1] = uint8_t(address);
        std::copy_n(bytes, count, data.begin() + 2);
        return usbreq_i2cWrite(*open, kI2cEeprom, int(count + 2), data.data(), false);
    }
    return inEepromPieces(address, count, bytes, [this](uint32_t at, uint32_t length, auto *part) {
        return fEEPROMWrite(at, length, part);
    });
}

uint32_t bxHardwareLib::GetFirmwareVersion()
{
    if (is_qlv2_hardware)
        return myQLV2_FW_Info.UserSpaceData.FirmwareVersion.value();
    uint8_t version[4] = {};
    if (fEEPROMRead(kVersionAddress, 4, version) != UsbStatus::Success)
        return 0;
    return (uint32_t(version[0]) << 24) | (uint32_t(version[1]) << 16) | (uint32_t(version[2]) << 8) | version[3];
}

uint8_t *bxHardwareLib::GetEeprom256Bytes()
{
    // The session cannot end halfway through the fill.
    const std::shared_ptr<CameraSession> open = session();
    std::optional<DeviceTransaction> transaction;
    if (open)
        transaction.emplace(*open);
    if (my256ByteData)
        return my256ByteData->data();
    my256ByteData = std::make_unique<std::array<uint8_t, 256>>();
    // A piece that cannot be read stays zero.
    for (uint32_t i = 0; i < 8; ++i)
        fEEPROMRead(kDescriptorBlockAddress + i * kEepromPiece, kEepromPiece, my256ByteData->data() + i * kEepromPiece);
    return my256ByteData->data();
}
