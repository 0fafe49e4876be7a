#include "app/widgets/widened_selection_keeper.h"

#include "view/widgets/message_view.h"

#include <QCoreApplication>
#include <QMouseEvent>

namespace jl {

namespace {

const QString kKeeperName = QStringLiteral("WidenedSelectionKeeper");

} // namespace

WidenedSelectionKeeper* WidenedSelectionKeeper::of(MessageView* view, std::function<void()> widen) {
    auto* keeper = dynamic_cast<WidenedSelectionKeeper*>(
        view->findChild<QObject*>(kKeeperName, Qt::FindDirectChildrenOnly));
    return keeper ? keeper : new WidenedSelectionKeeper(view, std::move(widen));
}

WidenedSelectionKeeper::WidenedSelectionKeeper(MessageView* view, std::function<void()> widen)
    : QObject(view), m_view(view), m_widen(std::move(widen)) {
    setObjectName(kKeeperName);
    view->viewport()->installEventFilter(this);
}

bool WidenedSelectionKeeper::eventFilter(QObject* watched, QEvent* event) {
    if (!m_armed)
        return false;
    if (event->type() == QEvent::MouseButtonPress) {
        m_armed = false; // a drag that swallowed the release
        return false;
    }
    if (event->type() != QEvent::MouseButtonRelease ||
        static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
        return false;
    m_armed = false;
    QCoreApplication::sendEvent(watched, event); // the view's own release first
    if (m_view->selectionLength() == 0)
        m_widen();
    return true;
}

} // namespace jl
