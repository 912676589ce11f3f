// How much time the update engine adds to the camera's own: a full update of a 64 KiB image (the
// 65,540-byte file) through FlashUpdate, as the window runs it (erase, program, read back and
// compare), on a virtual camera whose control transfers take 125 µs, page programs 700 µs and
// sector erases 40 ms. Every wait for the part is spent in status reads, so the camera's time is
// the transfers made times their latency; the rest is the software's overhead.
#include "device/bxhardwarelib.h"
#include "device/flashupdate.h"
#include "sim/virtualbus.h"
#include "tools/firmwareimagebuilder.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <functional>

namespace {

constexpr uint32_t kContentSize = 0x10000;
constexpr double kGoal = 1.05;

struct Phase
{
    const char *name;
    uint64_t transfers;
    double measuredMs;
};

struct QuietSink : UpdateProgressSink
{
    void progress(double, Stage) override {}
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);

    VirtualCameraConfig config;
    config.latencyUs = 125;
    config.programUs = 700;
    config.eraseMs = 40;
    VirtualBus bus({config});
    CameraModel &camera = bus.camera(0);
    bxHardwareLib hardware(bus);
    if (!hardware.initDevice(config.vid, config.pid, bxHardwareLib::kAnyInterfaceClass)) {
        std::fprintf(stderr, "the virtual camera did not open\n");
        return 2;
    }

    const QByteArray file = FirmwareImageBuilder().flashLength(kContentSize).build();
    QuietSink sink;
    FlashUpdate update(hardware.session(), std::vector<uint8_t>(file.begin(), file.end()), sink);

    const auto run = [&](const char *name, const std::function<bool()> &step) {
        const uint64_t before = camera.transferCount();
        const auto start = std::chrono::steady_clock::now();
        const bool ok = step();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        if (!ok) {
            std::fprintf(stderr, "%s failed: %s\n", name, update.failureReason().c_str());
            std::exit(2);
        }
        return Phase{name, camera.transferCount() - before, took.count()};
    };
    const Phase phases[] = {
        run("erase", [&] { return update.spi_erase_firmware(); }),
        run("program", [&] { return update.spi_update_firmware(); }),
        run("verify", [&] { return update.spi_verify_firmware(); }),
    };

    std::printf("%lld-byte image file through FlashUpdate; latency %u us, program %u us, erase %u ms\n",
                static_cast<long long>(file.size()), config.latencyUs, config.programUs, config.eraseMs);
    std::printf("%-10s %10s %14s %14s %8s\n", "phase", "transfers", "camera ms", "measured ms", "ratio");
    const auto line = [&](const char *name, uint64_t count, double ms) {
        const double cameraMs = double(count) * config.latencyUs / 1000.0;
        std::printf("%-10s %10llu %14.1f %14.1f %8.4f\n", name, static_cast<unsigned long long>(count), cameraMs, ms,
                    ms / cameraMs);
        return ms / cameraMs;
    };
    uint64_t transfers = 0;
    double measured = 0;
    for (const Phase &phase : phases) {
        line(phase.name, phase.transfers, phase.measuredMs);
        transfers += phase.transfers;
        measured += phase.measuredMs;
    }
    const double ratio = line("total", transfers, measured);
    const bool met = ratio <= kGoal;
    std::printf("summary: 64 KiB update through FlashUpdate, measured / camera time|%.3f (%.0f ms / %.0f ms)|"
                "at most %.2f|%s\n",
                ratio, measured, double(transfers) * config.latencyUs / 1000.0, kGoal, met ? "met" : "not met");
    return met ? 0 : 1;
}
