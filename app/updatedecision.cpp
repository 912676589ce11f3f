// What the window offers a camera once it is identified.
#include "app/updatedecision.h"

#include "payload/firmwarecatalogue.h"
#include "text/decisiontexts.h"

UpdateDecision decideUpdate(const FirmwareCatalogue &catalogue, const UpdateFacts &facts)
{
    UpdateDecision decision;
    decision.deviceTKind = facts.previousDeviceTKind;

    const std::optional<CameraKind> kind = cameraKindOf(facts.chipID);
    if (kind)
        decision.deviceTKind = kind->tKind;

    // The last image named for the camera's kind; an image whose header was rejected is never one.
    const int index = kind ? catalogue.lastImageNamed(kind->token) : -1;
    if (index >= 0) {
        decision.outcome = UpdateDecision::Outcome::Offer;
        decision.binIndex = index;
        decision.binVersion = uint32_t(catalogue.myDevicesInfo.at(index)->firmwareVersion());
        // Offered whatever the camera holds: an equal or newer version may be rewritten too.
        return decision;
    }
    if (catalogue.holdsNoImage()) {
        decision.outcome = UpdateDecision::Outcome::NoFirmware;
        return decision;
    }
    decision.outcome = facts.catalogueTKind != decision.deviceTKind ? UpdateDecision::Outcome::Mismatch
                                                                    : UpdateDecision::Outcome::UpToDate;
    return decision;
}

StatusText describeDecision(const UpdateDecision &decision, const UpdateFacts &facts)
{
    switch (decision.outcome) {
    case UpdateDecision::Outcome::Offer:
        return offerText(facts.product, versionText(decision.binVersion), versionText(facts.cameraVersion));
    case UpdateDecision::Outcome::Mismatch:
        return mismatchText(facts.product, facts.firmwareProductName, facts.language, facts.downloadUrl);
    case UpdateDecision::Outcome::NoFirmware:
        return noFirmwareText();
    case UpdateDecision::Outcome::UpToDate:
        break;
    }
    return upToDateText(facts.firmwareProductName, versionText(facts.cameraVersion), facts.language);
}

QString removeEndSpaceFrom(const QString &text)
{
    qsizetype n = text.size();
    while (n > 0) {
        const QChar c = text.at(n - 1);
        if (c != u'\t' && c.category() != QChar::Separator_Space)
            break;
        --n;
    }
    return text.first(n);
}
