// The two kinds of camera of the family, told apart by the bridge chip's identification register:
// decided here once, for the session that opens a camera, the update decision and the command line.
#pragma once

#include "payload/firmwarecatalogue.h"

#include <QStringView>

#include <cstdint>
#include <optional>

// Bridge chip identifiers, as register 0x00 reads them.
inline constexpr uint8_t kChipTKind = 0xB3;
inline constexpr uint8_t kChipSKind = 0xB0;

struct CameraKind
{
    bool tKind;
    QStringView token; // what the file names of its images hold
    QStringView label; // "T" or "S", as the command line lists it
};

// The kind of a bridge chip; nothing for a chip the updater does not know.
constexpr std::optional<CameraKind> cameraKindOf(uint8_t chip)
{
    if (chip == kChipTKind)
        return CameraKind{true, kTKindToken, u"T"};
    if (chip == kChipSKind)
        return CameraKind{false, kSKindToken, u"S"};
    return std::nullopt;
}
