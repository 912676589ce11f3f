// The virtual camera behaves like the hardware, so that a faulty driver cannot pass against it:
// the flash's latch, AND-only programming, block protection, page wrap, busy time (status reads
// only), memories kept across plugs or read from their files; the bridge's reports and the
// malformed requests it stalls; the fault options and the camera description.
// Lost programs, the EEPROM's addressing, the trace line, a program's busy time and the plug files
// are proven by the update, session and end-to-end tests that rely on them.
#include "sim/cameramodel.h"
#include "tests/device/camerabench.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>

#include <algorithm>

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kStall = 0xE000404F;

Bytes addressed(uint8_t opcode, uint32_t address, const Bytes &data = {})
{
    Bytes bytes{opcode, uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)};
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

// Control transfers straight to the model, as the bus would hand them over; `moved` receives the
// bytes a device-to-host transfer moved.
uint32_t transfer(CameraModel &model, uint8_t type, uint8_t request, uint16_t value, uint16_t index, Bytes data,
                  Bytes *moved = nullptr)
{
    UsbDeviceRequest r{.bmRequestType = type, .bRequest = request, .wValue = value, .wIndex = index,
                       .wLength = uint16_t(data.size()), .pData = data.data()};
    const uint32_t status = model.controlTransfer(r, model.attachment());
    if (moved)
        moved->assign(data.begin(), data.begin() + r.wLenDone);
    return status;
}

uint32_t setReport(CameraModel &model, Bytes data) { return transfer(model, 0x21, 0x09, uint16_t(0x0300 | data[0]), 3, data); }
uint32_t getReport(CameraModel &model) { return transfer(model, 0xA1, 0x01, 0x0393, 3, Bytes(41, 0x93)); }
uint32_t i2cWrite(CameraModel &model, Bytes bytes, bool hold = false) { return transfer(model, 0x40, hold ? 0x03 : 0x02, 0, 0xA0, bytes); }
uint32_t i2cRead(CameraModel &model, uint16_t address = 0xA0) { return transfer(model, 0xC0, 0x02, 0, address, Bytes(4)); }

const Bytes kRegisterRead{0x87, 0x08, 0, 0, 4};

// One SPI transaction through the bridge, as the driver clocks it: the bytes out in one data
// report, then `answer` bytes in through one GET_REPORT.
Bytes bridgeSpi(CameraModel &model, const Bytes &out, uint8_t answer = 0)
{
    Bytes report{0x93, 0, uint8_t(out.size()), answer == 0}, in;
    report.insert(report.end(), out.begin(), out.end());
    report.resize(41);
    setReport(model, {0x87, 0x0B, 0, 0, 0}), setReport(model, report);
    if (answer && setReport(model, {0x87, 0x0A, 0, answer, 1}) == 0)
        transfer(model, 0xA1, 0x01, 0x0393, 3, Bytes(41, 0x93), &in);
    in.resize(std::min<size_t>(answer, in.size()));
    return in;
}

// What the flash answers, in hex: a read, the status register.
QString read(CameraModel &model, uint32_t address, uint8_t length) { return hexOf(bridgeSpi(model, addressed(0x03, address), length)); }
QString status(CameraModel &model) { return hexOf(bridgeSpi(model, {0x05}, 1)); }
void latched(CameraModel &model, const Bytes &command) { bridgeSpi(model, {0x06}), bridgeSpi(model, command); }

} // namespace

// Each row runs on a flash holding 0x0F at 0x1000: write-type commands need the latch and clear
// it, and status writes keep bits 0 and 1. Programs, erases (one without its latch too) and
// protection at work are in the bridge's fault table below.
TEST(SpiFlashModel, LatchProgramEraseStatusWriteAndProtection)
{
    const Bytes latch{0x06};
    const struct { const char *name; std::vector<Bytes> commands; const char *seen; QJsonObject camera = {}; } cases[] = {
        {"latch", {latch}, "0f 02"},
        {"write disable", {latch, {0x04}}, "0f 00"},
        {"program without latch", {{0x02, 0x00, 0x10, 0x00, 0x00}}, "0f 00"},
        {"status write without latch", {{0x01, 0x0C}}, "0f 00"},
        {"status write", {latch, {0x01, 0x0F}}, "0f 0c"},
        // A program runs on inside its page: the byte past the page's end lands on the page's first.
        {"program wraps in a 256-byte page", {latch, addressed(0x02, 0x10FF, {0x01, 0x02})}, "02 00"},
        {"program wraps in a 32-byte page", {latch, addressed(0x02, 0x101F, {0x01, 0x02})}, "02 00", {{"jedec", "C22210"}}},
    };
    for (const auto &c : cases) {
        CameraBench bench(c.camera);
        latched(bench.camera(), addressed(0x02, 0x1000, {0x0F}));
        for (const Bytes &command : c.commands)
            bridgeSpi(bench.camera(), command);
        EXPECT_EQ(read(bench.camera(), 0x1000, 1) + ' ' + status(bench.camera()), QLatin1String(c.seen)) << c.name;
    }
}

