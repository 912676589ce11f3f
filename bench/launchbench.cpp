// The updater as a person starts it, offscreen: how long from launch to the first status line with
// a three-image catalogue and with a 16 MiB one, and how much processor time it spends while it
// waits ten seconds for a camera that does not come, on an empty virtual bus and on the real USB
// bus when this machine has one. Runs build/lumivex-updater, and makes its catalogues with
// build/lumivex-mkimage and build/lumivex-pack, all from the folder this program lies in.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kRuns = 7;
constexpr double kLaunchGoalMs = 300;
constexpr int kIdleSeconds = 10;
constexpr double kIdleGoalMs = 5;
constexpr int kStatusTimeoutMs = 30000;
const QByteArray kStatusLine = "progressText.frame text: ";

QString tool(const char *name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(name));
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// A resources folder whose encrypted catalogue holds `count` images of `length` flash bytes each.
bool makeResources(const QString &folder, int count, uint32_t length)
{
    const QString images = folder + QStringLiteral("-images");
    if (!QDir().mkpath(images) || !QDir().mkpath(folder))
        return false;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("%1/LUMIVEX_RZ52940_%2.bin").arg(images).arg(i, 4, 10, QLatin1Char('0'));
        if (!run(tool("lumivex-mkimage"), {QStringLiteral("--version"), QString::number(0x0100 + i),
                                           QStringLiteral("--product"), QStringLiteral("LUMIVEX T"),
                                           QStringLiteral("--length"), QString::number(length), name}))
            return false;
    }
    QFile info(folder + QStringLiteral("/Info.json"));
    return run(tool("lumivex-pack"), {QStringLiteral("pack"), images, folder}) && info.open(QIODevice::WriteOnly)
        && info.write(R"({"Device Name": "LUMIVEX", "Download URL": "https://www.lumivex.example/download"})") > 0;
}

// The updater started with these resources; nothing for the bus means the real one.
class Updater
{
public:
    Updater(const QString &resources, const std::optional<QString> &bus)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("LUMIVEX_RESOURCES_DIR"), resources);
        environment.remove(QStringLiteral("LUMIVEX_VIRTUAL_CAMERA"));
        if (bus)
            environment.insert(QStringLiteral("LUMIVEX_VIRTUAL_CAMERA"), *bus);
        mProcess.setProcessEnvironment(environment);
        mProcess.setStandardOutputFile(QProcess::nullDevice());
        mClock.start();
        mProcess.start(tool("lumivex-updater"), {});
    }
    ~Updater()
    {
        mProcess.kill();
        mProcess.waitForFinished(10000);
    }

    // Milliseconds from the start to the first status line on standard error; negative when none came.
    double untilStatus()
    {
        while (mClock.elapsed() < kStatusTimeoutMs && mProcess.state() != QProcess::NotRunning) {
            mProcess.waitForReadyRead(50);
            mLog += mProcess.readAllStandardError();
            if (mLog.contains(kStatusLine))
                return double(mClock.nsecsElapsed()) / 1e6;
        }
        return -1;
    }

    // Processor time used so far, all threads: the kernel's ticks (utime + stime) and, finer, the
    // scheduler's nanoseconds.
    struct CpuTime
    {
        long ticks = 0;
        double ms = 0;
    };
    CpuTime cpuTime() const
    {
        CpuTime time;
        const QString proc = QStringLiteral("/proc/%1").arg(mProcess.processId());
        QFile stat(proc + QStringLiteral("/stat"));
        if (stat.open(QIODevice::ReadOnly)) {
            const QByteArray text = stat.readAll();
            // The fields after the command name, which closes with the last ')'.
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 12)
                time.ticks = fields[11].toLong() + fields[12].toLong();
        }
        for (const QString &task : QDir(proc + QStringLiteral("/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile schedstat(proc + QStringLiteral("/task/") + task + QStringLiteral("/schedstat"));
            if (schedstat.open(QIODevice::ReadOnly))
                time.ms += schedstat.readAll().split(' ').value(0).toDouble() / 1e6;
        }
        return time;
    }

    // What it wrote to standard error up to its first status line.
    const QByteArray &log() const { return mLog; }

private:
    QByteArray mLog;
    QProcess mProcess;
    QElapsedTimer mClock;
};

