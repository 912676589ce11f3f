// The updater's window through whole updates, as a person drives it: the program's own window and
// controller (as main() builds them) on a virtual camera whose flash holds an older image, with an
// encrypted catalogue holding the newer one. It does what a person does, offscreen: waits for the
// offer, presses Update, confirms the sheet and waits for the run to end. A 64 KiB update gives
// the peak memory (VmHWM); a 1 MiB update at a real camera's timings gives the longest time the
// GUI thread did not answer, measured by a 5 ms timer on it.
#include "app/appdelegate.h"
#include "app/usbbusfactory.h"
#include "payload/encryptedcatalogue.h"
#include "platform/language.h"
#include "platform/resources.h"
#include "tools/firmwareimagebuilder.h"
#include "text/localization.h"
#include "ui/mainwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {

constexpr double kGoalMiB = 80;
constexpr double kStallGoalMs = 50;
// A real camera's timings, as the update engine's benchmark uses them.
constexpr auto kCameraTimings = R"("latency_us": 125, "program_us": 700, "erase_ms": 40)";

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool runUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// A field of /proc/self/status in KiB (Linux; -1 elsewhere).
long statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// One update through the window: false, with the reason on standard error, when it did not complete.
bool updateThroughTheWindow(const QString &folder, uint32_t contentSize, const QString &cameraFields)
{
    const QString resources = folder + QStringLiteral("/resources");
    const QString flash = folder + QStringLiteral("/camera.flash");
    const QString camera = folder + QStringLiteral("/camera.json");
    const QByteArray newer = FirmwareImageBuilder().version(0x0102).product(QStringLiteral("LUMIVEX T")).flashLength(contentSize).build();
    const QByteArray older = FirmwareImageBuilder().version(0x0100).product(QStringLiteral("LUMIVEX T")).build();
    QString error;
    if (!QDir().mkpath(resources)
        || !write(resources + QStringLiteral("/Info.json"),
                  R"({"Device Name": "LUMIVEX", "Download URL": "https://www.lumivex.example/download"})")
        || !EncryptedCatalogue::write(resources, {{newer}, {QStringLiteral("LUMIVEX_RZ52940_0102.bin")}, {quint64(newer.size())}}, &error)
        || !write(flash, older.mid(4))
        || !write(camera, QStringLiteral(R"({"product": "LUMIVEX T", "flash": "%1", %2})").arg(flash, cameraFields).toUtf8())) {
        std::fprintf(stderr, "cannot set the bench up: %s\n", qPrintable(error));
        return false;
    }
    qputenv("LUMIVEX_VIRTUAL_CAMERA", QFile::encodeName(camera));
    UsbBus::setSystem(createUsbBus());
    bool completed = false;
    {
        MainWindow window;
        AppDelegate delegate(window, Resources(resources));
        delegate.awakeFromNib();
        window.show();
        delegate.applicationDidFinishLaunching();

        const auto offered = [&] { return delegate.button_update->isVisible() && delegate.button_update->isEnabled(); };
        if (!runUntil(offered, 10000))
            std::fprintf(stderr, "the update was not offered\n");
        delegate.button_update->click();
        QMessageBox *sheet = nullptr;
        runUntil([&] {
            for (QMessageBox *box : window.findChildren<QMessageBox *>()) {
                if (box->isVisible())
                    sheet = box;
            }
            return sheet != nullptr;
        }, 5000);
        QAbstractButton *confirm = nullptr;
        for (QAbstractButton *button : sheet ? sheet->buttons() : QList<QAbstractButton *>()) {
            if (sheet->buttonRole(button) == QMessageBox::AcceptRole)
                confirm = button;
        }
        if (confirm) {
            confirm->click();
            completed = runUntil([&] { return !delegate.runActive(); }, 600000) && delegate.downloadCompleted.load();
            if (!completed)
                std::fprintf(stderr, "the update did not complete\n");
        } else {
            std::fprintf(stderr, "no confirmation sheet came\n");
        }
        delegate.applicationWillTerminate();
    }
    UsbBus::setSystem(nullptr);
    return completed;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installStringTables(app, languageCode());
    QTemporaryDir scratch;

    if (!updateThroughTheWindow(scratch.filePath(QStringLiteral("memory")), 0x10000, QStringLiteral(R"("latency_us": 0)")))
        return 2;
    const long peak = statusKiB("VmHWM:");
    if (peak < 0) {
        std::fprintf(stderr, "no VmHWM in /proc/self/status here\n");
        return 2;
    }
    const double mib = double(peak) / 1024.0;
    std::printf("64 KiB update through the window, offscreen: peak resident memory (VmHWM) %.1f MiB\n", mib);
    const bool met = mib <= kGoalMiB;
    std::printf("summary: peak memory (VmHWM) of the app through a 64 KiB update|%.1f MiB|at most %.0f MiB|%s\n", mib,
                kGoalMiB, met ? "met" : "not met");

    // The GUI thread's longest silence through a 1 MiB update on a 1 MiB part.
    QElapsedTimer clock;
    qint64 last = -1, longest = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (last >= 0)
            longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    ticks.start(5);
    QElapsedTimer took;
    took.start();
    if (!updateThroughTheWindow(scratch.filePath(QStringLiteral("stall")), 0x100000,
                                QStringLiteral(R"("jedec": "EF3014", %1)").arg(QLatin1String(kCameraTimings))))
        return 2;
    ticks.stop();
    std::printf("1 MiB update through the window (%s) in %.1f s: the GUI thread's longest stall %lld ms\n", kCameraTimings,
                double(took.elapsed()) / 1000.0, longest);
    const bool answered = double(longest) < kStallGoalMs;
    std::printf("summary: longest GUI-thread stall through a 1 MiB update|%lld ms|under %.0f ms|%s\n", longest, kStallGoalMs,
                answered ? "met" : "not met");
    return met && answered ? 0 : 1;
}
