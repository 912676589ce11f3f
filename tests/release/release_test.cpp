// What a new user meets: each problem of a broken resources folder named in one line. (The launch
// that goes on without an information file is checked with the catalogues.)
#include "platform/resources.h"
#include "tests/support/testsupport.h"

#include <QFile>

#include <gtest/gtest.h>

TEST(Release, EachResourcesProblemIsNamedInOneLine)
{
    struct Case { const char *info, *problem; }; // Info.json (null: none), the problem after its path (null: none)
    const Case cases[] = {
        {R"({"Device Name": )", "Info.json is not a JSON object: "},
        {"[1, 2]", "Info.json is not a JSON object"},
        {R"({"Device Name": "L", "CFBundleShortVersionString": "1", "NSHumanReadableCopyright": "c"})", R"(Info.json has no "Download URL" entry)"},
        {R"({"Device Name": 5, "CFBundleShortVersionString": "1", "NSHumanReadableCopyright": "c", "Download URL": "u"})",
         R"(Info.json: "Device Name" is a number, not a string)"},
        {R"({"Device Name": "L", "CFBundleShortVersionString": "1", "NSHumanReadableCopyright": "c", "Download URL": "u"})", nullptr},
        {nullptr, "Info.json is missing"},
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
}
