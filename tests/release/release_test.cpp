// What a new user meets: a broken resources folder still launches and says what is wrong.
#include "app/appdelegate.h"
#include "tests/support/testsupport.h"
#include "tools/firmwareimagebuilder.h"

#include <QFile>

#include <gtest/gtest.h>

TEST(Release, EachResourcesProblemIsNamedAndTheLaunchGoesOn)
{
    struct Case { const char *info, *problem; }; // Info.json (null: none), the problem after its path (null: none)
    const Case cases[] = {
        {R"({"Device Name": )", "Info.json is not a JSON object: "},
        {"[1, 2]", "Info.json is not a JSON object"},
        {R"({"Device Name": "L", "CFBundleShortVersionString": "1", "NSHumanReadableCopyright": "c"})", R"(Info.json has no "Download URL" entry)"},
        {R"({"Device Name": 5, "CFBundleShortVersionString": "1", "NSHumanReadableCopyright": "c", "Download URL": "u"})",
         R"(Info.json: "Device Name" is a number, not a string)"},
        {R"({"Device Name": "L", "CFBundleShortVersionString": "1", "NSHumanReadableCopyright": "c", "Download URL": "u"})", nullptr},
        {nullptr, "Info.json is missing"}, // the one launched below
    };
    ScratchFolder folder;
    for (const Case &c : cases) {
        if (c.info)
            folder.write(QStringLiteral("Info.json"), c.info);
        else
            QFile::remove(folder.filePath(QStringLiteral("Info.json")));
        const QString problems = Resources(folder.path()).problems().join(u'|');
        EXPECT_TRUE(c.problem ? problems.startsWith(folder.path() + u'/' + QLatin1String(c.problem)) : problems.isEmpty()) << problems.toStdString();
    }
    // A folder that is not there, or not a folder.
    folder.write(QStringLiteral("plain-file"), "x");
    for (const QString &path : {folder.filePath(QStringLiteral("absent")), folder.filePath(QStringLiteral("plain-file"))})
        EXPECT_EQ(Resources(path).problems().join(u'|').section(u' ', 0, 3), QStringLiteral("the resources folder ") + path);

    // Launched without Info.json: the line, the connect prompt, and no blank where the device name would be.
    folder.write(QStringLiteral("Opt/cam_RZ52940.bin"), FirmwareImageBuilder().build());
    MainWindow window;
    AppDelegate delegate(window, Resources(folder.path()));
    StderrCapture log;
    delegate.applicationDidFinishLaunching();
    drainMainQueue();
    const QString text = log.text();
    EXPECT_TRUE(text.contains(QStringLiteral("applicationDidFinishLaunching - %1/Info.json is missing").arg(folder.path()))
                && text.contains(QStringLiteral("text: Please connect your LUMIVEX T camera."))) << text.toStdString();
    EXPECT_EQ(window.applicationMenu()->title(), QStringLiteral("Firmware Updater"));
}
