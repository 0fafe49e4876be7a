#pragma once
// Gives a control the keyboard focus when a command ends, whichever way it
// ends (a failure thrown from a list operation included).

#include <QWidget>

namespace jl {

class FocusOnExit {
public:
    explicit FocusOnExit(QWidget* widget) : m_widget(widget) {}
    ~FocusOnExit() { m_widget->setFocus(); }
    FocusOnExit(const FocusOnExit&) = delete;
    FocusOnExit& operator=(const FocusOnExit&) = delete;

private:
    QWidget* m_widget;
};

} // namespace jl
