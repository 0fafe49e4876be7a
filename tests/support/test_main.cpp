// Test entry point: the offscreen platform unless the caller chose another,
// one QApplication for every test, and a watchdog that fails the run within
// seconds if a real modal dialog is ever left open.

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // No test may touch the real home: every freedesktop location (and Qt's
    // own configuration, which a file dialog writes) points into one
    // temporary folder for the whole run.
    QTemporaryDir home(QStringLiteral("/tmp/junkloupe-test-home-XXXXXX"));
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot create a temporary home folder\n");
        return 2;
    }
    const QByteArray root = home.path().toLocal8Bit();
    setenv("HOME", root.constData(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/.config").constData(), 1);
    setenv("XDG_DATA_HOME", (root + "/.local/share").constData(), 1);
    setenv("XDG_CACHE_HOME", (root + "/.cache").constData(), 1);
    setenv("XDG_CONFIG_DIRS", (root + "/etc-xdg").constData(), 1);
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
