// The device session and the bridge requests against the virtual camera, checked through what
// went over the wire (its trace) and what was printed.
#include "device/bxhardwarelib.h"
#include "device/usbrequests.h"
#include "tests/device/camerabench.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

constexpr uint32_t kVid = 0xF055;
constexpr uint32_t kPid = 0x5201;

QJsonArray interfaces(std::initializer_list<std::pair<int, int>> list)
{
    QJsonArray result;
    for (const auto &[cls, sub] : list)
        result.append(QJsonArray{cls, sub});
    return result;
}

QByteArray utf16Descriptor(const QString &text)
{
    QByteArray d;
    d.append(char(2 + 2 * text.size()));
    d.append(char(0x03));
    for (const QChar c : text) {
        d.append(char(c.unicode() & 0xFF));
        d.append(char(c.unicode() >> 8));
    }
    return d;
}

} // namespace

TEST(DeviceSession, HidInterfaceIsLearnedWhereverItStandsAndTheLastOneWins)
{
    struct Case
    {
        QJsonArray layout;
        int keptNumber;
        int hidNumber;
    };
    const Case cases[] = {
        {interfaces({{3, 0}, {14, 1}, {14, 2}}), 1, 0},          // HID first
        {interfaces({{14, 1}, {14, 2}, {1, 1}, {3, 0}}), 0, 3},  // HID last
        {interfaces({{14, 1}, {3, 0}, {14, 2}, {3, 0}}), 0, 3},  // two HID: the later one
        {interfaces({{14, 2}, {14, 1}, {14, 1}, {3, 0}}), 1, 3}, // two Video Control: the first
    };
    for (const Case &c : cases) {
        CameraBench bench(QJsonObject{{"interfaces", c.layout}});
        bxHardwareLib hardware(bench.bus());
        gHIDInterfaceNumber = 77;
        ASSERT_TRUE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
        ASSERT_TRUE(hardware.GetUSBInterfaceInterfaceHandle());
        EXPECT_EQ(hardware.GetUSBInterfaceInterfaceHandle()->number(), c.keptNumber);
        EXPECT_EQ(gHIDInterfaceNumber.load(), c.hidNumber);
        const auto trace = bench.trace();
        ASSERT_FALSE(trace.empty());
        for (const TracedTransfer &t : trace)
            EXPECT_EQ(t.wIndex, c.hidNumber);
    }
}

TEST(DeviceSession, OpenPrintsEveryInterfaceAndReadsTheChipTwice)
{
    CameraBench bench;
    bxHardwareLib hardware(bench.bus());
    StdoutCapture out;
    ASSERT_TRUE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
    EXPECT_EQ(out.text(), "intfNumber: 0. intfClass: 14, intfSubClass: 1\n"
                          "intfNumber: 1. intfClass: 14, intfSubClass: 2\n"
                          "intfNumber: 2. intfClass: 1, intfSubClass: 1\n"
                          "intfNumber: 3. intfClass: 3, intfSubClass: 0\n");
    const auto trace = bench.trace();
    // Register read, the flash's boot configuration (a blank flash: nothing more), chip read.
    ASSERT_EQ(trace.size(), 8u);
    // The exact wire form of a register read: command report, then data report.
    EXPECT_EQ(trace[0].bmRequestType, 0x21);
    EXPECT_EQ(trace[0].bRequest, 0x09);
    EXPECT_EQ(trace[0].wValue, 0x0387);
    EXPECT_EQ(trace[0].wLength, 5);
    EXPECT_EQ(trace[0].data, "8708000004");
    EXPECT_EQ(trace[1].bmRequestType, 0xA1);
    EXPECT_EQ(trace[1].bRequest, 0x01);
    EXPECT_EQ(trace[1].wValue, 0x0393);
    EXPECT_EQ(trace[1].wLength, 41);
    EXPECT_EQ(trace[1].data.left(2), "b3");
    EXPECT_EQ(hardware.GetVendorID(), kVid);
    EXPECT_EQ(hardware.GetProductID(), kPid);
    EXPECT_EQ(hardware.isQLV2Hardware(), 1);
}

