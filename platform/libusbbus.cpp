// The real USB bus through libusb-1.0.
//
// Hotplug callbacks run either inside registration (devices already present, with
// LIBUSB_HOTPLUG_ENUMERATE) or on whichever thread handles libusb events: our event thread, or a
// thread waiting in a synchronous transfer. None may open a device or do I/O, so each callback only
// takes a device reference and hands it on. HID class requests reach the bridge only
// while we hold the HID interface, so it is claimed (the kernel driver detached automatically) on
// first use and released, with the driver re-attached, when the session ends. Video interfaces are
// never claimed, and vendor requests to the device need no claim at all.
#include "platform/libusbbus.h"

#include "platform/mainqueue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <libusb-1.0/libusb.h>

#include <array>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

using DeviceRef = std::shared_ptr<libusb_device>;

namespace {

DeviceRef takeRef(libusb_device *device)
{
    libusb_ref_device(device);
    return DeviceRef(device, libusb_unref_device);
}

// The "USB Product Name" as the kernel read it at enumeration; asking the device itself would
// need an open, which a foreign device (or missing permission) refuses.
QString sysfsProductName(libusb_device *device)
{
    const QString bus = QString::number(libusb_get_bus_number(device));
    const QString address = QString::number(libusb_get_device_address(device));
    const QDir devices(QStringLiteral("/sys/bus/usb/devices"));
    const auto attribute = [](const QString &folder, const char *name) {
        QFile file(folder + QLatin1Char('/') + QLatin1String(name));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(file.readAll()).remove(QLatin1Char('\n'));
    };
    for (const QString &name : devices.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        const QString folder = devices.filePath(name);
        if (attribute(folder, "busnum") == bus && attribute(folder, "devnum") == address)
            return attribute(folder, "product");
    }
    return QString();
}

// The name Linux gives the socket in /sys/bus/usb/devices: bus, then the port path.
QString locationOf(libusb_device *device)
{
    std::array<uint8_t, 8> ports{};
    const int depth = libusb_get_port_numbers(device, ports.data(), int(ports.size()));
    QString location = QString::number(libusb_get_bus_number(device));
    for (int i = 0; i < depth; ++i)
        location += (i == 0 ? u'-' : u'.') + QString::number(ports[size_t(i)]);
    return location;
}

std::vector<UsbInterfaceInfo> interfacesOf(libusb_device *device)
{
    std::vector<UsbInterfaceInfo> result;
    libusb_config_descriptor *config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS
        && libusb_get_config_descriptor(device, 0, &config) != LIBUSB_SUCCESS)
        return result;
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        const libusb_interface &interface = config->interface[i];
        if (interface.num_altsetting < 1)
            continue;
        const libusb_interface_descriptor &alt = interface.altsetting[0];
        result.push_back({alt.bInterfaceNumber, alt.bInterfaceClass, alt.bInterfaceSubClass});
    }
    libusb_free_config_descriptor(config);
    return result;
}

} // namespace

struct LibusbBus::State
{
    // One watch. libusb keeps a plain pointer to it as the callback's user data, and deregistering
    // does not wait for a callback that is already running on another thread, so a watcher is
    // never freed while the context can still call it: the state owns every watcher until the
    // context is gone. Fields marked GUI are touched on the GUI thread only; the others under lock.
    struct Watcher
    {
        State *state = nullptr;
        QPointer<QObject> context;        // GUI
        UsbBus::Handler arrived, removed; // GUI
        libusb_hotplug_callback_handle handle = 0;
        bool registered = false;
        bool alive = true;
        // Devices reported inside registration, delivered once registration has returned. Each
        // takes its identity when libusb reports it, before the event thread can report its
        // removal, so that the removal names the same attachment.
        std::thread::id registeringThread;
        bool registering = false;
        std::vector<std::pair<DeviceRef, UsbDeviceId>> present;
        // Removals the event thread reported while registration ran: registration may still list
        // such a device, and it must then arrive with the identity its removal carries.
        std::map<libusb_device *, std::pair<UsbDeviceId, DeviceRef>> leftWhileRegistering;
        // What the handlers have been told, so that each attachment arrives once and leaves after
        // it arrived: registration and an arrival event may both report a device, and a removal
        // queued during registration overtakes the arrival when a handler spins the event loop.
        std::set<UsbDeviceId> shown;   // GUI
        std::set<UsbDeviceId> unheard; // GUI: left before its arrival was told
    };

