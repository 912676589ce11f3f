// The real libusb backend end to end without hardware: umockdev fakes sysfs, the udev events and
// the usbfs device nodes, and the ioctls on those nodes are answered by the same camera model
// that drives the virtual bus. Runs under umockdev-wrapper.
#include "app/appdelegate.h"
#include "device/bxhardwarelib.h"
#include "device/usbrequests.h"
#include "platform/libusbbus.h"
#include "sim/cameramodel.h"
#include "tests/support/testsupport.h"
#include "tools/firmwareimagebuilder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QObject>
#include <QPushButton>
#include <QRegularExpression>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <umockdev.h>
#include <vector>

namespace {

constexpr uint16_t kVid = 0xF055;
constexpr uint16_t kPid = 0x5201;

VirtualCameraConfig cameraConfig(const QString &json)
{
    return VirtualCameraConfig::parse(json.toUtf8(), QStringLiteral("/tmp"), nullptr).value().front();
}

// The sysfs "descriptors" attribute: device descriptor, then the configuration with one
// interface descriptor per interface of the model (no endpoints: only the default pipe is used).
std::string descriptorsHex(const VirtualCameraConfig &config)
{
    const auto interfaces = config.interfaceInfos();
    std::vector<uint8_t> d = {18, 1, 0x00, 0x02, 0xEF, 0x02, 0x01, 64,
                              uint8_t(config.vid), uint8_t(config.vid >> 8), uint8_t(config.pid), uint8_t(config.pid >> 8),
                              0x00, 0x01, 1, 2, 3, 1};
    const uint16_t total = uint16_t(9 + 9 * interfaces.size());
    const std::vector<uint8_t> configuration = {9, 2, uint8_t(total), uint8_t(total >> 8), uint8_t(interfaces.size()), 1, 0, 0x80, 250};
    d.insert(d.end(), configuration.begin(), configuration.end());
    for (const UsbInterfaceInfo &i : interfaces) {
        const std::vector<uint8_t> interface = {9, 4, i.number, 0, 0, i.interfaceClass, i.interfaceSubClass, 0, 0};
        d.insert(d.end(), interface.begin(), interface.end());
    }
    return QByteArray(reinterpret_cast<const char *>(d.data()), qsizetype(d.size())).toHex().toStdString();
}

// One emulated usbfs node: control URBs go to the model and wait to be reaped; claims and the
// kernel driver's detach and re-attach are recorded.
class UsbfsNode
{
public:
    UsbfsNode(CameraModel &model, UsbDeviceId attachment)
        : mModel(model)
        , mAttachment(attachment)
        , mHandler(umockdev_ioctl_base_new())
    {
        g_signal_connect(mHandler, "handle-ioctl", G_CALLBACK(&UsbfsNode::handle), this);
    }

    ~UsbfsNode()
    {
        for (UMockdevIoctlData *urb : mDone)
            umockdev_ioctl_data_unref(urb);
        g_object_unref(mHandler);
    }

    UMockdevIoctlBase *handler() const { return mHandler; }

    std::vector<std::string> events()
    {
        std::lock_guard guard(mLock);
        return mEvents;
    }

private:
    static gboolean handle(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self)
    {
        return static_cast<UsbfsNode *>(self)->answer(client);
    }

    void record(const std::string &event)
    {
        std::lock_guard guard(mLock);
        mEvents.push_back(event);
    }

    template<typename T>
    T argument(UMockdevIoctlClient *client, UMockdevIoctlData **data = nullptr)
    {
        UMockdevIoctlData *resolved = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(T), nullptr);
        T value{};
        std::memcpy(&value, resolved->data, sizeof(T));
        if (data)
            *data = resolved;
        else
            umockdev_ioctl_data_unref(resolved);
        return value;
    }