// A memory with a file reads it at every plug (0xFF where it is short) and writes each change
// back; one without a file keeps its content across plugs, and its block protection.
TEST(SpiFlashModel, MemoriesReadTheirFileAtEveryPlugOrKeepTheirContentAndProtection)
{
    ScratchFolder folder;
    folder.write("flash.bin", QByteArray("\x12\x34", 2));
    CameraBench filed(QJsonObject{{"flash", folder.filePath("flash.bin")}, {"jedec", "C2200D"}}), unfiled;
    EXPECT_EQ(read(filed.camera(), 0, 3), "1234ff");
    for (CameraBench *bench : {&filed, &unfiled})
        latched(bench->camera(), addressed(0x02, 0x1000, {0x00, 0x11}));
    latched(unfiled.camera(), {0x01, 0x0C});
    QFile file(folder.filePath("flash.bin"));
    const QByteArray content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    ASSERT_EQ(content.size(), 8192);
    EXPECT_EQ(content.left(3) + content.mid(0x1000, 3), QByteArray("\x12\x34\xFF\x00\x11\xFF", 6));

    folder.write("flash.bin", QByteArray("\x56", 1));
    for (CameraBench *bench : {&filed, &unfiled})
        bench->bus().unplug(0), bench->bus().plug(0);
    EXPECT_EQ(read(filed.camera(), 0, 2) + read(filed.camera(), 0x1000, 1), "56ffff");
    EXPECT_EQ(read(unfiled.camera(), 0x1000, 2) + ' ' + status(unfiled.camera()), "0011 0c");
}

TEST(Bridge, StallsWhatTheHardwareWouldNotAnswerAndMalformedRequests)
{
    const auto sized = [](size_t length, Bytes head) { return head.resize(length, 0), head; };
    // `announcement`: the command report sent first, if any.
    const Bytes spiWrite{0x87, 0x0B, 0, 0, 0};
    const struct { const char *name; Bytes announcement; uint8_t bmRequestType, bRequest; uint16_t wValue, wIndex; Bytes data; } cases[] = {
        {"data report read without announcement", {}, 0xA1, 0x01, 0x0393, 3, sized(41, {0x93})},
        {"unknown report", {}, 0x21, 0x09, 0x0342, 3, {0x42, 0, 0, 0, 0}},
        {"not the HID interface", {}, 0x21, 0x09, 0x0387, 0, kRegisterRead},
        {"I2C read from nobody at 0x50", {}, 0xC0, 0x02, 0, 0x50, sized(4, {})},
        {"command report of 4 bytes", {}, 0x21, 0x09, 0x0387, 3, {0x87, 0x08, 0, 0}},
        {"command report with another id first", {}, 0x21, 0x09, 0x0387, 3, {0x93, 0x08, 0, 0, 4}},
        {"data report of 40 bytes", spiWrite, 0x21, 0x09, 0x0393, 3, sized(40, {0x93, 0, 1, 1, 0x06})},
        {"data report read of 65 bytes", kRegisterRead, 0xA1, 0x01, 0x0393, 3, sized(65, {0x93})},
        {"I2C write with a value", {}, 0x40, 0x02, 0x0001, 0xA0, {0x00, 0x10, 0x00}},
        {"I2C write of 65 bytes", {}, 0x40, 0x02, 0, 0xA0, sized(65, {})},
    };
    CameraBench bench;
    CameraModel &model = bench.camera();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.announcement.empty() || setReport(model, c.announcement) == 0);
        EXPECT_EQ(transfer(model, c.bmRequestType, c.bRequest, c.wValue, c.wIndex, c.data), kStall);
    }
    EXPECT_EQ(model.flashContents(), Bytes(model.flashContents().size(), 0xFF));
    EXPECT_EQ(model.eepromContents()[0x10], 0xFF);

    ASSERT_EQ(setReport(model, kRegisterRead), 0u);
    ASSERT_EQ(getReport(model), 0u);
    EXPECT_EQ(getReport(model), kStall); // an announcement holds once

    CameraBench webcam(QJsonObject{{"chip", QJsonValue::Null}});
    EXPECT_EQ(setReport(webcam.camera(), kRegisterRead), kStall);
    EXPECT_EQ(i2cRead(webcam.camera()), kStall);
}

