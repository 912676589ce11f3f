// lumivex-mkimage: writes a synthetic firmware image, for tests and the demo only.
#include "tools/firmwareimagebuilder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

bool number(const QString &text, uint32_t &out)
{
    bool ok = false;
    out = text.toUInt(&ok, 0);
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a synthetic firmware image (4-byte prefix, then flash content) for tests and the "
        "demo. Never ship its output."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("image file to write"));
    const QCommandLineOption base({QStringLiteral("base")}, QStringLiteral("base address (0..0xE000)"), QStringLiteral("addr"), QStringLiteral("0"));
    const QCommandLineOption layout({QStringLiteral("layout")}, QStringLiteral("1: boot-address layout, 2: code-address layout"), QStringLiteral("kind"), QStringLiteral("1"));
    const QCommandLineOption version({QStringLiteral("version")}, QStringLiteral("firmware version"), QStringLiteral("n"), QStringLiteral("0x0100"));
    const QCommandLineOption vid({QStringLiteral("vid")}, QStringLiteral("USB vendor id"), QStringLiteral("id"), QStringLiteral("0xF055"));
    const QCommandLineOption pid({QStringLiteral("pid")}, QStringLiteral("USB product id"), QStringLiteral("id"), QStringLiteral("0x5201"));
    const QCommandLineOption product({QStringLiteral("product")}, QStringLiteral("product string"), QStringLiteral("text"), QStringLiteral("LUMIVEX Camera"));
    const QCommandLineOption length({QStringLiteral("length")}, QStringLiteral("flash bytes after the prefix"), QStringLiteral("n"), QStringLiteral("0"));
    parser.addOptions({base, layout, version, vid, pid, product, length});
    parser.process(app);

    if (parser.positionalArguments().size() != 1) {
        std::fprintf(stderr, "lumivex-mkimage: name one image file to write (see --help)\n");
        return 2;
    }
    uint32_t values[6];
    const QCommandLineOption *numeric[6] = {&base, &layout, &version, &vid, &pid, &length};
    for (int i = 0; i < 6; ++i) {
        if (!number(parser.value(*numeric[i]), values[i])) {
            std::fprintf(stderr, "lumivex-mkimage: --%s takes a number\n", qPrintable(numeric[i]->names().first()));
            return 2;
        }
    }

    const QByteArray image = FirmwareImageBuilder()
                                 .baseAddress(values[0])
                                 .layout(values[1] == 2 ? FirmwareImageBuilder::Layout::CodeAddress
                                                        : FirmwareImageBuilder::Layout::BootAddress)
                                 .version(uint16_t(values[2]))
                                 .vid(uint16_t(values[3]))
                                 .pid(uint16_t(values[4]))
                                 .product(parser.value(product))
                                 .flashLength(values[5])
                                 .build();
    QFile out(parser.positionalArguments().first());
    if (!out.open(QIODevice::WriteOnly) || out.write(image) != image.size()) {
        std::fprintf(stderr, "lumivex-mkimage: cannot write %s: %s\n", qPrintable(out.fileName()), qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