    gboolean answer(UMockdevIoctlClient *client)
    {
        const gulong request = umockdev_ioctl_client_get_request(client);
        switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData *caps = nullptr;
            argument<uint32_t>(client, &caps);
            const uint32_t value = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION
                                 | USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            std::memcpy(caps->data, &value, sizeof(value));
            umockdev_ioctl_data_unref(caps);
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE:
            record((request == USBDEVFS_CLAIMINTERFACE ? "claim " : "release ") + std::to_string(argument<unsigned int>(client)));
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        case USBDEVFS_DISCONNECT_CLAIM: {
            const auto claim = argument<usbdevfs_disconnect_claim>(client);
            record("detach " + std::to_string(claim.interface));
            record("claim " + std::to_string(claim.interface));
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_IOCTL: {
            const auto command = argument<usbdevfs_ioctl>(client);
            if (command.ioctl_code == int(USBDEVFS_CONNECT))
                record("attach " + std::to_string(command.ifno));
            else if (command.ioctl_code == int(USBDEVFS_DISCONNECT))
                record("detach " + std::to_string(command.ifno));
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_GETDRIVER:
            umockdev_ioctl_client_complete(client, -1, ENODATA);
            return TRUE;
        case USBDEVFS_SUBMITURB:
            return submit(client);
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            return reap(client);
        case USBDEVFS_DISCARDURB:
            // Every URB completes as it is submitted: nothing is left to discard.
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            return TRUE;
        default:
            return FALSE;
        }
    }

    gboolean submit(UMockdevIoctlClient *client)
    {
        UMockdevIoctlData *urbData = nullptr;
        const usbdevfs_urb urb = argument<usbdevfs_urb>(client, &urbData);
        if (urb.type != USBDEVFS_URB_TYPE_CONTROL || urb.buffer_length < 8 || !mModel.plugged()) {
            umockdev_ioctl_data_unref(urbData);
            umockdev_ioctl_client_complete(client, -1, mModel.plugged() ? EINVAL : ENODEV);
            return TRUE;
        }
        UMockdevIoctlData *buffer = umockdev_ioctl_data_resolve(urbData, G_STRUCT_OFFSET(usbdevfs_urb, buffer),
                                                                gsize(urb.buffer_length), nullptr);
        uint8_t *bytes = buffer->data;
        UsbDeviceRequest request{.bmRequestType = bytes[0], .bRequest = bytes[1],
                                 .wValue = uint16_t(bytes[2] | (bytes[3] << 8)), .wIndex = uint16_t(bytes[4] | (bytes[5] << 8)),
                                 .wLength = uint16_t(std::min<int>(bytes[6] | (bytes[7] << 8), urb.buffer_length - 8)),
                                 .pData = bytes + 8};
        const uint32_t status = mModel.controlTransfer(request, mAttachment);
        umockdev_ioctl_data_unref(buffer);
        if (status == UsbStatus::NoDevice) {
            umockdev_ioctl_data_unref(urbData);
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return TRUE;
        }
        auto *done = reinterpret_cast<usbdevfs_urb *>(urbData->data);
        done->status = status == UsbStatus::Success ? 0 : -EPIPE;
        done->actual_length = int(request.wLenDone);
        {
            std::lock_guard guard(mLock);
            mDone.push_back(urbData);
        }
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }

    gboolean reap(UMockdevIoctlClient *client)
    {
        UMockdevIoctlData *urbData = nullptr;
        {
            std::lock_guard guard(mLock);
            if (!mDone.empty()) {
                urbData = mDone.front();
                mDone.pop_front();
            }
        }
        if (!urbData) {
            umockdev_ioctl_client_complete(client, -1, mModel.plugged() ? EAGAIN : ENODEV);
            return TRUE;
        }
        UMockdevIoctlData *pointer = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                                                 sizeof(gpointer), nullptr);
        umockdev_ioctl_data_set_ptr(pointer, 0, urbData);
        umockdev_ioctl_client_complete(client, 0, 0);
        umockdev_ioctl_data_unref(pointer);
        umockdev_ioctl_data_unref(urbData);
        return TRUE;
    }

    CameraModel &mModel;
    UsbDeviceId mAttachment;
    UMockdevIoctlBase *mHandler;
    std::mutex mLock;
    std::deque<UMockdevIoctlData *> mDone;
    std::vector<std::string> mEvents;
};

class UsbEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testbed = umockdev_testbed_new();
        ASSERT_TRUE(umockdev_in_mock_environment()) << "run this test through umockdev-wrapper";
    }

    void TearDown() override
    {
        bus.reset();
        nodes.clear();
        if (testbed)
            g_object_unref(testbed);
    }

    // Puts a camera on the emulated bus: its usbfs node answered by the model, then its sysfs
    // device, which udev announces.
    void addCamera(CameraModel &model, int devnum, const char *product)
    {
        model.plug(UsbDeviceId(devnum));
        const QString node = QStringLiteral("/dev/bus/usb/001/%1").arg(devnum, 3, 10, QLatin1Char('0'));
        nodes.push_back(std::make_unique<UsbfsNode>(model, UsbDeviceId(devnum)));
        GError *error = nullptr;
        ASSERT_TRUE(umockdev_testbed_attach_ioctl(testbed, node.toUtf8().constData(), nodes.back()->handler(), &error));
        const std::string description =
            "P: /devices/usb" + std::to_string(devnum) + "\n"
            "N: bus/usb/001/" + node.right(3).toStdString() + "\n"
            "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n"
            "E: BUSNUM=001\nE: DEVNUM=" + node.right(3).toStdString() + "\n"
            "E: DEVNAME=" + node.toStdString() + "\n"
            "A: busnum=1\\n\nA: devnum=" + std::to_string(devnum) + "\\n\nA: speed=480\\n\n"
            "A: bConfigurationValue=1\\n\nA: product=" + product + "\\n\n"
            "H: descriptors=" + descriptorsHex(model.config()) + "\n";
        ASSERT_TRUE(umockdev_testbed_add_from_string(testbed, description.c_str(), &error))
            << (error ? error->message : "");
    }

    void startBus()
    {
        QString error;
        bus = LibusbBus::create(&error);
        ASSERT_TRUE(bus) << qPrintable(error);
    }

    UMockdevTestbed *testbed = nullptr;
    std::vector<std::unique_ptr<UsbfsNode>> nodes;
    std::unique_ptr<LibusbBus> bus;
};

} // namespace

