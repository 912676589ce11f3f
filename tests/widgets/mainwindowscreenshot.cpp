// Not a test: draws the main window with the ring at some progress and a status text with a link,
// the picture of the updater in the documentation.
//   LUMIVEX_RESOURCES_DIR=build/resources xvfb-run -a build/tests/main-window-screenshot docs/main-window.png
#include "app/appdelegate.h"
#include "platform/mainqueue.h"
#include "ui/localization.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    installStringTables(app, QStringLiteral("en"));
    MainWindow window;
    AppDelegate delegate(window, Resources::locate());
    window.show();
    delegate.applicationDidFinishLaunching();

    const QString product = QStringLiteral("LUMIVEX S"), link = localizedText("Status_Msg_Download_Link");
    StatusText message(localizedFormat("Status_Msg_Deivce_Mismatch", {product, QStringLiteral("LUMIVEX T"), product,
                                                                       localizedFormat("Application_Title", {product}), link}));
    message.addLink(message.plainText().indexOf(link), link.size(), QUrl(QStringLiteral("https://example.com/download")));
    message.setAlignment(Qt::AlignHCenter);
    delegate.resize_app_window(true, false);
    delegate.update_progress_bar(42, QString());
    // The progress shows its own text one queue turn later; the message goes in behind it.
    MainQueue::async(&delegate, [&] { delegate.update_status_text(message); });

    // Time for the window to be mapped and the queued status work to run before the picture.
    int status = 1;
    QTimer::singleShot(500, &app, [&] {
        status = window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
        if (status)
            std::fprintf(stderr, "cannot write %s\n", argv[1]);
        app.quit();
    });
    app.exec();
    return status;
}
