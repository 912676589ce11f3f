// A bench for controller tests: catalogue, virtual cameras, window and controller together.
#include "tests/app/appbench.h"

#include "tools/firmwareimagebuilder.h"

#include <QPushButton>
#include <QRegularExpression>

QJsonObject cameraWithFirmware(const ScratchFolder &folder, const QString &name, std::optional<uint16_t> version,
                               const QString &product, int chip)
{
    QJsonObject camera{{"chip", chip}, {"product", product}};
    if (version) {
        const QByteArray image = FirmwareImageBuilder().version(*version).product(product).build();
        folder.write(name + QStringLiteral(".flash"), image.mid(4));
        camera[QStringLiteral("flash")] = folder.filePath(name + QStringLiteral(".flash"));
    }
    return camera;
}

AppBench::AppBench(const QList<std::pair<QString, uint16_t>> &images, QJsonArray cameras)
    : mCameras(std::make_unique<CameraBench>(std::move(cameras)))
{
    mFolder.write(QStringLiteral("Info.json"), R"({"Device Name": "LUMIVEX",
                     "Download URL": "https://www.lumivex.example/download"})");
    for (const auto &[name, version] : images)
        mFolder.write(QStringLiteral("Opt/") + name, FirmwareImageBuilder().version(version).build());
    mDelegate = std::make_unique<AppDelegate>(mWindow, Resources(mFolder.path()), &mCameras->bus());
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
    const QString log = mLog.text();
    for (auto it = line.globalMatch(log, mLogRead); it.hasNext();) {
        const auto match = it.next();
        mShown.append(match.captured(1));
        mLogRead = match.capturedEnd();
    }
    return std::exchange(mShown, {});
}

QStringList AppBench::deviceLines()
{
    const QString out = mOut.text();
    QStringList lines = out.mid(mOutRead).split(u'\n', Qt::SkipEmptyParts);
    mOutRead = out.size();
    return lines.filter(QRegularExpression(QStringLiteral("^Device: ")));
}

bool AppBench::waitForStatus(const QString &text)
{
    return processEventsUntil([&] {
        const QStringList shown = statusTexts();
        mShown = shown;
        return shown.contains(text);
    });
}

bool AppBench::offered() const
{
    return mDelegate->deviceEstablished && mDelegate->button_update->isVisible() && mDelegate->button_update->isEnabled();
}
