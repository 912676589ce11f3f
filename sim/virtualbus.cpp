// The bus of virtual cameras.
#include "sim/virtualbus.h"

#include "platform/mainqueue.h"

#include <QFileInfo>
#include <QPointer>
#include <QTimer>

struct VirtualBus::Watcher
{
    QPointer<QObject> context;
    Handler arrived;
    Handler removed;
};

namespace {

class VirtualInterface : public UsbInterface
{
public:
    VirtualInterface(UsbDeviceId device, UsbInterfaceInfo info, std::shared_ptr<CameraModel> model)
        : UsbInterface(device, info)
        , mModel(std::move(model))
    {
    }

    uint32_t open() override { return present() ? UsbStatus::Success : UsbStatus::NoDevice; }
    uint32_t close() override { return present() ? UsbStatus::Success : UsbStatus::NoDevice; }
    uint32_t controlRequest(UsbDeviceRequest &request) override
    {
        return mModel->controlTransfer(request, deviceId());
    }

private:
    bool present() const { return mModel->plugged() && mModel->attachment() == deviceId(); }

    std::shared_ptr<CameraModel> mModel;
};

class VirtualDevice : public UsbDevice
{
public:
    VirtualDevice(UsbDeviceInfo info, std::shared_ptr<CameraModel> model)
        : mInfo(std::move(info))
        , mModel(std::move(model))
    {
    }

    const UsbDeviceInfo &info() const override { return mInfo; }

    std::vector<std::unique_ptr<UsbInterface>> interfaces(uint16_t interfaceClass) override
    {
        std::vector<std::unique_ptr<UsbInterface>> result;
        for (const UsbInterfaceInfo &interface : mInfo.interfaces) {
            if (interfaceClass == kAnyInterfaceClass || interface.interfaceClass == interfaceClass)
                result.push_back(std::make_unique<VirtualInterface>(mInfo.id, interface, mModel));
        }
        return result;
    }

private:
    UsbDeviceInfo mInfo;
    std::shared_ptr<CameraModel> mModel;
};

} // namespace

VirtualBus::VirtualBus(std::vector<VirtualCameraConfig> cameras)
{
    for (size_t index = 0; index < cameras.size(); ++index) {
        Slot slot;
        slot.model = std::make_shared<CameraModel>(std::move(cameras[index]));
        // The camera may leave on the thread of the transfer that ends it; the bus hears of it on
        // the GUI thread.
        slot.model->setUnplugHandler([this, index] {
            MainQueue::async(&mContext, [this, index] { unplug(index); });
        });
        mSlots.push_back(std::move(slot));
    }
    for (size_t index = 0; index < mSlots.size(); ++index) {
        const VirtualCameraConfig &config = mSlots[index].model->config();
        const bool cabled = !config.plugFile.isEmpty();
        mSlots[index].plugFileSeen = cabled && QFileInfo::exists(config.plugFile);
        if (config.plugAtMs)
            QTimer::singleShot(std::chrono::milliseconds(*config.plugAtMs), &mContext, [this, index] { plug(index); });
        else if (!cabled || mSlots[index].plugFileSeen)
            plug(index);
        if (config.unplugAtMs)
            QTimer::singleShot(std::chrono::milliseconds(*config.unplugAtMs), &mContext, [this, index] { unplug(index); });
        if (cabled && !mPlugFilePoll.isActive()) {
            // Polled rather than watched: a file that does not exist yet can only be watched through
            // its folder, and fifty stat calls a second cost nothing next to a hand on a cable.
            mPlugFilePoll.setInterval(std::chrono::milliseconds(20));
            QObject::connect(&mPlugFilePoll, &QTimer::timeout, &mContext, [this] { followPlugFiles(); });
            mPlugFilePoll.start();
        }
    }
}

void VirtualBus::followPlugFiles()
{
    for (size_t index = 0; index < mSlots.size(); ++index) {
        const QString &file = mSlots[index].model->config().plugFile;
        if (file.isEmpty())
            continue;
        const bool exists = QFileInfo::exists(file);
        if (exists == mSlots[index].plugFileSeen)
            continue;
        mSlots[index].plugFileSeen = exists;
        if (exists)
            plug(index);
        else
            unplug(index);
    }
}

VirtualBus::~VirtualBus()
{
    for (Slot &slot : mSlots)
        slot.model->setUnplugHandler({});
}

UsbDeviceInfo VirtualBus::describe(size_t index) const
{
    const Slot &slot = mSlots[index];
    const VirtualCameraConfig &config = slot.model->config();
    UsbDeviceInfo info;
    info.id = slot.id;
    info.vendorId = config.vid;
    info.productId = config.pid;
    info.productName = config.product;
    info.interfaces = config.interfaceInfos();
    info.location = config.port.isEmpty() ? QStringLiteral("1-%1").arg(index + 1) : config.port;
    return info;
}

void VirtualBus::plug(size_t index)
{
    Slot &slot = mSlots.at(index);
    if (slot.present)
        return;
    slot.id = mNextId++;
    slot.present = true;
    slot.model->plug(slot.id);
    notify(index, true);
}

void VirtualBus::unplug(size_t index)
{
    Slot &slot = mSlots.at(index);
    if (!slot.present)
        return;
    slot.present = false;
    slot.model->unplug();
    notify(index, false);
}

void VirtualBus::notify(size_t index, bool arrival)
{
    const UsbDeviceInfo info = describe(index);
    // Handlers may start or stop watches: walk a copy.
    const std::vector<std::weak_ptr<Watcher>> watchers = mWatchers;
    for (const std::weak_ptr<Watcher> &weak : watchers) {
        const std::shared_ptr<Watcher> watcher = weak.lock();
        if (!watcher || !watcher->context)
            continue;
        (arrival ? watcher->arrived : watcher->removed)(info);
    }
}

std::shared_ptr<void> VirtualBus::watch(QObject *context, Handler arrived, Handler removed)
{
    auto watcher = std::make_shared<Watcher>();
    watcher->context = context;
    watcher->arrived = std::move(arrived);
    watcher->removed = std::move(removed);
    std::erase_if(mWatchers, [](const std::weak_ptr<Watcher> &weak) { return weak.expired(); });
    mWatchers.push_back(watcher);
    for (size_t index = 0; index < mSlots.size(); ++index) {
        if (mSlots[index].present)
            watcher->arrived(describe(index));
    }
    return watcher;
}

std::unique_ptr<UsbDevice> VirtualBus::openDevice(uint32_t vendorId, uint32_t productId)
{
    for (size_t index = 0; index < mSlots.size(); ++index) {
        const Slot &slot = mSlots[index];
        const VirtualCameraConfig &config = slot.model->config();
        if (slot.present && slot.model->plugged() && config.vid == vendorId && config.pid == productId)
            return std::make_unique<VirtualDevice>(describe(index), slot.model);
    }
    return nullptr;
}

std::unique_ptr<UsbDevice> VirtualBus::openDevice(UsbDeviceId id)
{
    for (size_t index = 0; index < mSlots.size(); ++index) {
        const Slot &slot = mSlots[index];
        if (slot.present && slot.model->plugged() && slot.id == id)
            return std::make_unique<VirtualDevice>(describe(index), slot.model);
    }
    return nullptr;
}
