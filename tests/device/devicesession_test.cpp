// The device session and the bridge requests against the virtual camera, checked through what
// went over the wire (its trace) and what was printed.
#include "device/bxhardwarelib.h"
#include "device/usbrequests.h"
#include "tests/device/camerabench.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>

namespace {

constexpr uint32_t kVid = 0xF055;
constexpr uint32_t kPid = 0x5201;
constexpr uint32_t kAny = bxHardwareLib::kAnyInterfaceClass;

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
    d.append(char(2 + 2 * text.size())).append(char(0x03));
    for (const QChar c : text)
        d.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return d;
}

std::vector<uint8_t> counting(size_t size, uint8_t first = 0)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(first + i);
    return bytes;
}

// Opens a session; what it prints is handed back, apart from the test's own output.
bool open(bxHardwareLib &hardware, QString *printed, uint32_t pid = kPid, uint32_t interfaceClass = kAny)
{
    StdoutCapture out;
    const bool opened = hardware.initDevice(kVid, pid, interfaceClass);
    *printed = out.text();
    return opened;
}

} // namespace

TEST(DeviceSession, HidInterfaceIsLearnedWhereverItStandsAndTheLastOneWins)
{
    struct Case { QJsonArray layout; int chip, keptNumber /* -1: none kept */, hidNumber; };
    const Case cases[] = {
        {interfaces({{3, 0}, {14, 1}, {14, 2}}), 0xB0, 1, 0},          // HID first
        {interfaces({{14, 1}, {14, 2}, {1, 1}, {3, 0}}), 0xB3, 0, 3},  // HID last
        {interfaces({{14, 1}, {3, 0}, {14, 2}, {3, 0}}), 0xB3, 0, 3},  // two HID: the later one
        {interfaces({{14, 2}, {14, 1}, {14, 1}, {3, 0}}), 0xB3, 1, 3}, // two Video Control: the first
        {interfaces({{14, 2}, {3, 0}}), 0xB3, -1, 0},                  // no Video Control
        {interfaces({{14, 1}, {14, 2}}), 0xB3, -1, 0},                 // no HID: not of this family
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QJsonDocument(c.layout).toJson(QJsonDocument::Compact).toStdString());
        CameraBench bench(QJsonObject{{"interfaces", c.layout}, {"chip", c.chip}});
        bxHardwareLib hardware(bench.bus());
        gHIDInterfaceNumber = 77;
        QString printed;
        const bool opened = open(hardware, &printed);
        if (c.keptNumber < 0) {
            EXPECT_FALSE(opened);
            EXPECT_EQ(printed.count("intfNumber"), c.layout.size()); // and nothing more
            EXPECT_EQ(printed.count('\n'), c.layout.size());
            EXPECT_TRUE(bench.trace().empty());
            EXPECT_FALSE(hardware.GetUSBInterfaceInterfaceHandle());
            continue;
        }
        ASSERT_TRUE(opened);
        ASSERT_TRUE(hardware.GetUSBInterfaceInterfaceHandle());
        EXPECT_EQ(hardware.GetUSBInterfaceInterfaceHandle()->number(), c.keptNumber);
        EXPECT_EQ(gHIDInterfaceNumber.load(), c.hidNumber);
        ASSERT_FALSE(bench.trace().empty());
        for (const TracedTransfer &t : bench.trace())
            EXPECT_EQ(t.wIndex, c.hidNumber);
    }
}

