// The real libusb backend end to end without hardware: umockdev fakes sysfs, the udev events and
// the usbfs device nodes, and the ioctls on those nodes are answered by the same camera model
// that drives the virtual bus. Runs under umockdev-wrapper.
#include "device/bxhardwarelib.h"
#include "device/usbrequests.h"
#include "platform/libusbbus.h"
#include "sim/cameramodel.h"
#include "tests/support/testsupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <deque>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <mutex>
#include <set>
#include <thread>
#include <umockdev.h>

namespace {

constexpr uint16_t kVid = 0xF055;
constexpr uint16_t kPid = 0x5201;

// The cameras' interfaces, and the sysfs "descriptors" attribute that matches them: the device
// descriptor, then the configuration with a video control, a video streaming and a HID interface
// (no endpoints: only the default pipe is used).
constexpr char kInterfaces[] = R"("interfaces":[[14,1],[14,2],[3,0]])";
constexpr char kDescriptors[] = "12010002ef02014055f00152000101020301"
                                "0902240003010080fa"
                                "09040000000e01000009040100000e020000090402000003000000";

// An ioctl's data in the client's memory, let go when done with.
using Data = std::unique_ptr<UMockdevIoctlData, decltype(&umockdev_ioctl_data_unref)>;

Data resolve(UMockdevIoctlData *data, gsize offset, gsize size)
{
    return Data(umockdev_ioctl_data_resolve(data, offset, size, nullptr), &umockdev_ioctl_data_unref);
}

template<typename T>
T as(const Data &data)
{
    T value{};
    std::memcpy(&value, data->data, sizeof(T));
    return value;
}

gboolean complete(UMockdevIoctlClient *client, int error)
{
    umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
    return TRUE;
}

// One emulated usbfs node: control URBs go to the model and wait to be reaped; claims and the
// kernel driver's detach and re-attach are recorded.
struct UsbfsNode
{
    UsbfsNode(CameraModel &model, UsbDeviceId attachment) : mModel(model), mAttachment(attachment)
    {
        const auto handle = [](UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self) -> gboolean {
            return static_cast<UsbfsNode *>(self)->answer(client);
        };
        g_signal_connect(mHandler, "handle-ioctl", G_CALLBACK(+handle), this);
    }
    ~UsbfsNode() { g_object_unref(mHandler); }

    std::vector<std::string> events() { std::lock_guard guard(mLock); return mEvents; }

    gboolean answer(UMockdevIoctlClient *client)
    {
        const gulong request = umockdev_ioctl_client_get_request(client);
        if (request == USBDEVFS_DISCARDURB) // every URB completes as it is submitted: nothing to discard
            return complete(client, EINVAL);
        if (request == USBDEVFS_GETDRIVER)
            return complete(client, ENODATA);
        // Each usbfs request states its argument's size.
        const Data arg = resolve(umockdev_ioctl_client_get_arg(client), 0, _IOC_SIZE(request));
        std::lock_guard guard(mLock);
        switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            const uint32_t caps = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM
                                | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            std::memcpy(arg->data, &caps, sizeof caps);
            return complete(client, 0);
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE:
            mEvents.push_back((request == USBDEVFS_CLAIMINTERFACE ? "claim " : "release ") + std::to_string(as<unsigned>(arg)));
            return complete(client, 0);
        case USBDEVFS_DISCONNECT_CLAIM:
            mEvents.push_back("detach " + std::to_string(as<usbdevfs_disconnect_claim>(arg).interface));
            mEvents.push_back("claim " + std::to_string(as<usbdevfs_disconnect_claim>(arg).interface));
            return complete(client, 0);
        case USBDEVFS_IOCTL: {
            const auto command = as<usbdevfs_ioctl>(arg);
            mEvents.push_back((command.ioctl_code == int(USBDEVFS_CONNECT) ? "attach " : "detach ") + std::to_string(command.ifno));
            return complete(client, 0);
        }
        case USBDEVFS_SUBMITURB:
            return complete(client, submit(arg));
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            if (mDone.empty())
                return complete(client, mModel.plugged() ? EAGAIN : ENODEV);
            umockdev_ioctl_data_set_ptr(arg.get(), 0, mDone.front().get());
            complete(client, 0);
            mDone.pop_front();
            return TRUE;
        default:
            return FALSE;
        }
    }

