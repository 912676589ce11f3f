// The device session against the virtual camera: the interfaces it takes, the camera each open
// reaches, the bridge's I2C and EEPROM requests, the firmware record read from the flash at the
// open, and what is left once the session has ended; checked through what went over the wire (its
// trace) and what was printed.
#include "device/bxhardwarelib.h"
#include "device/spiflash.h"
#include "device/usbrequests.h"
#include "payload/firmwareheader.h"
#include "tests/spiflash/spiwire.h"
#include "tools/firmwareimagebuilder.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

namespace {

constexpr uint32_t kVid = 0xF055;
constexpr uint32_t kPid = 0x5201;
constexpr uint16_t kAny = bxHardwareLib::kAnyInterfaceClass;

// What the call returns and what it prints, kept apart from the test's own output.
template<typename Call>
auto printedBy(Call &&call)
{
    StdoutCapture out;
    const auto result = call();
    return std::pair(result, out.text());
}

// The flash bytes of an image, with the strings and version a camera reports.
std::vector<uint8_t> flashOf(FirmwareImageBuilder builder)
{
    builder.version(0x0102).product(QStringLiteral("LUMIVEX Audio T")).vendor(QStringLiteral("Lumivex Optics"));
    const QByteArray image = builder.serial(QStringLiteral("SN-4711")).build();
    return {image.begin() + qsizetype(FirmwareHeader::kImagePrefixSize), image.end()};
}

// Sets the stated length of the record's string that holds text to 255 bytes.
void overstate(std::vector<uint8_t> &flash, const QString &text)
{
    const QByteArray utf16(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    *(std::search(flash.begin(), flash.end(), utf16.begin(), utf16.end()) - 2) = 255;
}

} // namespace

// The first Video Control interface carries the requests and the last HID interface is the one
// the reports address; without either the camera is not of this family, hears nothing and is
// said to lack the bridge's interfaces. Every
// interface of the class asked for is printed as it is looked at.
TEST(DeviceSession, KeepsTheFirstVideoControlAndAddressesTheLastHidInterface)
{
    using Layout = std::vector<std::pair<int, int>>;
    const Layout standard = {{14, 1}, {14, 2}, {1, 1}, {3, 0}};
    const struct { Layout layout; uint16_t interfaceClass; int kept /* -1: not opened */, hid; } cases[] = {
        {standard, kAny, 0, 3},
        {{{3, 0}, {14, 1}, {14, 2}}, kAny, 1, 0},
        {{{14, 1}, {3, 0}, {14, 2}, {3, 0}}, kAny, 0, 3},
        {{{14, 2}, {14, 1}, {14, 1}, {3, 0}}, kAny, 1, 3},
        {{{14, 2}, {3, 0}}, kAny, -1, 0},
        {{{14, 1}, {14, 2}}, kAny, -1, 0},
        {standard, 3, -1, 0}, // the HID interface alone
    };
    for (const auto &c : cases) {
        QJsonArray layout;
        QString printed;
        for (size_t i = 0; i < c.layout.size(); ++i) {
            const auto [cls, sub] = c.layout[i];
            layout.append(QJsonArray{cls, sub});
            if (c.interfaceClass == kAny || cls == c.interfaceClass)
                printed += QString::asprintf("intfNumber: %d. intfClass: %d, intfSubClass: %d\n", int(i), cls, sub);
        }
        SCOPED_TRACE(QJsonDocument(layout).toJson(QJsonDocument::Compact).toStdString() + " " + std::to_string(c.interfaceClass));
        CameraBench bench(QJsonObject{{"interfaces", layout}});
        bxHardwareLib hardware(bench.bus());
        const auto [opened, out] = printedBy([&] { return hardware.initDevice(kVid, kPid, c.interfaceClass); });
        EXPECT_EQ(out, printed);
        ASSERT_EQ(opened, c.kept >= 0);
        EXPECT_EQ(hardware.lastOpen().reason(), opened ? "" : "no Video Control and HID interfaces: no bridge to talk to");
        EXPECT_EQ(opened ? hardware.GetUSBInterfaceInterfaceHandle()->number() : -1, c.kept);
        EXPECT_EQ(bench.trace().empty(), !opened);
        for (const TracedTransfer &t : bench.trace())
            EXPECT_EQ(t.wIndex, c.hid);
    }
}

// Every open ends the session before it and reaches only the camera it names; one that cannot be
// opened leaves no session and no identity behind, only the reason (and an unknown chip's
// identifier), and the next open is heard by its own camera.
TEST(DeviceSession, EachOpenReachesTheCameraItNamesAndAFailedOneLeavesNothing)
{
    CameraBench bench(QJsonArray{QJsonObject{}, QJsonObject{}, QJsonObject{{"pid", "0x5202"}},
                                 QJsonObject{{"pid", "0x7777"}, {"fail_transfers", QJsonArray{1}}},
                                 QJsonObject{{"pid", "0x7778"}}, QJsonObject{{"pid", "0x7779"}, {"chip", QJsonValue::Null}},
                                 QJsonObject{{"pid", "0x777a"}, {"chip", 0x42}}});
    bench.camera(4).answerShort(2, 1); // the chip's byte, and no more
    bxHardwareLib hardware(bench.bus());
    // attachment: the camera whose attachment is named (-1: the first with these identifiers);
    // reached: the camera that hears the open (-1: none), and how many transfers it hears; failure:
    // why no session was kept, empty when one was.
    const std::string gone = "cannot be opened: it has left, or this user may not open it (see the README on USB permissions)";
    const std::string silent = "the bridge does not answer";
    const struct { uint32_t vid, pid; int attachment, reached; size_t heard; std::string failure; const char *printedLast = ""; } steps[] = {
        {kVid, kPid, 1, 1, 8, ""},
        {kVid, 0x5202, -1, 2, 8, ""},
        {kVid, kPid, -1, 0, 8, ""},
        {kVid, 0x5202, 1, -1, 0, gone}, // the attachment carries other identifiers
        {kVid, 0x1234, -1, -1, 0, gone},
        {0x1F055, kPid, -1, -1, 0, gone}, // a vendor id beyond 16 bits
        {0x1F055, kPid, 1, -1, 0, gone},
        {kVid, 0x7777, -1, 3, 1, silent}, // the register read fails
        {kVid, 0x7778, -1, 4, 2, silent, "ControlRequestTO: 0xe00002e7\n"},
        {kVid, 0x7779, -1, 5, 1, silent, "ControlRequestTO: 0xe000404f\n"}, // a webcam without the bridge
        {kVid, 0x777a, -1, 6, 8, "unknown bridge chip 0x42"}, // a foreign chip
        {kVid, kPid, 1, 1, 8, ""},
    };
    std::vector<size_t> heard(7, 0);
    for (const auto &step : steps) {
        SCOPED_TRACE(QString::asprintf("%x:%x at %d", step.vid, step.pid, step.attachment).toStdString());
        const auto [opened, out] = printedBy([&] {
            return step.attachment < 0 ? hardware.initDevice(step.vid, step.pid, kAny)
                                       : hardware.initDevice(step.vid, step.pid, kAny, bench.camera(size_t(step.attachment)).attachment());
        });
        EXPECT_EQ(std::pair(opened, hardware.lastOpen().reason()), std::pair(step.failure.empty(), step.failure));
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
// address; a first chunk that fails fails the write, though the last one went through. A failed
// EEPROM write and a read answered short are printed, and the read leaves the buffer as it was.
// The descriptor block is read once per session, and again by every new session.
TEST(DeviceSession, I2cChunksEepromFailuresAndTheBlockOfTheSession)
{
    FlashSession session;
    const std::vector<uint8_t> bytes = pattern(100, 0); // the first two address 0x0007
    ASSERT_EQ(usbreq_i2cWrite(session.session(), 0xA0, 100, bytes.data(), false), 0u);
    const auto wire = session.sent();
    ASSERT_EQ(wire.size(), 2u);
    EXPECT_EQ(wire[0].wire(), "40 03 0000 00a0 64 " + hexOf({bytes.begin(), bytes.begin() + 64}));
    EXPECT_EQ(wire[1].wire(), "40 02 0000 00a0 36 " + hexOf({bytes.begin() + 64, bytes.end()}));
    const std::vector<uint8_t> eeprom = session.camera().eepromContents();
    EXPECT_TRUE(std::equal(bytes.begin() + 2, bytes.end(), eeprom.begin() + 7));

    FlashSession stalled({{"fail_transfers", QJsonArray{kOpeningTransfers + 1, kOpeningTransfers + 3}}});
    bxHardwareLib &hardware = stalled.hardware;
    EXPECT_EQ(usbreq_i2cWrite(stalled.session(), 0xA0, 100, bytes.data(), false), 0xE000404Fu);
    EXPECT_EQ(stalled.sent().size(), 2u);
    std::vector<uint8_t> piece(32, 0xEE);
    EXPECT_EQ(printedBy([&] { return hardware.fEEPROMWrite(0x0164, 32, piece.data()); }),
              std::pair(0xE000404Fu, QStringLiteral("CameraControl Error: usbreq_i2cWrite (e000404f)\n")));
    stalled.camera().answerShort(stalled.camera().transferCount() + 2, 16);
    EXPECT_EQ(printedBy([&] { return hardware.fEEPROMRead(0x0164, 32, piece.data()); }),
              std::pair(kShortAnswer, QStringLiteral("CameraControl Error: usbreq_i2cRead (e00002e7)\n")));
    EXPECT_EQ(piece, std::vector<uint8_t>(32, 0xEE));

    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(round == 0 || stalled.open());
        stalled.mark();
        EXPECT_EQ(hardware.GetEeprom256Bytes(), hardware.GetEeprom256Bytes());
        EXPECT_EQ(stalled.sent().size(), 16u); // eight pieces, each an address and a read
    }
}

// Reports too long or without a buffer are refused first. With the session ended every request
// fails with its own code, sends nothing and writes nothing; the flash's time limits are not
// waited out.
TEST(DeviceSession, WithoutASessionRequestsFailWithTheirOwnCodes)
{
    FlashSession session;
    session.scriptClock(500);
    CameraSession &ended = session.session();
    const std::shared_ptr<CameraSession> kept = session.hardware.session();
    session.hardware.custom_dealloc();
    StderrCapture log;
    uint8_t bytes[80] = {}, value = 0xEE;
    EXPECT_EQ((std::array{usbreq_setReport(ended, 0x87, bytes, 65), usbreq_getReport(ended, 0x93, bytes, 65),
                          usbreq_setReport(ended, 0x87, nullptr, 4), usbreq_getReport(ended, 0x93, nullptr, 40)}),
              (std::array{0xFFFFFFFEu, 0xFFFFFFFEu, 0xFFFFFFFDu, 0xFFFFFFFDu}));
    EXPECT_EQ((std::array{session.hardware.fEEPROMRead(0, 32, bytes), session.hardware.fEEPROMWrite(0, 32, bytes),
                          usbreq_readRegister(ended, 0x00, &value)}),
              (std::array{0xE00002D8u, 0xE00002D8u, 0xE00002C0u}));
    EXPECT_EQ(value, 0xEE);
    EXPECT_TRUE(log.lines().contains(" Error: No interface to send request"));
    EXPECT_EQ(session.hardware.GetFirmwareVersion(), 0u);
    SPI_FLASH_INFO_t info{};
    EXPECT_EQ((std::array{spi_identifyFlash(ended, &info), spi_readData(ended, 0, 64, bytes), spi_eraseSector(ended, 0),
                          spi_programPage(ended, 0, 4, bytes)}),
              (std::array{false, false, false, false}));
    // The identification took its start, and each of the erase's and the program's five write
    // enables a start and one look: nothing was waited for.
    EXPECT_EQ(session.now(), 21 * 500u);
    EXPECT_TRUE(session.sent().empty());
}


// The firmware record read from the camera's own flash when it is opened, as 16 bytes at 0 and the
// user space's sector (with the bytes after it where the record runs past its end); the camera's
// strings and version then come from it, each string bounded by its own field. Each open starts
// from an empty record and fills it only from a whole read: after an open that read it, a reopen
// whose transfer 6 (the boot configuration's bytes) or 10 (the user space's first 32 bytes) comes
// back short shows no version and no name; a base address beyond the highest gives no record.
TEST(CameraFirmwareRecord, OpeningReadsTheWholeRecordFromTheFlashOrKeepsNone)
{
    using Layout = FirmwareImageBuilder::Layout;
    const struct { Layout layout; uint32_t base, sector, sectorRead /* bytes */; bool overstated = false; uint64_t shortAnswer = 0; } cases[] = {
        {Layout::BootAddress, 0xE000, 0x10000, 4096},       // the highest base address
        {Layout::CodeAddress, 0x0F00, 0x2000, 0xF00 + 296}, // the record runs past its sector
        {Layout::BootAddress, 0xE000, 0x10000, 4096, true}, // product and serial state more than their field holds
        {Layout::BootAddress, 0xE000, 0x10000, 4096, false, 6},
        {Layout::BootAddress, 0xE000, 0x10000, 4096, false, 10},
        {Layout::BootAddress, 0xE001, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.base << " answered short at " << c.shortAnswer);
        std::vector<uint8_t> flash = flashOf(FirmwareImageBuilder().layout(c.layout).baseAddress(c.base));
        if (c.overstated) {
            overstate(flash, QStringLiteral("LUMIVEX Audio T"));
            overstate(flash, QStringLiteral("SN-4711"));
        }
        FlashSession session({{"jedec", "C22011"}}, flash);
        EXPECT_EQ(session.hardware.GetFirmwareVersion(), c.sector ? 0x0102u : 0u);
        session.camera().answerShort(c.shortAnswer ? session.camera().transferCount() + c.shortAnswer : 0, 8);
        ASSERT_TRUE(session.open()); // again, on the wire this time
        bxHardwareLib &hardware = session.hardware;
        // "Audio" and NULs leave the product name; a string never reads past its own field.
        const QStringList record = !c.sector || c.shortAnswer ? QStringList{"", "0", "", ""}
            : QStringList({"LUMIVEX  T", "102", "Lumivex Optics", c.overstated ? "SN-4711" + QString(57, QChar(u'\0')) : "SN-4711"});
        EXPECT_EQ(QStringList({hardware.GetProductString(), QString::number(hardware.GetFirmwareVersion(), 16),
                               hardware.GetManufacturerString(), hardware.GetSerialNumberString()}), record);
        QStringList reads; // each read's command and the bytes it brought
        for (const SpiTransaction &t : session.transactions())
            reads << QStringLiteral("%1 %2").arg(t.out).arg(t.in.size() / 2);
        if (!c.shortAnswer) {
            EXPECT_EQ(reads.join(u','), "03000000 16" + (c.sector ? QStringLiteral(",03%1 %2").arg(c.sector, 6, 16, QChar(u'0')).arg(c.sectorRead) : ""));
        }
    }
}
