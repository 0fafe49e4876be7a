#pragma once
// A failure that no handler of its own catches. The window's command wrapper
// shows it as the application's default failure report: an error box titled
// with the application title holding the text with a full stop appended.

#include <QString>
#include <stdexcept>

namespace jl {

class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

} // namespace jl