    // The URB's setup packet goes to the model; the URB waits to be reaped. Returns the errno.
    int submit(const Data &urbData)
    {
        const auto urb = as<usbdevfs_urb>(urbData);
        if (urb.type != USBDEVFS_URB_TYPE_CONTROL || urb.buffer_length < 8 || !mModel.plugged())
            return mModel.plugged() ? EINVAL : ENODEV;
        const Data buffer = resolve(urbData.get(), G_STRUCT_OFFSET(usbdevfs_urb, buffer), gsize(urb.buffer_length));
        uint8_t *b = buffer->data;
        UsbDeviceRequest request{.bmRequestType = b[0], .bRequest = b[1], .wValue = uint16_t(b[2] | b[3] << 8),
                                 .wIndex = uint16_t(b[4] | b[5] << 8),
                                 .wLength = uint16_t(std::min<int>(b[6] | b[7] << 8, urb.buffer_length - 8)), .pData = b + 8};
        const uint32_t status = mModel.controlTransfer(request, mAttachment);
        if (status == UsbStatus::NoDevice)
            return ENODEV;
        auto *done = reinterpret_cast<usbdevfs_urb *>(urbData->data);
        done->status = status == UsbStatus::Success ? 0 : -EPIPE;
        done->actual_length = int(request.wLenDone);
        mDone.emplace_back(umockdev_ioctl_data_ref(urbData.get()), &umockdev_ioctl_data_unref);
        return 0;
    }

    CameraModel &mModel;
    UsbDeviceId mAttachment;
    UMockdevIoctlBase *mHandler = umockdev_ioctl_base_new();
    std::mutex mLock;
    std::deque<Data> mDone;
    std::vector<std::string> mEvents;
};

// The emulated bus: cameras put on it by device number, the libusb bus over it, and watches that
// record what they are told.
class UsbEndToEnd : public ::testing::Test
{
protected:
    struct Heard { std::vector<UsbDeviceInfo> arrived, removed; };

    void SetUp() override { ASSERT_TRUE(umockdev_in_mock_environment()) << "run this test through umockdev-wrapper"; }

    // A camera with a video and a HID interface at /sys/devices/usb<devnum>: its usbfs node answered
    // by the model, then its sysfs device, which udev announces. `more` adds to its description.
    CameraModel &addCamera(int devnum, const char *product, const QString &more = {})
    {
        const QString json = QStringLiteral("{%1%2}").arg(QLatin1String(kInterfaces), more);
        CameraModel &model = *cameras.emplace_back(std::make_unique<CameraModel>(
            VirtualCameraConfig::parse(json.toUtf8(), QStringLiteral("/tmp"), nullptr).value().front()));
        model.plug(UsbDeviceId(devnum));
        const std::string number = QStringLiteral("%1").arg(devnum, 3, 10, QLatin1Char('0')).toStdString();
        const std::string node = "/dev/bus/usb/001/" + number;
        nodes.push_back(std::make_unique<UsbfsNode>(model, UsbDeviceId(devnum)));
        GError *error = nullptr;
        EXPECT_TRUE(umockdev_testbed_attach_ioctl(testbed.get(), node.c_str(), nodes.back()->mHandler, &error));
        const std::string description =
            "P: /devices/usb" + std::to_string(devnum) + "\nN: bus/usb/001/" + number + "\n"
            "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: BUSNUM=001\nE: DEVNUM=" + number + "\n"
            "E: DEVNAME=" + node + "\nA: busnum=1\\n\nA: devnum=" + std::to_string(devnum) + "\\n\nA: speed=480\\n\n"
            "A: bConfigurationValue=1\\n\nA: product=" + product + "\\n\nH: descriptors=" + kDescriptors + "\n";
        EXPECT_TRUE(umockdev_testbed_add_from_string(testbed.get(), description.c_str(), &error)) << (error ? error->message : "");
        return model;
    }

    void uevent(int devnum, const char *action)
    {
        umockdev_testbed_uevent(testbed.get(), ("/sys/devices/usb" + std::to_string(devnum)).c_str(), action);
    }
    // The kernel tells udev first; the sysfs device goes later, when the test says so.
    void unplug(CameraModel &model, int devnum) { model.unplug(), uevent(devnum, "remove"); }

    void startBus()
    {
        QString error;
        bus = LibusbBus::create(&error);
        ASSERT_TRUE(bus) << qPrintable(error);
    }

