// A camera of the family as its USB default pipe sees it.
#include "sim/cameramodel.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

constexpr uint8_t kSetReport = 0x09;
constexpr uint8_t kGetReport = 0x01;
constexpr uint8_t kFeatureReport = 3;
constexpr uint8_t kCommandReport = 0x87;
constexpr uint8_t kDataReport = 0x93;
constexpr uint8_t kRegisterRead = 0x08;
constexpr uint8_t kSpiRead = 0x0A;
constexpr uint8_t kSpiWrite = 0x0B;
// Each report is its id and a fixed payload; the bridge refuses any other length.
constexpr size_t kCommandReportLength = 5; // report id and 4 payload bytes
constexpr size_t kDataReportLength = 41;   // report id and 40 payload bytes
constexpr size_t kSpiWriteMax = 37;
constexpr size_t kSpiReadMax = 40;
constexpr uint8_t kI2cTransfer = 0x02;
constexpr size_t kI2cTransferMax = 64;
constexpr uint8_t kHidClass = 3;

} // namespace

CameraModel::CameraModel(VirtualCameraConfig config)
    : mConfig(std::move(config))
    , mFlash(mConfig)
    , mEeprom(mConfig.eeprom)
{
    if (mConfig.jedecAfter && mConfig.jedecAfter->first == 0)
        mFlash.changeIdentifier(mConfig.jedecAfter->second);
    if (!mConfig.trace.isEmpty())
        mTrace = std::fopen(QFile::encodeName(mConfig.trace).constData(), "w");
}

CameraModel::~CameraModel()
{
    if (mTrace)
        std::fclose(mTrace);
}

void CameraModel::plug(UsbDeviceId attachment)
{
    std::lock_guard guard(mLock);
    mFlash.powerUp();
    mEeprom.powerUp();
    mPendingCommand.clear();
    mPlugged = true;
    mAttachment = attachment;
}

void CameraModel::unplug()
{
    std::lock_guard guard(mLock);
    mPlugged = false;
}

bool CameraModel::plugged() const
{
    std::lock_guard guard(mLock);
    return mPlugged;
}

UsbDeviceId CameraModel::attachment() const
{
    std::lock_guard guard(mLock);
    return mAttachment;
}

void CameraModel::setUnplugHandler(std::function<void()> handler)
{
    std::lock_guard guard(mLock);
    mUnplugHandler = std::move(handler);
}

uint64_t CameraModel::transferCount() const
{
    std::lock_guard guard(mLock);
    return mTransfers;
}

std::vector<uint8_t> CameraModel::flashContents() const
{
    std::lock_guard guard(mLock);
    const BackingStore &memory = mFlash.memory();
    std::vector<uint8_t> bytes(memory.size());
    for (uint32_t i = 0; i < memory.size(); ++i)
        bytes[i] = memory.at(i);
    return bytes;
}

std::vector<uint8_t> CameraModel::eepromContents() const
{
    std::lock_guard guard(mLock);
    const BackingStore &memory = mEeprom.memory();
    std::vector<uint8_t> bytes(memory.size());
    for (uint32_t i = 0; i < memory.size(); ++i)
        bytes[i] = memory.at(i);
    return bytes;
}

uint32_t CameraModel::controlTransfer(UsbDeviceRequest &request, UsbDeviceId attachment)
{
    std::function<void()> leaving;
    uint32_t status = UsbStatus::Success;
    {
        std::lock_guard guard(mLock);
        const uint64_t n = ++mTransfers;
        const Clock::time_point deadline = transferDeadline();
        request.wLenDone = 0;
        if (!mPlugged || attachment != mAttachment)
            status = UsbStatus::NoDevice;
        else if (mConfig.failTransfers.count(n))
            status = UsbStatus::PipeStalled;
        else if (const auto length = shortLength(n, request))
            status = answerPart(request, *length);
        else
            status = answer(request);
        // A failed I2C request ends with a stop on the bus: nothing is held for the next one.
        if (status == UsbStatus::PipeStalled && (request.bmRequestType & 0x60) == 0x40)
            mEeprom.stop();
        // Done as asked, but the host hears of a stall and takes nothing from it.
        if (status == UsbStatus::Success && mConfig.actThenFail.count(n))
            status = UsbStatus::PipeStalled;
        if (status != UsbStatus::Success)
            request.wLenDone = 0;
        trace(n, request, status);
        if (mConfig.jedecAfter && mConfig.jedecAfter->first == n)
            mFlash.changeIdentifier(mConfig.jedecAfter->second);
        if (mPlugged && mConfig.unplugAfterTransfers == n) {
            mPlugged = false;
            leaving = mUnplugHandler;
        }
        waitUntil(deadline);
    }
    if (leaving)
        leaving();
    return status;
}

CameraModel::Clock::time_point CameraModel::transferDeadline()
{
    const Clock::time_point now = Clock::now();
    if (!mConfig.latencyUs)
        return now;
    // The transfer starts when the host sent it, on the camera's own clock: the time the host
    // took since the last transfer ended counts, but not the lateness of the last wait, which is
    // the scheduler's and would otherwise be charged to the host transfer after transfer.
    const Clock::time_point start = mLastDeadline ? *mLastDeadline + (now - mLastReturn) : now;
    return start + std::chrono::microseconds(mConfig.latencyUs);
}

void CameraModel::waitUntil(Clock::time_point deadline)
{
    if (!mConfig.latencyUs)
        return;
    // Sleeping, not spinning: a camera that is waited for must leave the processor to the host.
    std::this_thread::sleep_until(deadline);
    mLastDeadline = deadline;
    mLastReturn = Clock::now();
}

void CameraModel::answerShort(uint64_t transfer, uint32_t length)
{
    std::lock_guard guard(mLock);
    mShortAnswers[transfer] = length;
}