TEST(DeviceSession, OpenPrintsEveryInterfaceAndReadsTheChipTwice)
{
    CameraBench bench;
    bxHardwareLib hardware(bench.bus());
    QString printed;
    ASSERT_TRUE(open(hardware, &printed));
    EXPECT_EQ(printed, "intfNumber: 0. intfClass: 14, intfSubClass: 1\n"
                          "intfNumber: 1. intfClass: 14, intfSubClass: 2\n"
                          "intfNumber: 2. intfClass: 1, intfSubClass: 1\n"
                          "intfNumber: 3. intfClass: 3, intfSubClass: 0\n");
    const auto trace = bench.trace();
    // Register read, the flash's boot configuration (a blank flash: nothing more), chip read.
    ASSERT_EQ(trace.size(), 8u);
    EXPECT_EQ(trace[0].wire(), "21 09 0387 0003 5 8708000004");
    EXPECT_EQ(trace[1].wire().left(21), "a1 01 0393 0003 41 b3");
    EXPECT_EQ(hardware.GetVendorID(), kVid);
    EXPECT_EQ(hardware.GetProductID(), kPid);
    EXPECT_EQ(hardware.isQLV2Hardware(), 1);
    EXPECT_EQ(hardware.sessionDevice(), bench.camera().attachment());

    // Neither a class the camera only has as HID, nor one without its HID interface.
    EXPECT_FALSE(open(hardware, &printed, kPid, 3));
    EXPECT_EQ(printed, "intfNumber: 3. intfClass: 3, intfSubClass: 0\n");
    EXPECT_FALSE(open(hardware, &printed, kPid, 14));
    EXPECT_EQ(bench.trace().size(), 8u);
}

// Every open starts from no session: the camera it names is the only one it talks to, and one
// that cannot be opened leaves no session and no identity behind.
TEST(DeviceSession, EachOpenEndsTheSessionBeforeAndReachesTheCameraItNames)
{
    CameraBench bench(QJsonArray{QJsonObject{}, QJsonObject{}, QJsonObject{{"pid", "0x5202"}}});
    bxHardwareLib hardware(bench.bus());
    const UsbDeviceId second = bench.camera(1).attachment();
    const struct
    {
        uint32_t vid, pid;
        UsbDeviceId attachment; // 0: the first with these identifiers
        int opened;             // the camera that gets the session, -1: none
    } steps[] = {
        {kVid, kPid, second, 1},
        {kVid, 0x5202, 0, 2}, // without custom_dealloc before
        {kVid, kPid, 0, 0},
        {kVid, 0x5202, second, -1}, // the attachment carries other identifiers
        {kVid, 0x1234, 0, -1},
        {0x1F055, kPid, 0, -1},     // a vendor id beyond 16 bits
        {0x1F055, kPid, second, -1},
    };
    std::vector<size_t> heard(3, 0);
    for (const auto &step : steps) {
        SCOPED_TRACE(step.opened);
        const bool opened = step.attachment ? hardware.initDevice(step.vid, step.pid, kAny, step.attachment)
                                            : hardware.initDevice(step.vid, step.pid, kAny);
        EXPECT_EQ(opened, step.opened >= 0);
        if (step.opened >= 0)
            heard[size_t(step.opened)] += 8;
        for (size_t i = 0; i < heard.size(); ++i)
            EXPECT_EQ(bench.trace(i).size(), heard[i]) << i;
        EXPECT_EQ(hardware.sessionDevice(), step.opened >= 0 ? bench.camera(size_t(step.opened)).attachment() : 0);
        EXPECT_EQ(hardware.GetProductID(), step.opened >= 0 ? step.pid : 0);
    }
    // An attachment that has left is not opened again.
    bench.bus().unplug(1);
    EXPECT_FALSE(hardware.initDevice(kVid, kPid, kAny, second));
}

// A failed open must not leave its interface kept: the right camera opened next gets the requests.
TEST(DeviceSession, FailedOpenDropsTheInterfaceForTheNextCamera)
{
    struct Case { const char *name; QJsonObject camera; uint64_t shortAnswer; size_t sentToIt; };
    const Case cases[] = {
        {"failed register read", {{"fail_transfers", QJsonArray{1}}}, 0, 1},
        {"register answer short of the report", {}, 2, 2},
        {"webcam without bridge", {{"chip", QJsonValue::Null}, {"product", "Some Webcam"}}, 0, 1},
        {"foreign chip", {{"chip", 0x42}}, 0, 8},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject failing = c.camera;
        failing["pid"] = "0x7777";
        CameraBench bench(QJsonArray{failing, QJsonObject{}});
        if (c.shortAnswer)
            bench.camera(0).answerShort(c.shortAnswer, 1); // the chip's byte, and no more
        bxHardwareLib hardware(bench.bus());
        QString printed;
        EXPECT_FALSE(open(hardware, &printed, 0x7777));
        EXPECT_EQ(hardware.sessionDevice(), 0u);
        EXPECT_EQ(hardware.isQLV2Hardware() + hardware.GetVendorID() + hardware.GetProductID(), 0);
        if (c.shortAnswer) {
            EXPECT_TRUE(printed.endsWith("ControlRequestTO: 0xe00002e7\n"));
        }
        ASSERT_TRUE(hardware.initDevice(kVid, kPid, kAny));
        EXPECT_EQ(bench.trace(0).size(), c.sentToIt);
        EXPECT_EQ(bench.trace(1).size(), 8u);
    }
}

