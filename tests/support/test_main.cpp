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

#include <sys/stat.h>

int main(int argc, char** argv) {
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
    // Where a running window's lock and socket go: the user's own, no one
    // else's (mode 0700), as a session's runtime folder is.
    if (::mkdir((root + "/run").constData(), 0700) == 0)
        setenv("XDG_RUNTIME_DIR", (root + "/run").constData(), 1);
    // The offscreen platform's one screen is 800 x 600 unless told otherwise;
    // the window's design size needs more, as on any desktop.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform == "offscreen") {
        const QByteArray config = root + "/offscreen.json";
        if (std::FILE* f = std::fopen(config.constData(), "w")) {
            std::fputs("{\"screens\": [{\"name\": \"OffscreenScreen\", \"x\": 0, \"y\": 0, "
                       "\"width\": 1920, \"height\": 1080, \"logicalDpi\": 96}]}\n",
                       f);
            std::fclose(f);
            setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).constData(), 1);
        }
    }
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
