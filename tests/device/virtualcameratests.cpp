// The virtual camera behaves like the hardware: the flash's latch, AND-only programming, page
// wrap, protection and busy time; the EEPROM's addressing; the bridge's reports; the fault
// options, the plug timeline and the trace.
#include "sim/cameramodel.h"
#include "sim/spiflash.h"
#include "tests/device/camerabench.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>

#include <chrono>
#include <thread>

namespace {

VirtualCameraConfig configOf(const QJsonObject &object, const QString &folder = {})
{
    QString error;
    auto configs = VirtualCameraConfig::parse(QJsonDocument(object).toJson(), folder, &error);
    if (!configs)
        qFatal("bad camera description: %s", qPrintable(error));
    return configs->front();
}

// Whole SPI transactions, as the bridge would clock them.
void send(SpiFlash &flash, std::vector<uint8_t> bytes)
{
    flash.clockOut(bytes, true);
}

uint8_t status(SpiFlash &flash)
{
    flash.clockOut(std::vector<uint8_t>{0x05}, false);
    uint8_t value = 0;
    flash.clockIn(std::span(&value, 1), true);
    return value;
}

std::vector<uint8_t> read(SpiFlash &flash, uint32_t address, size_t length)
{
    flash.clockOut(std::vector<uint8_t>{0x03, uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)}, false);
    std::vector<uint8_t> bytes(length);
    flash.clockIn(bytes, true);
    return bytes;
}

void program(SpiFlash &flash, uint32_t address, std::vector<uint8_t> data)
{
    std::vector<uint8_t> bytes{0x02, uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)};
    bytes.insert(bytes.end(), data.begin(), data.end());
    send(flash, bytes);
}

void erase(SpiFlash &flash, uint32_t address)
{
    send(flash, {0x20, uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)});
}

} // namespace

TEST(SpiFlashModel, ProgramNeedsTheLatchClearsBitsOnlyAndTheLatchClearsAfter)
{
    SpiFlash flash(configOf({}));
    program(flash, 0x100, {0x00});
    EXPECT_EQ(read(flash, 0x100, 1)[0], 0xFF); // no latch: ignored

    send(flash, {0x06});
    EXPECT_EQ(status(flash), 0x02);
    program(flash, 0x100, {0xF0, 0x3C});
    EXPECT_EQ(status(flash), 0x00);
    EXPECT_EQ(read(flash, 0x100, 2), (std::vector<uint8_t>{0xF0, 0x3C}));
    send(flash, {0x06});
    program(flash, 0x100, {0x0F, 0xFF});
    EXPECT_EQ(read(flash, 0x100, 2), (std::vector<uint8_t>{0x00, 0x3C})); // new = old AND data

    send(flash, {0x06});
    send(flash, {0x04});
    EXPECT_EQ(status(flash), 0x00);
}

TEST(SpiFlashModel, ProgramWrapsInsideItsPage)
{
    struct Case
    {
        const char *jedec;
        uint32_t page;
    };
    for (const Case c : {Case{"C22010", 256}, Case{"C22210", 32}}) {
        SpiFlash flash(configOf({{"jedec", c.jedec}}));
        EXPECT_EQ(flash.pageSize(), c.page);
        send(flash, {0x06});
        const uint32_t start = 2 * c.page - 2;
        program(flash, start, {0x01, 0x02, 0x03, 0x04});
        EXPECT_EQ(read(flash, start, 2), (std::vector<uint8_t>{0x01, 0x02}));
        EXPECT_EQ(read(flash, c.page, 2), (std::vector<uint8_t>{0x03, 0x04})) << c.jedec;
        EXPECT_EQ(read(flash, 2 * c.page, 1)[0], 0xFF); // the next page is untouched
    }
}

TEST(SpiFlashModel, SectorEraseSetsFourKilobytes)
{
    SpiFlash flash(configOf({}));
    send(flash, {0x06});
    program(flash, 0x1FFF, {0x00});
    send(flash, {0x06});
    program(flash, 0x2000, {0x00});
    erase(flash, 0x1800); // without the latch: nothing
    EXPECT_EQ(read(flash, 0x1FFF, 2), (std::vector<uint8_t>{0x00, 0x00}));
    send(flash, {0x06});
    erase(flash, 0x1800);
    EXPECT_EQ(status(flash), 0x00);
    EXPECT_EQ(read(flash, 0x1FFF, 2), (std::vector<uint8_t>{0xFF, 0x00}));
}

