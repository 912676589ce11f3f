// The bus of virtual cameras that replaces the real USB bus while LUMIVEX_VIRTUAL_CAMERA is set:
// each camera arrives and leaves on its timeline, and no real device is ever touched.
#pragma once

#include "platform/usbbus.h"
#include "sim/cameramodel.h"
#include "sim/virtualcameraconfig.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

class VirtualBus : public UsbBus
{
public:
    // The timeline (plug_at_ms, unplug_at_ms) starts now; cameras without plug_at_ms are present,
    // unless they name a plug_file that does not exist.
    explicit VirtualBus(std::vector<VirtualCameraConfig> cameras);
    ~VirtualBus() override;

    std::shared_ptr<void> watch(QObject *context, Handler arrived, Handler removed) override;
    std::unique_ptr<UsbDevice> openDevice(uint32_t vendorId, uint32_t productId) override;
    std::unique_ptr<UsbDevice> openDevice(UsbDeviceId id) override;

    size_t cameraCount() const { return mSlots.size(); }
    CameraModel &camera(size_t index) { return *mSlots.at(index).model; }

    // Plug a camera in or pull it out now, as the timeline would (GUI thread).
    void plug(size_t index);
    void unplug(size_t index);

private:
    struct Slot
    {
        std::shared_ptr<CameraModel> model;
        UsbDeviceId id = 0;
        bool present = false;
        bool plugFileSeen = false;
    };
    struct Watcher;

    UsbDeviceInfo describe(size_t index) const;
    void notify(size_t index, bool arrival);
    void followPlugFiles();

    QObject mContext; // timers and posted removals die with the bus
    QTimer mPlugFilePoll; // runs only when a camera names a plug_file
    std::vector<Slot> mSlots;
    std::vector<std::weak_ptr<Watcher>> mWatchers;
    UsbDeviceId mNextId = 1;
};
