// Reading SPI traffic back from a virtual camera's trace.
#include "tests/spiflash/spiwire.h"

#include "device/spiflash.h"

#include <atomic>
#include <mutex>

namespace {

constexpr int kSetReport = 0x21;
constexpr int kGetReport = 0xA1;
constexpr int kCommandReport = 0x0387;
constexpr int kDataReport = 0x0393;

QByteArray bytesOf(const QString &hex)
{
    return QByteArray::fromHex(hex.toLatin1());
}

std::mutex gScriptLock;
std::deque<uint64_t> gScript;
std::atomic<uint64_t> gNow = 0;
std::atomic<uint64_t> gStep = 0;

uint64_t scriptedReading()
{
    std::lock_guard guard(gScriptLock);
    if (!gScript.empty()) {
        gNow = gScript.front();
        gScript.pop_front();
        return gNow;
    }
    return gNow += gStep;
}

} // namespace

std::vector<SpiPiece> spiPieces(const std::vector<TracedTransfer> &transfers)
{
    std::vector<SpiPiece> pieces;
    QByteArray command;
    for (const TracedTransfer &t : transfers) {
        const QByteArray data = bytesOf(t.data);
        if (t.bmRequestType == kSetReport && t.wValue == kCommandReport) {
            command = t.status == 0 ? data.mid(1) : QByteArray();
            continue;
        }
        if (t.wValue != kDataReport || command.size() < 4 || t.status != 0) {
            command.clear();
            continue;
        }
        SpiPiece piece;
        if (t.bmRequestType == kSetReport && command[0] == 0x0B) {
            piece.out = true;
            piece.channel = uint8_t(data[1]);
            piece.count = uint8_t(data[2]);
            piece.end = uint8_t(data[3]);
            piece.bytes = QString::fromLatin1(data.mid(4, piece.count).toHex());
        } else if (t.bmRequestType == kGetReport && command[0] == 0x0A) {
            piece.channel = uint8_t(command[1]);
            piece.count = uint8_t(command[2]);
            piece.end = uint8_t(command[3]);
            piece.bytes = QString::fromLatin1(data.left(piece.count).toHex());
        }
        pieces.push_back(piece);
        command.clear();
    }
    return pieces;
}

std::vector<SpiTransaction> spiTransactions(const std::vector<SpiPiece> &pieces)
{
    std::vector<SpiTransaction> transactions;
    SpiTransaction open;
    for (const SpiPiece &piece : pieces) {
        (piece.out ? open.out : open.in) += piece.bytes;
        if (piece.end) {
            transactions.push_back(open);
            open = {};
        }
    }
    return transactions;
}

QStringList commands(const std::vector<SpiTransaction> &transactions)
{
    QStringList list;
    for (const SpiTransaction &t : transactions)
        list.append(t.out);
    return list;
}

int countOf(const QStringList &list, const QString &command)
{
    return int(list.count(command));
}

ScriptedClock::ScriptedClock(uint64_t step, std::deque<uint64_t> script)
{
    {
        std::lock_guard guard(gScriptLock);
        gScript = std::move(script);
        gNow = 0;
        gStep = step;
    }
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

FlashSession::FlashSession(const QJsonObject &camera, Mode mode)
    : bench(camera)
    , hardware(bench.bus())
{
    if (mode == Opened) {
        open();
        mark();
    }
}

bool FlashSession::open()
{
    mOpened = hardware.initDevice(0xF055, 0x5201, bxHardwareLib::kAnyInterfaceClass);
    return mOpened;
}

std::vector<TracedTransfer> FlashSession::sent() const
{
    const auto all = bench.trace();
    return {all.begin() + qsizetype(std::min(mMark, all.size())), all.end()};
}

void FlashSession::mark()
{
    mMark = bench.trace().size();
}

std::vector<uint8_t> pattern(size_t length, uint8_t seed)
{
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = uint8_t(seed + 7 * i + (i >> 8));
    return bytes;
}
