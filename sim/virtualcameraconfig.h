// The description of a virtual camera, read from the JSON file that LUMIVEX_VIRTUAL_CAMERA names.
#pragma once

#include "platform/usbtypes.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

struct VirtualCameraConfig
{
    uint16_t vid = 0xF055;
    uint16_t pid = 0x5201;
    QString product = QStringLiteral("LUMIVEX Camera");
    std::vector<std::pair<uint8_t, uint8_t>> interfaces = {{14, 1}, {14, 2}, {1, 1}, {3, 0}};
    std::optional<uint8_t> chip = 0xB3; // none: the device does not answer bridge reports
    uint32_t jedec = 0xC22010;
    // As the identifier's capacity byte says (2^n), unless the description allows a part whose
    // address space is mirrored.
    uint32_t flashSize = 65536;
    bool flashSizeMismatch = false;
    QString flash;  // backing files; empty: memory only
    QString eeprom;
    uint8_t status = 0;
    uint32_t eraseMs = 0;
    uint32_t programUs = 0;
    uint32_t latencyUs = 0;
    std::optional<int64_t> plugAtMs;
    std::optional<int64_t> unplugAtMs;
    // A file standing for the cable, for whoever drives the camera from outside the process (an
    // end-to-end test, a person at a demo): without plug_at_ms the camera is present at launch only
    // if the file exists; afterwards the file appearing plugs the camera in and the file vanishing
    // pulls it out, whatever else moved it meanwhile. Only its existence counts.
    QString plugFile;
    std::optional<uint64_t> unplugAfterTransfers;
    std::set<uint64_t> failTransfers;
    bool neverReady = false;
    std::set<uint64_t> losePrograms;
    // Faults of the flash, counted in its transactions: sector erases acknowledged but not done,
    // block protection that no status write clears, read-data answers with bit 0 of their first
    // byte flipped.
    std::set<uint64_t> ignoreErases;
    bool stuckProtection = false;
    std::set<uint64_t> flipReads;
    // Faults of the bridge, counted in control transfers: transfers that act but report a stall,
    // GET_REPORT answers that move half the bytes asked for.
    std::set<uint64_t> actThenFail;
    std::set<uint64_t> shortAnswers;
    // After this control transfer the flash answers another identifier (its size stays).
    std::optional<std::pair<uint64_t, uint32_t>> jedecAfter;
    QString trace;
    // Where the device seems plugged in ("bus-port.port…"); empty: "1-<its place in the list>".
    QString port;

    // Interfaces as the bus lists them: numbered in array order.
    std::vector<UsbInterfaceInfo> interfaceInfos() const;

    // One device object or an array of them. Relative file names are taken from the JSON file's
    // folder. Null, with the reason in error, when the file cannot be read or a field is malformed.
    static std::optional<std::vector<VirtualCameraConfig>> load(const QString &path, QString *error);
    static std::optional<std::vector<VirtualCameraConfig>> parse(const QByteArray &json, const QString &folder,
                                                                 QString *error);
};