TEST(SpiFlashModel, BlockProtectionIgnoresEraseAndProgramAndStatusWriteKeepsLowBits)
{
    SpiFlash flash(configOf({{"status", 0x0C}}));
    EXPECT_EQ(status(flash), 0x0C);
    send(flash, {0x06});
    program(flash, 0, {0x00});
    send(flash, {0x06});
    erase(flash, 0);
    EXPECT_EQ(read(flash, 0, 1)[0], 0xFF);

    send(flash, {0x01, 0x00}); // no latch: ignored
    EXPECT_EQ(status(flash), 0x0C);
    send(flash, {0x06});
    send(flash, {0x01, 0x03}); // bits 0-1 are not writable
    EXPECT_EQ(status(flash), 0x00);
    send(flash, {0x06});
    program(flash, 0, {0x00});
    EXPECT_EQ(read(flash, 0, 1)[0], 0x00);
}

TEST(SpiFlashModel, WriteInProgressLastsTheBusyTimeAndNeverReadyNeverClears)
{
    SpiFlash flash(configOf({{"erase_ms", 30}}));
    send(flash, {0x06});
    erase(flash, 0);
    EXPECT_EQ(status(flash) & 0x01, 0x01);
    send(flash, {0x06}); // ignored while busy
    EXPECT_EQ(status(flash) & 0x02, 0x00);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_EQ(status(flash), 0x00);

    SpiFlash stuck(configOf({{"never_ready", true}}));
    send(stuck, {0x06});
    program(stuck, 0, {0x00});
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(status(stuck) & 0x01, 0x01);
}

TEST(SpiFlashModel, LostProgramsAreAcknowledgedButNotStored)
{
    SpiFlash flash(configOf({{"lose_programs", QJsonArray{2}}}));
    for (uint32_t page = 0; page < 3; ++page) {
        send(flash, {0x06});
        program(flash, page * 256, {0x00});
        EXPECT_EQ(status(flash), 0x00);
    }
    EXPECT_EQ(read(flash, 0, 1)[0], 0x00);
    EXPECT_EQ(read(flash, 256, 1)[0], 0xFF);
    EXPECT_EQ(read(flash, 512, 1)[0], 0x00);
}