// Discovery at start is shown by the watch test below; here the camera arrives by hotplug.
TEST_F(UsbEndToEnd, ArrivalOpenRegisterReadEepromReleaseRemovalThenNoDevice)
{
    startBus();
    std::vector<UsbDeviceInfo> arrived, removed;
    QObject context;
    auto token = bus->watch(&context, [&](const UsbDeviceInfo &info) { arrived.push_back(info); },
                            [&](const UsbDeviceInfo &info) { removed.push_back(info); });
    EXPECT_TRUE(arrived.empty());

    ScratchFolder folder;
    const QString trace = folder.filePath(QStringLiteral("trace.jsonl"));
    CameraModel camera(cameraConfig(QStringLiteral(R"({"interfaces":[[14,1],[14,2],[3,0]],"trace":"%1"})").arg(trace)));
    addCamera(camera, 2, "LUMIVEX T");
    ASSERT_TRUE(processEventsUntil([&] { return !arrived.empty(); }));
    EXPECT_EQ(arrived[0].vendorId << 16 | arrived[0].productId, uint32_t(kVid) << 16 | kPid);
    EXPECT_EQ(arrived[0].productName, "LUMIVEX T");
    EXPECT_EQ(arrived[0].interfaces.size(), 3u);
    // Opened by the identity the arrival reported; an identity never reported opens nothing.
    const std::unique_ptr<UsbDevice> byId = bus->openDevice(arrived[0].id);
    ASSERT_TRUE(byId);
    EXPECT_EQ(byId->info().productName, "LUMIVEX T");
    EXPECT_EQ(bus->openDevice(arrived[0].id + 1), nullptr);

    bxHardwareLib hardware(*bus);
    ASSERT_TRUE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
    EXPECT_EQ(gHIDInterfaceNumber.load(), 2);
    EXPECT_EQ(hardware.GetUSBInterfaceInterfaceHandle()->deviceId(), arrived[0].id);
    uint8_t chip = 0;
    ASSERT_EQ(usbreq_readChipId(&chip), 0u);
    EXPECT_EQ(chip, 0xB3);
    const std::vector<uint8_t> data(32, 0x3C);
    ASSERT_EQ(hardware.fEEPROMWrite(0x0164, 32, data.data()), 0u);
    std::vector<uint8_t> back(32);
    ASSERT_EQ(hardware.fEEPROMRead(0x0164, 32, back.data()), 0u);
    EXPECT_EQ(back, data);
    EXPECT_EQ(camera.transferCount(), 10u + 3u); // the open reads the flash header too
    hardware.custom_dealloc();
    // The setup packets reached the camera exactly as the requests were made.
    QFile traced(trace);
    ASSERT_TRUE(traced.open(QIODevice::ReadOnly));
    EXPECT_EQ(traced.readLine(), "{\"n\":1,\"bmRequestType\":33,\"bRequest\":9,\"wValue\":903,\"wIndex\":2,\"wLength\":5,"
                                 "\"data\":\"8708000004\",\"status\":0}\n");
    EXPECT_TRUE(traced.readLine().startsWith("{\"n\":2,\"bmRequestType\":161,\"bRequest\":1,\"wValue\":915,\"wIndex\":2,"
                                             "\"wLength\":41,\"data\":\"b3"));
    // Only the HID interface was taken from its driver, and it was handed back.
    EXPECT_EQ(nodes[0]->events(), (std::vector<std::string>{"detach 2", "claim 2", "release 2", "attach 2"}));

    // The kernel tells udev first, then the device is gone.
    ASSERT_TRUE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
    camera.unplug();
    umockdev_testbed_uevent(testbed, "/sys/devices/usb2", "remove");
    ASSERT_TRUE(processEventsUntil([&] { return !removed.empty(); }));
    EXPECT_EQ(removed[0].id, hardware.GetUSBInterfaceInterfaceHandle()->deviceId());
    EXPECT_EQ(bus->openDevice(arrived[0].id), nullptr);
    umockdev_testbed_remove_device(testbed, "/sys/devices/usb2");
    EXPECT_EQ(usbreq_readChipId(&chip), 0xE00002C0u);
    hardware.custom_dealloc();
    // A device opened before the removal fails the same way, and its interfaces with it.
    UsbDeviceRequest request{.bmRequestType = 0x80, .bRequest = 0x00, .wLength = 2, .pData = back.data()};
    EXPECT_EQ(byId->interfaces(UsbDevice::kAnyInterfaceClass).front()->controlRequest(request), 0xE00002C0u);
}

// A camera that leaves while a new watch is still telling what is present leaves with the
// identity it arrives with: the event thread gets the removal while the watch's first handler
// runs, before the watch has told the second camera's arrival.
TEST_F(UsbEndToEnd, ACameraLeavingWhileAWatchStartsLeavesWithItsIdentity)
{
    CameraModel a(cameraConfig(R"({"interfaces":[[14,1],[3,0]]})"));
    CameraModel b(cameraConfig(R"({"interfaces":[[14,1],[3,0]]})"));
    addCamera(a, 4, "LUMIVEX A");
    addCamera(b, 5, "LUMIVEX B");
    startBus();

    QObject context;
    std::vector<UsbDeviceInfo> arrived;
    std::vector<UsbDeviceId> removed;
    QString leaving;
    auto token = bus->watch(
        &context,
        [&](const UsbDeviceInfo &info) {
            arrived.push_back(info);
            if (arrived.size() > 1)
                return;
            const bool first = info.productName == "LUMIVEX A";
            leaving = first ? QStringLiteral("LUMIVEX B") : QStringLiteral("LUMIVEX A");
            (first ? b : a).unplug();
            umockdev_testbed_uevent(testbed, first ? "/sys/devices/usb5" : "/sys/devices/usb4", "remove");
            // Time for the event thread to handle the removal; on a slow machine it comes later,
            // which this test then does not tell apart from the ordinary case.
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        },
        [&](const UsbDeviceInfo &info) { removed.push_back(info.id); });
    ASSERT_EQ(arrived.size(), 2u);
    EXPECT_EQ(arrived[1].productName, leaving);
    ASSERT_TRUE(processEventsUntil([&] { return !removed.empty(); }));
    drainMainQueue();
    EXPECT_EQ(removed, std::vector<UsbDeviceId>{arrived[1].id});
    EXPECT_NE(arrived[0].id, arrived[1].id);
    EXPECT_TRUE(bus->openDevice(arrived[0].id));
    EXPECT_EQ(bus->openDevice(arrived[1].id), nullptr);
}

