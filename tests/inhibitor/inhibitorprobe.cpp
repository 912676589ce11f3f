// Holds a logind lock for the inhibitor test, one step at a time as the test tells it on standard
// input, so that the test can look at logind between the steps while this process lives on.
//   inhibitor_probe wait   the command line's way: blocks until logind has answered
//   inhibitor_probe loop   the window's way: the answer comes through the event loop
//   inhibitor_probe drop   given back at once, before logind can have answered
// Prints "held <0|1> <ms>" (how long the answer took) and, once the lock is given back, "released".
#include "platform/logindinhibitor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <iostream>
#include <memory>
#include <string>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    const auto awaitGo = [] { std::cin.ignore(1 << 20, '\n'); };
    QElapsedTimer clock;
    clock.start();
    auto inhibitor = std::make_unique<LogindInhibitor>(QStringLiteral("LUMIVEX Firmware Updater"),
                                                       QStringLiteral("A camera's firmware is being written"));
    if (mode == "wait")
        inhibitor->waitForAnswer();
    if (mode == "loop") {
        QTimer::singleShot(300, &app, &QCoreApplication::quit);
        QCoreApplication::exec();
    }
    if (mode != "drop") {
        std::cout << "held " << inhibitor->held() << ' ' << clock.elapsed() << std::endl;
        awaitGo();
    }
    inhibitor.reset();
    std::cout << "released" << std::endl;
    awaitGo();
    return 0;
}
