#pragma once
// Working with real modal windows in tests: a step run on the next modal
// window once it is up, and the title the desktop shows for a window.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace jl::test {

// Runs step on the next modal window once it is up.
inline void whenModal(const std::function<void(QWidget*)>& step) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            step(modal);
        }
    });
    timer->start(20);
}

// The title a desktop shows for the window: the toolkit appends " — " and
// the application's display name, when one is set, to every title that does
// not already end in it. (Unset, the display name reads as the application
// name.)
inline QString titleAsShown(const QWidget* window) {
    QString title = window->windowTitle();
    const QString display = QGuiApplication::applicationDisplayName();
    if (display == QCoreApplication::applicationName() || title.endsWith(display))
        return title;
    return title + QStringLiteral(" \u2014 ") + display;
}

} // namespace jl::test
