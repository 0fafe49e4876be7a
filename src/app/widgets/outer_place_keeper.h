#pragma once
// Keeping a window's stored outer frame, whenever its window manager gets to
// framing it.

#include <QMargins>
#include <QObject>
#include <QRect>
#include <QTimer>

#include <optional>

class QWidget;

namespace jl {

// The settings file holds the window's outer frame: its place on the screen
// and its size with the frame a window manager puts around it. A window can
// only be given its inner geometry, and the frame is known only once the
// manager has put it around the window, some time after the window was shown
// (under no manager it stays nothing). Meanwhile what the toolkit reports of
// the window's place is not to be trusted (it passes through the frame's own
// coordinates), so a window sized in between would be sent there.
//
// The keeper gives the window its outer frame at once as far as the frame is
// known, and again, as one whole inner rectangle, as soon as the window is in
// its normal state with its frame known. It also remembers the frame of the
// normal state, for the geometry written at the close.
class OuterPlaceKeeper : public QObject {
public:
    // The window's keeper, made on first use.
    static OuterPlaceKeeper& of(QWidget* window);

    // Gives the window the outer frame outer.
    void place(const QRect& outer);

    // The window's normal (not maximised or minimised) outer frame: the
    // place being given while that has not settled (a window maximised from
    // its start has never had a normal frame).
    QRect outerNormalGeometry() const;

    // The frame the manager put around the window now; nothing before it did
    // and without a manager. Unlikely numbers count as nothing.
    static QMargins frameMargins(const QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit OuterPlaceKeeper(QWidget* window);
    void check();

    QWidget* m_window;
    std::optional<QRect> m_pending;
    std::optional<QMargins> m_appliedWith; // the frame it was last given with
    int m_pollsLeft = 0;
    QMargins m_normalMargins; // the frame last seen in the normal state
    QTimer m_poll;            // the frame's arrival sends no event of its own
};

} // namespace jl
