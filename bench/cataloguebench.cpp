// Times opening a 16 MiB encrypted firmware catalogue file (read, decrypt, unarchive) against
// `openssl enc -d` decrypting the same bytes, and says whether we stay within 1.5 times of it.
#include "payload/aescodec.h"
#include "payload/encryptedcatalogue.h"
#include "tools/firmwareimagebuilder.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <span>
#include <vector>

namespace {

constexpr int kImages = 256;
constexpr uint32_t kImageBytes = 1 << 16;
constexpr int kRuns = 9;
constexpr double kGoal = 1.5;

double medianMilliseconds(const std::function<bool()> &run)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!run())
            return -1;
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;

    QList<QByteArray> images;
    for (int i = 0; i < kImages; ++i) {
        images.append(FirmwareImageBuilder()
                          .version(uint16_t(0x0100 + i))
                          .flashLength(kImageBytes - 4)
                          .build());
    }
    const QByteArray sealed = EncryptedCatalogue::sealFile(KeyedArchive::values(images));
    const QString path = scratch.filePath(QStringLiteral("catalogue-1-images.resource"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(sealed) != sealed.size())
        return std::fprintf(stderr, "cannot write %s\n", qPrintable(path)), 1;
    out.close();

    const double ours = medianMilliseconds([&] {
        QString reason;
        std::optional<QList<ArchiveValue>> values = EncryptedCatalogue::openPath(path, &reason);
        std::optional<QList<QByteArray>> opened = values ? KeyedArchive::dataElements(std::move(*values)) : std::nullopt;
        return opened && opened->size() == kImages;
    });

    const QString keyHex = QString::fromLatin1(aes_sha256(EncryptedCatalogue::keyString().toUtf8()).toHex());
    auto opensslTime = [&](const QString &output) {
        const QStringList arguments = {
            QStringLiteral("enc"), QStringLiteral("-d"), QStringLiteral("-aes-256-cbc"),
            QStringLiteral("-K"), keyHex, QStringLiteral("-iv"), QString(32, QLatin1Char('0')),
            QStringLiteral("-in"), path, QStringLiteral("-out"), output,
        };
        return medianMilliseconds([&] {
            QProcess process;
            process.start(QStringLiteral("openssl"), arguments);
            return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
                && process.exitCode() == 0;
        });
    };
    const double openssl = opensslTime(scratch.filePath(QStringLiteral("plain.bplist")));
    const double discarded = opensslTime(QStringLiteral("/dev/null"));

    // 70,000 names: the archive's object table must be walked once, not item by item.
    QStringList names;
    for (int i = 0; i < 70000; ++i)
        names.append(QStringLiteral("LUMIVEX_RZ52940_%1.bin").arg(i, 5, 10, QLatin1Char('0')));
    const QByteArray namesArchive = KeyedArchive::writeRootArray(KeyedArchive::values(names)).value_or(QByteArray());
    const double manyNames = medianMilliseconds([&] {
        const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(namesArchive.constData()),
                                             size_t(namesArchive.size()));
        const std::optional<QList<ArchiveValue>> values = KeyedArchive::readRootArray(bytes);
        return values && values->size() == names.size();
    });

    if (ours < 0 || openssl < 0 || discarded < 0 || manyNames < 0)
        return std::fprintf(stderr, "a benchmark run failed\n"), 1;
    // Like the catalogue loader, `openssl enc -d -out file` keeps all the plaintext (in the page
    // cache); with -out /dev/null it throws it away and never needs 16 MiB of fresh memory.
    const double ratio = ours / openssl;
    std::printf("catalogue file: %lld bytes (%d images of %u bytes), median of %d runs\n",
                static_cast<long long>(sealed.size()), kImages, kImageBytes, kRuns);
    std::printf("read + decrypt + unarchive:      %8.2f ms\n", ours);
    std::printf("openssl enc -d -out file:        %8.2f ms   ratio %.2f\n", openssl, ratio);
    std::printf("openssl enc -d -out /dev/null:   %8.2f ms   ratio %.2f\n", discarded, ours / discarded);
    std::printf("unarchive 70,000 names:          %8.2f ms\n", manyNames);
    // openssl streams through a small buffer; the loader keeps every byte it decrypts, so against
    // /dev/null the first touch of ~48 MiB of fresh memory is most of the difference.
    std::printf("goal: at most %.1f times openssl: %s writing a file, %s writing to /dev/null\n", kGoal,
                ratio <= kGoal ? "met" : "NOT MET", ours / discarded <= kGoal ? "met" : "NOT MET");
    return ratio <= kGoal ? 0 : 1;
}
