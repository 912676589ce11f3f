// The device session and the bridge requests against the virtual camera, checked through what
// went over the wire (its trace) and what was printed.
#include "device/bxhardwarelib.h"
#include "device/spiflash.h"
#include "device/usbrequests.h"
#include "tests/spiflash/spiwire.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

namespace {

constexpr uint32_t kVid = 0xF055;
constexpr uint32_t kPid = 0x5201;
constexpr uint16_t kAny = bxHardwareLib::kAnyInterfaceClass;

QJsonArray interfaces(std::initializer_list<std::pair<int, int>> list)
{
    QJsonArray result;
    for (const auto &[cls, sub] : list)
        result.append(QJsonArray{cls, sub});
    return result;
}

// What the call prints, kept apart from the test's own output.
template<typename Call>
QString printedBy(Call &&call)
{
    StdoutCapture out;
    call();
    return out.text();
}

} // namespace

// The first Video Control interface carries the requests and the last HID interface is the one
// the reports address; without either the camera is not of this family and hears nothing. Every
// interface of the class asked for is printed as it is looked at.
TEST(DeviceSession, KeepsTheFirstVideoControlAndAddressesTheLastHidInterface)
{
    const QJsonArray standard = interfaces({{14, 1}, {14, 2}, {1, 1}, {3, 0}});
    const struct { QJsonArray layout; uint16_t interfaceClass; int kept /* -1: not opened */, hid; } cases[] = {
        {standard, kAny, 0, 3},
        {interfaces({{3, 0}, {14, 1}, {14, 2}}), kAny, 1, 0},
        {interfaces({{14, 1}, {3, 0}, {14, 2}, {3, 0}}), kAny, 0, 3},
        {interfaces({{14, 2}, {14, 1}, {14, 1}, {3, 0}}), kAny, 1, 3},
        {interfaces({{14, 2}, {3, 0}}), kAny, -1, 0},
        {interfaces({{14, 1}, {14, 2}}), kAny, -1, 0},
        {standard, 3, -1, 0}, // the HID interface alone
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QJsonDocument(c.layout).toJson(QJsonDocument::Compact).toStdString() + " " + std::to_string(c.interfaceClass));
        CameraBench bench(QJsonObject{{"interfaces", c.layout}});
        bxHardwareLib hardware(bench.bus());
        bool opened = false;
        const QString out = printedBy([&] { opened = hardware.initDevice(kVid, kPid, c.interfaceClass); });
        QString printed;
        for (qsizetype i = 0; i < c.layout.size(); ++i) {
            const int cls = c.layout[i][0].toInt();
            if (c.interfaceClass == kAny || cls == c.interfaceClass)
                printed += QString::asprintf("intfNumber: %d. intfClass: %d, intfSubClass: %d\n", int(i), cls, c.layout[i][1].toInt());
        }
        EXPECT_EQ(out, printed);
        ASSERT_EQ(opened, c.kept >= 0);
        if (!opened) {
            EXPECT_TRUE(bench.trace().empty());
            continue;
        }
        EXPECT_EQ(hardware.GetUSBInterfaceInterfaceHandle()->number(), c.kept);
        for (const TracedTransfer &t : bench.trace())
            EXPECT_EQ(t.wIndex, c.hid);
    }
}

