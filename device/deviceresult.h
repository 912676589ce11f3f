// What an operation on a camera came to, as every layer above the wire reports it: success, or the
// step that failed, the reason in a few words, the flash address where one applies and the wire's
// 32-bit status where one is behind it. The window's texts, the command line's records and the log
// lines are made from it. The driver below answers with a Boolean or a status; the layer that
// knows what was being done (the write sequence: "erasing the sector at 0x1000") words the failure.
#pragma once

#include <cstdint>
#include <iterator>
#include <optional>
#include <string>

enum class DeviceStep { None, Open, Identify, Fit, Erase, Program, Verify, Write, Finalize };

// The step as records and the run history name it ("erase"); empty for None.
constexpr const char *stepName(DeviceStep step)
{
    constexpr const char *kNames[] = {"", "open", "identify", "fit", "erase", "program", "verify", "write", "finalize"};
    static_assert(std::size(kNames) == static_cast<int>(DeviceStep::Finalize) + 1, "a step without a name");
    return kNames[static_cast<int>(step)];
}

struct DeviceFailure
{
    DeviceStep step = DeviceStep::None;
    std::string reason;
    std::optional<uint32_t> address = std::nullopt;
    uint32_t status = 0;
};

class DeviceResult
{
public:
    DeviceResult() = default;
    DeviceResult(DeviceFailure failure) // NOLINT: a failure is a result
        : mFailure(std::move(failure))
    {
    }

    explicit operator bool() const { return !mFailure; }
    DeviceStep step() const { return mFailure ? mFailure->step : DeviceStep::None; }
    // Empty after success.
    const std::string &reason() const { return mFailure ? mFailure->reason : kNone; }
    std::optional<uint32_t> address() const { return mFailure ? mFailure->address : std::nullopt; }
    uint32_t status() const { return mFailure ? mFailure->status : 0; }

private:
    inline static const std::string kNone;
    std::optional<DeviceFailure> mFailure;
};
