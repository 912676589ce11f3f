// The system log: one line per message on standard error, safe from any thread.
#pragma once

#include <QString>

void systemLog(const QString &message);

// The "%s - %@" line written where a failure from below is caught: the method and the reason.
void systemLogFailure(const char *method, const QString &reason);