double medianLaunch(const QString &resources, const QString &bus)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        Updater updater(resources, bus);
        const double ms = updater.untilStatus();
        if (ms < 0)
            return -1;
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void summary(const QString &what, const QString &figure, const QString &goal, bool met)
{
    std::printf("summary: %s|%s|%s|%s\n", qPrintable(what), qPrintable(figure), qPrintable(goal), met ? "met" : "not met");
}

// CPU used over kIdleSeconds once the window shows its prompt; false when the updater did not come up.
bool idle(const QString &resources, const std::optional<QString> &bus, const QString &name, bool &allMet)
{
    Updater updater(resources, bus);
    if (updater.untilStatus() < 0) {
        std::printf("%s: the updater showed no status within %d s\n", qPrintable(name), kStatusTimeoutMs / 1000);
        return false;
    }
    if (const qsizetype at = updater.log().indexOf("USB unavailable"); at >= 0) {
        const QByteArray line = updater.log().mid(at).split('\n').value(0);
        std::printf("%s: libusb did not start here (%s); the updater waits without a bus\n", qPrintable(name),
                    line.constData());
    }
    const Updater::CpuTime before = updater.cpuTime();
    QThread::sleep(kIdleSeconds);
    const Updater::CpuTime after = updater.cpuTime();
    const double ms = after.ms - before.ms;
    const long ticks = after.ticks - before.ticks;
    std::printf("%s: %.2f ms of processor time in %d s (utime+stime: %ld ticks of %ld ms)\n", qPrintable(name), ms,
                kIdleSeconds, ticks, 1000 / sysconf(_SC_CLK_TCK));
    const bool met = ms <= kIdleGoalMs;
    allMet = allMet && met;
    summary(QStringLiteral("CPU while waiting %1 s for a camera, %2").arg(kIdleSeconds).arg(name),
            QStringLiteral("%1 ms").arg(ms, 0, 'f', 2), QStringLiteral("at most %1 ms").arg(kIdleGoalMs), met);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    const QString small = scratch.filePath(QStringLiteral("three"));
    const QString large = scratch.filePath(QStringLiteral("sixteen-mib"));
    const QString emptyBus = scratch.filePath(QStringLiteral("no-camera.json"));
    QFile busFile(emptyBus);
    if (!busFile.open(QIODevice::WriteOnly) || busFile.write("[]\n") != 3)
        return std::fprintf(stderr, "cannot write %s\n", qPrintable(emptyBus)), 2;
    busFile.close();
    if (!makeResources(small, 3, 0x10000) || !makeResources(large, 256, 0x10000))
        return std::fprintf(stderr, "cannot make the catalogues\n"), 2;

    bool allMet = true;
    std::printf("launch to the first status line, offscreen, empty virtual bus, median of %d runs\n", kRuns);
    for (const auto &[folder, name] : {std::pair(small, QStringLiteral("three-image catalogue")),
                                       std::pair(large, QStringLiteral("16 MiB catalogue (256 images)"))}) {
        const double ms = medianLaunch(folder, emptyBus);
        if (ms < 0)
            return std::fprintf(stderr, "the updater showed no status line\n"), 2;
        std::printf("  %-32s %8.1f ms\n", qPrintable(name), ms);
        const bool met = ms <= kLaunchGoalMs;
        allMet = allMet && met;
        summary(QStringLiteral("launch to first status line, %1").arg(name), QStringLiteral("%1 ms").arg(ms, 0, 'f', 1),
                QStringLiteral("at most %1 ms").arg(kLaunchGoalMs), met);
    }

    if (!idle(small, emptyBus, QStringLiteral("empty virtual bus"), allMet))
        return 2;
    if (!idle(small, std::nullopt, QStringLiteral("real USB bus (libusb)"), allMet))
        allMet = false;
    return allMet ? 0 : 1;
}