TEST(DeviceSession, NoVideoControlInterfaceFailsSilentlyAfterTheInterfaceLines)
{
    CameraBench bench(QJsonObject{{"interfaces", interfaces({{14, 2}, {3, 0}})}});
    bxHardwareLib hardware(bench.bus());
    StdoutCapture out;
    EXPECT_FALSE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
    EXPECT_EQ(out.text(), "intfNumber: 0. intfClass: 14, intfSubClass: 2\n"
                          "intfNumber: 1. intfClass: 3, intfSubClass: 0\n");
    EXPECT_TRUE(bench.trace().empty());
    EXPECT_FALSE(hardware.GetUSBInterfaceInterfaceHandle());
}

TEST(DeviceSession, MissingDeviceAndClassFilter)
{
    CameraBench bench;
    bxHardwareLib hardware(bench.bus());
    EXPECT_FALSE(hardware.initDevice(kVid, 0x1234, bxHardwareLib::kAnyInterfaceClass));
    EXPECT_FALSE(hardware.initDevice(0x1F055, kPid, bxHardwareLib::kAnyInterfaceClass));
    // Only HID interfaces listed: nothing to keep.
    StdoutCapture out;
    EXPECT_FALSE(hardware.initDevice(kVid, kPid, 3));
    EXPECT_EQ(out.text(), "intfNumber: 3. intfClass: 3, intfSubClass: 0\n");
}

TEST(DeviceSession, FailedRegisterReadLeavesHardwareUnsetAndDropsTheInterface)
{
    // The first camera stalls its first transfer; the second is a good camera on other ids.
    CameraBench bench(QJsonArray{QJsonObject{{"fail_transfers", QJsonArray{1}}},
                                 QJsonObject{{"pid", "0x5202"}}});
    bxHardwareLib hardware(bench.bus());
    StdoutCapture out;
    EXPECT_FALSE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
    EXPECT_EQ(hardware.isQLV2Hardware(), 0);
    EXPECT_FALSE(hardware.GetUSBInterfaceInterfaceHandle());
    EXPECT_TRUE(out.text().endsWith("ControlRequestTO: 0xe000404f\n"));

    ASSERT_TRUE(hardware.initDevice(kVid, 0x5202, bxHardwareLib::kAnyInterfaceClass));
    EXPECT_EQ(bench.trace(0).size(), 1u);
    EXPECT_EQ(bench.trace(1).size(), 8u);
    EXPECT_EQ(bench.trace(0)[0].status, 0xE000404Fu);
}

TEST(DeviceSession, ChipDecidesAndAForeignChipDropsTheSession)
{
    for (const int chip : {0xB0, 0xB3}) {
        CameraBench bench(QJsonObject{{"chip", chip}});
        bxHardwareLib hardware(bench.bus());
        EXPECT_TRUE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass)) << chip;
        EXPECT_TRUE(hardware.GetUSBInterfaceInterfaceHandle());
    }

    CameraBench bench(QJsonArray{QJsonObject{{"chip", 0x42}, {"pid", "0x7777"}}, QJsonObject{}});
    bxHardwareLib hardware(bench.bus());
    EXPECT_FALSE(hardware.initDevice(kVid, 0x7777, bxHardwareLib::kAnyInterfaceClass));
    // Identity already filled in, but no interface left kept.
    EXPECT_EQ(hardware.isQLV2Hardware(), 1);
    EXPECT_EQ(hardware.GetProductID(), 0x7777);
    EXPECT_EQ(hardware.GetVendorID(), kVid);
    EXPECT_FALSE(hardware.GetUSBInterfaceInterfaceHandle());
    // The right camera opened next gets its own requests.
    ASSERT_TRUE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
    EXPECT_EQ(bench.trace(0).size(), 8u);
    EXPECT_EQ(bench.trace(1).size(), 8u);
}

TEST(DeviceSession, ForeignWebcamWithoutBridgeIsRefused)
{
    CameraBench bench(QJsonObject{{"chip", QJsonValue::Null}, {"product", "Some Webcam"}});
    bxHardwareLib hardware(bench.bus());
    EXPECT_FALSE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
    EXPECT_FALSE(hardware.GetUSBInterfaceInterfaceHandle());
    const auto trace = bench.trace();
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].status, 0xE000404Fu);
}