// A stalled transfer leaves a report's announcement and ends a held I2C write; the device leaves
// after the transfer named, is reported gone and answers nothing more; a dropped watch hears
// nothing of its return.
TEST(Bridge, FaultOptionsStallEndHeldWritesAndUnplug)
{
    CameraBench bench(QJsonObject{{"fail_transfers", QJsonArray{2, 5}}, {"unplug_after_transfers", 6}});
    CameraModel &model = bench.camera();
    int arrived = 0;
    bool left = false;
    QObject context;
    auto token = bench.bus().watch(&context, [&](const UsbDeviceInfo &) { ++arrived; }, [&](const UsbDeviceInfo &) { left = true; });
    EXPECT_EQ(setReport(model, kRegisterRead), 0u);
    EXPECT_EQ(getReport(model), kStall);
    EXPECT_EQ(getReport(model), 0u);
    ASSERT_EQ(i2cWrite(model, {0x00, 0x10}, true), 0u); // the address of a read
    EXPECT_EQ(i2cRead(model), kStall);
    ASSERT_EQ(i2cWrite(model, {0x00, 0x20, 0xAB}), 0u); // a new write: address first
    EXPECT_EQ(getReport(model), 0xE00002C0u);
    EXPECT_TRUE(processEventsUntil([&] { return left; }));
    const Bytes eeprom = model.eepromContents();
    EXPECT_EQ(Bytes({eeprom[0x10], eeprom[0x20]}), Bytes({0xFF, 0xAB}));
    EXPECT_EQ(bench.bus().openDevice(0xF055, 0x5201), nullptr);
    token.reset();
    bench.bus().plug(0);
    drainMainQueue();
    EXPECT_EQ(arrived, 1);
}

