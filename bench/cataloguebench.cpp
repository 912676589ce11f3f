// Times opening a 16 MiB encrypted firmware catalogue file (read, decrypt, unarchive) against
// `openssl enc -d` decrypting the same bytes, and says whether we stay within 1.5 times of it;
// then the peak memory of loading a folder whose image file is 2 GiB, which must be judged by its
// size and never read.
// The updater opens its catalogue once, at launch, in a fresh process, where the first touch of
// every page it fills costs more than the decryption itself; so the figure that counts is one open
// in a fresh process (this program run again with --open-once), not a repeat in a warm one.
#include "payload/aescodec.h"
#include "payload/encryptedcatalogue.h"
#include "payload/firmwarecatalogue.h"
#include "platform/resources.h"
#include "tools/firmwareimagebuilder.h"

#include <QCoreApplication>
#include <QDir>
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
constexpr double kHugeImageGoalMiB = 100;

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double medianMilliseconds(const std::function<bool()> &run)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!run())
            return -1;
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return median(std::move(times));
}

bool openCatalogue(const QString &path)
{
    QString reason;
    std::optional<QList<ArchiveValue>> values = EncryptedCatalogue::openPath(path, &reason);
    std::optional<QList<QByteArray>> opened = values ? KeyedArchive::dataElements(std::move(*values)) : std::nullopt;
    return opened && opened->size() == kImages;
}

