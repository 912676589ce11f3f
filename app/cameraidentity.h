// A camera as the updater sees it once opened: its bridge chip, installed firmware and product
// name, and the facts the update decision takes. The window and the command line identify and
// decide alike through these.
#pragma once

#include "app/updatedecision.h"

#include <optional>

class Resources;
struct UsbDeviceInfo;

struct CameraIdentity
{
    uint8_t chipID = 0;
    uint32_t version = 0;
    QString product; // trailing blanks removed
};

// The product a kind of camera or catalogue is sold as.
QString productNameFor(bool tKind);

// Opens the attachment the bus reported and reads what the decision needs, leaving the session
// open. Nothing when it is not a camera of the family or does not answer; the session is then
// ended, and hardware.lastOpen() says why when the open itself failed (success when the chip
// read after it did).
std::optional<CameraIdentity> identifyCamera(bxHardwareLib &hardware, const UsbDeviceInfo &device);

// The decision's facts for an identified camera, with a catalogue of the given kind, in the
// user's language, linking to the resources' download page.
UpdateFacts factsFor(const CameraIdentity &camera, bool catalogueTKind, bool previousDeviceTKind,
                     const Resources &resources);
