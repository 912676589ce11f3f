// A serial background queue: one worker thread running queued jobs one after another.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class SerialQueue
{
public:
    explicit SerialQueue(std::string label);
    // Runs every job already queued, then joins the worker.
    ~SerialQueue();

    SerialQueue(const SerialQueue &) = delete;
    SerialQueue &operator=(const SerialQueue &) = delete;

    const std::string &label() const { return mLabel; }

    void async(std::function<void()> job);

private:
    void run();

    std::string mLabel;
    std::mutex mMutex;
    std::condition_variable mWake;
    std::deque<std::function<void()>> mJobs;
    bool mStopping = false;
    std::thread mWorker;
};
