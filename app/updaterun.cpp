// One update run of the controller.
#include "app/updaterun.h"

#include "platform/mainqueue.h"

UpdateRun::UpdateRun(ProgressHandler progress)
    : mSink(std::move(progress))
{
}

UpdateRun::~UpdateRun()
{
    // Steps still waiting for a turn that a dropped GUI step would have given: each one passes
    // the turn on, so one turn lets them all through.
    mAbandoned = true;
    mToken.release();
}

void UpdateRun::onQueue(bool takesTurn, std::function<void()> step)
{
    mQueue.async([this, takesTurn, step = std::move(step)] {
        if (takesTurn)
            mToken.acquire();
        if (!mAbandoned)
            step();
        if (takesTurn)
            mToken.release();
    });
}

void UpdateRun::onMain(bool takesTurn, std::function<void()> step)
{
    MainQueue::async(&mContext, [this, takesTurn, step = std::move(step)] {
        if (takesTurn)
            mToken.acquire();
        step();
        if (takesTurn)
            mToken.release();
    });
}

bool UpdateRun::takeTurn()
{
    mToken.acquire();
    return !mAbandoned;
}

double UpdateRun::secondsSinceStart() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string UpdateRun::failureReason() const
{
    if (!refusal.empty())
        return refusal;
    if (flash && !flash->failureReason().empty())
        return flash->failureReason();
    if (eeprom && !eeprom->failureReason().empty())
        return eeprom->failureReason();
    return "a step failed";
}

DeviceStep UpdateRun::failedStep() const
{
    if (flash && flash->failedStep() != DeviceStep::None)
        return flash->failedStep();
    return eeprom ? eeprom->failedStep() : DeviceStep::None;
}
