// Test entry point: the offscreen platform unless the caller chose another,
// one QApplication for every test, and a watchdog that fails the run within
// seconds if a real modal dialog is ever left open.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // A fixed locale keeps list order and number formats the same everywhere.
    setenv("LC_ALL", "C", 0);
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);

    int modalTicks = 0;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&modalTicks] {
        QWidget* modal = QApplication::activeModalWidget();
        modalTicks = modal ? modalTicks + 1 : 0;
        if (modalTicks >= 10) { // about three seconds
            std::fprintf(stderr, "FATAL: a real modal dialog was left open: %s\n",
                         qPrintable(modal->windowTitle()));
            std::_Exit(3);
        }
    });
    watchdog.start(300);
    return RUN_ALL_TESTS();
}
