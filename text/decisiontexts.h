// What the updater says about a camera it has identified: the offer, a product mismatch with its
// download link, or that the firmware is up to date. The same words in the window and on the
// command line, in the language the string tables were installed for.
#pragma once

#include "text/statustext.h"

#include <QString>
#include <QUrl>

// "<product> is ready to update." and "Firmware <offered> is available (installed: <installed>).",
// one per line; versions as the caller shows them.
StatusText offerText(const QString &product, const QString &offered, const QString &installed);

// A camera of the other product than the catalogue's: the word order follows the language, and
// the link text becomes a link to downloadUrl.
StatusText mismatchText(const QString &product, const QString &firmwareProductName, const QString &language,
                        const QUrl &downloadUrl);

// The updater carries no firmware for any camera: an empty, damaged or wholly refused catalogue.
StatusText noFirmwareText();

// The catalogue is of the camera's kind but holds no image for it.
StatusText upToDateText(const QString &firmwareProductName, const QString &version, const QString &language);