    // A watch that records into heard, then calls also on each arrival.
    std::shared_ptr<void> watch(Heard &heard, std::function<void(const UsbDeviceInfo &)> also = [](auto &) {})
    {
        return bus->watch(
            &context, [&heard, also](const UsbDeviceInfo &info) { heard.arrived.push_back(info), also(info); },
            [&heard](const UsbDeviceInfo &info) { heard.removed.push_back(info); });
    }

    // Declared in the order that lets the bus go first and the testbed last.
    QObject context;
    const std::unique_ptr<UMockdevTestbed, decltype(&g_object_unref)> testbed{umockdev_testbed_new(), &g_object_unref};
    std::vector<std::unique_ptr<CameraModel>> cameras;
    std::vector<std::unique_ptr<UsbfsNode>> nodes;
    std::unique_ptr<LibusbBus> bus;
};

} // namespace

// A camera arriving by hotplug (the watch tests start on cameras already present) is opened by
// the identity its arrival reported, over usbfs, its HID interface alone taken from the kernel
// driver and handed back. Once it is removed nothing opens it, and every request fails as "no
// device", on a device opened before the removal too.
TEST_F(UsbEndToEnd, ArrivalOpenRequestsReleaseRemovalThenNoDevice)
{
    startBus();
    Heard heard;
    auto token = watch(heard);
    EXPECT_TRUE(heard.arrived.empty());
    ScratchFolder folder;
    const QString trace = folder.filePath(QStringLiteral("trace.jsonl"));
    CameraModel &camera = addCamera(2, "LUMIVEX T", QStringLiteral(R"(,"trace":"%1")").arg(trace));
    ASSERT_TRUE(processEventsUntil([&] { return !heard.arrived.empty(); }));
    const UsbDeviceInfo info = heard.arrived[0];
    EXPECT_EQ(std::tuple(info.vendorId, info.productId, info.productName, info.interfaces.size()),
              std::tuple(kVid, kPid, QStringLiteral("LUMIVEX T"), size_t(3)));
    const std::unique_ptr<UsbDevice> byId = bus->openDevice(info.id);
    ASSERT_TRUE(byId);
    EXPECT_EQ(bus->openDevice(info.id + 1), nullptr);

    bxHardwareLib hardware(*bus);
    ASSERT_TRUE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass, info.id));
    uint8_t chip = 0;
    EXPECT_EQ((std::pair{usbreq_readChipId(*hardware.session(), &chip), chip}), std::pair(0u, uint8_t(0xB3)));
    // Vendor requests both ways: an EEPROM piece written and read back.
    const std::vector<uint8_t> data(32, 0x3C);
    std::vector<uint8_t> back(32);
    ASSERT_EQ(hardware.fEEPROMWrite(0x0164, 32, data.data()), 0u);
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
    EXPECT_EQ(nodes[0]->events(), (std::vector<std::string>{"detach 2", "claim 2", "release 2", "attach 2"}));

    ASSERT_TRUE(hardware.initDevice(kVid, kPid, bxHardwareLib::kAnyInterfaceClass));
    const std::shared_ptr<CameraSession> session = hardware.session();
    unplug(camera, 2);
    ASSERT_TRUE(processEventsUntil([&] { return !heard.removed.empty(); }));
    EXPECT_EQ(heard.removed[0].id, info.id);
    EXPECT_EQ(bus->openDevice(info.id), nullptr);
    umockdev_testbed_remove_device(testbed.get(), "/sys/devices/usb2");
    EXPECT_EQ(usbreq_readChipId(*session, &chip), UsbStatus::NoDevice);
    hardware.custom_dealloc();
    UsbDeviceRequest request{.bmRequestType = 0x80, .bRequest = 0x00, .wLength = 2, .pData = back.data()};
    EXPECT_EQ(byId->interfaces(UsbDevice::kAnyInterfaceClass).front()->controlRequest(request), UsbStatus::NoDevice);
}

