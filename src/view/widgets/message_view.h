#pragma once
// The message view: a read-only plain-text view with per-range text colour.
// Positions count characters of the text as shown, a line break counting one.
// Text appended while an update is open is collected and reaches the widget in
// one piece when the outermost update ends; colours are applied in bulk.

#include "view/colour_coding.h"

#include <QPlainTextEdit>

namespace jl {

class Clipboard;

class MessageView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MessageView(QWidget* parent = nullptr);

    // --- text ----------------------------------------------------------------
    void clearText();                       // empty, caret at 0
    void appendLine(const QString& line);   // new last line ("" adds an empty line)
    void setWholeText(const QString& text); // replaces the text in one piece
    QString wholeText() const;              // the text as shown, lines joined by '\n'
    int textLength() const;                 // N

    // --- updates -------------------------------------------------------------
    void beginUpdate();
    void endUpdate();
    bool isUpdating() const { return m_updateDepth > 0; }

    // --- find and selection --------------------------------------------------
    // First occurrence at or after start within count characters, letter case
    // ignored, or -1.
    int find(const QString& text, int start, int count) const;
    int selectionStart() const;
    void setSelectionStart(int position);  // moves the caret, empties the selection
    void setSelectionLength(int length);   // selects from the caret, scrolls it into view
    int selectionLength() const;
    QString selectedText() const;          // line breaks as '\n'

    // --- colour --------------------------------------------------------------
    // Colours the selection (an invalid colour means the automatic text colour).
    void setSelectionColour(const QColor& colour);
    // Resets every character to the automatic colour, then applies the spans.
    void applyColours(const std::vector<ColourSpan>& spans);
    // The colour of the character at position (invalid for the automatic one).
    QColor colourAt(int position) const;

    // --- clipboard -----------------------------------------------------------
    void selectAllAndCopy(Clipboard& clipboard);
    void pasteText(const QString& text); // inserted at the caret, typing stays refused

    static QColor colourOf(TextColour colour);

signals:
    // Raised before the key has its own effect.
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    // Raised after the caret has been placed at the click.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int m_updateDepth = 0;
    QString m_pending;       // lines appended during an update
    bool m_hasPending = false;
};

} // namespace jl
