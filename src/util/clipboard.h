#pragma once
// Plain-text clipboard as the logic sees it. The window hands in the system
// clipboard; tests may hand in an in-memory one.

#include <QString>

namespace jl {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // The clipboard's plain text; empty when it holds no text.
    virtual QString text() const = 0;
    // Replaces the clipboard's content. Callers never pass an empty text:
    // copying nothing leaves the clipboard as it was.
    virtual void setText(const QString& text) = 0;
};

// An in-memory clipboard, for the command-line program and for tests.
class MemoryClipboard : public Clipboard {
public:
    QString text() const override { return m_text; }
    void setText(const QString& text) override { m_text = text; }

private:
    QString m_text;
};

} // namespace jl
