// The time lumivex-cli takes to update eight cameras against one camera alone: eight virtual
// cameras at a real camera's timings (latency_us 125, program_us 700, erase_ms 40), each holding
// older firmware, and a 64 KiB image; `update --all --yes` side by side should take little longer
// than one camera does. Uses build/lumivex-cli and build/lumivex-mkimage from the folder this
// program lies in.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr double kGoal = 1.3;
constexpr int kRounds = 3;

QString tool(const char *name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(name));
}

bool makeImage(const QString &file, int version)
{
    QProcess mkimage;
    mkimage.start(tool("lumivex-mkimage"), {QStringLiteral("--version"), QString::number(version), QStringLiteral("--product"),
                                            QStringLiteral("LUMIVEX T"), QStringLiteral("--length"), QString::number(0x10000), file});
    return mkimage.waitForFinished(60000) && mkimage.exitStatus() == QProcess::NormalExit && mkimage.exitCode() == 0;
}

// Milliseconds for `update --all --yes` over this many cameras, each starting at the older image;
// a negative figure when the run did not verify every camera.
double timeUpdate(const QTemporaryDir &scratch, int cameras, const QByteArray &older)
{
    QJsonArray described;
    for (int i = 0; i < cameras; ++i) {
        const QString flash = scratch.filePath(QStringLiteral("camera%1.flash").arg(i));
        QFile file(flash);
        if (!file.open(QIODevice::WriteOnly) || file.write(older) != older.size())
            return -1;
        described.append(QJsonObject{{"product", "LUMIVEX T"}, {"flash", flash}, {"latency_us", 125},
                                     {"program_us", 700}, {"erase_ms", 40}});
    }
    const QString config = scratch.filePath(QStringLiteral("cameras.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(QJsonDocument(described).toJson()) < 0)
        return -1;
    file.close();

    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LUMIVEX_VIRTUAL_CAMERA"), config);
    environment.insert(QStringLiteral("LUMIVEX_RESOURCES_DIR"), scratch.filePath(QStringLiteral("res")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), scratch.filePath(QStringLiteral("state")));
    cli.setProcessEnvironment(environment);
    cli.setStandardOutputFile(QProcess::nullDevice());
    cli.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    cli.start(tool("lumivex-cli"), {QStringLiteral("update"), QStringLiteral("--all"), QStringLiteral("--yes")});
    if (!cli.waitForFinished(600000) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0)
        return -1;
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    const QString older = scratch.filePath(QStringLiteral("older.bin"));
    if (!scratch.isValid() || !QDir(scratch.path()).mkpath(QStringLiteral("res/Opt"))
        || !makeImage(scratch.filePath(QStringLiteral("res/Opt/LUMIVEX_RZ52940_0102.bin")), 0x0102) || !makeImage(older, 0x0100)) {
        std::fprintf(stderr, "fleet bench: cannot make the images\n");
        return 2;
    }
    QFile olderFile(older);
    if (!olderFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "fleet bench: cannot read %s\n", qPrintable(older));
        return 2;
    }
    const QByteArray olderFlash = olderFile.readAll().mid(4);

    // The best of a few rounds each: the machine's other work only ever adds time.
    double one = 1e300, eight = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        const double a = timeUpdate(scratch, 1, olderFlash), b = timeUpdate(scratch, 8, olderFlash);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "fleet bench: an update did not verify every camera\n");
            return 2;
        }
        one = std::min(one, a);
        eight = std::min(eight, b);
        std::printf("round %d: one camera %.0f ms, eight cameras %.0f ms\n", round + 1, a, b);
    }
    const double ratio = eight / one;
    std::printf("best: one camera %.0f ms, eight cameras %.0f ms, %.2f times one\n", one, eight, ratio);
    std::printf("summary: lumivex-cli update --all --yes, 8 cameras against 1|%.2f× (%.0f ms against %.0f ms)|at most %.1f×|%s\n",
                ratio, eight, one, kGoal, ratio <= kGoal ? "met" : "not met");
    return ratio <= kGoal ? 0 : 1;
}
