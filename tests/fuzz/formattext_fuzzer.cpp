// libFuzzer target: the string-table formatter (%@, %n$@, %%) on any format a translator could
// write, with arguments that hold directives of their own.
#include "text/localization.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // UTF-16 code units, as the string tables hold them, unpaired surrogates included.
    QString format(qsizetype(size / 2), Qt::Uninitialized);
    for (size_t i = 0; i < size / 2; ++i)
        format[qsizetype(i)] = QChar(char16_t(data[2 * i] | data[2 * i + 1] << 8));

    const QStringList args = {QStringLiteral("A%@"), QStringLiteral("%1$@B"), QString(), QStringLiteral("%%")};
    const QString out = formatText(format, args);

    // Each directive stands for at most one argument and is never shorter than two characters, and
    // an argument is copied, never read as a format.
    qsizetype longest = 0;
    for (const QString &arg : args)
        longest = std::max(longest, arg.size());
    if (out.size() > format.size() + (format.size() / 2) * longest)
        __builtin_trap();
    if (!format.contains(u'%') && out != format)
        __builtin_trap();
    if (formatText(format) .size() > format.size())
        __builtin_trap();
    return 0;
}
