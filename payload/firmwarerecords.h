// Fixed-layout records of the camera's SPI flash: the boot configuration at address 0, the user
// space with the USB identity and strings, and the default UVC control values. The layouts are the
// flash format itself, so sizes and offsets are checked at compile time.
#pragma once

#include "payload/littleendian.h"

#include <cstddef>
#include <cstdint>

struct QLV2_BOOT_CONFIG_t
{
    uint8_t KeyCodeLow;
    uint8_t KeyCodeHigh;
    uint8_t BootAddressLow;
    uint8_t BootAddressMid;
    uint8_t BootAddressHigh;
    uint8_t BootSizeLow;
    uint8_t BootSizeMid;
    uint8_t BootSizeHigh;
    uint8_t BootConfig;
    uint8_t SFlashConfig;
    uint8_t CodeAddressLow;
    uint8_t CodeAddressMid;
    uint8_t CodeAddressHigh;
    uint8_t CodeSizeLow;
    uint8_t CodeSizeMid;
    uint8_t CodeSizeHigh;
};

struct _USB_STRING_t
{
    uint8_t StringLen;  // length of the text in bytes
    uint8_t StringType;
    uint8_t StringData[60]; // UTF-16LE
};

struct _QLV2_USER_SPACE_t
{
    le32 Signature;
    le16 FirmwareVersion;
    le16 VID;
    le16 PID;
    _USB_STRING_t VendorString;
    _USB_STRING_t ProductString;
    _USB_STRING_t SerialNumber;
    uint8_t COLOR_RED_GAIN;
    uint8_t COLOR_GREEN_GAIN;
    uint8_t COLOR_BLUE_GAIN;
    uint8_t AE_TARGET;
    uint8_t RESERVED[68];
};

struct UVC_PROPERTY_t
{
    uint8_t UVC_CT_AE_Mode_Param;
    uint8_t UVC_CT_AE_Priority_Param;
    uint8_t padding0[2];
    le32 UVC_CT_ET_Absolute_Param;
    le16 UVC_CT_Focus_Absolute_Param;
    uint8_t UVC_CT_Focus_Auto_Param;
    uint8_t padding1;
    le16 UVC_PU_BackLight_Param;
    le16 UVC_PU_Brightness_Param;
    le16 UVC_PU_Contrast_Param;
    le16 UVC_PU_Gain_Param;
    uint8_t UVC_PU_Frequency_Param;
    uint8_t padding2;
    le16 UVC_PU_Hue_Param;
    uint8_t UVC_PU_HueAuto_Param;
    uint8_t padding3;
    le16 UVC_PU_Saturation_Param;
    le16 UVC_PU_Sharpness_Param;
    le16 UVC_PU_Gamma_Param;
    le16 UVC_PU_WBT_Param;
    uint8_t UVC_PU_WBT_Auto_Param;
    uint8_t padding4;
};

struct QLV2_DEF_UVC_PROPERTY_t
{
    le32 Signature;
    UVC_PROPERTY_t uvc_prop;
};

// Filled from an image file or from the camera's flash; starts all zero.
struct _QLV2_FW_INFO
{
    int32_t ChipType;       // 1: boot-address layout, 2: code-address layout
    QLV2_BOOT_CONFIG_t BootConfig;
    uint32_t UserFreeSpaceAddr;
    uint32_t UserSpaceAddr;
    _QLV2_USER_SPACE_t UserSpaceData;
    uint32_t SectorAddr;    // the 4 KiB sector that holds the user space
    QLV2_DEF_UVC_PROPERTY_t DefaultUVCProperty;
    uint32_t DefaultUVCPropertyAddr; // offset of the UVC block inside its sector
};

static_assert(sizeof(QLV2_BOOT_CONFIG_t) == 16);
static_assert(offsetof(QLV2_BOOT_CONFIG_t, BootAddressLow) == 2);
static_assert(offsetof(QLV2_BOOT_CONFIG_t, CodeAddressLow) == 10);
static_assert(offsetof(QLV2_BOOT_CONFIG_t, CodeSizeHigh) == 15);