    libusb_context *context = nullptr;
    std::thread events;
    std::atomic<bool> stopping = false;

    std::mutex lock;
    // Lives on the GUI thread: what a callback hands over is queued to it. Null once the bus is
    // torn down, so that a late callback hands over nothing.
    std::unique_ptr<QObject> gui;
    std::vector<std::unique_ptr<Watcher>> watchers;
    std::map<libusb_device *, std::pair<UsbDeviceId, DeviceRef>> ids;
    std::map<libusb_device *, std::pair<UsbDeviceId, DeviceRef>> departed;
    UsbDeviceId nextId = 1;

    ~State()
    {
        // The last owner is gone, so no thread is inside libusb with this context any more and
        // no callback can reach a watcher; device references go before the context does.
        watchers.clear();
        ids.clear();
        departed.clear();
        if (context)
            libusb_exit(context);
    }

    // The identity of this attachment; a device seen for the first time gets a new one.
    UsbDeviceId idFor(libusb_device *device)
    {
        std::lock_guard guard(lock);
        return idForLocked(device);
    }

    UsbDeviceId idForLocked(libusb_device *device)
    {
        auto found = ids.find(device);
        if (found != ids.end())
            return found->second.first;
        const UsbDeviceId id = nextId++;
        ids.emplace(device, std::make_pair(id, takeRef(device)));
        return id;
    }

    // The identity a removal reports. libusb calls every watcher's callback for one removal before
    // it dispatches the next event, so the identity stays in departed for the watchers after the
    // first, and the next arrival ends it; the reference held keeps the address from being reused.
    UsbDeviceId departLocked(libusb_device *device)
    {
        if (auto found = departed.find(device); found != departed.end())
            return found->second.first;
        const auto found = ids.find(device);
        if (found == ids.end())
            return departed.emplace(device, std::make_pair(nextId++, takeRef(device))).first->second.first;
        const UsbDeviceId id = found->second.first;
        departed.emplace(device, std::move(found->second));
        ids.erase(found);
        return id;
    }

    UsbDeviceInfo describe(libusb_device *device, UsbDeviceId id)
    {
        UsbDeviceInfo info;
        info.id = id;
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) == LIBUSB_SUCCESS) {
            info.vendorId = descriptor.idVendor;
            info.productId = descriptor.idProduct;
        }
        info.productName = sysfsProductName(device);
        info.interfaces = interfacesOf(device);
        info.location = locationOf(device);
        return info;
    }

    bool isAlive(const Watcher &watcher)
    {
        std::lock_guard guard(lock);
        return watcher.alive;
    }

    // On the GUI thread: tells the watcher, unless it was dropped meanwhile.
    void deliver(Watcher &watcher, const DeviceRef &device, UsbDeviceId id, bool arrival)
    {
        if (!isAlive(watcher) || !watcher.context)
            return;
        if (arrival) {
            if (watcher.unheard.erase(id) || !watcher.shown.insert(id).second)
                return;
        } else if (!watcher.shown.erase(id)) {
            watcher.unheard.insert(id);
            return;
        }
        const UsbDeviceInfo info = describe(device.get(), id);
        (arrival ? watcher.arrived : watcher.removed)(info);
    }

    // From any thread. Returns the handle to deregister, if libusb still holds one.
    std::optional<libusb_hotplug_callback_handle> stop(Watcher &watcher)
    {
        std::lock_guard guard(lock);
        watcher.alive = false;
        if (!std::exchange(watcher.registered, false))
            return std::nullopt;
        return watcher.handle;
    }
};

namespace {

// One opened device, shared by the interface objects taken from it.
class Connection
{
public:
    Connection(std::shared_ptr<LibusbBus::State> state, DeviceRef device, std::vector<UsbInterfaceInfo> interfaces)
        : mState(std::move(state))
        , mDevice(std::move(device))
        , mInterfaces(std::move(interfaces))
    {
    }

    ~Connection()
    {
        if (!mHandle)
            return;
        // Releasing with auto-detach on hands each interface back to its kernel driver.
        for (const uint8_t number : mClaimed)
            libusb_release_interface(mHandle, number);
        libusb_close(mHandle);
    }

    uint32_t open()
    {
        std::lock_guard guard(mLock);
        return openLocked();
    }

