#pragma once
// How the project's own code tells that something failed: in what it
// returns, with the reason as a text for the user called error.
// - A routine with nothing else to return gives bool, true when done, and
//   fills its optional last parameter QString* error with the reason
//   (failWith below).
// - A routine that returns something gives a result whose outcome says what
//   became of it and whose QString error holds the reason (empty when
//   nothing failed).
// Routines whose form the window's design fixes keep it (a 0 / -1 result, a
// thrown Failure).
//
// Failure is thrown only for what no handler of its own catches. The
// window's command wrapper shows it as the application's default failure
// report: an error box titled with the application title holding the text
// with a full stop appended.

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

// A failed routine of the bool form: *error (when given) takes the reason;
// returns false.
inline bool failWith(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

} // namespace jl