TEST(SpiFlashModel, JedecAndReadsAcrossPieces)
{
    SpiFlash flash(configOf({{"jedec", "EF3014"}}));
    flash.clockOut(std::vector<uint8_t>{0x9F}, false);
    std::vector<uint8_t> id(3);
    flash.clockIn(id, true);
    EXPECT_EQ(id, (std::vector<uint8_t>{0xEF, 0x30, 0x14}));

    send(flash, {0x06});
    program(flash, 0x40, {1, 2, 3, 4, 5});
    flash.clockOut(std::vector<uint8_t>{0x03, 0x00, 0x00, 0x40}, false);
    std::vector<uint8_t> first(2), second(3);
    flash.clockIn(first, false);
    flash.clockIn(second, true);
    EXPECT_EQ(first, (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(second, (std::vector<uint8_t>{3, 4, 5}));
}

TEST(SpiFlashModel, FileIsReadAtPlugAndWrittenBackOnEveryChange)
{
    ScratchFolder folder;
    folder.write("flash.bin", QByteArray("\x12\x34", 2)); // short: the rest reads 0xFF
    SpiFlash flash(configOf({{"flash", "flash.bin"}, {"flash_size", 8192}}, folder.path()));
    EXPECT_EQ(read(flash, 0, 3), (std::vector<uint8_t>{0x12, 0x34, 0xFF}));
    send(flash, {0x06});
    program(flash, 0x1000, {0x00, 0x11});
    QFile file(folder.filePath("flash.bin"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    ASSERT_EQ(content.size(), 8192);
    EXPECT_EQ(content.left(3), QByteArray("\x12\x34\xFF", 3));
    EXPECT_EQ(content.mid(0x1000, 3), QByteArray("\x00\x11\xFF", 3));
}

// The bridge and the fault options, through control transfers.
class Bridge : public ::testing::Test
{
protected:
    uint32_t transfer(CameraModel &model, uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                      std::vector<uint8_t> &data)
    {
        UsbDeviceRequest r;
        r.bmRequestType = type;
        r.bRequest = request;
        r.wValue = value;
        r.wIndex = index;
        r.wLength = uint16_t(data.size());
        r.pData = data.data();
        return model.controlTransfer(r, model.attachment());
    }
    uint32_t setReport(CameraModel &model, std::vector<uint8_t> data, uint16_t index = 3)
    {
        return transfer(model, 0x21, 0x09, uint16_t(0x0300 | data[0]), index, data);
    }
    uint32_t getReport(CameraModel &model, uint8_t id, std::vector<uint8_t> &data, uint16_t index = 3)
    {
        data.assign(41, 0);
        data[0] = id;
        return transfer(model, 0xA1, 0x01, uint16_t(0x0300 | id), index, data);
    }
};

TEST_F(Bridge, RegisterReadAndTheExactTraceLine)
{
    CameraBench bench;
    CameraModel &model = bench.camera();
    ASSERT_EQ(setReport(model, {0x87, 0x08, 0x00, 0x00, 0x04}), 0u);
    std::vector<uint8_t> answer;
    ASSERT_EQ(getReport(model, 0x93, answer), 0u);
    EXPECT_EQ(answer[0], 0xB3);
    QFile file(bench.folder().filePath("trace0.jsonl"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readLine(),
              "{\"n\":1,\"bmRequestType\":33,\"bRequest\":9,\"wValue\":903,\"wIndex\":3,\"wLength\":5,"
              "\"data\":\"8708000004\",\"status\":0}\n");
}

TEST_F(Bridge, StallsWhatTheHardwareWouldNotAnswer)
{
    CameraBench bench;
    CameraModel &model = bench.camera();
    std::vector<uint8_t> answer;
    EXPECT_EQ(getReport(model, 0x93, answer), 0xE000404Fu);              // no announcement
    EXPECT_EQ(setReport(model, {0x42, 0, 0, 0, 0}), 0xE000404Fu);        // unknown report
    EXPECT_EQ(setReport(model, {0x87, 0x08, 0, 0, 4}, 0), 0xE000404Fu);  // not the HID interface
    ASSERT_EQ(setReport(model, {0x87, 0x08, 0, 0, 4}), 0u);
    ASSERT_EQ(getReport(model, 0x93, answer), 0u);
    EXPECT_EQ(getReport(model, 0x93, answer), 0xE000404Fu); // an announcement holds once
    std::vector<uint8_t> i2c(4);
    EXPECT_EQ(transfer(model, 0xC0, 0x02, 0, 0x50, i2c), 0xE000404Fu); // nobody at 0x50

    CameraBench webcam(QJsonObject{{"chip", QJsonValue::Null}});
    EXPECT_EQ(setReport(webcam.camera(), {0x87, 0x08, 0, 0, 4}), 0xE000404Fu);
    EXPECT_EQ(transfer(webcam.camera(), 0xC0, 0x02, 0, 0xA0, i2c), 0xE000404Fu);
}

TEST_F(Bridge, SpiThroughReports)
{
    CameraBench bench(QJsonObject{{"jedec", "C22210"}});
    CameraModel &model = bench.camera();
    // 0B announces an SPI write; the data report carries channel, count, end flag, bytes.
    ASSERT_EQ(setReport(model, {0x87, 0x0B, 0, 0, 0}), 0u);
    std::vector<uint8_t> piece(41, 0);
    piece[0] = 0x93;
    piece[2] = 1;
    piece[3] = 0;
    piece[4] = 0x9F;
    ASSERT_EQ(setReport(model, piece), 0u);
    ASSERT_EQ(setReport(model, {0x87, 0x0A, 0x00, 0x03, 0x01}), 0u);
    std::vector<uint8_t> answer;
    ASSERT_EQ(getReport(model, 0x93, answer), 0u);
    EXPECT_EQ((std::vector<uint8_t>(answer.begin(), answer.begin() + 3)), (std::vector<uint8_t>{0xC2, 0x22, 0x10}));
    EXPECT_EQ(bench.trace()[3].data.left(6), "c22210");
}

TEST_F(Bridge, FaultOptionsStallAndUnplug)
{
    CameraBench bench(QJsonObject{{"fail_transfers", QJsonArray{2}}, {"unplug_after_transfers", 3}});
    CameraModel &model = bench.camera();
    bool left = false;
    QObject context;
    auto token = bench.bus().watch(&context, [](const UsbDeviceInfo &) {}, [&](const UsbDeviceInfo &) { left = true; });
    std::vector<uint8_t> answer;
    EXPECT_EQ(setReport(model, {0x87, 0x08, 0, 0, 4}), 0u);
    EXPECT_EQ(getReport(model, 0x93, answer), 0xE000404Fu);
    EXPECT_EQ(getReport(model, 0x93, answer), 0u); // the stalled transfer left the announcement
    EXPECT_EQ(getReport(model, 0x93, answer), 0xE00002C0u);
    EXPECT_TRUE(processEventsUntil([&] { return left; }));
    const auto trace = bench.trace();
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_EQ(trace[1].status, 0xE000404Fu);
    EXPECT_EQ(trace[1].data, "");
    EXPECT_EQ(trace[3].status, 0xE00002C0u);
    EXPECT_EQ(bench.bus().openDevice(0xF055, 0x5201), nullptr);
}

TEST(VirtualBusTimeline, ArrivesAndLeavesOnTimeWithOneIdentity)
{
    CameraBench bench(QJsonArray{QJsonObject{{"product", "Webcam"}, {"vid", 0x1234}},
                                 QJsonObject{{"plug_at_ms", 50}, {"unplug_at_ms", 150}}});
    std::vector<UsbDeviceInfo> arrived, removed;
    QObject context;
    auto token = bench.bus().watch(&context, [&](const UsbDeviceInfo &i) { arrived.push_back(i); },
                                   [&](const UsbDeviceInfo &i) { removed.push_back(i); });
    ASSERT_EQ(arrived.size(), 1u); // present at launch: told during the watch
    EXPECT_EQ(arrived[0].productName, "Webcam");
    EXPECT_EQ(bench.bus().openDevice(0xF055, 0x5201), nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return arrived.size() == 2; }));
    EXPECT_EQ(arrived[1].vendorId, 0xF055);
    EXPECT_EQ(arrived[1].productName, "LUMIVEX Camera");
    ASSERT_EQ(arrived[1].interfaces.size(), 4u);
    EXPECT_EQ(arrived[1].interfaces[3].interfaceClass, 3);
    auto device = bench.bus().openDevice(0xF055, 0x5201);
    ASSERT_TRUE(device);
    ASSERT_TRUE(processEventsUntil([&] { return removed.size() == 1; }));
    EXPECT_EQ(removed[0].id, arrived[1].id);
    EXPECT_NE(arrived[0].id, arrived[1].id);
    UsbDeviceRequest request;
    EXPECT_EQ(device->interfaces(0xFFFF).front()->controlRequest(request), 0xE00002C0u);

    token.reset(); // no more notifications
    bench.bus().plug(1);
    EXPECT_EQ(arrived.size(), 2u);
}

TEST(VirtualCameraConfig, ParsesNumbersHexAndArraysAndRefusesMalformedFields)
{
    QString error;
    auto configs = VirtualCameraConfig::parse(
        R"([{"vid":"0x1D6B","pid":2,"chip":null,"interfaces":[[3,0]],"fail_transfers":[1,"0x3"]},{}])", "/tmp", &error);
    ASSERT_TRUE(configs) << qPrintable(error);
    ASSERT_EQ(configs->size(), 2u);
    EXPECT_EQ((*configs)[0].vid, 0x1D6B);
    EXPECT_FALSE((*configs)[0].chip);
    EXPECT_EQ((*configs)[0].failTransfers, (std::set<uint64_t>{1, 3}));
    EXPECT_EQ((*configs)[1].chip, 0xB3);
    EXPECT_EQ((*configs)[1].flashSize, 131072u);

    for (const char *bad : {R"({"vid":70000})", R"({"jedec":"C220"})", R"({"interfaces":[[3]]})", R"({"never_ready":1})",
                            R"([1])", R"({"flash_size":0})", "not json"}) {
        error.clear();
        EXPECT_FALSE(VirtualCameraConfig::parse(bad, "/tmp", &error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}
