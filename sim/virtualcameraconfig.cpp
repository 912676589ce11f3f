// The description of a virtual camera, read from JSON.
#include "sim/virtualcameraconfig.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

namespace {

// JSON numbers are doubles: beyond 2^53 they no longer name one integer, so larger values must
// be written as strings.
constexpr double kLargestExactInteger = 9007199254740992.0;

// Digits only, in the base given, without sign or spaces inside; nothing on overflow.
std::optional<uint64_t> digitsValue(QStringView digits, unsigned base)
{
    if (digits.isEmpty())
        return std::nullopt;
    uint64_t result = 0;
    for (const QChar c : digits) {
        const char16_t u = c.unicode();
        const char16_t lower = u | 0x20;
        unsigned value = base;
        if (u >= '0' && u <= '9')
            value = u - '0';
        else if (lower >= 'a' && lower <= 'f')
            value = lower - 'a' + 10;
        if (value >= base || result > (std::numeric_limits<uint64_t>::max() - value) / base)
            return std::nullopt;
        result = result * base + value;
    }
    return result;
}

// A number, or a string: hexadecimal after "0x", decimal otherwise ("010" is ten); fails
// outside [0, max] and on anything that is no whole number.
std::optional<uint64_t> unsignedValue(const QJsonValue &value, uint64_t max)
{
    std::optional<uint64_t> result;
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (d >= 0 && d <= kLargestExactInteger && d == std::floor(d))
            result = uint64_t(d);
    } else if (value.isString()) {
        const QString text = value.toString().trimmed();
        const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
        result = digitsValue(QStringView(text).mid(hex ? 2 : 0), hex ? 16 : 10);
    }
    if (!result || *result > max)
        return std::nullopt;
    return result;
}