// One open in this fresh process: prints the milliseconds it took.
int openOnce(const QString &path)
{
    const auto start = std::chrono::steady_clock::now();
    if (!openCatalogue(path))
        return 2;
    std::printf("%.3f\n", std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    return 0;
}

// Loads the catalogue of a resources folder as the launch does, in this fresh process: prints the
// peak resident memory in KiB, or fails when the folder's image was offered after all.
int loadOnce(const QString &folder)
{
    FirmwareCatalogue catalogue;
    bool plain = false;
    if (catalogue.prepare(Resources(folder), &plain) || catalogue.count() != 0)
        return 2;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 2;
    std::printf("%s\n", qPrintable(QString::fromLatin1(status.readAll()).section(QStringLiteral("VmHWM:"), 1).simplified().section(u' ', 0, 0)));
    return 0;
}

// The peak memory, in MiB, of loading a folder with a 2 GiB image file (sparse: no disk); -1 on failure.
double hugeImagePeakMiB(const QTemporaryDir &scratch)
{
    const QString folder = scratch.filePath(QStringLiteral("huge"));
    QFile huge(folder + QStringLiteral("/Opt/cam_RZ52940.bin"));
    if (!QDir().mkpath(folder + QStringLiteral("/Opt")) || !huge.open(QIODevice::WriteOnly) || !huge.resize(qint64(2) << 30))
        return -1;
    huge.close();
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--load-once"), folder});
    bool parsed = false;
    const double kib = child.waitForFinished(60000) && child.exitCode() == 0 ? child.readAllStandardOutput().trimmed().toDouble(&parsed) : -1;
    return parsed ? kib / 1024 : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--open-once")
        return openOnce(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && QByteArray(argv[1]) == "--load-once")
        return loadOnce(QString::fromLocal8Bit(argv[2]));
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

    // Median of kRuns opens, each in a fresh process with the given environment additions.
    const auto freshOpens = [&](const QStringList &environment) {
        std::vector<double> times;
        for (int i = 0; i < kRuns; ++i) {
            QProcess child;
            child.setEnvironment(QProcess::systemEnvironment() + environment);
            child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--open-once"), path});
            bool parsed = false;
            const double ms = child.waitForFinished(60000) && child.exitCode() == 0
                ? child.readAllStandardOutput().trimmed().toDouble(&parsed)
                : -1;
            if (!parsed)
                return -1.0;
            times.push_back(ms);
        }
        return median(std::move(times));
    };
    const double ours = freshOpens({});
    // The same where malloc asks for transparent huge pages (glibc; elsewhere the variable means
    // nothing): most of a fresh open is the first touch of the 16 MiB it decrypts into, page by page.
    const double hugePages = freshOpens({QStringLiteral("GLIBC_TUNABLES=glibc.malloc.hugetlb=1")});
    if (ours < 0 || hugePages < 0)
        return std::fprintf(stderr, "opening the catalogue in a fresh process failed\n"), 2;
    const double warm = medianMilliseconds([&] { return openCatalogue(path); });

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
    // What openssl takes to start and stop, decrypting one block.
    const QString tiny = scratch.filePath(QStringLiteral("tiny.resource"));
    QFile tinyFile(tiny);
    if (!tinyFile.open(QIODevice::WriteOnly) || tinyFile.write(sealed.first(kAESBlockSize)) != kAESBlockSize)
        return std::fprintf(stderr, "cannot write %s\n", qPrintable(tiny)), 2;
    tinyFile.close();
    const double startup = medianMilliseconds([&] {
        QProcess process;
        process.start(QStringLiteral("openssl"), {QStringLiteral("enc"), QStringLiteral("-d"), QStringLiteral("-aes-256-cbc"),
                                                  QStringLiteral("-nopad"), QStringLiteral("-K"), keyHex, QStringLiteral("-iv"),
                                                  QString(32, QLatin1Char('0')), QStringLiteral("-in"), tiny,
                                                  QStringLiteral("-out"), QStringLiteral("/dev/null")});
        return process.waitForFinished(60000) && process.exitCode() == 0;
    });

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

    const double hugePeak = hugeImagePeakMiB(scratch);
    if (warm < 0 || openssl < 0 || discarded < 0 || startup < 0 || manyNames < 0 || hugePeak < 0)
        return std::fprintf(stderr, "a benchmark run failed\n"), 2;
    // Like the catalogue loader, `openssl enc -d -out file` keeps all the plaintext (in the page
    // cache); with -out /dev/null it throws it away and never needs 16 MiB of fresh memory, which
    // makes it the harder mark. openssl's times are whole runs, its own start included.
    const double ratio = ours / discarded;
    std::printf("catalogue file: %lld bytes (%d images of %u bytes), median of %d runs\n",
                static_cast<long long>(sealed.size()), kImages, kImageBytes, kRuns);
    std::printf("read + decrypt + unarchive, fresh process: %8.2f ms\n", ours);
    std::printf("  the same, malloc on huge pages:           %8.2f ms   (GLIBC_TUNABLES=glibc.malloc.hugetlb=1)\n", hugePages);
    std::printf("read + decrypt + unarchive, warm process:  %8.2f ms\n", warm);
    std::printf("openssl enc -d -out /dev/null:             %8.2f ms   ratio %.2f\n", discarded, ratio);
    std::printf("openssl enc -d -out file:                  %8.2f ms   ratio %.2f\n", openssl, ours / openssl);
    std::printf("openssl start and stop (one block):        %8.2f ms\n", startup);
    std::printf("unarchive 70,000 names:                    %8.2f ms\n", manyNames);
    std::printf("load a folder with a 2 GiB image file:     %8.1f MiB peak resident memory\n", hugePeak);
    const bool met = ratio <= kGoal, hugeMet = hugePeak <= kHugeImageGoalMiB;
    std::printf("summary: 16 MiB catalogue opened in a fresh process / openssl enc -d to /dev/null|%.2f (%.1f ms / "
                "%.1f ms)|at most %.1f|%s\n",
                ratio, ours, discarded, kGoal, met ? "met" : "not met");
    std::printf("summary: peak memory (VmHWM) loading a folder with a 2 GiB image file|%.1f MiB|at most %.0f MiB|%s\n",
                hugePeak, kHugeImageGoalMiB, hugeMet ? "met" : "not met");
    return met && hugeMet ? 0 : 1;
}