std::optional<uint32_t> CameraModel::shortLength(uint64_t transfer, const UsbDeviceRequest &request) const
{
    if (!request.deviceToHost())
        return std::nullopt;
    if (const auto part = mShortAnswers.find(transfer); part != mShortAnswers.end())
        return part->second;
    if (request.bmRequestType == 0xA1 && request.bRequest == kGetReport && mConfig.shortAnswers.count(transfer))
        return request.wLength / 2u;
    return std::nullopt;
}

uint32_t CameraModel::answerPart(UsbDeviceRequest &request, uint32_t length)
{
    std::vector<uint8_t> whole(request.pData, request.pData + (request.pData ? request.wLength : 0));
    UsbDeviceRequest full = request;
    full.pData = whole.empty() ? nullptr : whole.data();
    const uint32_t status = answer(full);
    if (status != UsbStatus::Success)
        return status;
    request.wLenDone = std::min(length, full.wLenDone);
    std::copy_n(whole.begin(), request.wLenDone, request.pData);
    return status;
}

bool CameraModel::isHidInterface(uint16_t number) const
{
    return number < mConfig.interfaces.size() && mConfig.interfaces[number].first == kHidClass;
}

uint32_t CameraModel::answer(UsbDeviceRequest &request)
{
    // Only a bridge of this family answers its reports and vendor requests.
    if (!mConfig.chip || (request.wLength && !request.pData))
        return UsbStatus::PipeStalled;
    switch (request.bmRequestType) {
    case 0x21: // class, interface, host to device
    case 0xA1: // class, interface, device to host
        return answerReport(request);
    case 0x40: // vendor, device, host to device
    case 0xC0: // vendor, device, device to host
        return answerI2c(request);
    default:
        return UsbStatus::PipeStalled;
    }
}

uint32_t CameraModel::answerReport(UsbDeviceRequest &request)
{
    if (!isHidInterface(request.wIndex) || (request.wValue >> 8) != kFeatureReport)
        return UsbStatus::PipeStalled;
    const uint8_t reportId = request.wValue & 0xFF;
    const std::span<uint8_t> data(request.pData, request.wLength);
    std::vector<uint8_t> command;
    command.swap(mPendingCommand); // an announcement holds for the next data report only

    if (request.bmRequestType == 0x21 && request.bRequest == kSetReport) {
        // The report-ID position carries the id the setup names.
        if (data.empty() || data[0] != reportId)
            return UsbStatus::PipeStalled;
        if (reportId == kCommandReport && data.size() == kCommandReportLength) {
            mPendingCommand.assign(data.begin() + 1, data.end());
            request.wLenDone = request.wLength;
            return UsbStatus::Success;
        }
        if (reportId == kDataReport && data.size() == kDataReportLength && !command.empty()
            && command[0] == kSpiWrite) {
            const size_t count = std::min(size_t(data[2]), kSpiWriteMax);
            mFlash.clockOut(data.subspan(4, count), data[3] != 0);
            request.wLenDone = request.wLength;
            return UsbStatus::Success;
        }
        return UsbStatus::PipeStalled;
    }
    if (request.bmRequestType == 0xA1 && request.bRequest == kGetReport && reportId == kDataReport
        && data.size() == kDataReportLength && !command.empty()) {
        std::vector<uint8_t> report(kDataReportLength, 0);
        if (command[0] == kRegisterRead) {
            report[0] = command[1] == 0x00 ? *mConfig.chip : 0x00;
        } else if (command[0] == kSpiRead) {
            const size_t count = std::min(size_t(command[2]), kSpiReadMax);
            mFlash.clockIn(std::span(report).first(count), command[3] != 0);
        } else {
            return UsbStatus::PipeStalled;
        }
        std::copy(report.begin(), report.end(), data.begin());
        request.wLenDone = uint32_t(report.size());
        return UsbStatus::Success;
    }
    return UsbStatus::PipeStalled;
}

uint32_t CameraModel::answerI2c(UsbDeviceRequest &request)
{
    if (request.wIndex != I2cEeprom::kAddress)
        return UsbStatus::PipeStalled; // nobody acknowledges that address
    if (request.wValue != 0 || request.wLength > kI2cTransferMax)
        return UsbStatus::PipeStalled;
    const std::span<uint8_t> data(request.pData, request.wLength);
    if (request.bmRequestType == 0x40 && (request.bRequest & 0xFE) == kI2cTransfer) {
        mEeprom.write(data, (request.bRequest & 1) != 0);
        request.wLenDone = request.wLength;
        return UsbStatus::Success;
    }
    if (request.bmRequestType == 0xC0 && request.bRequest == kI2cTransfer) {
        mEeprom.read(data);
        request.wLenDone = request.wLength;
        return UsbStatus::Success;
    }
    return UsbStatus::PipeStalled;
}

void CameraModel::trace(uint64_t n, const UsbDeviceRequest &request, uint32_t status)
{
    if (!mTrace)
        return;
    const size_t shown = request.deviceToHost() ? request.wLenDone : (request.pData ? request.wLength : 0);
    std::string hex;
    hex.reserve(shown * 2);
    static constexpr char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < shown; ++i) {
        hex += kDigits[request.pData[i] >> 4];
        hex += kDigits[request.pData[i] & 0xF];
    }
    std::fprintf(mTrace,
                 "{\"n\":%llu,\"bmRequestType\":%u,\"bRequest\":%u,\"wValue\":%u,\"wIndex\":%u,\"wLength\":%u,"
                 "\"data\":\"%s\",\"status\":%u}\n",
                 static_cast<unsigned long long>(n), request.bmRequestType, request.bRequest, request.wValue,
                 request.wIndex, request.wLength, hex.c_str(), status);
    std::fflush(mTrace);
}
