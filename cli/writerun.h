// Writes a set of cameras side by side: each on a thread and a camera session of its own, at most
// `jobs` at once, through whatever work the caller gives for one camera. A first Ctrl-C (or SIGTERM,
// SIGHUP) lets the cameras being written finish and starts no other; a second stops at once and
// leaves a record for every camera it leaves unfinished, prepared before the run. Each camera's run
// goes into the run history as it ends, or as the stop at once cuts it short. The machine is kept
// from sleeping or shutting down meanwhile.
#pragma once

#include "cli/clireporter.h"
#include "platform/runhistory.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <vector>

class UsbBus;
class bxHardwareLib;

class WriteRun
{
public:
    // One camera to write.
    struct Job
    {
        QString device;
        RunRecord record; // the run as the history keeps it, and as it stays when a stop at once cuts it short
    };

    // How one camera ended: "verified", "failed", "untouched"; extra goes into its record.
    struct Outcome
    {
        const char *outcome;
        QString reason;
        QJsonObject extra;
        const char *failedStep = ""; // the device step that failed, as stepName gives it
    };
    // record is the job's, for the work to add what it learns of the camera (its serial number).
    using Work = std::function<Outcome(size_t job, bxHardwareLib &hardware, RunRecord &record)>;

    WriteRun(UsbBus &bus, CliReporter &reporter, int jobs);

    // True when every job verified.
    bool run(const std::vector<Job> &jobs, const Work &work);

private:
    UsbBus &mBus;
    CliReporter &mReporter;
    const int mJobs;
};
