// The control requests to the camera's bridge chip.
#include "device/usbrequests.h"

#include "platform/devicelog.h"
#include "platform/systemlog.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <exception>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kReportTimeoutMs = 100;
constexpr uint32_t kI2cTimeoutMs = 250;
constexpr int kMaxReportLength = 64;
constexpr int kMaxI2cChunk = 64;

// The bus needs a moment after each I2C request, longer after a failed one.
void pauseAfterI2c(uint32_t status)
{
    std::this_thread::sleep_for(std::chrono::microseconds(status ? 25000 : 5000));
}

// A feature report: SET sends payload, GET fills answer from the report-ID position on.
uint32_t sendReport(CameraSession &session, uint8_t reportId, const uint8_t *payload, uint8_t *answer, int length)
{
    if (length > kMaxReportLength || length < 0)
        return kReportLengthTooLong;
    if (!payload && !answer)
        return kReportNoBuffer;
    const bool get = answer != nullptr;
    std::array<uint8_t, kMaxReportLength + 1> data{};
    data[0] = reportId;
    if (payload)
        std::copy_n(payload, length, data.begin() + 1);

    UsbDeviceRequest request;
    request.bmRequestType = get ? 0xA1 : 0x21;
    request.bRequest = get ? 0x01 : 0x09;
    request.wValue = uint16_t(0x0300 | reportId);
    request.wIndex = session.hidInterface();
    request.wLength = uint16_t(length + 1);
    request.pData = data.data();
    request.noDataTimeout = kReportTimeoutMs;
    request.completionTimeout = kReportTimeoutMs;
    uint32_t status = usbreq_sendRequest(session, request);
    // The buffer was primed with zeros: what the device did not send must not pass for its answer.
    if (get && status == UsbStatus::Success && request.wLenDone < request.wLength) {
        status = kShortAnswer;
        deviceLog("ControlRequestTO: 0x%08x\n", status);
    }
    if (get && status == UsbStatus::Success)
        std::copy_n(data.begin(), length, answer);
    return status;
}

UsbDeviceRequest i2cRequest(uint8_t bmRequestType, uint8_t bRequest, int address, uint16_t length, uint8_t *data)
{
    UsbDeviceRequest request;
    request.bmRequestType = bmRequestType;
    request.bRequest = bRequest;
    request.wValue = 0;
    request.wIndex = uint16_t(address);
    request.wLength = length;
    request.pData = data;
    request.noDataTimeout = kI2cTimeoutMs;
    request.completionTimeout = kI2cTimeoutMs;
    return request;
}

// An I2C exchange under the session's lock, with the kept interface opened around it. A failure
// thrown from below is logged with the request's name; the status is then what the exchange
// had reached.
template<typename Exchange>
uint32_t i2cExchange(CameraSession &session, const char *method, Exchange &&exchange)
{
    const DeviceTransaction transaction(session);
    std::lock_guard guard(session.mLock);
    uint32_t status = UsbStatus::Success;
    try {
        const std::shared_ptr<UsbInterface> interface = session.interface();
        if (!interface)
            return UsbStatus::NotReady;
        if (const uint32_t opened = interface->open())
            return opened;
        exchange(*interface, status);
        const uint32_t closed = interface->close();
        if (status == UsbStatus::Success)
            status = closed;
    } catch (const std::exception &e) {
        systemLogFailure(method, QString::fromUtf8(e.what()));
    }
    return status;
}

} // namespace

uint32_t usbreq_sendRequest(CameraSession &session, UsbDeviceRequest &request)
{
    const DeviceTransaction transaction(session);
    const std::shared_ptr<UsbInterface> interface = session.interface();
    if (!interface) {
        systemLog(QStringLiteral(" Error: No interface to send request"));
        return UsbStatus::NoDevice;
    }
    // The backends keep the interface usable for the whole session, so no open around each request.
    const uint32_t status = interface->controlRequest(request);
    if (status != UsbStatus::Success) {
        deviceLog("ControlRequestTO: 0x%08x\n", status);
        return status;
    }
    return UsbStatus::Success;
}

uint32_t usbreq_setReport(CameraSession &session, uint8_t reportId, const uint8_t *payload, int length)
{
    return sendReport(session, reportId, payload, nullptr, length);
}

uint32_t usbreq_getReport(CameraSession &session, uint8_t reportId, uint8_t *buffer, int length)
{
    return sendReport(session, reportId, nullptr, buffer, length);
}

uint32_t usbreq_readRegister(CameraSession &session, uint8_t reg, uint8_t *value)
{
    const DeviceTransaction transaction(session);
    const uint8_t command[4] = {0x08, reg, 0x00, 0x04};
    if (const uint32_t status = usbreq_setReport(session, kCommandReport, command, 4))
        return status;
    uint8_t answer[kDataReportLength] = {};
    if (const uint32_t status = usbreq_getReport(session, kDataReport, answer, kDataReportLength))
        return status;
    *value = answer[0];
    return UsbStatus::Success;
}

uint32_t usbreq_readChipId(CameraSession &session, uint8_t *chipId)
{
    return usbreq_readRegister(session, 0x00, chipId);
}

uint32_t usbreq_i2cWrite(CameraSession &session, int address, int count, const uint8_t *bytes, bool hold)
{
    return i2cExchange(session, "UInt32 usbreq_i2cWrite(bxHardwareLib *__strong, int, int, unsigned char *, _Bool)",
                       [&](UsbInterface &interface, uint32_t &status) {
        int offset = 0;
        while (count - offset > 0) {
            const int remaining = count - offset;
            const int chunk = std::min(remaining, kMaxI2cChunk);
            const bool more = remaining > kMaxI2cChunk || hold;
            std::array<uint8_t, kMaxI2cChunk> data{};
            std::copy_n(bytes + offset, chunk, data.begin());
            UsbDeviceRequest request = i2cRequest(0x40, more ? 0x03 : 0x02, address, uint16_t(chunk), data.data());
            const uint32_t sent = interface.controlRequest(request);
            if (sent != UsbStatus::Success)
                deviceLog("CameraControl Error: usbreq_i2cWrite (%08x)\n", sent);
            pauseAfterI2c(sent);
            // A chunk that failed fails the write, whatever the later chunks did.
            if (status == UsbStatus::Success)
                status = sent;
            offset += chunk;
        }
    });
}

uint32_t usbreq_i2cRead(CameraSession &session, int address, int count, uint8_t *buffer)
{
    return i2cExchange(session, "UInt32 usbreq_i2cRead(bxHardwareLib *__strong, int, int, unsigned char *)",
                       [&](UsbInterface &interface, uint32_t &status) {
        if (count <= 0)
            return;
        // Read aside: a short answer leaves the caller's bytes as they were.
        std::vector<uint8_t> answer(size_t(count), 0);
        UsbDeviceRequest request = i2cRequest(0xC0, 0x02, address, uint16_t(std::min(count, 0xFFFF)), answer.data());
        status = interface.controlRequest(request);
        if (status == UsbStatus::Success && request.wLenDone < uint32_t(count))
            status = kShortAnswer;
        if (status != UsbStatus::Success)
            deviceLog("CameraControl Error: usbreq_i2cRead (%08x)\n", status);
        else
            std::copy(answer.begin(), answer.end(), buffer);
        pauseAfterI2c(status);
    });
}
