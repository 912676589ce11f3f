// Where the windows go on the screen: a frame that changes size keeps its lower-left corner unless
// that takes it off the screen's usable area, and the About window opens inside that area with its
// name on one line in every language.
#include "tests/localization/localizationsupport.h"
#include "tests/support/testsupport.h"
#include "text/localization.h"
#include "ui/aboutwindowcontroller.h"
#include "ui/windowplacement.h"

#include <QFontMetrics>
#include <QLabel>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

TEST(WindowPlacement, TheLowerLeftCornerStaysUnlessTheFrameWouldLeaveTheArea)
{
    const QRect area(0, 30, 1024, 738); // below a panel along the top
    struct Row { const char *where; QRect frame; QSize target; QPoint topLeft; };
    const Row rows[] = {
        {"middle, growing", {300, 400, 440, 160}, {440, 300}, {300, 260}},
        {"middle, shrinking", {300, 260, 440, 300}, {440, 160}, {300, 400}},
        {"at the top: down just enough", {300, 30, 440, 160}, {440, 300}, {300, 30}},
        {"near the top: down just enough", {300, 100, 440, 160}, {440, 300}, {300, 30}},
        {"growing to touch the top: kept", {300, 170, 440, 160}, {440, 300}, {300, 30}},
        {"past the left edge", {-50, 400, 440, 160}, {440, 300}, {0, 260}},
        {"past the right edge", {700, 400, 440, 160}, {440, 300}, {584, 260}},
        {"past the bottom edge", {300, 700, 440, 160}, {440, 160}, {300, 608}},
        {"larger than the area: its top-left", {100, 100, 1200, 160}, {1200, 900}, {0, 30}},
    };
    for (const Row &row : rows)
        EXPECT_EQ(WindowPlacement::resizedFrameTopLeft(row.frame, row.target, area), row.topLeft) << row.where;
    // No screen known: the corner stays, wherever that is.
    EXPECT_EQ(WindowPlacement::resizedFrameTopLeft({300, 30, 440, 160}, {440, 300}, QRect()), QPoint(300, -110));
}

// Asked from a window in the screen's top-left corner, the About window opens inside the screen,
// not centred over that window half off it; its name, in each language's words, on one line.
TEST(AboutWindow, OpensInsideTheScreenWithItsNameOnOneLine)
{
    ScratchFolder folder;
    folder.write(QStringLiteral("Info.json"), R"({"Device Name": "LUMIVEX", "CFBundleShortVersionString": "1.0.0"})");
    const auto files = readTranslationFiles();
    for (const QString &language : shippedLanguages()) {
        SCOPED_TRACE(language.toStdString());
        QWidget main;
        main.resize(440, 160);
        const QRect area = main.screen()->availableGeometry();
        main.move(area.topLeft());
        main.show();
        AboutWindowController controller(Resources(folder.path()), language);
        controller.setAppName(formatText(files.at(language).texts.value(QStringLiteral("Application_Title")), {QStringLiteral("LUMIVEX T")}));
        controller.orderFront(&main);
        QWidget *about = controller.window();
        ASSERT_TRUE(processEventsUntil([&] { return about->isVisible(); }));
        EXPECT_TRUE(area.contains(about->frameGeometry())) << about->frameGeometry().y();
        EXPECT_LT(controller.appNameLabel->height(), 2 * QFontMetrics(controller.appNameLabel->font()).lineSpacing())
            << controller.appNameLabel->text().toStdString();
    }
}

} // namespace