    uint32_t controlRequest(UsbDeviceRequest &request)
    {
        std::lock_guard guard(mLock);
        if (const uint32_t status = openLocked())
            return status;
        if ((request.bmRequestType & 0x1F) == LIBUSB_RECIPIENT_INTERFACE) {
            if (const uint32_t status = claimLocked(uint8_t(request.wIndex & 0xFF)))
                return status;
        }
        const int result = libusb_control_transfer(mHandle, request.bmRequestType, request.bRequest, request.wValue,
                                                   request.wIndex, request.pData, request.wLength,
                                                   request.completionTimeout);
        if (result < 0) {
            request.wLenDone = 0;
            return LibusbBus::statusFromLibusb(result);
        }
        request.wLenDone = uint32_t(result);
        return UsbStatus::Success;
    }

private:
    uint32_t openLocked()
    {
        if (mHandle)
            return UsbStatus::Success;
        const int result = libusb_open(mDevice.get(), &mHandle);
        if (result != LIBUSB_SUCCESS) {
            mHandle = nullptr;
            return LibusbBus::statusFromLibusb(result);
        }
        libusb_set_auto_detach_kernel_driver(mHandle, 1);
        return UsbStatus::Success;
    }

    uint32_t claimLocked(uint8_t number)
    {
        if (mClaimed.count(number))
            return UsbStatus::Success;
        bool known = false;
        for (const UsbInterfaceInfo &interface : mInterfaces) {
            if (interface.number != number)
                continue;
            known = true;
            if (interface.interfaceClass == LIBUSB_CLASS_VIDEO)
                return UsbStatus::Success; // the video driver keeps its interfaces
        }
        if (!known)
            return UsbStatus::Success;
        const int result = libusb_claim_interface(mHandle, number);
        if (result != LIBUSB_SUCCESS)
            return LibusbBus::statusFromLibusb(result);
        mClaimed.insert(number);
        return UsbStatus::Success;
    }

    std::shared_ptr<LibusbBus::State> mState; // keeps the context alive while the device is open
    DeviceRef mDevice;
    std::vector<UsbInterfaceInfo> mInterfaces;
    std::mutex mLock;
    libusb_device_handle *mHandle = nullptr;
    std::set<uint8_t> mClaimed;
};

class Interface : public UsbInterface
{
public:
    Interface(UsbDeviceId device, UsbInterfaceInfo info, std::shared_ptr<Connection> connection)
        : UsbInterface(device, info)
        , mConnection(std::move(connection))
    {
    }

    uint32_t open() override { return mConnection->open(); }
    uint32_t close() override { return UsbStatus::Success; } // the handle lives as long as the session
    uint32_t controlRequest(UsbDeviceRequest &request) override { return mConnection->controlRequest(request); }

private:
    std::shared_ptr<Connection> mConnection;
};

class Device : public UsbDevice
{
public:
    Device(std::shared_ptr<LibusbBus::State> state, DeviceRef device, UsbDeviceInfo info)
        : mState(std::move(state))
        , mDevice(std::move(device))
        , mInfo(std::move(info))
    {
    }

    const UsbDeviceInfo &info() const override { return mInfo; }

    std::vector<std::unique_ptr<UsbInterface>> interfaces(uint16_t interfaceClass) override
    {
        auto connection = std::make_shared<Connection>(mState, mDevice, mInfo.interfaces);
        std::vector<std::unique_ptr<UsbInterface>> result;
        for (const UsbInterfaceInfo &interface : mInfo.interfaces) {
            if (interfaceClass == kAnyInterfaceClass || interface.interfaceClass == interfaceClass)
                result.push_back(std::make_unique<Interface>(mInfo.id, interface, connection));
        }
        return result;
    }

private:
    std::shared_ptr<LibusbBus::State> mState;
    DeviceRef mDevice;
    UsbDeviceInfo mInfo;
};

} // namespace

LibusbBus::LibusbBus(std::shared_ptr<State> state)
    : mState(std::move(state))
{
}

QString LibusbBus::blindness() const
{
    // libusb lists devices from sysfs but opens them through these nodes.
    const QFileInfo nodes(QStringLiteral("/dev/bus/usb"));
    if (!nodes.isDir())
        return QStringLiteral("there is no /dev/bus/usb, so this system shows no USB device to programs (a container "
                              "or sandbox without the host's USB?)");
    if (!nodes.isReadable() || !nodes.isExecutable())
        return QStringLiteral("this user may not read /dev/bus/usb");
    return {};
}

