// libFuzzer target: the keyed-archive reader on arbitrary bytes, as a damaged or wrongly decrypted
// catalogue file would hand it over. Any crash, leak or read past the input is a finding, and so is
// the catalogue's own path (the reader that takes the buffer over) reading anything else.
#include "payload/keyedarchive.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString reason;
    const std::optional<QList<ArchiveValue>> values = KeyedArchive::readRootArray({data, size}, &reason);
    if (values) {
        // What was read must survive the typed views and a round trip through the writer.
        (void)KeyedArchive::dataElements(*values);
        (void)KeyedArchive::stringElements(*values);
        (void)KeyedArchive::numberElements(*values);
        const std::optional<QByteArray> again = KeyedArchive::writeRootArray(*values);
        if (!again)
            __builtin_trap();
        const auto *bytes = reinterpret_cast<const uint8_t *>(again->constData());
        if (KeyedArchive::readRootArray({bytes, size_t(again->size())}) != values)
            __builtin_trap();
    } else if (reason.isEmpty()) {
        __builtin_trap();
    }
    if (KeyedArchive::readRootArray(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size))) != values)
        __builtin_trap();
    return 0;
}
