// A bench for device tests: virtual cameras on their own bus, with traces.
#include "tests/device/camerabench.h"

#include <QFile>
#include <QJsonDocument>

CameraBench::CameraBench(QJsonArray cameras, const std::vector<uint8_t> &flash, const std::vector<uint8_t> &eeprom)
{
    for (qsizetype i = 0; i < cameras.size(); ++i) {
        QJsonObject camera = cameras[i].toObject();
        if (!camera.contains(QStringLiteral("trace")))
            camera[QStringLiteral("trace")] = QStringLiteral("trace%1.jsonl").arg(i);
        mTraces.append(mFolder.filePath(camera[QStringLiteral("trace")].toString()));
        for (const auto &[memory, bytes] : {std::pair{"flash", &flash}, std::pair{"eeprom", &eeprom}}) {
            if (i > 0 || bytes->empty())
                continue;
            const QString file = QLatin1String(memory) + QStringLiteral(".bin");
            mFolder.write(file, QByteArray(reinterpret_cast<const char *>(bytes->data()), qsizetype(bytes->size())));
            camera[QLatin1String(memory)] = file;
        }
        cameras[i] = camera;
    }
    QString error;
    auto configs = VirtualCameraConfig::parse(QJsonDocument(cameras).toJson(), mFolder.path(), &error);
    if (!configs)
        qFatal("bad camera description: %s", qPrintable(error));
    mBus = std::make_unique<VirtualBus>(std::move(*configs));
}

std::vector<TracedTransfer> CameraBench::trace(size_t index) const
{
    std::vector<TracedTransfer> result;
    QFile file(mTraces.at(qsizetype(index)));
    if (!file.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        const auto field = [&](const char *name) { return o[QLatin1String(name)].toInt(); };
        if (!line.isEmpty())
            result.push_back({field("n"), field("bmRequestType"), field("bRequest"), field("wValue"), field("wIndex"),
                              field("wLength"), o[QStringLiteral("data")].toString(), uint32_t(o[QStringLiteral("status")].toDouble())});
    }
    return result;
}

QString TracedTransfer::wire() const
{
    return QString::asprintf("%02x %02x %04x %04x %d ", bmRequestType, bRequest, wValue, wIndex, wLength) + data;
}

QString hexOf(const std::vector<uint8_t> &bytes)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size())).toHex());
}

std::vector<uint8_t> pattern(size_t length, uint8_t seed)
{
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = uint8_t(seed + 7 * i + (i >> 8));
    return bytes;
}