// One pass of a host over the flash through the bridge, 32 control transfers: identify (its
// GET_REPORT is transfer 4), program 0x1000 (latch: 5-6) and erase its sector (latch: 9-10), read
// it back, protect and unprotect, read the status, identify again. The flash starts with 5A 5A at
// 0x1000, and a program only clears bits. What the host sees, then the transfers that stalled or
// came back short, from the trace.
TEST(Bridge, FaultOptionsAsTheHostSeesThemOnTheWire)
{
    const struct { const char *name; QJsonObject camera; const char *seen; } cases[] = {
        {"no fault", {}, "c22010 ffff 00 c22010"},
        {"protected: program and erase ignored", {{"status", 0x0C}}, "c22010 5a5a 00 c22010"},
        {"erase ignored", {{"ignore_erases", QJsonArray{1}}}, "c22010 0a50 00 c22010"},
        {"read flipped", {{"flip_reads", QJsonArray{1}}}, "c22010 feff 00 c22010"},
        {"protection stuck once set", {{"stuck_protection", true}}, "c22010 ffff 0c c22010"},
        {"protection stuck from the start", {{"stuck_protection", true}, {"status", 0x0C}}, "c22010 5a5a 0c c22010"},
        {"latch set, stall reported", {{"act_then_fail", QJsonArray{10, 12}}}, "c22010 ffff 00 c22010 stalled 10 stalled 12"},
        {"latch stalled, never set", {{"fail_transfers", QJsonArray{10}}}, "c22010 0a50 00 c22010 stalled 10"},
        // Busy, the part answers status reads only: latches, reads and the identifier go unanswered.
        // A long erase, so that the part is still busy on a loaded machine; nothing waits it out.
        {"erase still running", {{"erase_ms", 2000}}, "c22010 ffff 01 ffffff"},
        {"never ready after the program", {{"never_ready", true}}, "c22010 ffff 01 ffffff"},
        {"answer stalled, nothing moved", {{"fail_transfers", QJsonArray{4}}}, " ffff 00 c22010 stalled 4"},
        {"answer half moved", {{"short_answers", QJsonArray{3, 4}}}, "c22010 ffff 00 c22010 short 4:20"},
        {"identifier changed", {{"jedec_after", QJsonArray{4, "EF3014"}}}, "c22010 ffff 00 ef3014"},
    };
    Bytes flash(0x1002, 0xFF);
    flash[0x1000] = flash[0x1001] = 0x5A;
    for (const auto &c : cases) {
        CameraBench bench(c.camera, flash);
        CameraModel &model = bench.camera();
        QStringList seen{hexOf(bridgeSpi(model, {0x9F}, 3))};
        latched(model, addressed(0x02, 0x1000, {0x0F, 0xF0}));
        latched(model, addressed(0x20, 0x1000));
        seen << read(model, 0x1000, 2);
        latched(model, {0x01, 0x0C});
        latched(model, {0x01, 0x00});
        seen << status(model) << hexOf(bridgeSpi(model, {0x9F}, 3));
        for (const TracedTransfer &t : bench.trace()) {
            if (t.status)
                seen << QStringLiteral("stalled %1").arg(t.n);
            else if (t.bmRequestType == 0xA1 && t.data.size() < 2 * t.wLength)
                seen << QStringLiteral("short %1:%2").arg(t.n).arg(t.data.size() / 2);
        }
        EXPECT_EQ(seen.join(u' '), QLatin1String(c.seen)) << c.name;
        // The size follows the identifier the description gives, not the one answered later.
        EXPECT_EQ(model.flashContents().size(), 65536u) << c.name;
    }
}

TEST(VirtualCameraConfig, ParsesNumbersHexAndArraysAndRefusesMalformedFields)
{
    QString error;
    auto configs = VirtualCameraConfig::parse(
        R"([{"vid":"0x1D6B","pid":"010","chip":null,"interfaces":[[3,0]],"fail_transfers":[1,"0X3","08"],
             "unplug_after_transfers":"18446744073709551615"},{}])", "/tmp", &error);
    ASSERT_TRUE(configs) << qPrintable(error);
    ASSERT_EQ(configs->size(), 2u);
    const VirtualCameraConfig &c = configs->front(); // decimal unless "0x"
    EXPECT_EQ(std::tuple(c.vid, c.pid, c.chip.has_value(), c.failTransfers, c.unplugAfterTransfers),
              std::tuple(0x1D6B, 10, false, std::set<uint64_t>{1, 3, 8}, UINT64_MAX));

    ScratchFolder folder;
    folder.write("flash.bin", {});
    folder.write("folder/eeprom.bin", {});
    ASSERT_TRUE(QFile::link(folder.filePath("flash.bin"), folder.filePath("link.bin")));
    // Each row: a description (its text when it is a string), and the reason it is refused or the
    // flash size it gives.
    QFile file(QStringLiteral(CAMERA_DESCRIPTIONS));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray rows = QJsonDocument::fromJson(file.readAll()).array();
    ASSERT_GT(rows.size(), 20);
    for (const QJsonValue &value : rows) {
        const QJsonValue camera = value[QLatin1String("camera")], refused = value[QLatin1String("refused")];
        const QByteArray text =
            camera.isString() ? camera.toString().toUtf8() : QJsonDocument::fromVariant(camera.toVariant()).toJson();
        error.clear();
        const auto parsed = VirtualCameraConfig::parse(text, folder.path(), &error);
        EXPECT_TRUE(refused.isUndefined() ? parsed && error.isEmpty()
                                          : !parsed && !error.isEmpty() && error.contains(refused.toString()))
            << text.toStdString() << ": " << qPrintable(error);
        if (const QJsonValue size = value[QLatin1String("flash_size")]; parsed && !size.isUndefined()) {
            EXPECT_EQ(parsed->front().flashSize, uint32_t(size.toInteger())) << text.toStdString();
        }
    }
}
