// Where the update procedures report how far they are. The procedures know nothing of windows or
// languages: they name the stage, and whoever shows it (the main window, the command line) picks
// the words.
#pragma once

class UpdateProgressSink
{
public:
    enum class Stage {
        Erasing,     // the flash sectors the image needs are being erased
        Writing,     // the image is being written
        ReadingBack, // the flash is being read back and compared
        Verifying,   // the written image is being read back and compared
        VerifyRetry, // the comparison failed and the image is written again
        Verified,    // the comparison matched
        Finalized,   // the closing bytes are written; the camera wants reconnecting
    };

    virtual ~UpdateProgressSink() = default;

    // Called on the thread that runs the update; percent runs from 0 to 100.
    virtual void progress(double percent, Stage stage) = 0;
};
