// What the window offers a camera once it is identified.
#include "app/updatedecision.h"

#include "payload/firmwarecatalogue.h"
#include "ui/localization.h"

namespace {

QString title(const QString &name)
{
    return localizedFormat("Application_Title", {name});
}

QString lowerFirst(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

// The mismatch message: the argument order depends on the language, so that each table can
// say it in its own word order; the link goes over the first occurrence of the link text.
StatusText mismatchText(const UpdateFacts &f)
{
    const QString &p = f.product;
    const QString &fw = f.firmwareProductName;
    const QString link = localizedText("Status_Msg_Download_Link");
    QStringList args;
    if (f.language == QLatin1String("ja"))
        args = {p, fw, p, link, title(p)};
    else if (f.language == QLatin1String("fr"))
        args = {p, fw, p, formatText(u"outil de mise à jour pour %@", {fw}), link};
    else if (f.language == QLatin1String("de"))
        args = {p, fw, p, formatText(u"%@ Firmware Aktualisierung", {p}), link};
    else if (f.language == QLatin1String("it"))
        args = {p, fw, p, formatText(u"aggiornamento del firmware di %@", {p}), link};
    else
        args = {p, fw, p, title(p), link};

    StatusText text(localizedFormat("Status_Msg_Deivce_Mismatch", args));
    if (const qsizetype at = text.plainText().indexOf(link); at >= 0 && !link.isEmpty())
        text.addLink(at, link.size(), f.downloadUrl);
    text.setAlignment(Qt::AlignHCenter);
    return text;
}

StatusText upToDateText(const UpdateFacts &f)
{
    const QString &fw = f.firmwareProductName;
    const QString version = versionText(f.cameraVersion);
    QStringList args;
    if (f.language == QLatin1String("fr"))
        args = {fw, version, lowerFirst(title(fw))};
    else if (f.language == QLatin1String("de"))
        args = {fw, version, formatText(u"%@ Firmware Aktualisierung", {fw})};
    else if (f.language == QLatin1String("it"))
        args = {fw, version, fw};
    else
        args = {fw, version, title(fw)};
    return StatusText(localizedFormat("Status_Msg_Already_Up_To_Date", args));
}

} // namespace

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
        const QString ready = localizedFormat("Status_Msg_Ready_To_Update", {facts.product});
        const QString available = localizedFormat("Status_Msg_New_Firmware_Available",
                                                  {versionText(decision.binVersion), versionText(facts.cameraVersion)});
        decision.logLines = {ready, available};
        decision.text = StatusText(ready + QLatin1Char('\n') + available);
        return decision;
    }

    if (facts.catalogueTKind != decision.deviceTKind) {
        decision.outcome = UpdateDecision::Outcome::Mismatch;
        decision.text = mismatchText(facts);
    } else {
        decision.outcome = UpdateDecision::Outcome::UpToDate;
        decision.text = upToDateText(facts);
    }
    return decision;
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