// Watches taken and dropped while the event thread reports a camera leaving and coming back: a
// dropped watch is never called again, every watch hears each attachment arrive once and leave
// only after it arrived, with the same identity, and a watch that outlives the bus can still be
// dropped. Built with -fsanitize=address this also catches a watch's state freed while a callback
// still reads it.
TEST_F(UsbEndToEnd, WatchesDroppedDuringHotplugStaySilent)
{
    CameraModel camera(cameraConfig(R"({"interfaces":[[14,1],[3,0]]})"));
    addCamera(camera, 3, "LUMIVEX T");
    startBus();

    QObject context;
    std::vector<UsbDeviceId> arrivals, removals;
    auto steady = bus->watch(&context, [&](const UsbDeviceInfo &info) { arrivals.push_back(info.id); },
                             [&](const UsbDeviceInfo &info) { removals.push_back(info.id); });
    ASSERT_EQ(arrivals.size(), 1u);

    // Each event is awaited (the emulated uevent socket is small), with watches taken and dropped
    // all the while, so that drops fall while the event thread runs the callbacks.
    constexpr size_t kCycles = 200; // even: the camera ends attached
    struct Heard
    {
        std::set<UsbDeviceId> present;
        bool dropped = false;
        int lateCalls = 0, outOfOrder = 0;
    };
    std::deque<Heard> transient;
    for (size_t cycle = 0; cycle < kCycles; ++cycle) {
        umockdev_testbed_uevent(testbed, "/sys/devices/usb3", cycle % 2 ? "add" : "remove");
        const auto seen = [&] { return arrivals.size() + removals.size() == cycle + 2; };
        const QDeadlineTimer deadline(5000);
        while (!seen() && !deadline.hasExpired()) {
            Heard &heard = transient.emplace_back();
            auto token = bus->watch(
                &context,
                [&heard](const UsbDeviceInfo &info) {
                    heard.lateCalls += heard.dropped;
                    heard.outOfOrder += !heard.present.insert(info.id).second;
                },
                [&heard](const UsbDeviceInfo &info) {
                    heard.lateCalls += heard.dropped;
                    heard.outOfOrder += !heard.present.erase(info.id);
                });
            QCoreApplication::processEvents();
            token.reset();
            heard.dropped = true;
        }
        ASSERT_TRUE(seen()) << "cycle " << cycle;
    }
    QCoreApplication::processEvents();
    ASSERT_EQ(removals.size(), kCycles / 2);
    int lateCalls = 0, outOfOrder = 0;
    for (const Heard &heard : transient) {
        lateCalls += heard.lateCalls;
        outOfOrder += heard.outOfOrder;
    }
    EXPECT_EQ(lateCalls, 0);
    EXPECT_EQ(outOfOrder, 0) << "of " << transient.size() << " watches";
    for (size_t i = 0; i < removals.size(); ++i)
        ASSERT_EQ(removals[i], arrivals[i]) << "attachment " << i;
    EXPECT_EQ(std::set<UsbDeviceId>(arrivals.begin(), arrivals.end()).size(), arrivals.size());

    // The bus goes while events are still coming in and a watch is still held.
    for (int cycle = 0; cycle < 4; ++cycle)
        umockdev_testbed_uevent(testbed, "/sys/devices/usb3", cycle % 2 ? "add" : "remove");
    const size_t told = arrivals.size() + removals.size();
    bus.reset();
    steady.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(arrivals.size() + removals.size(), told);
}