TEST(DeviceSession, SecondOpenWithoutDeallocKeepsTheFirstInterface)
{
    CameraBench bench(QJsonArray{QJsonObject{}, QJsonObject{{"pid", "0x5202"}}});
    bxHardwareLib hardware(bench.bus());
    ASSERT_TRUE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
    const UsbDeviceId first = hardware.GetUSBInterfaceInterfaceHandle()->deviceId();
    ASSERT_TRUE(hardware.initDevice(kVid, 0x5202, bxHardwareLib::kAnyInterfaceClass));
    EXPECT_EQ(hardware.GetUSBInterfaceInterfaceHandle()->deviceId(), first);
    EXPECT_EQ(bench.trace(0).size(), 16u);
    EXPECT_TRUE(bench.trace(1).empty());
}

class OpenSession : public ::testing::Test
{
protected:
    explicit OpenSession(const QJsonObject &camera = {{"eeprom", "eeprom.bin"}})
        : bench(camera)
        , hardware(bench.bus())
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
        opening = bench.trace().size();
    }

    // The transfers since the session was opened.
    std::vector<TracedTransfer> sent() const
    {
        const auto all = bench.trace();
        return {all.begin() + qsizetype(opening), all.end()};
    }

    CameraBench bench;
    bxHardwareLib hardware;
    size_t opening = 0;
};

TEST_F(OpenSession, EepromWriteOf32BytesIsOneRequestOf34)
{
    std::vector<uint8_t> data(32);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(0xA0 + i);
    ASSERT_EQ(hardware.fEEPROMWrite(0x0164, 32, data.data()), 0u);
    const auto wire = sent();
    ASSERT_EQ(wire.size(), 1u);
    EXPECT_EQ(wire[0].bmRequestType, 0x40);
    EXPECT_EQ(wire[0].bRequest, 0x02);
    EXPECT_EQ(wire[0].wValue, 0);
    EXPECT_EQ(wire[0].wIndex, 0xA0);
    EXPECT_EQ(wire[0].wLength, 34);
    EXPECT_EQ(wire[0].data, "0164" + hexOf(data));
    // Stored at 0x164 and written through to the file.
    const std::vector<uint8_t> eeprom = bench.camera().eepromContents();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), eeprom.begin() + 0x164));
    QFile file(bench.folder().filePath("eeprom.bin"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().mid(0x164, 32), QByteArray(reinterpret_cast<const char *>(data.data()), 32));
}

TEST_F(OpenSession, EepromReadOf32BytesIsAHeldAddressWriteThenARead)
{
    std::vector<uint8_t> data(32, 0x5A);
    ASSERT_EQ(hardware.fEEPROMWrite(0x0164, 32, data.data()), 0u);
    std::vector<uint8_t> back(32);
    ASSERT_EQ(hardware.fEEPROMRead(0x0164, 32, back.data()), 0u);
    EXPECT_EQ(back, data);
    const auto wire = sent();
    ASSERT_EQ(wire.size(), 3u);
    EXPECT_EQ(wire[1].bmRequestType, 0x40);
    EXPECT_EQ(wire[1].bRequest, 0x03);
    EXPECT_EQ(wire[1].wLength, 2);
    EXPECT_EQ(wire[1].data, "0164");
    EXPECT_EQ(wire[2].bmRequestType, 0xC0);
    EXPECT_EQ(wire[2].bRequest, 0x02);
    EXPECT_EQ(wire[2].wIndex, 0xA0);
    EXPECT_EQ(wire[2].wLength, 32);
    EXPECT_EQ(wire[2].data, hexOf(data));
}

