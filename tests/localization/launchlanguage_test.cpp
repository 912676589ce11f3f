// The launch in the user's language, as the locale of the process gives it: the real program's
// connect prompt on standard error, and the window title, menu and About window of the same launch
// sequence run here. CTest runs this program once per locale; LUMIVEX_EXPECTED_LANGUAGE names the
// language code that locale must give.
#include "app/appdelegate.h"
#include "platform/language.h"
#include "tests/localization/localizationsupport.h"
#include "tests/support/testsupport.h"
#include "tools/firmwareimagebuilder.h"
#include "ui/aboutwindowcontroller.h"
#include "ui/localization.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

QString expectedLanguage()
{
    return qEnvironmentVariable("LUMIVEX_EXPECTED_LANGUAGE");
}

// The table the language reads from: its own, or English for a language the updater does not ship.
const TranslationFile &expectedTable(const std::vector<TranslationFile> &files)
{
    const QString language = expectedLanguage();
    return translationFile(files, shippedLanguages().contains(language) ? language : QStringLiteral("en"));
}

QString tableText(const TranslationFile &table, const char *key, const QStringList &args = {})
{
    return formatText(table.texts.value(QString::fromLatin1(key)), args);
}

// A T-kind catalogue, so that the product name in the texts comes from the catalogue.
void writeResources(const ScratchFolder &folder)
{
    folder.write(QStringLiteral("Info.json"),
                 R"({"Device Name": "LUMIVEX", "CFBundleShortVersionString": "1.0.0",
                     "NSHumanReadableCopyright": "Copyright 2026 LUMIVEX"})");
    folder.write(QStringLiteral("Opt/cam_RZ52940.bin"), FirmwareImageBuilder().build());
}

// The text of the first status line the program logs within timeoutMs; empty when none came.
QString firstStatusOf(QProcess &program, int timeoutMs)
{
    static const QByteArray marker = "progressText.frame text: ";
    QByteArray log;
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        program.waitForReadyRead(100);
        log += program.readAllStandardError();
        const qsizetype start = log.indexOf(marker);
        const qsizetype end = start < 0 ? -1 : log.indexOf(". rect: ", start);
        if (end >= 0)
            return QString::fromUtf8(log.mid(start + marker.size(), end - start - marker.size()));
        if (program.state() == QProcess::NotRunning)
            break;
    }
    ADD_FAILURE() << "no status line; standard error was:\n" << log.toStdString();
    return {};
}

} // namespace

TEST(LaunchLanguage, TheLocaleGivesTheLanguageCode)
{
    ASSERT_FALSE(expectedLanguage().isEmpty()) << "LUMIVEX_EXPECTED_LANGUAGE is not set";
    EXPECT_EQ(languageCode(), expectedLanguage());
}

TEST(LaunchLanguage, TheProgramAsksForTheCameraInTheUsersLanguage)
{
    ScratchFolder folder;
    writeResources(folder);
    const std::vector<TranslationFile> files = readTranslationFiles();
    const TranslationFile &table = expectedTable(files);

    QProcess updater;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("LUMIVEX_RESOURCES_DIR"), folder.path());
    // A virtual bus with no camera on it: a test never touches the machine's real USB devices.
    folder.write(QStringLiteral("no-camera.json"), "[]");
    environment.insert(QStringLiteral("LUMIVEX_VIRTUAL_CAMERA"), folder.filePath(QStringLiteral("no-camera.json")));
    updater.setProcessEnvironment(environment);
    updater.setReadChannel(QProcess::StandardError);
    updater.start(QStringLiteral(LUMIVEX_UPDATER_PATH), {});
    ASSERT_TRUE(updater.waitForStarted(5000)) << updater.errorString().toStdString();

    const QString status = firstStatusOf(updater, 5000);
    updater.kill();
    updater.waitForFinished(5000);

    const QString prompt = tableText(table, "Status_Msg_Please_Connect_Your_Cam", {QStringLiteral("LUMIVEX T")});
    EXPECT_EQ(status, prompt);
    EXPECT_TRUE(status.contains(QStringLiteral("LUMIVEX T")));
    if (table.language != u"en") {
        const TranslationFile &english = translationFile(files, QStringLiteral("en"));
        EXPECT_NE(status, tableText(english, "Status_Msg_Please_Connect_Your_Cam", {QStringLiteral("LUMIVEX T")}));
    }
}

TEST(LaunchLanguage, TheWindowMenuAndAboutWindowSpeakTheUsersLanguage)
{
    ScratchFolder folder;
    writeResources(folder);
    qputenv("LUMIVEX_RESOURCES_DIR", folder.path().toUtf8());
    const std::vector<TranslationFile> files = readTranslationFiles();
    const TranslationFile &table = expectedTable(files);

    // As the program's entry does it.
    EXPECT_EQ(installStringTables(*QCoreApplication::instance(), languageCode()), table.language);
    MainWindow window;
    AppDelegate delegate(window, Resources::locate());
    window.show();
    delegate.applicationDidFinishLaunching();
    drainMainQueue();

    const QString title = tableText(table, "Application_Title", {QStringLiteral("LUMIVEX T")});
    EXPECT_EQ(window.windowTitle(), title);
    EXPECT_EQ(delegate.button_update->text(), tableText(table, "Button_Update"));
    const QString menuTitle = expectedLanguage() == u"nl"
        ? QStringLiteral("LUMIVEX Firmware Updaten")
        : tableText(table, "MainMenu_Application_Name", {QStringLiteral("LUMIVEX")});
    EXPECT_EQ(window.applicationMenu()->title(), menuTitle);

    window.ui.actionAbout->trigger();
    const AboutWindowController &about = AboutWindowController::defaultController();
    ASSERT_TRUE(about.appNameLabel);
    QString name = title;
    if (expectedLanguage() == u"de")
        name = QStringLiteral("LUMIVEX Firmware Aktualisierung");
    else if (expectedLanguage() == u"it")
        name = QStringLiteral("Aggiornamenti firmware LUMIVEX");
    EXPECT_EQ(about.appNameLabel->text(), name);
    EXPECT_EQ(about.appVersionLabel->text(), tableText(table, "About_Window_Version") + QStringLiteral(" 1.0.0"));
}
