#include "app/widgets/outer_size_keeper.h"

#include <QEvent>
#include <QWidget>

namespace jl {

namespace {

const QString kKeeperName = QStringLiteral("OuterSizeKeeper");

} // namespace

QMargins frameMargins(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

void OuterSizeKeeper::keep(QWidget* window, QSize outer) {
    delete window->findChild<QObject*>(kKeeperName, Qt::FindDirectChildrenOnly);
    new OuterSizeKeeper(window, outer);
}

OuterSizeKeeper::OuterSizeKeeper(QWidget* window, QSize outer)
    : QObject(window), m_window(window), m_outer(outer), m_margins(frameMargins(*window)) {
    setObjectName(kKeeperName);
    window->installEventFilter(this);
}

bool OuterSizeKeeper::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::WindowStateChange:
        deleteLater();
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show: {
        if (m_window->windowState() != Qt::WindowNoState)
            break;
        const QMargins margins = frameMargins(*m_window);
        if (margins != m_margins) {
            m_margins = margins;
            m_window->resize(m_outer.shrunkBy(margins));
            deleteLater();
        } else if (event->type() == QEvent::Resize &&
                   m_window->size() != m_outer.shrunkBy(margins)) {
            deleteLater();
        }
        break;
    }
    default:
        break;
    }
    return false;
}

} // namespace jl