TEST_F(OpenSession, LongerEepromTransfersGoInPiecesOf32)
{
    std::vector<uint8_t> data(70);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i);
    ASSERT_EQ(hardware.fEEPROMWrite(0x1000, 70, data.data()), 0u);
    std::vector<uint8_t> back(70);
    ASSERT_EQ(hardware.fEEPROMRead(0x1000, 70, back.data()), 0u);
    EXPECT_EQ(back, data);
    const auto wire = sent();
    // Writes of 34, 34 and 8 bytes; reads of 32, 32 and 6, each behind its address write.
    ASSERT_EQ(wire.size(), 9u);
    EXPECT_EQ(wire[0].data.left(4), "1000");
    EXPECT_EQ(wire[1].data.left(4), "1020");
    EXPECT_EQ(wire[2].data.left(4), "1040");
    EXPECT_EQ(wire[2].wLength, 8);
    EXPECT_EQ(wire[7].data, "1040");
    EXPECT_EQ(wire[8].wLength, 6);

    // A multiple of 32 still ends with a write of the bare address.
    ASSERT_EQ(hardware.fEEPROMWrite(0x2000, 64, data.data()), 0u);
    const auto more = sent();
    ASSERT_EQ(more.size(), 12u);
    EXPECT_EQ(more[11].wLength, 2);
    EXPECT_EQ(more[11].data, "2040");
}

TEST_F(OpenSession, I2cWriteOf100BytesIsSplit64And36)
{
    std::vector<uint8_t> bytes(100);
    bytes[0] = 0x00;
    bytes[1] = 0x10;
    for (size_t i = 2; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i);
    for (const bool hold : {false, true}) {
        const size_t before = sent().size();
        ASSERT_EQ(usbreq_i2cWrite(&hardware, 0xA0, 100, bytes.data(), hold), 0u);
        const auto wire = sent();
        ASSERT_EQ(wire.size(), before + 2);
        EXPECT_EQ(wire[before].wLength, 64);
        EXPECT_EQ(wire[before].bRequest, 0x03);
        EXPECT_EQ(wire[before + 1].wLength, 36);
        EXPECT_EQ(wire[before + 1].bRequest, hold ? 0x03 : 0x02);
        EXPECT_EQ(wire[before + 1].data, hexOf({bytes.begin() + 64, bytes.end()}));
    }
    // The continued chunk carries data, not a new address: 98 bytes land from 0x0010 on.
    const std::vector<uint8_t> eeprom = bench.camera().eepromContents();
    EXPECT_TRUE(std::equal(bytes.begin() + 2, bytes.end(), eeprom.begin() + 0x10));
}

TEST_F(OpenSession, ReportArgumentsAreCheckedBeforeAnythingIsSent)
{
    uint8_t buffer[80] = {};
    EXPECT_EQ(usbreq_setReport(0x87, buffer, 65), 0xFFFFFFFEu);
    EXPECT_EQ(usbreq_getReport(0x93, buffer, 65), 0xFFFFFFFEu);
    EXPECT_EQ(usbreq_setReport(0x87, nullptr, 4), 0xFFFFFFFDu);
    EXPECT_EQ(usbreq_getReport(0x93, nullptr, 40), 0xFFFFFFFDu);
    EXPECT_TRUE(sent().empty());
    // Another report id reaches the device, which stalls it.
    StdoutCapture out;
    EXPECT_EQ(usbreq_setReport(0x42, buffer, 4), 0xE000404Fu);
    EXPECT_EQ(out.text(), "ControlRequestTO: 0xe000404f\n");
}

TEST_F(OpenSession, EepromBlockIsReadOncePerSession)
{
    const uint8_t *block = hardware.GetEeprom256Bytes();
    ASSERT_NE(block, nullptr);
    const auto wire = sent();
    ASSERT_EQ(wire.size(), 16u);
    const char *addresses[] = {"0064", "0084", "00a4", "00c4", "00e4", "0104", "0124", "0144"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(wire[size_t(2 * i)].data, addresses[i]);
        EXPECT_EQ(wire[size_t(2 * i + 1)].wLength, 32);
    }
    EXPECT_EQ(hardware.GetEeprom256Bytes(), block);
    EXPECT_EQ(sent().size(), 16u);

    hardware.custom_dealloc();
    EXPECT_FALSE(hardware.GetUSBInterfaceInterfaceHandle());
    ASSERT_TRUE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
    const size_t reopened = sent().size();
    hardware.GetEeprom256Bytes();
    EXPECT_EQ(sent().size(), reopened + 16);
}

