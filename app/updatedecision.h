// What the window offers a camera once it is identified: the update, a product mismatch with a
// link to the download page, a note that its firmware is up to date, or that the updater carries
// no firmware at all. Pure: the same facts give the same decision, so the whole table can be
// tested without a window or a camera; the words for it come from the text module, for the window
// and the command line alike.
#pragma once

#include "device/bxhardwarelib.h"
#include "payload/binfileinfo.h"
#include "text/statustext.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <optional>

class FirmwareCatalogue;

struct UpdateFacts
{
    uint8_t chipID = 0;
    uint32_t cameraVersion = 0;
    QString product;              // the camera's product string, trailing blanks removed
    bool catalogueTKind = false;  // b_firmwareTeacher
    bool previousDeviceTKind = false; // b_DeviceTeacher as an earlier camera left it
    QString firmwareProductName;  // "LUMIVEX T" or "LUMIVEX S"
    QString language;             // two-letter code
    QUrl downloadUrl;
};

struct UpdateDecision
{
    // NoFirmware: the catalogue holds no image for any camera, so neither a mismatch nor "up to
    // date" would be true.
    enum class Outcome { Offer, Mismatch, UpToDate, NoFirmware };

    Outcome outcome = Outcome::UpToDate;
    int32_t binIndex = -1;
    uint32_t binVersion = 0;
    bool deviceTKind = false;  // b_DeviceTeacher after this camera
};

UpdateDecision decideUpdate(const FirmwareCatalogue &catalogue, const UpdateFacts &facts);
// What the status field shows for the decision; an offer's two lines are also what it logs.
StatusText describeDecision(const UpdateDecision &decision, const UpdateFacts &facts);

// The string without the blanks at its end (spaces, tabs and other space separators; a line feed
// stays).
QString removeEndSpaceFrom(const QString &text);
