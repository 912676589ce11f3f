// libFuzzer target: the virtual camera's JSON description, as a demo user or a test writes it.
// Whatever it accepts must be a camera the model can be built from: numbers in range, interfaces
// that fit in a byte.
#include "sim/virtualcameraconfig.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    // The folder is never created: relative names resolve against it without touching a file.
    const auto configs = VirtualCameraConfig::parse(json, QStringLiteral("/nonexistent/lumivex-fuzz"), &error);
    if (!configs) {
        if (error.isEmpty())
            __builtin_trap();
        return 0;
    }
    for (const VirtualCameraConfig &config : *configs) {
        // The bus tells interfaces apart by number.
        std::set<uint8_t> numbers;
        for (const UsbInterfaceInfo &interface : config.interfaceInfos())
            if (!numbers.insert(interface.number).second)
                __builtin_trap();
    }
    return 0;
}
