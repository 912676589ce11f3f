// A serial background queue: one worker thread running queued jobs one after another.
#include "platform/serialqueue.h"

SerialQueue::SerialQueue(std::string label)
    : mLabel(std::move(label))
    , mWorker([this] { run(); })
{
}

SerialQueue::~SerialQueue()
{
    {
        std::lock_guard guard(mMutex);
        mStopping = true;
    }
    mWake.notify_one();
    mWorker.join();
}

void SerialQueue::async(std::function<void()> job)
{
    {
        std::lock_guard guard(mMutex);
        mJobs.push_back(std::move(job));
    }
    mWake.notify_one();
}

void SerialQueue::run()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mMutex);
            mWake.wait(lock, [this] { return mStopping || !mJobs.empty(); });
            if (mJobs.empty())
                return;
            job = std::move(mJobs.front());
            mJobs.pop_front();
        }
        job();
    }
}