// A camera that leaves while a new watch is still telling what is present leaves with the
// identity it arrives with: the event thread gets the removal while the watch's first handler
// runs, before the watch has told the second camera's arrival.
TEST_F(UsbEndToEnd, ACameraLeavingWhileAWatchStartsLeavesWithItsIdentity)
{
    CameraModel &a = addCamera(4, "LUMIVEX A");
    CameraModel &b = addCamera(5, "LUMIVEX B");
    startBus();
    Heard heard;
    QString leaving;
    auto token = watch(heard, [&](const UsbDeviceInfo &info) {
        if (heard.arrived.size() > 1)
            return;
        const bool first = info.productName == "LUMIVEX A";
        leaving = first ? QStringLiteral("LUMIVEX B") : QStringLiteral("LUMIVEX A");
        unplug(first ? b : a, first ? 5 : 4);
        // Time for the event thread to handle the removal; on a slow machine it comes later,
        // which this test then does not tell apart from the ordinary case.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    });
    ASSERT_EQ(heard.arrived.size(), 2u);
    EXPECT_EQ(heard.arrived[1].productName, leaving);
    ASSERT_TRUE(processEventsUntil([&] { return !heard.removed.empty(); }));
    drainMainQueue();
    ASSERT_EQ(heard.removed.size(), 1u);
    EXPECT_EQ(heard.removed[0].id, heard.arrived[1].id);
    EXPECT_NE(heard.arrived[0].id, heard.arrived[1].id);
    EXPECT_TRUE(bus->openDevice(heard.arrived[0].id));
    EXPECT_EQ(bus->openDevice(heard.arrived[1].id), nullptr);
}

// Watches taken and dropped while the event thread reports a camera leaving and coming back: a
// dropped watch is never called again, every watch hears each attachment arrive once and leave
// only after it arrived, with the same identity, and a watch that outlives the bus can still be
// dropped. Built with -fsanitize=address this also catches a watch's state freed while a callback
// still reads it.
TEST_F(UsbEndToEnd, WatchesDroppedDuringHotplugStaySilent)
{
    addCamera(3, "LUMIVEX T");
    startBus();
    Heard steady;
    auto steadyToken = watch(steady);
    ASSERT_EQ(steady.arrived.size(), 1u);

    constexpr size_t kCycles = 200; // even: the camera ends attached
    struct Transient { std::set<UsbDeviceId> present; std::shared_ptr<void> token; bool dropped = false; };
    std::deque<Transient> transient;
    int lateCalls = 0, outOfOrder = 0;
    const auto take = [&]() -> Transient & {
        Transient &t = transient.emplace_back();
        t.token = bus->watch(
            &context, [&](const UsbDeviceInfo &i) { lateCalls += t.dropped, outOfOrder += !t.present.insert(i.id).second; },
            [&](const UsbDeviceInfo &i) { lateCalls += t.dropped, outOfOrder += !t.present.erase(i.id); });
        return t;
    };
    const auto drop = [](Transient &t) { t.token.reset(), t.dropped = true; };
    for (size_t cycle = 0; cycle < kCycles; ++cycle) {
        // One watch is taken before the event and dropped up to 1.75 ms after it: before the
        // event thread reports it, while it runs the callbacks, or with their reports queued for
        // the GUI thread. More come and go while the event is awaited (the emulated uevent socket
        // is small).
        Transient &before = take();
        uevent(3, cycle % 2 ? "add" : "remove");
        std::this_thread::sleep_for(std::chrono::microseconds(cycle % 8 * 250));
        drop(before);
        const auto seen = [&] { return steady.arrived.size() + steady.removed.size() == cycle + 2; };
        for (const QDeadlineTimer deadline(5000); !seen() && !deadline.hasExpired();) {
            Transient &t = take();
            QCoreApplication::processEvents();
            drop(t);
        }
        ASSERT_TRUE(seen()) << "cycle " << cycle;
    }
    QCoreApplication::processEvents();
    ASSERT_EQ(steady.removed.size(), kCycles / 2);
    EXPECT_EQ(std::pair(lateCalls, outOfOrder), std::pair(0, 0)) << "late, out of order; " << transient.size() << " watches";
    std::set<UsbDeviceId> identities;
    for (size_t i = 0; i < steady.arrived.size(); ++i) {
        EXPECT_TRUE(identities.insert(steady.arrived[i].id).second) << "attachment " << i << " reuses an identity";
        EXPECT_TRUE(i >= steady.removed.size() || steady.removed[i].id == steady.arrived[i].id) << "attachment " << i;
    }

    // The bus goes while events are still coming in and a watch is still held.
    for (int cycle = 0; cycle < 4; ++cycle)
        uevent(3, cycle % 2 ? "add" : "remove");
    const size_t told = steady.arrived.size() + steady.removed.size();
    bus.reset();
    steadyToken.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(steady.arrived.size() + steady.removed.size(), told);
}