TEST_F(OpenSession, FirmwareVersionFromTheRecordOrBigEndianFromTheEeprom)
{
    hardware.myQLV2_FW_Info.UserSpaceData.FirmwareVersion = 0x0102;
    EXPECT_EQ(hardware.GetFirmwareVersion(), 0x0102u);
    EXPECT_TRUE(sent().empty());

    const uint8_t version[4] = {0x12, 0x34, 0x56, 0x78};
    ASSERT_EQ(hardware.fEEPROMWrite(96, 4, version), 0u);
    hardware.is_qlv2_hardware = 0;
    EXPECT_EQ(hardware.GetFirmwareVersion(), 0x12345678u);
    const auto wire = sent();
    ASSERT_EQ(wire.size(), 3u);
    EXPECT_EQ(wire[1].data, "0060");
    EXPECT_EQ(wire[1].bRequest, 0x03);
    EXPECT_EQ(wire[2].wLength, 4);
}

TEST_F(OpenSession, WithoutInterfaceRequestsFailWithTheirOwnCodes)
{
    hardware.custom_dealloc();
    StderrCapture log;
    uint8_t bytes[32] = {};
    uint8_t value = 0xEE;
    EXPECT_EQ(hardware.fEEPROMRead(0, 32, bytes), 0xE00002D8u);
    EXPECT_EQ(hardware.fEEPROMWrite(0, 32, bytes), 0xE00002D8u);
    EXPECT_EQ(usbreq_readRegister(0x00, &value), 0xE00002C0u);
    EXPECT_EQ(value, 0xEE);
    EXPECT_TRUE(log.lines().contains(" Error: No interface to send request"));
    hardware.is_qlv2_hardware = 0;
    EXPECT_EQ(hardware.GetFirmwareVersion(), 0u);
    EXPECT_TRUE(sent().empty());
}

