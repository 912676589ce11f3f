// A bench for controller tests: a resources folder with a catalogue, virtual cameras on their own
// bus, the main window and its controller launched on them, and what the window showed.
#pragma once

#include "app/appdelegate.h"
#include "tests/device/camerabench.h"
#include "tests/support/testsupport.h"

#include <QJsonArray>
#include <QStringList>

#include <memory>
#include <optional>

// A camera whose flash holds an image of this version and product (nothing: a blank flash).
QJsonObject cameraWithFirmware(const ScratchFolder &folder, const QString &name, std::optional<uint16_t> version,
                               const QString &product = QStringLiteral("LUMIVEX T"), int chip = 0xB3);

class AppBench
{
public:
    // images: catalogue file names in Opt/ with the version each header gives.
    AppBench(const QList<std::pair<QString, uint16_t>> &images, QJsonArray cameras);

    // Launches the controller; the cameras already attached arrive during it.
    void launch();

    CameraBench &cameras() { return *mCameras; }
    AppDelegate &delegate() { return *mDelegate; }
    MainWindow &window() { return mWindow; }
    const ScratchFolder &folder() const { return mFolder; }

    // The status texts shown since the last call, oldest first, and the device lines printed.
    QStringList statusTexts();
    QStringList deviceLines();
    // Runs the GUI thread until the status shows text (true) or a few seconds pass.
    bool waitForStatus(const QString &text);

    bool offered() const;

private:
    ScratchFolder mFolder;
    std::unique_ptr<CameraBench> mCameras;
    MainWindow mWindow;
    std::unique_ptr<AppDelegate> mDelegate;
    StderrCapture mLog;
    StdoutCapture mOut;
    qsizetype mLogRead = 0;
    qsizetype mOutRead = 0;
    QStringList mShown;
};
