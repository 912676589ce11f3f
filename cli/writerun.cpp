// Writes a set of cameras side by side.
#include "cli/writerun.h"

#include "cli/clioptions.h"
#include "device/bxhardwarelib.h"
#include "platform/interruption.h"
#include "platform/logindinhibitor.h"
#include "platform/systemlog.h"

#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

WriteRun::WriteRun(UsbBus &bus, CliReporter &reporter, int jobs)
    : mBus(bus)
    , mReporter(reporter)
    , mJobs(std::max(1, jobs))
{
}

bool WriteRun::run(const std::vector<Job> &jobs, const Work &work)
{
    // The command line has no event loop, so it waits for logind's answer here, at most two
    // seconds, rather than erase without the lock; held until the last camera is written.
    LogindInhibitor inhibitor(QStringLiteral("lumivex-cli"), QStringLiteral("A camera's firmware is being written"));
    inhibitor.waitForAnswer();

    // Opened now, so that a stop at once only has to write the lines prepared here.
    const HistoryFile history;
    if (!history.isOpen())
        systemLogFailure("history", history.error());
    std::vector<Interruption::Piece> pieces;
    for (const Job &job : jobs) {
        pieces.push_back({mReporter.resultRecord(job.device, "failed", QStringLiteral("stopped while being written")),
                          mReporter.resultRecord(job.device, "not started", QStringLiteral("interrupted")),
                          RunHistory::line(job.record)});
    }
    Interruption::install(mReporter.records(), CliExit::Failed, "\nInterrupted: no further camera is started.\n",
                          "\nInterrupted: the cameras being written finish first; no further camera is started. "
                          "Ctrl-C again stops at once and may leave them unusable.\n",
                          "\nStopped: the cameras being written were left half-written.\n", std::move(pieces), history.fd());

    std::atomic<size_t> next = 0;
    std::atomic<bool> allVerified = true;
    const auto worker = [&] {
        // A session of its own: cameras on one bus are independent of one another.
        bxHardwareLib hardware(mBus);
        for (size_t i = next++; i < jobs.size(); i = next++) {
            if (Interruption::requested()) {
                Interruption::finished(i);
                mReporter.result(jobs[i].device, "not started", QStringLiteral("interrupted"));
                allVerified = false;
                continue;
            }
            Interruption::started(i);
            QElapsedTimer clock;
            clock.start();
            RunRecord record = jobs[i].record;
            const Outcome outcome = work(i, hardware, record);
            Interruption::finished(i);
            record.time = RunHistory::now();
            record.result = QLatin1String(outcome.outcome);
            record.failedStep = QLatin1String(outcome.failedStep);
            record.seconds = double(clock.nsecsElapsed()) / 1e9;
            if (const QString why = history.isOpen() ? history.write(RunHistory::line(record)) : QString(); !why.isEmpty())
                systemLogFailure("history", why);
            mReporter.result(jobs[i].device, outcome.outcome, outcome.reason, outcome.extra);
            if (std::strcmp(outcome.outcome, "verified") != 0)
                allVerified = false;
        }
    };
    std::vector<std::thread> threads;
    const size_t count = std::min(jobs.size(), size_t(mJobs));
    for (size_t t = 1; t < count; ++t)
        threads.emplace_back(worker);
    worker(); // this thread is one of them
    for (std::thread &thread : threads)
        thread.join();
    Interruption::uninstall();
    return allVerified;
}
