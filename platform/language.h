// The user's language as a two-letter code ("fr", "de", …), from the system locale.
#pragma once

#include <QString>

QString languageCode();
