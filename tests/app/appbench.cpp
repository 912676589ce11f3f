// A bench for controller tests: catalogue, virtual cameras, window and controller together.
#include "tests/app/appbench.h"

#include "tools/firmwareimagebuilder.h"
#include "text/localization.h"

#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstdio>

QJsonObject cameraWithFirmware(const QString &name, std::optional<uint16_t> version, const QString &product, int chip)
{
    // The cameras of one bench have names of their own; the next bench writes a name's file anew.
    static const ScratchFolder folder;
    QJsonObject camera{{"chip", chip}, {"product", product}};
    if (version) {
        const QByteArray image = FirmwareImageBuilder().version(*version).product(product).build();
        folder.write(name + QStringLiteral(".flash"), image.mid(4));
        camera[QStringLiteral("flash")] = folder.filePath(name + QStringLiteral(".flash"));
    }
    return camera;
}

bool holds(const std::vector<uint8_t> &memory, const QByteArray &bytes, qsizetype offset)
{
    return memory.size() >= size_t(bytes.size()) && std::equal(bytes.begin() + offset, bytes.end(), memory.begin() + offset,
                                                                [](char a, uint8_t b) { return uint8_t(a) == b; });
}

AppBench::AppBench(const QList<CatalogueImage> &images, QJsonArray cameras)
    : mCameras(std::make_unique<CameraBench>(std::move(cameras)))
{
    mFolder.write(QStringLiteral("Info.json"), R"({"Device Name": "LUMIVEX",
                     "Download URL": "https://www.lumivex.example/download"})");
    for (const CatalogueImage &image : images)
        mFolder.write(QStringLiteral("Opt/") + image.name,
                      FirmwareImageBuilder().version(image.version).flashLength(image.flashLength).build());
    mDelegate = std::make_unique<AppDelegate>(mWindow, Resources(mFolder.path()), &mCameras->bus());
    qputenv("XDG_STATE_HOME", QFile::encodeName(mFolder.filePath(QStringLiteral("state"))));
}

AppBench::~AppBench()
{
    const QString printed = mOut->text();
    mOut.reset();
    if (::testing::Test::HasFailure())
        std::fputs(printed.toUtf8().constData(), stdout);
}

void AppBench::launch()
{
    mWindow.show();
    mDelegate->applicationDidFinishLaunching();
    drainMainQueue();
}

QStringList AppBench::statusTexts()
{
    // A status line may span lines of its own: read the log as one text.
    static const QRegularExpression line(QStringLiteral("progressText\\.frame text: (.*?)\\. rect: \\{\\{"),
                                         QRegularExpression::DotMatchesEverythingOption);
    QStringList shown;
    for (auto it = line.globalMatch(mLog.text(), mLogRead); it.hasNext();) {
        const auto match = it.next();
        shown.append(match.captured(1));
        mLogRead = match.capturedEnd();
    }
    return shown;
}

QStringList AppBench::deviceLines()
{
    const QString out = mOut->text();
    QStringList lines = out.mid(mOutRead).split(u'\n', Qt::SkipEmptyParts);
    mOutRead = out.size();
    return lines.filter(QRegularExpression(QStringLiteral("^Device: ")));
}

bool AppBench::pressUpdate(bool confirm)
{
    mDelegate->button_update->click();
    drainMainQueue();
    for (QMessageBox *sheet : mWindow.findChildren<QMessageBox *>()) {
        // Two buttons: the first confirms, the second cancels.
        if (sheet->isVisible() && sheet->text() == localizedText("Status_Msg_Proceed_To_Update") && sheet->buttons().size() == 2) {
            for (QAbstractButton *button : sheet->buttons())
                if (button->text() == localizedText(confirm ? "Button_OK" : "Button_Cancel"))
                    button->click();
            drainMainQueue();
            return true;
        }
    }
    return false;
}

bool AppBench::waitForRunEnd(int timeoutMs)
{
    // Every run ends with one log line, completed or failed.
    static const QRegularExpression end(QStringLiteral("^execute(_qlv2)? - update (completed in|failed after) "),
                                        QRegularExpression::MultilineOption);
    if (!processEventsUntil([&] { return mLog.text().count(end) > mRunsEnded; }, timeoutMs))
        return false;
    ++mRunsEnded;
    drainMainQueue();
    return true;
}
