// Chooses the bus the updater runs on: the virtual cameras that LUMIVEX_VIRTUAL_CAMERA describes,
// or the real USB bus.
#pragma once

#include "platform/usbbus.h"

#include <memory>

std::unique_ptr<UsbBus> createUsbBus();
