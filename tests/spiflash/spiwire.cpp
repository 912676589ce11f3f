// An open session on a virtual camera, and its SPI traffic read back from the trace.
#include "tests/spiflash/spiwire.h"

#include <gtest/gtest.h>

FlashSession::FlashSession(const QJsonObject &camera, const std::vector<uint8_t> &flash, const std::vector<uint8_t> &eeprom)
    : bench(camera, flash, eeprom)
    , hardware(bench.bus())
{
    EXPECT_TRUE(open()) << "the virtual camera did not open";
    mark();
}

void FlashSession::scriptClock(uint64_t step, std::deque<uint64_t> script)
{
    mScript = std::move(script);
    mNow = 0;
    mStep = step;
    // The driver reads its clock on the calling thread only, so the script needs no lock.
    const MillisecondClock reading = [this] {
        if (mScript.empty())
            return mNow += mStep;
        mNow = mScript.front();
        mScript.pop_front();
        return mNow;
    };
    hardware.setClock(reading); // for the sessions opened from now on, and the one open now
    if (hardware.session())
        session().setClock(reading);
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
        if (t.bmRequestType == 0x21 && t.wValue == 0x0387) {
            command = t.status == 0 ? data.mid(1) : QByteArray();
            continue;
        }
        // Out: channel, count and end flag lead the data report; in: the command report gave them.
        const bool out = t.bmRequestType == 0x21 && command.startsWith(0x0B);
        const bool in = t.bmRequestType == 0xA1 && command.startsWith(0x0A);
        if (t.wValue == 0x0393 && t.status == 0 && command.size() >= 4 && (out || in)) {
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

QStringList FlashSession::commands() const
{
    QStringList list;
    for (const SpiTransaction &t : transactions())
        list.append(t.out);
    return list;
}

std::vector<uint8_t> recordlessFlash()
{
    std::vector<uint8_t> bytes = pattern(65536, 0x31);
    std::fill_n(bytes.begin(), 16, 0xFF);
    return bytes;
}
