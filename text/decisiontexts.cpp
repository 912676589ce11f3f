// What the updater says about a camera it has identified.
#include "text/decisiontexts.h"

#include "text/localization.h"

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

} // namespace

StatusText offerText(const QString &product, const QString &offered, const QString &installed)
{
    return StatusText(localizedFormat("Status_Msg_Ready_To_Update", {product}) + QLatin1Char('\n')
                      + localizedFormat("Status_Msg_New_Firmware_Available", {offered, installed}));
}

// The argument order depends on the language, so that each table can say it in its own word
// order; the link goes over the first occurrence of the link text.
StatusText mismatchText(const QString &p, const QString &fw, const QString &language, const QUrl &downloadUrl)
{
    const QString link = localizedText("Status_Msg_Download_Link");
    QStringList args;
    if (language == QLatin1String("ja"))
        args = {p, fw, p, link, title(p)};
    else if (language == QLatin1String("fr"))
        args = {p, fw, p, formatText(u"outil de mise à jour pour %@", {fw}), link};
    else if (language == QLatin1String("de"))
        args = {p, fw, p, formatText(u"%@ Firmware Aktualisierung", {p}), link};
    else if (language == QLatin1String("it"))
        args = {p, fw, p, formatText(u"aggiornamento del firmware di %@", {p}), link};
    else
        args = {p, fw, p, title(p), link};

    StatusText text(localizedFormat("Status_Msg_Deivce_Mismatch", args));
    if (const qsizetype at = text.plainText().indexOf(link); at >= 0 && !link.isEmpty())
        text.addLink(at, link.size(), downloadUrl);
    text.setAlignment(Qt::AlignHCenter);
    return text;
}

StatusText noFirmwareText()
{
    return StatusText(localizedText("Status_Msg_No_Firmware"));
}

StatusText upToDateText(const QString &fw, const QString &version, const QString &language)
{
    QStringList args;
    if (language == QLatin1String("fr"))
        args = {fw, version, lowerFirst(title(fw))};
    else if (language == QLatin1String("de"))
        args = {fw, version, formatText(u"%@ Firmware Aktualisierung", {fw})};
    else if (language == QLatin1String("it"))
        args = {fw, version, fw};
    else
        args = {fw, version, title(fw)};
    return StatusText(localizedFormat("Status_Msg_Already_Up_To_Date", args));
}