TEST(DeviceSession, DefaultObjectUsesTheApplicationsBusAtEachOpen)
{
    UsbBus::setSystem(nullptr);
    bxHardwareLib hardware;
    EXPECT_FALSE(hardware.initDevice(kVid, kPid, kAny)); // nothing attached
    UsbBus::setSystem(std::make_unique<VirtualBus>(*VirtualCameraConfig::parse("{}", QString(), nullptr)));
    EXPECT_TRUE(hardware.initDevice(kVid, kPid, kAny));
    hardware.custom_dealloc();
    UsbBus::setSystem(nullptr);
}

TEST(DeviceSession, FailedI2cChunkIsReportedAndTheTransferGoesOn)
{
    CameraBench bench(QJsonObject{{"fail_transfers", QJsonArray{9}}}); // the first chunk after the open
    bxHardwareLib hardware(bench.bus());
    ASSERT_TRUE(hardware.initDevice(kVid, kPid, kAny));
    std::vector<uint8_t> bytes(100, 0x11);
    StdoutCapture out;
    EXPECT_EQ(usbreq_i2cWrite(&hardware, 0xA0, 100, bytes.data(), false), 0u); // the last chunk succeeded
    EXPECT_EQ(out.text(), "CameraControl Error: usbreq_i2cWrite (e000404f)\n");
    EXPECT_EQ(bench.trace().size(), 10u);
}

class OpenSession : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hardware.initDevice(kVid, kPid, kAny));
        opening = bench.trace().size();
    }

    // The transfers since the session was opened.
    std::vector<TracedTransfer> sent() const
    {
        const auto all = bench.trace();
        return {all.begin() + qsizetype(opening), all.end()};
    }

    void writeEeprom(uint32_t address, const QByteArray &bytes)
    {
        ASSERT_EQ(hardware.fEEPROMWrite(address, uint32_t(bytes.size()), reinterpret_cast<const uint8_t *>(bytes.constData())), 0u);
    }

    CameraBench bench{QJsonObject{{"eeprom", "eeprom.bin"}}};
    bxHardwareLib hardware{bench.bus()};
    size_t opening = 0;
};

