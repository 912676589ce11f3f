// Peak memory of the updater through a whole 64 KiB update: the program's own window and controller
// (as main() builds them) on a virtual camera whose flash holds an older image, with an encrypted
// catalogue holding the newer one. It does what a person does, offscreen: waits for the offer,
// presses Update, confirms the sheet and waits for the run to end; then reads VmHWM.
#include "app/appdelegate.h"
#include "app/usbbusfactory.h"
#include "payload/encryptedcatalogue.h"
#include "platform/language.h"
#include "platform/resources.h"
#include "tools/firmwareimagebuilder.h"
#include "ui/localization.h"
#include "ui/mainwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

constexpr double kGoalMiB = 80;
constexpr uint32_t kContentSize = 0x10000;

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

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir scratch;
    const QString resources = scratch.filePath(QStringLiteral("resources"));
    const QString flash = scratch.filePath(QStringLiteral("camera.flash"));
    const QString camera = scratch.filePath(QStringLiteral("camera.json"));
    const QByteArray newer = FirmwareImageBuilder().version(0x0102).product(QStringLiteral("LUMIVEX T")).flashLength(kContentSize).build();
    const QByteArray older = FirmwareImageBuilder().version(0x0100).product(QStringLiteral("LUMIVEX T")).build();
    QString error;
    if (!QDir().mkpath(resources)
        || !write(resources + QStringLiteral("/Info.json"),
                  R"({"Device Name": "LUMIVEX", "Download URL": "https://www.lumivex.example/download"})")
        || !EncryptedCatalogue::write(resources, {{newer}, {QStringLiteral("LUMIVEX_RZ52940_0102.bin")}, {quint64(newer.size())}}, &error)
        || !write(flash, older.mid(4))
        || !write(camera, QStringLiteral(R"({"product": "LUMIVEX T", "flash": "%1"})").arg(flash).toUtf8())) {
        std::fprintf(stderr, "cannot set the bench up: %s\n", qPrintable(error));
        return 2;
    }
    qputenv("LUMIVEX_VIRTUAL_CAMERA", QFile::encodeName(camera));

    installStringTables(app, languageCode());
    UsbBus::setSystem(createUsbBus());
    int status = 0;
    {
        MainWindow window;
        AppDelegate delegate(window, Resources(resources));
        delegate.awakeFromNib();
        window.show();
        delegate.applicationDidFinishLaunching();

        const auto offered = [&] { return delegate.button_update->isVisible() && delegate.button_update->isEnabled(); };
        if (!runUntil(offered, 10000)) {
            std::fprintf(stderr, "the update was not offered\n");
            return 2;
        }
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
        if (!confirm) {
            std::fprintf(stderr, "no confirmation sheet came\n");
            return 2;
        }
        confirm->click();
        if (!runUntil([&] { return delegate.downloadCompleted.load(); }, 60000)) {
            std::fprintf(stderr, "the update did not complete\n");
            status = 2;
        }
        delegate.applicationWillTerminate();
    }
    UsbBus::setSystem(nullptr);
    if (status)
        return status;

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
    return met ? 0 : 1;
}
