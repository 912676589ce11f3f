// A bench for controller tests: a resources folder with a catalogue, virtual cameras on their own
// bus, the main window and its controller launched on them, and what the window showed.
#pragma once

#include "app/appdelegate.h"
#include "platform/runhistory.h"
#include "tests/device/camerabench.h"
#include "tests/support/testsupport.h"

#include <QJsonArray>
#include <QStringList>

#include <memory>
#include <optional>

// A camera whose flash holds an image of this version and product (nothing: a blank flash), kept in
// a file named after the camera.
QJsonObject cameraWithFirmware(const QString &name, std::optional<uint16_t> version,
                               const QString &product = QStringLiteral("LUMIVEX T"), int chip = 0xB3);

// An image of the catalogue in Opt/: its file name, the version its header gives, and how many
// flash bytes it carries (0: just what the header needs).
struct CatalogueImage { QString name; uint16_t version = 0x0100; uint32_t flashLength = 0; };

// Whether memory holds bytes from offset on.
bool holds(const std::vector<uint8_t> &memory, const QByteArray &bytes, qsizetype offset = 0);

class AppBench
{
public:
    AppBench(const QList<CatalogueImage> &images, QJsonArray cameras);
    // Hands back what a failing test printed: its own failure messages went to the capture.
    ~AppBench();

    // Launches the controller; the cameras already attached arrive during it.
    void launch();

    CameraBench &cameras() { return *mCameras; }
    AppDelegate &delegate() { return *mDelegate; }
    MainWindow &window() { return mWindow; }

    // The status texts shown since the last call, oldest first, and the device lines printed.
    QStringList statusTexts();
    QStringList deviceLines();
    bool offered() const
    {
        return mDelegate->deviceEstablished && mDelegate->button_update->isVisible() && mDelegate->button_update->isEnabled();
    }

    // Presses Update and answers the confirmation sheet with OK (true) or Cancel; false when no
    // sheet came.
    bool pressUpdate(bool confirm);
    // Runs the GUI thread until the run has ended (completed or failed); false when it did not.
    bool waitForRunEnd(int timeoutMs = 30000);
    // The runs the window recorded, in the bench's own history file.
    QList<RunRecord> history() const { return RunHistory::read(mFolder.filePath(QStringLiteral("state/lumivex/history.jsonl"))).records; }
    // The catalogue image's bytes, as the run gets them.
    QByteArray image(int index) const { return mDelegate->myCatalogue.UnzippedBinFileData.at(index); }

private:
    ScratchFolder mFolder;
    std::unique_ptr<CameraBench> mCameras;
    MainWindow mWindow;
    std::unique_ptr<AppDelegate> mDelegate;
    StderrCapture mLog;
    std::unique_ptr<StdoutCapture> mOut = std::make_unique<StdoutCapture>();
    qsizetype mLogRead = 0;
    qsizetype mOutRead = 0;
    qsizetype mRunsEnded = 0;
};
