// One update run of the controller: its success flag, the token that passes turns between the
// GUI thread's steps and the update queue's, the queue itself, the start time, and the engine
// doing the device work. Each run has its own; the controller keeps the latest.
#pragma once

#include "device/eepromupdate.h"
#include "device/flashupdate.h"
#include "device/updateprogress.h"
#include "platform/runhistory.h"
#include "platform/serialqueue.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <semaphore>
#include <string>

class UpdateRun
{
public:
    using ProgressHandler = std::function<void(double, UpdateProgressSink::Stage)>;

    explicit UpdateRun(ProgressHandler progress);
    // A run that is dropped before its steps have all run lets the waiting ones through without
    // their work, and returns once the queue is idle.
    ~UpdateRun();

    UpdateRun(const UpdateRun &) = delete;
    UpdateRun &operator=(const UpdateRun &) = delete;

    UpdateProgressSink &sink() { return mSink; }

    // Queues a step on the update queue. A step that takes the turn waits for it first and gives
    // it back after, so that the GUI thread's steps fall between.
    void onQueue(bool takesTurn, std::function<void()> step);
    // Queues a step on the GUI thread, with the same turn-taking.
    void onMain(bool takesTurn, std::function<void()> step);
    void giveTurn() { mToken.release(); }
    // For a queue step that holds the turn and hands it to a GUI step in the middle: waits for it
    // to come back; false when the run was dropped meanwhile.
    bool takeTurn();

    // The result of the last step that ran; later steps work only while it holds.
    std::atomic<bool> success = false;
    std::unique_ptr<FlashUpdate> flash;
    std::unique_ptr<EepromUpdate> eeprom;
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    // Why the run cannot start at all, when it cannot.
    std::string refusal;

    double secondsSinceStart() const;
    // Why the run failed, for the log line that ends it, and the step it failed in.
    std::string failureReason() const;
    DeviceStep failedStep() const;

    // The run's line in the history: what it writes, filled in as it starts; the outcome is added
    // by whatever ends it first (its own end, or the exit after a removal), once.
    RunRecord record;
    bool recorded = false;

private:
    struct Sink : UpdateProgressSink
    {
        explicit Sink(ProgressHandler onProgress) : handler(std::move(onProgress)) {}
        void progress(double percent, Stage stage) override { handler(percent, stage); }
        ProgressHandler handler;
    };

    Sink mSink;
    QObject mContext; // the GUI thread's steps are queued against it: they are dropped with the run
    std::counting_semaphore<> mToken{0};
    std::atomic<bool> mAbandoned = false;
    // Last: the queue finishes its steps before anything they use goes.
    SerialQueue mQueue{"com.brellix.queue"};
};