// Every open ends the session before it and reaches only the camera it names; one that cannot be
// opened leaves no session and no identity behind, and the next open is heard by its own camera.
TEST(DeviceSession, EachOpenReachesTheCameraItNamesAndAFailedOneLeavesNothing)
{
    CameraBench bench(QJsonArray{QJsonObject{}, QJsonObject{}, QJsonObject{{"pid", "0x5202"}},
                                 QJsonObject{{"pid", "0x7777"}, {"fail_transfers", QJsonArray{1}}},
                                 QJsonObject{{"pid", "0x7778"}}, QJsonObject{{"pid", "0x7779"}, {"chip", QJsonValue::Null}},
                                 QJsonObject{{"pid", "0x777a"}, {"chip", 0x42}}});
    bench.camera(4).answerShort(2, 1); // the chip's byte, and no more
    bxHardwareLib hardware(bench.bus());
    const struct
    {
        uint32_t vid, pid;
        int attachment; // the camera whose attachment is named, -1: the first with these identifiers
        int reached;    // the camera that hears the open, -1: none
        size_t heard;   // transfers it hears
        bool opened;
        const char *printedLast = "";
    } steps[] = {
        {kVid, kPid, 1, 1, 8, true},
        {kVid, 0x5202, -1, 2, 8, true},
        {kVid, kPid, -1, 0, 8, true},
        {kVid, 0x5202, 1, -1, 0, false}, // the attachment carries other identifiers
        {kVid, 0x1234, -1, -1, 0, false},
        {0x1F055, kPid, -1, -1, 0, false}, // a vendor id beyond 16 bits
        {0x1F055, kPid, 1, -1, 0, false},
        {kVid, 0x7777, -1, 3, 1, false}, // the register read fails
        {kVid, 0x7778, -1, 4, 2, false, "ControlRequestTO: 0xe00002e7\n"},
        {kVid, 0x7779, -1, 5, 1, false, "ControlRequestTO: 0xe000404f\n"}, // a webcam without the bridge
        {kVid, 0x777a, -1, 6, 8, false}, // a foreign chip
        {kVid, kPid, 1, 1, 8, true},
    };
    std::vector<size_t> heard(7, 0);
    for (const auto &step : steps) {
        SCOPED_TRACE(QString::asprintf("%x:%x at %d", step.vid, step.pid, step.attachment).toStdString());
        bool opened = false;
        const QString out = printedBy([&] {
            opened = step.attachment < 0 ? hardware.initDevice(step.vid, step.pid, kAny)
                                         : hardware.initDevice(step.vid, step.pid, kAny, bench.camera(size_t(step.attachment)).attachment());
        });
        EXPECT_EQ(opened, step.opened);
        EXPECT_EQ(out.right(qsizetype(qstrlen(step.printedLast))), step.printedLast);
        if (step.reached >= 0)
            heard[size_t(step.reached)] += step.heard;
        for (size_t i = 0; i < heard.size(); ++i)
            EXPECT_EQ(bench.trace(i).size(), heard[i]) << "camera " << i;
        EXPECT_EQ(hardware.sessionDevice(), opened ? bench.camera(size_t(step.reached)).attachment() : 0);
        EXPECT_EQ(hardware.GetVendorID() << 16 | hardware.GetProductID(), opened ? step.vid << 16 | step.pid : 0);
        EXPECT_EQ(hardware.isQLV2Hardware(), opened);
    }
    // An attachment that has left is not opened again.
    bench.bus().unplug(1);
    EXPECT_FALSE(hardware.initDevice(kVid, kPid, kAny, bench.camera(1).attachment()));
}

// Writes longer than 64 bytes go in chunks, the continued chunk carrying data and not a new
// address; any chunk that fails fails the write.
TEST(DeviceSession, I2cWritesGoInChunksOf64)
{
    FlashSession session;
    const std::vector<uint8_t> bytes = pattern(100, 0); // the first two address 0x0007
    ASSERT_EQ(usbreq_i2cWrite(&session.hardware, 0xA0, 100, bytes.data(), false), 0u);
    const auto wire = session.sent();
    ASSERT_EQ(wire.size(), 2u);
    EXPECT_EQ(wire[0].wire(), "40 03 0000 00a0 64 " + hexOf({bytes.begin(), bytes.begin() + 64}));
    EXPECT_EQ(wire[1].wire(), "40 02 0000 00a0 36 " + hexOf({bytes.begin() + 64, bytes.end()}));
    const std::vector<uint8_t> eeprom = session.bench.camera().eepromContents();
    EXPECT_TRUE(std::equal(bytes.begin() + 2, bytes.end(), eeprom.begin() + 7));

    // A first chunk that fails fails the write, though the last one went through.
    const qint64 firstChunk = qint64(session.bench.camera().transferCount() - wire.size() + 1);
    FlashSession stalled({{"fail_transfers", QJsonArray{firstChunk}}});
    EXPECT_EQ(usbreq_i2cWrite(&stalled.hardware, 0xA0, 100, bytes.data(), false), 0xE000404Fu);
    EXPECT_EQ(stalled.sent().size(), 2u);
}

