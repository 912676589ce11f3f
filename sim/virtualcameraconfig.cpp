// The description of a virtual camera, read from JSON.
#include "sim/virtualcameraconfig.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace {

// A number, or a string: hexadecimal after "0x", decimal otherwise ("010" is ten); fails
// outside [0, max].
std::optional<uint64_t> unsignedValue(const QJsonValue &value, uint64_t max)
{
    uint64_t result = 0;
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (d < 0 || d > double(max) || d != std::floor(d))
            return std::nullopt;
        result = uint64_t(d);
    } else if (value.isString()) {
        const QString text = value.toString().trimmed();
        const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
        bool ok = false;
        result = hex ? QStringView(text).mid(2).toULongLong(&ok, 16) : text.toULongLong(&ok, 10);
        if (!ok)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (result > max)
        return std::nullopt;
    return result;
}

class Reader
{
public:
    Reader(const QJsonObject &object, QString folder, QString *error)
        : mObject(object)
        , mFolder(std::move(folder))
        , mError(error)
    {
    }

    bool ok() const { return mOk; }

    template<typename T>
    void number(const char *key, T &out, uint64_t max = std::numeric_limits<T>::max())
    {
        const QJsonValue value = mObject.value(QLatin1String(key));
        if (value.isUndefined())
            return;
        if (const auto parsed = unsignedValue(value, max))
            out = T(*parsed);
        else
            fail(key);
    }

    template<typename T>
    void optionalNumber(const char *key, std::optional<T> &out, uint64_t max = std::numeric_limits<T>::max())
    {
        const QJsonValue value = mObject.value(QLatin1String(key));
        if (value.isUndefined())
            return;
        if (value.isNull()) {
            out.reset();
            return;
        }
        if (const auto parsed = unsignedValue(value, max))
            out = T(*parsed);
        else
            fail(key);
    }

    void numbers(const char *key, std::set<uint64_t> &out)
    {
        const QJsonValue value = mObject.value(QLatin1String(key));
        if (value.isUndefined())
            return;
        if (!value.isArray())
            return fail(key);
        for (const QJsonValue &item : value.toArray()) {
            if (const auto parsed = unsignedValue(item, std::numeric_limits<uint32_t>::max()))
                out.insert(*parsed);
            else
                return fail(key);
        }
    }

    void text(const char *key, QString &out)
    {
        const QJsonValue value = mObject.value(QLatin1String(key));
        if (value.isUndefined())
            return;
        if (!value.isString())
            return fail(key);
        out = value.toString();
    }

    void path(const char *key, QString &out)
    {
        text(key, out);
        if (!out.isEmpty())
            out = QDir(mFolder).absoluteFilePath(out);
    }

    void boolean(const char *key, bool &out)
    {
        const QJsonValue value = mObject.value(QLatin1String(key));
        if (value.isUndefined())
            return;
        if (!value.isBool())
            return fail(key);
        out = value.toBool();
    }

    void interfaces(std::vector<std::pair<uint8_t, uint8_t>> &out)
    {
        const QJsonValue value = mObject.value(QLatin1String("interfaces"));
        if (value.isUndefined())
            return;
        if (!value.isArray() || value.toArray().size() > 32)
            return fail("interfaces");
        out.clear();
        for (const QJsonValue &item : value.toArray()) {
            const QJsonArray pair = item.toArray();
            const auto cls = unsignedValue(pair.at(0), 255);
            const auto sub = unsignedValue(pair.at(1), 255);
            if (!item.isArray() || pair.size() != 2 || !cls || !sub)
                return fail("interfaces");
            out.emplace_back(uint8_t(*cls), uint8_t(*sub));
        }
    }

    void jedec(uint32_t &out)
    {
        QString digits;
        text("jedec", digits);
        if (digits.isNull())
            return;
        bool ok = false;
        const uint32_t value = digits.toUInt(&ok, 16);
        if (!ok || digits.size() != 6)
            return fail("jedec");
        out = value;
    }

    void fail(const char *key)
    {
        if (mOk && mError)
            *mError = QStringLiteral("malformed field \"%1\"").arg(QLatin1String(key));
        mOk = false;
    }

private:
    const QJsonObject &mObject;
    QString mFolder;
    QString *mError;
    bool mOk = true;
};

} // namespace

std::vector<UsbInterfaceInfo> VirtualCameraConfig::interfaceInfos() const
{
    std::vector<UsbInterfaceInfo> result;
    for (size_t i = 0; i < interfaces.size(); ++i)
        result.push_back({uint8_t(i), interfaces[i].first, interfaces[i].second});
    return result;
}

std::optional<std::vector<VirtualCameraConfig>> VirtualCameraConfig::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    return parse(file.readAll(), QFileInfo(path).absolutePath(), error);
}

std::optional<std::vector<VirtualCameraConfig>> VirtualCameraConfig::parse(const QByteArray &json, const QString &folder,
                                                                          QString *error)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull()) {
        if (error)
            *error = parseError.errorString();
        return std::nullopt;
    }
    QJsonArray objects;
    if (document.isArray())
        objects = document.array();
    else
        objects.append(document.object());

    std::vector<VirtualCameraConfig> result;
    for (const QJsonValue &value : objects) {
        if (!value.isObject()) {
            if (error)
                *error = QStringLiteral("a device must be a JSON object");
            return std::nullopt;
        }
        const QJsonObject object = value.toObject();
        VirtualCameraConfig config;
        Reader read(object, folder, error);
        read.number("vid", config.vid);
        read.number("pid", config.pid);
        read.text("product", config.product);
        read.interfaces(config.interfaces);
        read.optionalNumber("chip", config.chip);
        read.jedec(config.jedec);
        read.number("flash_size", config.flashSize, 16u << 20);
        read.path("flash", config.flash);
        read.path("eeprom", config.eeprom);
        read.number("status", config.status);
        read.number("erase_ms", config.eraseMs);
        read.number("program_us", config.programUs);
        read.number("latency_us", config.latencyUs);
        read.optionalNumber("plug_at_ms", config.plugAtMs, uint64_t(std::numeric_limits<int32_t>::max()));
        read.optionalNumber("unplug_at_ms", config.unplugAtMs, uint64_t(std::numeric_limits<int32_t>::max()));
        read.optionalNumber("unplug_after_transfers", config.unplugAfterTransfers);
        read.numbers("fail_transfers", config.failTransfers);
        read.boolean("never_ready", config.neverReady);
        read.numbers("lose_programs", config.losePrograms);
        read.path("trace", config.trace);
        if (!read.ok())
            return std::nullopt;
        if (config.flashSize == 0) {
            if (error)
                *error = QStringLiteral("malformed field \"flash_size\"");
            return std::nullopt;
        }
        result.push_back(std::move(config));
    }
    return result;
}
