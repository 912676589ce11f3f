// Status texts and progress reaching the window: font fitting, placement by layout, window
// layouts, and the order of updates made from another thread.
#include "app/appdelegate.h"
#include "tests/support/testsupport.h"
#include "ui/contentview.h"
#include "ui/hyperlinktextfield.h"
#include "ui/progressview.h"
#include "ui/statuslayout.h"

#include <QPushButton>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <thread>

namespace {

class StatusPresentation : public testing::Test
{
protected:
    StatusPresentation()
        : delegate(window, Resources(folder.path()))
    {
        window.show();
        delegate.applicationDidFinishLaunching();
        drainMainQueue();
    }

    // Shows text and returns the log lines it wrote.
    QStringList show(const StatusText &text)
    {
        StderrCapture log;
        delegate.update_status_text(text);
        drainMainQueue();
        return log.lines();
    }

    Rect frameOf(const QWidget *w) const { return window.ui.contentView->frameOf(w); }
    Size parentSize() const { return window.ui.contentView->boundsSize(); }

    ScratchFolder folder;
    MainWindow window;
    AppDelegate delegate;
};

} // namespace

TEST_F(StatusPresentation, TheLogLineNamesTheTextAndTheFrame)
{
    const QStringList lines = show(QStringLiteral("Please connect your LUMIVEX S camera."));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("match font: 16 for string: Please connect your LUMIVEX S camera. with rect: {{0, 0}, {")));
    EXPECT_EQ(lines[1], QStringLiteral("progressText.frame text: Please connect your LUMIVEX S camera.. rect: ")
                            + describeRect(frameOf(delegate.progressText)));
}

TEST_F(StatusPresentation, PlacementFollowsTheLayoutWhenTheTextIsShown)
{
    const double buttonHeight = frameOf(delegate.button_update).height;
    const double ringHeight = frameOf(delegate.myProgressView).height;
    struct Case
    {
        bool ring;
        bool button;
    };
    for (const Case c : {Case{false, false}, Case{false, true}, Case{true, true}, Case{true, false}}) {
        SCOPED_TRACE(testing::Message() << c.ring << c.button);
        delegate.update_status_text(QStringLiteral("Firmware 0102 is ready."));
        // The layout changes after the text was queued but before it runs: the new one governs.
        delegate.resize_app_window(c.ring, c.button);
        drainMainQueue();

        const Rect field = frameOf(delegate.progressText);
        const Size parent = parentSize();
        double expected = parent.height / 2;
        if (c.ring)
            expected -= ringHeight / 2 - StatusLayout::kRingLift;
        else if (c.button)
            expected += buttonHeight / 2;
        EXPECT_NEAR(field.x + field.width / 2, parent.width / 2, 0.5);
        EXPECT_NEAR(field.y + field.height / 2, expected, 0.5);
    }
}

TEST_F(StatusPresentation, WindowLayoutsKeepTheLowerLeftCorner)
{
    const QRect before = window.frameGeometry();
    struct Case
    {
        bool ring;
        bool button;
        int height;
        double buttonY;
    };
    for (const Case c : {Case{true, true, 300, 30}, Case{false, true, 160, 10}, Case{true, false, 300, 30}, Case{false, false, 160, 10}}) {
        SCOPED_TRACE(testing::Message() << c.ring << c.button);
        delegate.resize_app_window(c.ring, c.button);
        const QRect frame = window.frameGeometry();
        EXPECT_EQ(frame.size(), QSize(440, c.height));
        EXPECT_EQ(frame.bottomLeft(), before.bottomLeft());
        const Rect button = frameOf(delegate.button_update);
        EXPECT_EQ(button.x, 120);
        EXPECT_EQ(button.y, c.buttonY);
        EXPECT_EQ(delegate.b_needProgressBar, c.ring);
        EXPECT_EQ(delegate.b_needsButton, c.button);
    }
}

TEST_F(StatusPresentation, UpdatesFromAnotherThreadAppearInCallOrder)
{
    StderrCapture log;
    std::thread worker([this] {
        for (int i = 0; i < 20; ++i)
            delegate.update_status_text(QStringLiteral("step %1").arg(i));
        delegate.update_progress_bar(95, QStringLiteral("step 20"));
    });
    worker.join();
    drainMainQueue();

    QStringList shown;
    static const QRegularExpression line(QStringLiteral("^progressText.frame text: (step \\d+)\\. rect"));
    for (const QString &l : log.lines()) {
        if (const auto m = line.match(l); m.hasMatch())
            shown.append(m.captured(1));
    }
    QStringList expected;
    for (int i = 0; i <= 20; ++i)
        expected.append(QStringLiteral("step %1").arg(i));
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(delegate.myProgressView->progress(), 95);
}