static_assert(sizeof(_USB_STRING_t) == 62);
static_assert(offsetof(_USB_STRING_t, StringData) == 2);

static_assert(sizeof(_QLV2_USER_SPACE_t) == 268 && alignof(_QLV2_USER_SPACE_t) == 1);
static_assert(offsetof(_QLV2_USER_SPACE_t, FirmwareVersion) == 4);
static_assert(offsetof(_QLV2_USER_SPACE_t, VID) == 6);
static_assert(offsetof(_QLV2_USER_SPACE_t, PID) == 8);
static_assert(offsetof(_QLV2_USER_SPACE_t, VendorString) == 10);
static_assert(offsetof(_QLV2_USER_SPACE_t, ProductString) == 72);
static_assert(offsetof(_QLV2_USER_SPACE_t, SerialNumber) == 134);
static_assert(offsetof(_QLV2_USER_SPACE_t, COLOR_RED_GAIN) == 196);
static_assert(offsetof(_QLV2_USER_SPACE_t, AE_TARGET) == 199);
static_assert(offsetof(_QLV2_USER_SPACE_t, RESERVED) == 200);

static_assert(sizeof(UVC_PROPERTY_t) == 36);
static_assert(sizeof(QLV2_DEF_UVC_PROPERTY_t) == 40 && alignof(QLV2_DEF_UVC_PROPERTY_t) == 1);
static_assert(offsetof(QLV2_DEF_UVC_PROPERTY_t, uvc_prop) == 4);
static_assert(offsetof(QLV2_DEF_UVC_PROPERTY_t, uvc_prop.UVC_CT_ET_Absolute_Param) == 8);
static_assert(offsetof(QLV2_DEF_UVC_PROPERTY_t, uvc_prop.UVC_CT_Focus_Absolute_Param) == 12);
static_assert(offsetof(QLV2_DEF_UVC_PROPERTY_t, uvc_prop.UVC_CT_Focus_Auto_Param) == 14);
static_assert(offsetof(QLV2_DEF_UVC_PROPERTY_t, uvc_prop.UVC_PU_BackLight_Param) == 16);
static_assert(offsetof(QLV2_DEF_UVC_PROPERTY_t, uvc_prop.UVC_PU_Gain_Param) == 22);
static_assert(offsetof(QLV2_DEF_UVC_PROPERTY_t, uvc_prop.UVC_PU_Frequency_Param) == 24);
static_assert(offsetof(QLV2_DEF_UVC_PROPERTY_t, uvc_prop.UVC_PU_Hue_Param) == 26);
static_assert(offsetof(QLV2_DEF_UVC_PROPERTY_t, uvc_prop.UVC_PU_HueAuto_Param) == 28);
static_assert(offsetof(QLV2_DEF_UVC_PROPERTY_t, uvc_prop.UVC_PU_Saturation_Param) == 30);
static_assert(offsetof(QLV2_DEF_UVC_PROPERTY_t, uvc_prop.UVC_PU_WBT_Param) == 36);
static_assert(offsetof(QLV2_DEF_UVC_PROPERTY_t, uvc_prop.UVC_PU_WBT_Auto_Param) == 38);

static_assert(offsetof(_QLV2_FW_INFO, BootConfig) == 4);
static_assert(offsetof(_QLV2_FW_INFO, UserFreeSpaceAddr) == 20);
static_assert(offsetof(_QLV2_FW_INFO, UserSpaceAddr) == 24);
static_assert(offsetof(_QLV2_FW_INFO, UserSpaceData) == 28);
static_assert(offsetof(_QLV2_FW_INFO, SectorAddr) == 296);
static_assert(offsetof(_QLV2_FW_INFO, DefaultUVCProperty) == 300);
static_assert(offsetof(_QLV2_FW_INFO, DefaultUVCPropertyAddr) == 340);
static_assert(sizeof(_QLV2_FW_INFO) == 344);