std::unique_ptr<LibusbBus> LibusbBus::create(QString *error)
{
    auto state = std::make_shared<State>();
    const int result = libusb_init(&state->context);
    if (result != LIBUSB_SUCCESS) {
        state->context = nullptr;
        if (error)
            *error = QString::fromUtf8(libusb_strerror(result));
        return nullptr;
    }
    state->gui = std::make_unique<QObject>();
    State *raw = state.get();
    state->events = std::thread([raw] {
        // Idle while nothing happens: hotplug events and the bus's teardown (which interrupts the
        // handler) wake the thread, so the timeout is only a backstop.
        while (!raw->stopping) {
            timeval interval{60, 0};
            libusb_handle_events_timeout_completed(raw->context, &interval, nullptr);
        }
    });
    return std::unique_ptr<LibusbBus>(new LibusbBus(std::move(state)));
}

LibusbBus::~LibusbBus()
{
    // Watches that outlive the bus go quiet here; a callback already running sees the GUI object
    // gone and hands nothing over.
    std::unique_ptr<QObject> gui;
    std::vector<libusb_hotplug_callback_handle> handles;
    {
        std::lock_guard guard(mState->lock);
        gui = std::move(mState->gui);
        for (const auto &watcher : mState->watchers) {
            watcher->alive = false;
            if (std::exchange(watcher->registered, false))
                handles.push_back(watcher->handle);
        }
    }
    for (const libusb_hotplug_callback_handle handle : handles)
        libusb_hotplug_deregister_callback(mState->context, handle);
    mState->stopping = true;
    libusb_interrupt_event_handler(mState->context);
    if (mState->events.joinable())
        mState->events.join();
    gui.reset(); // drops what is still queued, with its device references, while the context lives
}

uint32_t LibusbBus::statusFromLibusb(int error)
{
    switch (error) {
    case LIBUSB_SUCCESS: return UsbStatus::Success;
    case LIBUSB_ERROR_IO: return UsbStatus::IOError;
    case LIBUSB_ERROR_INVALID_PARAM: return UsbStatus::BadArgument;
    case LIBUSB_ERROR_ACCESS: return UsbStatus::NotPrivileged;
    case LIBUSB_ERROR_NO_DEVICE: return UsbStatus::NoDevice;
    case LIBUSB_ERROR_NOT_FOUND: return UsbStatus::NotFound;
    case LIBUSB_ERROR_BUSY: return UsbStatus::ExclusiveAccess;
    case LIBUSB_ERROR_TIMEOUT: return UsbStatus::TransactionTimeout;
    case LIBUSB_ERROR_OVERFLOW: return UsbStatus::Overrun;
    case LIBUSB_ERROR_PIPE: return UsbStatus::PipeStalled;
    case LIBUSB_ERROR_INTERRUPTED: return UsbStatus::Aborted;
    case LIBUSB_ERROR_NO_MEM: return UsbStatus::NoMemory;
    case LIBUSB_ERROR_NOT_SUPPORTED: return UsbStatus::Unsupported;
    default: return UsbStatus::Error;
    }
}

namespace {

int LIBUSB_CALL hotplugCallback(libusb_context *, libusb_device *device, libusb_hotplug_event event, void *userData)
{
    auto *watcher = static_cast<LibusbBus::State::Watcher *>(userData);
    LibusbBus::State *state = watcher->state;
    const bool arrival = event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED;
    std::map<libusb_device *, std::pair<UsbDeviceId, DeviceRef>> ended; // unreferenced outside the lock
    std::lock_guard guard(state->lock);
    if (watcher->registering && std::this_thread::get_id() == watcher->registeringThread) {
        // Inside registration: libusb has already put this watcher on its list, so the event
        // thread may report the device leaving before registration returns.
        const auto left = watcher->leftWhileRegistering.find(device);
        const UsbDeviceId id = left != watcher->leftWhileRegistering.end() ? left->second.first
                                                                          : state->idForLocked(device);
        watcher->present.emplace_back(takeRef(device), id);
        return 0;
    }
    if (arrival)
        ended.swap(state->departed);
    const UsbDeviceId id = arrival ? state->idForLocked(device) : state->departLocked(device);
    if (!arrival && watcher->registering)
        watcher->leftWhileRegistering.try_emplace(device, id, takeRef(device));
    // Checked and posted under the lock that the token's deleter and the bus's destructor take,
    // so once either has returned nothing more reaches the GUI thread for this watcher.
    if (watcher->alive && state->gui) {
        MainQueue::async(state->gui.get(), [state, watcher, ref = takeRef(device), id, arrival] {
            state->deliver(*watcher, ref, id, arrival);
        });
    }
    return 0;
}

} // namespace