TEST_F(OpenSession, EepromWriteOf32BytesIsOneRequestOf34AndTheReadAHeldAddressWrite)
{
    const std::vector<uint8_t> data = counting(32, 0xA0);
    ASSERT_EQ(hardware.fEEPROMWrite(0x0164, 32, data.data()), 0u);
    std::vector<uint8_t> back(32);
    ASSERT_EQ(hardware.fEEPROMRead(0x0164, 32, back.data()), 0u);
    EXPECT_EQ(back, data);
    const auto wire = sent();
    ASSERT_EQ(wire.size(), 3u);
    EXPECT_EQ(wire[0].wire(), "40 02 0000 00a0 34 0164" + hexOf(data));
    EXPECT_EQ(wire[1].wire(), "40 03 0000 00a0 2 0164");
    EXPECT_EQ(wire[2].wire(), "c0 02 0000 00a0 32 " + hexOf(data));
    // Stored at 0x164 and written through to the file.
    QFile file(bench.folder().filePath("eeprom.bin"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().mid(0x164, 32), QByteArray(reinterpret_cast<const char *>(data.data()), 32));

    // A read answered with fewer bytes than asked for fails and leaves the buffer as it was.
    bench.camera().answerShort(bench.camera().transferCount() + 2, 16);
    std::vector<uint8_t> untouched(32, 0xEE);
    StdoutCapture out;
    EXPECT_EQ(hardware.fEEPROMRead(0x0164, 32, untouched.data()), kShortAnswer);
    EXPECT_EQ(untouched, std::vector<uint8_t>(32, 0xEE));
    EXPECT_EQ(out.text(), "CameraControl Error: usbreq_i2cRead (e00002e7)\n");
}

TEST_F(OpenSession, LongerEepromTransfersGoInPiecesOf32)
{
    const std::vector<uint8_t> data = counting(70);
    ASSERT_EQ(hardware.fEEPROMWrite(0x1000, 70, data.data()), 0u);
    std::vector<uint8_t> back(70);
    ASSERT_EQ(hardware.fEEPROMRead(0x1000, 70, back.data()), 0u);
    EXPECT_EQ(back, data);
    // Writes of 34, 34 and 8 bytes; reads of 32, 32 and 6, each behind its address write.
    QStringList heads;
    for (const TracedTransfer &t : sent())
        heads.append(t.wire().section(' ', 0, 4) + ' ' + t.data.left(4));
    EXPECT_EQ(heads, QStringList({"40 02 0000 00a0 34 1000", "40 02 0000 00a0 34 1020", "40 02 0000 00a0 8 1040",
                                  "40 03 0000 00a0 2 1000", "c0 02 0000 00a0 32 0001", "40 03 0000 00a0 2 1020",
                                  "c0 02 0000 00a0 32 2021", "40 03 0000 00a0 2 1040", "c0 02 0000 00a0 6 4041"}));

    // A multiple of 32: the write still ends with the bare address, which stores nothing; the read
    // ends with its last piece, as does a read of nothing, so no address is left held for the
    // write after them to run on from.
    const std::vector<uint8_t> before = bench.camera().eepromContents();
    ASSERT_EQ(hardware.fEEPROMWrite(0x2000, 64, data.data()), 0u);
    ASSERT_EQ(hardware.fEEPROMRead(0x2000, 64, back.data()), 0u);
    ASSERT_EQ(hardware.fEEPROMRead(0x2000, 0, back.data()), 0u);
    writeEeprom(0x3000, QByteArray("\x5a\x5b", 2));
    heads.clear();
    const auto wire = sent();
    for (auto t = wire.begin() + 9; t != wire.end(); ++t)
        heads.append(t->wire().section(' ', 0, 4) + ' ' + t->data.left(4));
    EXPECT_EQ(heads, QStringList({"40 02 0000 00a0 34 2000", "40 02 0000 00a0 34 2020", "40 02 0000 00a0 2 2040",
                                  "40 03 0000 00a0 2 2000", "c0 02 0000 00a0 32 0001", "40 03 0000 00a0 2 2020",
                                  "c0 02 0000 00a0 32 2021", "40 02 0000 00a0 4 3000"}));
    const std::vector<uint8_t> eeprom = bench.camera().eepromContents();
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 64, eeprom.begin() + 0x2000));
    EXPECT_EQ(eeprom[0x2040], before[0x2040]);
    EXPECT_EQ(eeprom[0x3000] << 8 | eeprom[0x3001], 0x5a5b);
}

TEST_F(OpenSession, I2cWriteOf100BytesIsSplit64And36)
{
    std::vector<uint8_t> bytes = counting(100);
    bytes[0] = 0x00;
    bytes[1] = 0x10;
    for (const bool hold : {false, true}) {
        const size_t before = sent().size();
        ASSERT_EQ(usbreq_i2cWrite(&hardware, 0xA0, 100, bytes.data(), hold), 0u);
        const auto wire = sent();
        ASSERT_EQ(wire.size(), before + 2);
        EXPECT_EQ(wire[before].wire(), "40 03 0000 00a0 64 " + hexOf({bytes.begin(), bytes.begin() + 64}));
        EXPECT_EQ(wire[before + 1].wire(), QString(hold ? "40 03" : "40 02") + " 0000 00a0 36 " + hexOf({bytes.begin() + 64, bytes.end()}));
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
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(wire[2 * i].data, QString::asprintf("%04x", unsigned(0x64 + 32 * i)));
        EXPECT_EQ(wire[2 * i + 1].wLength, 32);
    }
    EXPECT_EQ(hardware.GetEeprom256Bytes(), block);
    EXPECT_EQ(sent().size(), 16u);

    // A new session reads it again, whether the last one was ended or not.
    for (const bool ended : {true, false}) {
        if (ended)
            hardware.custom_dealloc();
        ASSERT_TRUE(hardware.initDevice(kVid, kPid, kAny));
        const size_t reopened = sent().size();
        hardware.GetEeprom256Bytes();
        EXPECT_EQ(sent().size(), reopened + 16);
    }
}