TEST_F(OpenSession, FailedI2cChunkIsReportedAndTheTransferGoesOn)
{
    // Stall the next transfer: the first chunk of a 100-byte write.
    CameraBench stalled(QJsonObject{{"fail_transfers", QJsonArray{9}}});
    bxHardwareLib other(stalled.bus());
    ASSERT_TRUE(other.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
    std::vector<uint8_t> bytes(100, 0x11);
    StdoutCapture out;
    EXPECT_EQ(usbreq_i2cWrite(&other, 0xA0, 100, bytes.data(), false), 0u); // the last chunk succeeded
    EXPECT_EQ(out.text(), "CameraControl Error: usbreq_i2cWrite (e000404f)\n");
    EXPECT_EQ(stalled.trace().size(), 10u);
}

class UnplugSession : public ::testing::Test
{
protected:
    UnplugSession()
        : bench(QJsonObject{{"unplug_after_transfers", 9}})
        , hardware(bench.bus())
    {
    }
    CameraBench bench;
    bxHardwareLib hardware;
};

TEST_F(UnplugSession, RemovalNamesTheSessionsDeviceAndLaterRequestsFailWithNoDevice)
{
    std::vector<UsbDeviceId> removed;
    QObject context;
    auto token = bench.bus().watch(&context, [](const UsbDeviceInfo &) {},
                                   [&](const UsbDeviceInfo &info) { removed.push_back(info.id); });
    ASSERT_TRUE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
    const UsbDeviceId session = hardware.GetUSBInterfaceInterfaceHandle()->deviceId();
    uint8_t value = 0;
    EXPECT_EQ(usbreq_readRegister(0x00, &value), 0xE00002C0u); // transfer 9 goes through, 10 finds it gone
    ASSERT_TRUE(processEventsUntil([&] { return !removed.empty(); }));
    EXPECT_EQ(removed, std::vector<UsbDeviceId>{session});
    const auto trace = bench.trace();
    ASSERT_EQ(trace.size(), 10u);
    EXPECT_EQ(trace[8].status, 0u);
    EXPECT_EQ(trace[9].status, 0xE00002C0u);
}

class DescriptorStrings : public OpenSession
{
protected:
    DescriptorStrings()
        : OpenSession(QJsonObject{{"eeprom", "eeprom.bin"}})
    {
    }
};

TEST_F(DescriptorStrings, FlashRecordStringsStayInsideTheirBuffer)
{
    _QLV2_USER_SPACE_t &user = hardware.myQLV2_FW_Info.UserSpaceData;
    const QString product = QStringLiteral("LUMIVEX Audio T");
    for (qsizetype i = 0; i < product.size(); ++i) {
        user.ProductString.StringData[2 * i] = uint8_t(product[i].unicode());
        user.ProductString.StringData[2 * i + 1] = 0;
    }
    user.ProductString.StringLen = uint8_t(2 * product.size());
    EXPECT_EQ(hardware.GetProductString(), "LUMIVEX  T"); // the blank before "Audio" stays

    const QString vendor = QStringLiteral("LUMIVEX");
    for (qsizetype i = 0; i < vendor.size(); ++i)
        user.VendorString.StringData[2 * i] = uint8_t(vendor[i].unicode());
    user.VendorString.StringLen = 255; // longer than any buffer: bounded, NULs removed
    EXPECT_EQ(hardware.GetManufacturerString(), vendor);

    std::fill(std::begin(user.SerialNumber.StringData), std::end(user.SerialNumber.StringData), 'A');
    user.SerialNumber.StringLen = 255;
    const QString serial = hardware.GetSerialNumberString();
    EXPECT_EQ(serial.size(), 64); // 128 bytes of buffer at most
    EXPECT_EQ(serial.left(30), QString(30, QChar(0x4141)));
    EXPECT_TRUE(sent().empty());
}

TEST_F(DescriptorStrings, EepromStringsFollowTheBlocksOffsetsWithinItsBounds)
{
    // The block at EEPROM address 100: product at block offset 32, serial runs off the block's
    // end, manufacturer absent.
    QByteArray block(256, '\0');
    const QByteArray product = utf16Descriptor(QStringLiteral("Cam Audio"));
    block[12] = char(32);
    block[13] = char(product.size());
    block.replace(32, product.size(), product);
    block[14] = char(250);
    block[15] = char(200);
    block.replace(250, 6, utf16Descriptor(QStringLiteral("SN")));
    block[16] = 0;
    block[17] = 10;
    for (int i = 0; i < 256; i += 32)
        ASSERT_EQ(hardware.fEEPROMWrite(uint32_t(100 + i), 32, reinterpret_cast<const uint8_t *>(block.constData()) + i), 0u);

    hardware.is_qlv2_hardware = 0;
    EXPECT_EQ(hardware.GetProductString(), "Cam ");
    EXPECT_EQ(hardware.GetManufacturerString(), "");
    const QString serial = hardware.GetSerialNumberString();
    EXPECT_TRUE(serial.startsWith(QStringLiteral("SN")));
    EXPECT_EQ(serial.size(), 63); // (128 - 2) bytes of text at most

    // A descriptor inside the block gets its NUL: the serial as decoded keeps it.
    block[14] = char(64);
    block[15] = char(6);
    block.replace(64, 6, utf16Descriptor(QStringLiteral("XY")));
    ASSERT_EQ(hardware.fEEPROMWrite(100, 32, reinterpret_cast<const uint8_t *>(block.constData())), 0u);
    ASSERT_EQ(hardware.fEEPROMWrite(164, 32, reinterpret_cast<const uint8_t *>(block.constData()) + 64), 0u);
    hardware.custom_dealloc();
    ASSERT_TRUE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
    hardware.is_qlv2_hardware = 0;
    EXPECT_EQ(hardware.GetSerialNumberString(), QStringLiteral("XY") + QChar(u'\0'));
}

TEST(DeviceSession, DefaultObjectUsesTheApplicationsBusAtEachOpen)
{
    UsbBus::setSystem(nullptr);
    bxHardwareLib hardware;
    EXPECT_FALSE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass)); // nothing attached
    UsbBus::setSystem(std::make_unique<VirtualBus>(*VirtualCameraConfig::parse("{}", QString(), nullptr)));
    EXPECT_TRUE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
    hardware.custom_dealloc();
    UsbBus::setSystem(nullptr);
}
