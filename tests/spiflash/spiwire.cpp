// Reading SPI traffic back from a virtual camera's trace.
#include "tests/spiflash/spiwire.h"

#include "device/spiflash.h"

#include <gtest/gtest.h>

namespace {

constexpr int kSetReport = 0x21;
constexpr int kGetReport = 0xA1;
constexpr int kCommandReport = 0x0387;
constexpr int kDataReport = 0x0393;

// The driver reads its clock on the calling thread only, so the script needs no lock.
std::deque<uint64_t> gScript;
uint64_t gNow = 0;
uint64_t gStep = 0;

uint64_t scriptedReading()
{
    if (gScript.empty())
        return gNow += gStep;
    gNow = gScript.front();
    gScript.pop_front();
    return gNow;
}

QJsonObject withFlash(QJsonObject camera, const ScratchFolder &folder, const std::vector<uint8_t> &flash)
{
    if (!flash.empty()) {
        folder.write(QStringLiteral("flash.bin"),
                     QByteArray(reinterpret_cast<const char *>(flash.data()), qsizetype(flash.size())));
        camera[QStringLiteral("flash")] = folder.filePath(QStringLiteral("flash.bin"));
    }
    return camera;
}

} // namespace

QStringList commands(const std::vector<SpiTransaction> &transactions)
{
    QStringList list;
    for (const SpiTransaction &t : transactions)
        list.append(t.out);
    return list;
}

ScriptedClock::ScriptedClock(uint64_t step, std::deque<uint64_t> script)
{
    gScript = std::move(script);
    gNow = 0;
    gStep = step;
    spi_setClock(&scriptedReading);
}

ScriptedClock::~ScriptedClock()
{
    spi_setClock(nullptr);
}

uint64_t ScriptedClock::now() const
{
    return gNow;
}

FlashSession::FlashSession(const QJsonObject &camera, const std::vector<uint8_t> &flash)
    : bench(withFlash(camera, flashFolder, flash))
    , hardware(bench.bus())
{
    EXPECT_TRUE(open()) << "the virtual camera did not open";
    mark();
}

bool FlashSession::open()
{
    return hardware.initDevice(0xF055, 0x5201, bxHardwareLib::kAnyInterfaceClass);
}

std::vector<TracedTransfer> FlashSession::sent() const
{
    const auto all = bench.trace();
    return {all.begin() + qsizetype(std::min(mMark, all.size())), all.end()};
}

std::vector<SpiTransaction> FlashSession::transactions() const
{
    std::vector<SpiTransaction> transactions(1);
    QByteArray command;
    for (const TracedTransfer &t : sent()) {
        const QByteArray data = QByteArray::fromHex(t.data.toLatin1());
        if (t.bmRequestType == kSetReport && t.wValue == kCommandReport) {
            command = t.status == 0 ? data.mid(1) : QByteArray();
            continue;
        }
        // Out: channel, count and end flag lead the data report; in: the command report gave them.
        const bool out = t.bmRequestType == kSetReport && command.startsWith(0x0B);
        const bool in = t.bmRequestType == kGetReport && command.startsWith(0x0A);
        if (t.wValue == kDataReport && t.status == 0 && command.size() >= 4 && (out || in)) {
            const int count = uint8_t(out ? data[2] : command[2]), end = uint8_t(out ? data[3] : command[3]);
            SpiTransaction &open = transactions.back();
            (out ? open.out : open.in) += QString::fromLatin1(data.mid(out ? 4 : 0, count).toHex());
            open.pieces += QStringLiteral("%1/%2 ").arg(count).arg(end);
            if (end)
                transactions.emplace_back();
        }
        command.clear();
    }
    transactions.pop_back(); // the one still open
    return transactions;
}

std::vector<uint8_t> pattern(size_t length, uint8_t seed)
{
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = uint8_t(seed + 7 * i + (i >> 8));
    return bytes;
}