TEST_F(OpenSession, FirmwareVersionFromTheRecordOrBigEndianFromTheEeprom)
{
    hardware.myQLV2_FW_Info.UserSpaceData.FirmwareVersion = 0x0102;
    EXPECT_EQ(hardware.GetFirmwareVersion(), 0x0102u);
    EXPECT_TRUE(sent().empty());

    writeEeprom(96, QByteArray("\x12\x34\x56\x78", 4));
    hardware.is_qlv2_hardware = 0;
    EXPECT_EQ(hardware.GetFirmwareVersion(), 0x12345678u);
    const auto wire = sent();
    ASSERT_EQ(wire.size(), 3u);
    EXPECT_EQ(wire[1].wire(), "40 03 0000 00a0 2 0060");
    EXPECT_EQ(wire[2].wLength, 4);
}

TEST_F(OpenSession, WithoutInterfaceRequestsFailWithTheirOwnCodes)
{
    hardware.custom_dealloc();
    EXPECT_FALSE(hardware.GetUSBInterfaceInterfaceHandle());
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

TEST_F(OpenSession, FlashRecordStringsStayInsideTheirBuffer)
{
    _QLV2_USER_SPACE_t &user = hardware.myQLV2_FW_Info.UserSpaceData;
    const QByteArray product = utf16Descriptor(QStringLiteral("LUMIVEX Audio T")).mid(2);
    std::copy(product.begin(), product.end(), user.ProductString.StringData);
    user.ProductString.StringLen = uint8_t(product.size());
    EXPECT_EQ(hardware.GetProductString(), "LUMIVEX  T"); // the blank before "Audio" stays

    std::copy_n("L\0U\0M\0I\0V\0E\0X", 13, user.VendorString.StringData);
    user.VendorString.StringLen = 255; // longer than any buffer: bounded, NULs removed
    EXPECT_EQ(hardware.GetManufacturerString(), "LUMIVEX");

    std::fill(std::begin(user.SerialNumber.StringData), std::end(user.SerialNumber.StringData), 'A');
    user.SerialNumber.StringLen = 255;
    const QString serial = hardware.GetSerialNumberString();
    EXPECT_EQ(serial.size(), 64); // 128 bytes of buffer at most
    EXPECT_EQ(serial.left(30), QString(30, QChar(0x4141)));
    EXPECT_TRUE(sent().empty());
}

TEST_F(OpenSession, EepromStringsFollowTheBlocksOffsetsWithinItsBounds)
{
    // The block at EEPROM address 100: product at block offset 32, serial runs off the block's
    // end, manufacturer absent.
    QByteArray block(256, '\0');
    const QByteArray product = utf16Descriptor(QStringLiteral("Cam Audio"));
    const char offsets[] = {32, char(product.size()), char(250), char(200), 0, 10}; // product, serial, maker
    block.replace(12, 6, QByteArray(offsets, 6));
    block.replace(32, product.size(), product);
    block.replace(250, 6, utf16Descriptor(QStringLiteral("SN")));
    writeEeprom(100, block);

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
    writeEeprom(100, block.left(32));
    writeEeprom(164, block.mid(64, 32));
    hardware.custom_dealloc();
    ASSERT_TRUE(hardware.initDevice(kVid, kPid, kAny));
    hardware.is_qlv2_hardware = 0;
    EXPECT_EQ(hardware.GetSerialNumberString(), QStringLiteral("XY") + QChar(u'\0'));
}
