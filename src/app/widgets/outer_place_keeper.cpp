#include "app/widgets/outer_place_keeper.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace jl {

namespace {

const QString kKeeperName = QStringLiteral("OuterPlaceKeeper");

// How often and how long the keeper looks for the frame while a place waits
// for it (long enough for a manager on a loaded machine, not for ever where
// there is none), and how long it keeps the place once given.
constexpr int kPollMs = 25;
constexpr int kWaitPolls = 400;
constexpr int kSettlePolls = 80;

bool inNormalState(const QWidget& window) {
    return window.isVisible() && window.windowState() == Qt::WindowNoState;
}

// Only on X11 does a frame come some time after the window was shown.
bool frameComesLater() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

} // namespace

OuterPlaceKeeper& OuterPlaceKeeper::of(QWidget* window) {
    if (auto* keeper =
            window->findChild<OuterPlaceKeeper*>(kKeeperName, Qt::FindDirectChildrenOnly))
        return *keeper;
    return *new OuterPlaceKeeper(window);
}

OuterPlaceKeeper::OuterPlaceKeeper(QWidget* window) : QObject(window), m_window(window) {
    setObjectName(kKeeperName);
    window->installEventFilter(this);
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &OuterPlaceKeeper::check);
}

QMargins OuterPlaceKeeper::frameMargins(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    if (!handle)
        return {};
    const QMargins margins = handle->frameMargins();
    // A frame as large as the window itself is no frame a manager draws.
    const bool likely = margins.left() >= 0 && margins.top() >= 0 && margins.right() >= 0 &&
                        margins.bottom() >= 0 &&
                        margins.left() + margins.right() < qMax(window.width(), 100) &&
                        margins.top() + margins.bottom() < qMax(window.height(), 100);
    return likely ? margins : QMargins();
}

void OuterPlaceKeeper::place(const QRect& outer) {
    const QMargins margins = frameMargins(*m_window);
    m_pending.reset();
    m_appliedWith.reset();
    // move() places the frame, resize() sizes what lies inside it.
    m_window->move(outer.topLeft());
    m_window->resize(outer.size().shrunkBy(margins));
    if (!frameComesLater())
        return;
    m_pending = outer;
    m_pollsLeft = kWaitPolls;
    m_poll.start();
    check();
}

QRect OuterPlaceKeeper::outerNormalGeometry() const {
    // A place not yet settled is the best word on the normal frame: the
    // window may not have been in its normal state with a frame yet.
    if (m_pending)
        return *m_pending;
    const QMargins margins =
        m_window->windowState() == Qt::WindowNoState || m_normalMargins.isNull()
            ? frameMargins(*m_window)
            : m_normalMargins;
    return m_window->normalGeometry().marginsAdded(margins);
}

void OuterPlaceKeeper::check() {
    if (m_poll.isActive() && --m_pollsLeft <= 0) {
        m_poll.stop();
        // Settled, or no frame came while the window was in its normal state
        // (no manager, or one that draws none): the window is where it is.
        if (m_appliedWith || (inNormalState(*m_window) && frameMargins(*m_window).isNull())) {
            m_pending.reset();
            m_appliedWith.reset();
        }
    }
    if (!inNormalState(*m_window))
        return;
    const QMargins margins = frameMargins(*m_window);
    if (margins.isNull())
        return;
    m_normalMargins = margins;
    if (!m_pending || m_appliedWith == margins)
        return;
    // The first frame the toolkit reports may be one it worked out from where
    // the manager had the window a moment before, or the frame of another
    // state: the place is kept a little longer and given again should the
    // frame change meanwhile.
    m_appliedWith = margins;
    m_pollsLeft = kSettlePolls;
    m_poll.start();
    // One whole rectangle: the place the toolkit holds may be the frame's.
    m_window->setGeometry(m_pending->marginsRemoved(margins));
}

bool OuterPlaceKeeper::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        if (m_pending && !m_poll.isActive()) {
            m_pollsLeft = m_appliedWith ? kSettlePolls : kWaitPolls;
            m_poll.start();
        }
        check();
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
        check();
        if (m_pending && !m_poll.isActive() && event->type() == QEvent::WindowStateChange) {
            // Back from maximised or minimised: the frame changes again.
            m_pollsLeft = kSettlePolls;
            m_poll.start();
        }
        break;
    case QEvent::Hide:
        m_poll.stop();
        break;
    default:
        break;
    }
    return false;
}

} // namespace jl