// An EEPROM piece reads back what was written (its wire is the EEPROM update's). A failed write and a read answered short are printed, and the read leaves the buffer as it was.
// The descriptor block is read once per session, and again by every new session.
TEST(DeviceSession, EepromPiecesFailuresAndTheBlockOfTheSession)
{
    FlashSession session({{"fail_transfers", QJsonArray{12}}});
    bxHardwareLib &hardware = session.hardware;
    const std::vector<uint8_t> data = pattern(32, 0xA0);
    ASSERT_EQ(hardware.fEEPROMWrite(0x0164, 32, data.data()), 0u);
    std::vector<uint8_t> back(32);
    ASSERT_EQ(hardware.fEEPROMRead(0x0164, 32, back.data()), 0u);
    EXPECT_EQ(back, data);

    uint32_t status = 0;
    EXPECT_EQ(printedBy([&] { status = hardware.fEEPROMWrite(0x0164, 32, data.data()); }),
              "CameraControl Error: usbreq_i2cWrite (e000404f)\n");
    EXPECT_EQ(status, 0xE000404Fu);
    session.bench.camera().answerShort(session.bench.camera().transferCount() + 2, 16);
    std::vector<uint8_t> untouched(32, 0xEE);
    EXPECT_EQ(printedBy([&] { status = hardware.fEEPROMRead(0x0164, 32, untouched.data()); }),
              "CameraControl Error: usbreq_i2cRead (e00002e7)\n");
    EXPECT_EQ(status, kShortAnswer);
    EXPECT_EQ(untouched, std::vector<uint8_t>(32, 0xEE));

    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(round == 0 || session.open());
        session.mark();
        const uint8_t *block = hardware.GetEeprom256Bytes();
        EXPECT_EQ(hardware.GetEeprom256Bytes(), block);
        const auto reads = session.sent();
        ASSERT_EQ(reads.size(), 16u);
        for (size_t i = 0; i < 8; ++i)
            EXPECT_EQ(reads[2 * i].data + QString::number(reads[2 * i + 1].wLength), QString::asprintf("%04x32", unsigned(100 + 32 * i)));
    }
}

// Reports too long or without a buffer are refused first. With the session ended every request
// fails with its own code, sends nothing and writes nothing; the flash's time limits are not
// waited out.
TEST(DeviceSession, WithoutASessionRequestsFailWithTheirOwnCodes)
{
    FlashSession session;
    session.hardware.custom_dealloc();
    StderrCapture log;
    ScriptedClock clock(500);
    uint8_t bytes[80] = {};
    uint8_t value = 0xEE;
    EXPECT_EQ(usbreq_setReport(0x87, bytes, 65), 0xFFFFFFFEu);
    EXPECT_EQ(usbreq_getReport(0x93, bytes, 65), 0xFFFFFFFEu);
    EXPECT_EQ(usbreq_setReport(0x87, nullptr, 4), 0xFFFFFFFDu);
    EXPECT_EQ(usbreq_getReport(0x93, nullptr, 40), 0xFFFFFFFDu);
    EXPECT_EQ(session.hardware.fEEPROMRead(0, 32, bytes), 0xE00002D8u);
    EXPECT_EQ(session.hardware.fEEPROMWrite(0, 32, bytes), 0xE00002D8u);
    EXPECT_EQ(usbreq_readRegister(0x00, &value), 0xE00002C0u);
    EXPECT_EQ(value, 0xEE);
    EXPECT_TRUE(log.lines().contains(" Error: No interface to send request"));
    EXPECT_EQ(session.hardware.GetFirmwareVersion(), 0u);
    SPI_FLASH_INFO_t info{};
    EXPECT_FALSE(spi_identifyFlash(&info));
    EXPECT_EQ(clock.now(), 500u); // the start was taken, nothing was waited for
    EXPECT_FALSE(spi_readData(0, 64, bytes) || spi_eraseSector(0) || spi_programPage(0, 4, bytes));
    EXPECT_TRUE(session.sent().empty());
}