bool refuse(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// A JEDEC identifier: a string of exactly six hex digits.
std::optional<uint32_t> identifierValue(const QJsonValue &value)
{
    const QString digits = value.toString();
    const auto parsed = digitsValue(digits, 16);
    if (!value.isString() || digits.size() != 6 || !parsed)
        return std::nullopt;
    return uint32_t(*parsed);
}

QString identifierText(uint32_t jedec)
{
    return QStringLiteral("%1").arg(jedec, 6, 16, QLatin1Char('0')).toUpper();
}

// The flash's size: the identifier's capacity byte names it (2^n) where that byte follows the
// rule within 24-bit addressing; an explicit size must agree unless the description allows a
// mirrored part, and a byte outside the rule needs one.
bool settleFlashSize(VirtualCameraConfig &config, bool sizeGiven, QString *error)
{
    if (sizeGiven && config.flashSize == 0)
        return refuse(error, QStringLiteral("malformed field \"flash_size\""));
    const unsigned capacityByte = config.jedec & 0xFF;
    if (capacityByte < 8 || capacityByte > 24) {
        if (sizeGiven)
            return true;
        return refuse(error, QStringLiteral("field \"jedec\" (\"%1\") has capacity byte 0x%2, which names no size "
                                            "within 24-bit addressing: field \"flash_size\" must give it")
                                 .arg(identifierText(config.jedec))
                                 .arg(capacityByte, 2, 16, QLatin1Char('0')));
    }
    const uint32_t capacity = uint32_t(1) << capacityByte;
    if (!sizeGiven) {
        config.flashSize = capacity;
        return true;
    }
    if (config.flashSize == capacity || config.flashSizeMismatch)
        return true;
    return refuse(error, QStringLiteral("field \"flash_size\" (%1 bytes) contradicts field \"jedec\" (\"%2\" holds "
                                        "%3 bytes); \"flash_size_mismatch\": true allows it")
                             .arg(config.flashSize)
                             .arg(identifierText(config.jedec))
                             .arg(capacity));
}

std::filesystem::path fsPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// One file under two names: the same inode when both exist, else the same path once links, "."
// and ".." are resolved as far as it exists.
bool sameFile(const QString &a, const QString &b)
{
    std::error_code error;
    if (std::filesystem::exists(fsPath(a), error) && std::filesystem::exists(fsPath(b), error))
        return std::filesystem::equivalent(fsPath(a), fsPath(b), error);
    const auto resolvedA = std::filesystem::weakly_canonical(fsPath(a), error);
    if (error)
        return QDir::cleanPath(a) == QDir::cleanPath(b);
    const auto resolvedB = std::filesystem::weakly_canonical(fsPath(b), error);
    return error ? QDir::cleanPath(a) == QDir::cleanPath(b) : resolvedA == resolvedB;
}

// A memory's file is read and rewritten whole: a folder, a device node or a pipe is no place for
// it. A missing file is fine (a blank part).
bool usableMemoryFile(const QString &path)
{
    if (path.isEmpty())
        return true;
    std::error_code error;
    const auto status = std::filesystem::status(fsPath(path), error);
    return status.type() == std::filesystem::file_type::not_found || std::filesystem::is_regular_file(status);
}

// The files of all devices together: a trace (truncated when the model starts) must not be a
// memory's file, and one device's flash and EEPROM must not share a file.
bool filesApart(const std::vector<VirtualCameraConfig> &configs, QString *error)
{
    for (const VirtualCameraConfig &config : configs) {
        if (!usableMemoryFile(config.flash))
            return refuse(error, QStringLiteral("field \"flash\" names something that is not a regular file"));
        if (!usableMemoryFile(config.eeprom))
            return refuse(error, QStringLiteral("field \"eeprom\" names something that is not a regular file"));
        if (!config.flash.isEmpty() && !config.eeprom.isEmpty() && sameFile(config.flash, config.eeprom))
            return refuse(error, QStringLiteral("fields \"flash\" and \"eeprom\" name the same file"));
    }
    for (const VirtualCameraConfig &tracing : configs) {
        if (tracing.trace.isEmpty())
            continue;
        for (const VirtualCameraConfig &config : configs) {
            for (const auto &[name, memory] : {std::pair{"flash", &config.flash}, std::pair{"eeprom", &config.eeprom}}) {
                if (!memory->isEmpty() && sameFile(tracing.trace, *memory))
                    return refuse(error, QStringLiteral("field \"trace\" names the file of field \"%1\"")
                                             .arg(QLatin1String(name)));
            }
        }
    }
    return true;
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
        const QJsonValue value = mObject.value(QLatin1String("jedec"));
        if (value.isUndefined())
            return;
        if (const auto parsed = identifierValue(value))
            out = *parsed;
        else
            fail("jedec");
    }

    // [n, "XXXXXX"]: a transfer number and the identifier answered after it.
    void jedecAfter(std::optional<std::pair<uint64_t, uint32_t>> &out)
    {
        const QJsonValue value = mObject.value(QLatin1String("jedec_after"));
        if (value.isUndefined())
            return;
        const QJsonArray pair = value.toArray();
        const auto after = unsignedValue(pair.at(0), std::numeric_limits<uint64_t>::max());
        const auto identifier = identifierValue(pair.at(1));
        if (!value.isArray() || pair.size() != 2 || !after || !identifier)
            return fail("jedec_after");
        out = std::pair(*after, *identifier);
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
        read.boolean("flash_size_mismatch", config.flashSizeMismatch);
        read.path("flash", config.flash);
        read.path("eeprom", config.eeprom);
        read.number("status", config.status);
        read.number("erase_ms", config.eraseMs);
        read.number("program_us", config.programUs);
        read.number("latency_us", config.latencyUs);
        read.optionalNumber("plug_at_ms", config.plugAtMs, uint64_t(std::numeric_limits<int32_t>::max()));
        read.optionalNumber("unplug_at_ms", config.unplugAtMs, uint64_t(std::numeric_limits<int32_t>::max()));
        read.path("plug_file", config.plugFile);
        read.optionalNumber("unplug_after_transfers", config.unplugAfterTransfers);
        read.numbers("fail_transfers", config.failTransfers);
        read.boolean("never_ready", config.neverReady);
        read.numbers("lose_programs", config.losePrograms);
        read.numbers("ignore_erases", config.ignoreErases);
        read.boolean("stuck_protection", config.stuckProtection);
        read.numbers("flip_reads", config.flipReads);
        read.numbers("act_then_fail", config.actThenFail);
        read.numbers("short_answers", config.shortAnswers);
        read.jedecAfter(config.jedecAfter);
        read.path("trace", config.trace);
        read.text("port", config.port);
        if (!read.ok() || !settleFlashSize(config, object.contains(QLatin1String("flash_size")), error))
            return std::nullopt;
        result.push_back(std::move(config));
    }
    if (!filesApart(result, error))
        return std::nullopt;
    return result;
}