std::shared_ptr<void> LibusbBus::watch(QObject *context, Handler arrived, Handler removed)
{
    using Watcher = State::Watcher;
    State *state = mState.get();
    Watcher *watcher = nullptr;
    {
        auto owned = std::make_unique<Watcher>();
        owned->state = state;
        owned->context = context;
        owned->arrived = std::move(arrived);
        owned->removed = std::move(removed);
        owned->registeringThread = std::this_thread::get_id();
        owned->registering = true;
        watcher = owned.get();
        std::lock_guard guard(state->lock);
        state->watchers.push_back(std::move(owned));
    }
    // Dropping the token silences the watcher; the state frees it with the context.
    const std::weak_ptr<State> weak = mState;
    auto token = std::shared_ptr<void>(watcher, [weak](void *data) {
        if (const std::shared_ptr<State> alive = weak.lock()) {
            if (const auto handle = alive->stop(*static_cast<Watcher *>(data)))
                libusb_hotplug_deregister_callback(alive->context, *handle);
        }
    });

    std::vector<std::pair<DeviceRef, UsbDeviceId>> present;
    std::map<libusb_device *, std::pair<UsbDeviceId, DeviceRef>> left; // unreferenced outside the lock
    if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
        libusb_hotplug_callback_handle handle = 0;
        const int result = libusb_hotplug_register_callback(
            state->context,
            libusb_hotplug_event(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
            LIBUSB_HOTPLUG_ENUMERATE, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
            hotplugCallback, watcher, &handle);
        std::lock_guard guard(state->lock);
        watcher->registering = false;
        present = std::move(watcher->present);
        left.swap(watcher->leftWhileRegistering);
        if (result != LIBUSB_SUCCESS) {
            watcher->alive = false;
            return nullptr;
        }
        watcher->handle = handle;
        watcher->registered = true;
    } else {
        libusb_device **list = nullptr;
        const ssize_t count = libusb_get_device_list(state->context, &list);
        {
            std::lock_guard guard(state->lock);
            for (ssize_t i = 0; i < count; ++i)
                present.emplace_back(takeRef(list[i]), state->idForLocked(list[i]));
            watcher->registering = false;
        }
        if (count >= 0)
            libusb_free_device_list(list, 1);
    }
    for (const auto &[device, id] : present)
        state->deliver(*watcher, device, id, true);
    return token;
}

std::unique_ptr<UsbDevice> LibusbBus::openFirst(const std::function<std::optional<UsbDeviceId>(libusb_device *)> &identity)
{
    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(mState->context, &list);
    if (count < 0)
        return nullptr;
    std::unique_ptr<UsbDevice> found;
    for (ssize_t i = 0; i < count && !found; ++i) {
        if (const std::optional<UsbDeviceId> id = identity(list[i]))
            found = std::make_unique<Device>(mState, takeRef(list[i]), mState->describe(list[i], *id));
    }
    libusb_free_device_list(list, 1);
    return found;
}

std::unique_ptr<UsbDevice> LibusbBus::openDevice(uint32_t vendorId, uint32_t productId)
{
    return openFirst([&](libusb_device *device) -> std::optional<UsbDeviceId> {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS || descriptor.idVendor != vendorId
            || descriptor.idProduct != productId)
            return std::nullopt;
        return mState->idFor(device);
    });
}

std::unique_ptr<UsbDevice> LibusbBus::openDevice(UsbDeviceId id)
{
    // Only a device that already has this identity: a lookup never hands out a new one.
    return openFirst([&](libusb_device *device) -> std::optional<UsbDeviceId> {
        std::lock_guard guard(mState->lock);
        const auto entry = mState->ids.find(device);
        if (entry == mState->ids.end() || entry->second.first != id)
            return std::nullopt;
        return id;
    });
}
