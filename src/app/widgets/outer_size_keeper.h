#pragma once
// Keeping a window's stored outer size while its frame is not known yet.

#include <QMargins>
#include <QObject>
#include <QSize>

class QWidget;

namespace jl {

// The part of a window's outer frame that its inner geometry leaves out.
QMargins frameMargins(const QWidget& window);

// The settings file holds the outer size of the window, but a window can
// only be given its inner size. Before a window manager has put its frame
// around the window the frame counts as nothing; this keeper gives the window
// the stored outer size again once the frame becomes known. It goes when it
// has done so, when anything else sizes the window, or when the window leaves
// its normal state.
class OuterSizeKeeper : public QObject {
public:
    // Puts a keeper for outer on window, in place of one put there before.
    static void keep(QWidget* window, QSize outer);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    OuterSizeKeeper(QWidget* window, QSize outer);

    QWidget* m_window;
    QSize m_outer;
    QMargins m_margins;
};

} // namespace jl