namespace {

// The status texts shown so far, from the status lines on standard error; a text may span lines.
QStringList statusTexts(const QString &log)
{
    static const QRegularExpression line(QStringLiteral("progressText\\.frame text: (.*?)\\. rect: \\{\\{"),
                                         QRegularExpression::DotMatchesEverythingOption);
    QStringList texts;
    for (auto it = line.globalMatch(log); it.hasNext();)
        texts.append(it.next().captured(1));
    return texts;
}

} // namespace

// The launched controller on the real backend: a T camera plugged in after launch is opened over
// usbfs, identified and offered the catalogue's image; its removal brings the connect prompt back.
TEST_F(UsbEndToEnd, ControllerOffersAHotpluggedCameraAndPromptsAgainWhenItLeaves)
{
    ScratchFolder folder;
    folder.write(QStringLiteral("Info.json"), R"({"Device Name": "LUMIVEX"})");
    folder.write(QStringLiteral("Opt/cam_RZ52940.bin"), FirmwareImageBuilder().version(0x0102).build());
    // The camera's flash holds the image without its 4-byte prefix, as an updated camera's does.
    folder.write(QStringLiteral("flash.bin"),
                 FirmwareImageBuilder().version(0x0100).product(QStringLiteral("LUMIVEX T")).build().mid(4));
    CameraModel camera(cameraConfig(QStringLiteral(R"({"interfaces":[[14,1],[14,2],[3,0]],"flash":"%1"})")
                                        .arg(folder.filePath(QStringLiteral("flash.bin")))));
    startBus();

    StdoutCapture out;
    StderrCapture log;
    MainWindow window;
    AppDelegate delegate(window, Resources(folder.path()), bus.get());
    window.show();
    delegate.applicationDidFinishLaunching();
    drainMainQueue();
    const QString prompt = QStringLiteral("Please connect your LUMIVEX T camera.");
    ASSERT_EQ(statusTexts(log.text()), QStringList{prompt});
    ASSERT_TRUE(delegate._runLoopSource);

    addCamera(camera, 6, "LUMIVEX T");
    const QString offer = QStringLiteral("LUMIVEX T is ready to update.\nFirmware 0102 is available (installed: 0100).");
    ASSERT_TRUE(processEventsUntil([&] { return statusTexts(log.text()).size() == 2; }))
        << qPrintable(log.text()) << qPrintable(out.text());
    EXPECT_EQ(statusTexts(log.text()), (QStringList{prompt, offer}));
    EXPECT_TRUE(out.lines().contains(QStringLiteral("Device: LUMIVEX T"))) << qPrintable(out.text());
    EXPECT_TRUE(delegate.deviceEstablished);
    EXPECT_EQ(delegate.binIndex, 0);
    EXPECT_EQ(delegate.binVersion, 0x0102u);
    EXPECT_TRUE(delegate.button_update->isVisible());
    EXPECT_TRUE(delegate.button_update->isEnabled());
    // The offered session stays open for the update.
    ASSERT_TRUE(delegate.myHardware->GetUSBInterfaceInterfaceHandle());
    const UsbDeviceId session = delegate.myHardware->GetUSBInterfaceInterfaceHandle()->deviceId();

    camera.unplug();
    umockdev_testbed_uevent(testbed, "/sys/devices/usb6", "remove");
    ASSERT_TRUE(processEventsUntil([&] { return statusTexts(log.text()).size() == 3; })) << qPrintable(log.text());
    umockdev_testbed_remove_device(testbed, "/sys/devices/usb6");
    drainMainQueue();
    EXPECT_EQ(statusTexts(log.text()).last(), prompt);
    EXPECT_FALSE(delegate.deviceEstablished);
    EXPECT_EQ(delegate.binIndex, -1);
    EXPECT_FALSE(delegate.button_update->isVisible());
    EXPECT_FALSE(delegate.button_update->isEnabled());
    EXPECT_EQ(delegate.myHardware->GetUSBInterfaceInterfaceHandle(), nullptr);
    EXPECT_EQ(bus->openDevice(session), nullptr);
}
