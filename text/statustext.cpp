// A status message: plain characters, optionally with link runs and an alignment.
#include "text/statustext.h"

#include <algorithm>

void StatusText::addLink(qsizetype start, qsizetype length, const QUrl &url)
{
    start = std::clamp<qsizetype>(start, 0, mText.size());
    length = std::clamp<qsizetype>(length, 0, mText.size() - start);
    if (length == 0)
        return;
    mLinks.append({start, length, url});
    std::sort(mLinks.begin(), mLinks.end(), [](const Link &a, const Link &b) { return a.start < b.start; });
}

QList<StatusText::Link> StatusText::linkRuns() const
{
    QList<Link> runs;
    for (const Link &link : mLinks) {
        const qsizetype covered = runs.isEmpty() ? 0 : runs.last().start + runs.last().length;
        if (!runs.isEmpty() && link.start < covered)
            continue;
        if (!runs.isEmpty() && link.start == covered && link.url == runs.last().url)
            runs.last().length += link.length;
        else
            runs.append(link);
    }
    return runs;
}
