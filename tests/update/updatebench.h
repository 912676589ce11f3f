// What the update tests share: a sink that keeps every progress report.
#pragma once

#include "device/updateprogress.h"

#include <vector>

struct RecordingSink : UpdateProgressSink
{
    struct Report
    {
        double percent;
        Stage stage;
    };

    void progress(double percent, Stage stage) override { reports.push_back({percent, stage}); }

    std::vector<double> percents(Stage stage) const
    {
        std::vector<double> list;
        for (const Report &r : reports)
            if (r.stage == stage)
                list.push_back(r.percent);
        return list;
    }
    // The stages in order, a run of reports of one stage counted once.
    std::vector<Stage> stages() const
    {
        std::vector<Stage> list;
        for (const Report &r : reports)
            if (list.empty() || list.back() != r.stage)
                list.push_back(r.stage);
        return list;
    }

    std::vector<Report> reports;
};
