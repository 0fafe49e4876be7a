#pragma once
// The message view: a read-only plain-text view with per-range text colour.
// Positions count characters of the text as shown, a line break counting one.
// Text appended while an update is open is collected and reaches the widget in
// one piece when the outermost update ends; colours are applied in bulk.
//
// Colours are held as per-block layout formats (QTextLayout::setFormats), the
// mechanism a syntax highlighter uses: they change what is drawn, never the
// document, so the text, copying and the undo history stay untouched and
// colouring thousands of ranges costs no document edits. The view keeps its
// own list of coloured runs and re-derives the formats of the blocks that a
// text change touches.

#include "view/colour_coding.h"

#include <QColor>
#include <QPlainTextEdit>
#include <QTextCharFormat>

#include <vector>

namespace jl {

class Clipboard;

class MessageView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MessageView(QWidget* parent = nullptr);

    // --- text ----------------------------------------------------------------
    void clearText();                       // empty, caret at 0, no colours
    void appendLine(const QString& line);   // new last line ("" adds an empty line)
    void setWholeText(const QString& text); // replaces the text in one piece, no colours
    QString wholeText() const;              // the text as shown, lines joined by '\n'
    int textLength() const;                 // N

    // --- updates -------------------------------------------------------------
    // Redrawing is suspended from the outermost begin to its matching end.
    // Appending never moves the caret or the selection.
    void beginUpdate();
    void endUpdate();
    bool isUpdating() const { return m_updateDepth > 0; }

    // --- find and selection --------------------------------------------------
    // First occurrence lying wholly within [start, start + count), letter case
    // ignored (QString's case-insensitive comparison: Unicode simple case
    // folding of each character), or -1. A negative count means "to the end";
    // an empty text is found nowhere.
    int find(const QString& text, int start, int count) const;
    // A selection never holds half a character: a position between the two
    // halves of a character outside the Basic Multilingual Plane stands for
    // the start of that character, a selection end there for its end.
    int selectionStart() const;
    void setSelectionStart(int position); // moves the caret, empties the selection
    void setSelectionLength(int length);  // selects from the caret, scrolls it into view
    // Sets start and length at once, scrolling only to the result.
    void select(int start, int length);
    int selectionLength() const;
    QString selectedText() const; // line breaks as '\n'

    // --- colour --------------------------------------------------------------
    // Colours the selection (an invalid colour means the automatic text colour).
    void setSelectionColour(const QColor& colour);
    // Resets every character to the automatic colour, then applies the spans
    // in order (a later span paints over an earlier one; Default spans erase).
    void applyColours(const std::vector<ColourSpan>& spans);
    // The colour of the character at position (invalid for the automatic one).
    QColor colourAt(int position) const;

    // --- clipboard -----------------------------------------------------------
    // Selects the whole text and puts it on the clipboard (nothing when empty).
    void selectAllAndCopy(Clipboard& clipboard);
    // Inserted at the caret in place of the selection; typing stays refused.
    void pasteText(const QString& text);

    static QColor colourOf(TextColour colour);

    // Keeps a strip of height pixels free below the text (for a find bar).
    void reserveBelowText(int height) { setViewportMargins(0, 0, 0, height); }

signals:
    // Raised before the key has its own effect.
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    // Raised after the caret has been placed at the click.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // A coloured stretch of text, [start, end), never the automatic colour.
    struct Run {
        int start = 0;
        int end = 0;
        QRgb rgb = 0;
    };

    // Hands the lines collected by an open update to the document. Reading
    // the text or the selection does it first, so readers see every line
    // appended; that leaves the view's observable state as it was.
    void flushPending();
    void flushPending() const { const_cast<MessageView*>(this)->flushPending(); }
    void discardPending();
    void onContentsChange(int from, int charsRemoved, int charsAdded);
    const QString& rawText() const;
    // position clamped to the text, moved to the start (or the end) of the
    // character whose halves it would split.
    bool splitsCharacter(int position) const;
    int wholeCharacterStart(int position) const;
    int wholeCharacterEnd(int position) const;

    // Paints [start, end) into m_runs; an invalid colour erases.
    void paintRun(int start, int end, const QColor& colour);
    // Adds the numbers of the blocks that runs [first, last) cover.
    void collectBlocks(std::vector<Run>::const_iterator first,
                       std::vector<Run>::const_iterator last, std::vector<int>& blocks) const;
    void collectBlocks(int start, int end, std::vector<int>& blocks) const;
    // Gives the listed blocks (numbers) the formats of m_runs.
    void refreshBlocks(std::vector<int>& blocks);
    QTextCharFormat formatFor(QRgb rgb);

    int m_updateDepth = 0;
    QString m_pending; // lines appended during an update, joined by '\n'
    bool m_hasPending = false;
    bool m_hasLines = false; // an empty document may still hold one empty line
    std::vector<Run> m_runs; // sorted, not overlapping
    std::vector<std::pair<QRgb, QTextCharFormat>> m_formats;
    mutable QString m_textCache;
    mutable bool m_textCacheValid = false;
};

} // namespace jl
