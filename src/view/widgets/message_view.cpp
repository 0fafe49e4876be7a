#include "view/widgets/message_view.h"

#include "util/clipboard.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace jl {

namespace {

constexpr QChar BlockSeparator(QChar::ParagraphSeparator);

QString withLineBreaks(QString text) {
    text.replace(BlockSeparator, QLatin1Char('\n'));
    return text;
}

int clampTo(qint64 value, int low, int high) {
    return int(std::clamp<qint64>(value, low, high));
}

} // namespace

MessageView::MessageView(QWidget* parent) : QPlainTextEdit(parent) {
    // Read-only to typing, but with a caret and keyboard selection: the
    // selection expansion works from the caret that the arrow keys move.
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setWordWrapMode(QTextOption::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Nothing here is ever undone; an undo history would only hold copies of
    // every text shown.
    setUndoRedoEnabled(false);
    document()->setUndoRedoEnabled(false);
    // The view has only the operations the window gives it (the text
    // control's own menu would offer Copy and Select All past them), and a
    // right click opens no menu of the window's either.
    setContextMenuPolicy(Qt::PreventContextMenu);
    connect(document(), &QTextDocument::contentsChange, this, &MessageView::onContentsChange);
}

// --- text --------------------------------------------------------------------

void MessageView::clearText() {
    discardPending();
    clear();
    m_hasLines = false;
    // A cleared document may keep its first block's layout; make sure no
    // colour survives on it.
    std::vector<int> blocks;
    collectBlocks(m_runs.cbegin(), m_runs.cend(), blocks);
    m_runs.clear();
    refreshBlocks(blocks);
}

void MessageView::appendLine(const QString& line) {
    if (m_updateDepth > 0) {
        if (m_hasPending)
            m_pending += QLatin1Char('\n');
        m_pending += line;
        m_hasPending = true;
        return;
    }
    m_pending = line;
    m_hasPending = true;
    flushPending();
}

void MessageView::setWholeText(const QString& text) {
    discardPending();
    setPlainText(text);
    m_hasLines = !text.isEmpty();
    std::vector<int> blocks;
    collectBlocks(m_runs.cbegin(), m_runs.cend(), blocks);
    blocks.push_back(0);
    m_runs.clear();
    refreshBlocks(blocks);
}

QString MessageView::wholeText() const {
    return rawText();
}

int MessageView::textLength() const {
    flushPending();
    return document()->characterCount() - 1;
}

const QString& MessageView::rawText() const {
    flushPending();
    if (!m_textCacheValid) {
        m_textCache = withLineBreaks(document()->toRawText());
        m_textCacheValid = true;
    }
    return m_textCache;
}

void MessageView::flushPending() {
    if (!m_hasPending)
        return;
    QString piece = std::move(m_pending);
    m_pending = QString();
    m_hasPending = false;
    if (m_hasLines)
        piece.prepend(QLatin1Char('\n'));

    // The insertion at the end would carry a caret standing there along;
    // appending leaves the caret and the selection where they were.
    const QTextCursor before = textCursor();
    if (!piece.isEmpty()) {
        QTextCursor end(document());
        end.movePosition(QTextCursor::End);
        end.insertText(piece);
    }
    m_hasLines = true;
    QTextCursor after = textCursor();
    if (after.anchor() != before.anchor() || after.position() != before.position()) {
        after.setPosition(before.anchor());
        after.setPosition(before.position(), QTextCursor::KeepAnchor);
        setTextCursor(after);
    }
}

void MessageView::discardPending() {
    m_pending = QString();
    m_hasPending = false;
}

// --- updates -----------------------------------------------------------------

void MessageView::beginUpdate() {
    if (m_updateDepth++ == 0)
        viewport()->setUpdatesEnabled(false);
}

void MessageView::endUpdate() {
    if (m_updateDepth == 0)
        return; // an unmatched end changes nothing
    if (--m_updateDepth > 0)
        return;
    flushPending();
    viewport()->setUpdatesEnabled(true);
    viewport()->update();
}

// --- find and selection ------------------------------------------------------

int MessageView::find(const QString& text, int start, int count) const {
    const QString& whole = rawText();
    const int n = int(whole.size());
    if (text.isEmpty())
        return -1;
    const int from = std::clamp(start, 0, n);
    const int to = count < 0 ? n : clampTo(qint64(from) + count, from, n);
    const qsizetype found =
        QStringView(whole).mid(from, to - from).indexOf(text, 0, Qt::CaseInsensitive);
    return found < 0 ? -1 : from + int(found);
}

int MessageView::selectionStart() const {
    flushPending();
    return textCursor().selectionStart();
}

bool MessageView::splitsCharacter(int position) const {
    // Two lookups in the document rather than the whole text.
    const QTextDocument* doc = document();
    return position > 0 && position < textLength() &&
           doc->characterAt(position - 1).isHighSurrogate() &&
           doc->characterAt(position).isLowSurrogate();
}

int MessageView::wholeCharacterStart(int position) const {
    const int at = std::clamp(position, 0, textLength());
    return splitsCharacter(at) ? at - 1 : at;
}

int MessageView::wholeCharacterEnd(int position) const {
    const int at = std::clamp(position, 0, textLength());
    return splitsCharacter(at) ? at + 1 : at;
}

void MessageView::setSelectionStart(int position) {
    QTextCursor cursor = textCursor();
    cursor.setPosition(wholeCharacterStart(position));
    setTextCursor(cursor);
}

void MessageView::setSelectionLength(int length) {
    select(textCursor().selectionStart(), length);
}

void MessageView::select(int start, int length) {
    const int from = wholeCharacterStart(start);
    const int to =
        wholeCharacterEnd(clampTo(qint64(from) + std::max(length, 0), from, textLength()));
    QTextCursor cursor = textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
}

int MessageView::selectionLength() const {
    flushPending();
    const QTextCursor cursor = textCursor();
    return cursor.selectionEnd() - cursor.selectionStart();
}

QString MessageView::selectedText() const {
    flushPending();
    return withLineBreaks(textCursor().selectedText());
}

// --- colour ------------------------------------------------------------------

QColor MessageView::colourOf(TextColour colour) {
    switch (colour) {
    case TextColour::Blue:
        return QColor(0, 0, 255);
    case TextColour::Green:
        return QColor(0, 128, 0);
    case TextColour::Red:
        return QColor(255, 0, 0);
    case TextColour::Default:
        break;
    }
    return QColor();
}

void MessageView::setSelectionColour(const QColor& colour) {
    flushPending();
    const QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    if (start >= end)
        return;
    // The blocks that hold colour in the range before and after painting.
    std::vector<int> blocks;
    auto overlapping = [this, start, end] {
        auto first = std::lower_bound(m_runs.cbegin(), m_runs.cend(), start,
                                      [](const Run& run, int pos) { return run.end <= pos; });
        auto last = std::lower_bound(first, m_runs.cend(), end,
                                     [](const Run& run, int pos) { return run.start < pos; });
        return std::pair(first, last);
    };
    auto [oldFirst, oldLast] = overlapping();
    collectBlocks(oldFirst, oldLast, blocks);
    paintRun(start, end, colour);
    auto [newFirst, newLast] = overlapping();
    collectBlocks(newFirst, newLast, blocks);
    refreshBlocks(blocks);
}

void MessageView::applyColours(const std::vector<ColourSpan>& spans) {
    flushPending();
    const int n = textLength();
    std::vector<int> blocks;
    collectBlocks(m_runs.cbegin(), m_runs.cend(), blocks);
    m_runs.clear();

    // Spans in order and apart (what the colour matcher gives) are taken as
    // they come; anything else is painted span by span.
    bool ordered = true;
    int previousEnd = 0;
    for (const ColourSpan& span : spans) {
        const int start = clampTo(span.start, 0, n);
        const int end = clampTo(qint64(span.start) + std::max(span.length, 0), start, n);
        if (start >= end)
            continue;
        if (start < previousEnd) {
            ordered = false;
            break;
        }
        previousEnd = end;
    }
    for (const ColourSpan& span : spans) {
        const int start = clampTo(span.start, 0, n);
        const int end = clampTo(qint64(span.start) + std::max(span.length, 0), start, n);
        if (start >= end)
            continue;
        const QColor colour = colourOf(span.colour);
        if (!ordered)
            paintRun(start, end, colour);
        else if (colour.isValid())
            m_runs.push_back({start, end, colour.rgb()});
    }
    collectBlocks(m_runs.cbegin(), m_runs.cend(), blocks);
    refreshBlocks(blocks);
}

QColor MessageView::colourAt(int position) const {
    flushPending();
    if (position < 0 || position >= textLength())
        return QColor();
    const QTextBlock block = document()->findBlock(position);
    const int offset = position - block.position();
    if (offset >= block.length() - 1) {
        // A line break draws nothing; it has the colour it was given.
        auto run = std::lower_bound(m_runs.cbegin(), m_runs.cend(), position,
                                    [](const Run& r, int pos) { return r.end <= pos; });
        if (run != m_runs.cend() && run->start <= position)
            return QColor(run->rgb);
        return QColor();
    }
    // What is drawn: the layout's formats over the document's own format.
    if (const QTextLayout* layout = block.layout()) {
        const QList<QTextLayout::FormatRange> formats = layout->formats();
        // The last range over the offset that sets a colour wins.
        const auto range =
            std::find_if(formats.crbegin(), formats.crend(), [offset](const auto& candidate) {
                return offset >= candidate.start && offset < candidate.start + candidate.length &&
                       candidate.format.hasProperty(QTextFormat::ForegroundBrush);
            });
        if (range != formats.crend())
            return range->format.foreground().color();
    }
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (position >= fragment.position() && position < fragment.position() + fragment.length()) {
            if (fragment.charFormat().hasProperty(QTextFormat::ForegroundBrush))
                return fragment.charFormat().foreground().color();
            break;
        }
    }
    return QColor();
}

void MessageView::paintRun(int start, int end, const QColor& colour) {
    auto first = std::lower_bound(m_runs.begin(), m_runs.end(), start,
                                  [](const Run& run, int pos) { return run.end <= pos; });
    auto last = std::lower_bound(first, m_runs.end(), end,
                                 [](const Run& run, int pos) { return run.start < pos; });
    std::vector<Run> pieces;
    if (first != last && first->start < start)
        pieces.push_back({first->start, start, first->rgb});
    if (colour.isValid())
        pieces.push_back({start, end, colour.rgb()});
    if (first != last && std::prev(last)->end > end)
        pieces.push_back({end, std::prev(last)->end, std::prev(last)->rgb});
    const auto at = m_runs.erase(first, last);
    m_runs.insert(at, pieces.begin(), pieces.end());
}

void MessageView::collectBlocks(std::vector<Run>::const_iterator first,
                                std::vector<Run>::const_iterator last,
                                std::vector<int>& blocks) const {
    for (auto run = first; run != last; ++run)
        collectBlocks(run->start, run->end, blocks);
}

void MessageView::collectBlocks(int start, int end, std::vector<int>& blocks) const {
    QTextBlock block = document()->findBlock(start);
    if (!block.isValid())
        return;
    int number = block.blockNumber();
    // Runs are sorted, so the last block recorded is often this one.
    while (block.isValid() && block.position() < end) {
        if (blocks.empty() || blocks.back() != number)
            blocks.push_back(number);
        block = block.next();
        ++number;
    }
}

void MessageView::refreshBlocks(std::vector<int>& blocks) {
    if (blocks.empty())
        return;
    std::sort(blocks.begin(), blocks.end());
    blocks.erase(std::unique(blocks.begin(), blocks.end()), blocks.end());

    QTextDocument* doc = document();
    int dirtyFrom = -1;
    int dirtyTo = -1;
    QTextBlock block = doc->findBlockByNumber(blocks.front());
    int number = blocks.front();
    auto run = m_runs.cbegin();
    for (const int wanted : blocks) {
        // Neighbouring blocks are reached by stepping, far ones by lookup.
        if (wanted - number <= 16) {
            while (block.isValid() && number < wanted) {
                block = block.next();
                ++number;
            }
        } else {
            block = doc->findBlockByNumber(wanted);
            number = wanted;
        }
        if (!block.isValid())
            break;
        const int blockStart = block.position();
        const int blockEnd = blockStart + block.length() - 1; // without the line break
        run = std::lower_bound(run, m_runs.cend(), blockStart,
                               [](const Run& r, int pos) { return r.end <= pos; });
        QList<QTextLayout::FormatRange> formats;
        for (auto r = run; r != m_runs.cend() && r->start < blockEnd; ++r) {
            const int from = std::max(r->start, blockStart);
            const int to = std::min(r->end, blockEnd);
            if (from < to)
                formats.append({from - blockStart, to - from, formatFor(r->rgb)});
        }
        QTextLayout* layout = block.layout();
        if (formats.isEmpty() && layout->formats().isEmpty())
            continue;
        layout->setFormats(formats);
        if (dirtyFrom < 0)
            dirtyFrom = blockStart;
        dirtyTo = blockStart + block.length();
    }
    blocks.clear();
    // One re-layout request for the whole stretch: the layout then only
    // forgets the lines of those blocks and lays out the visible ones again.
    // Inside a text change this widens the change the layout is told of.
    if (dirtyFrom >= 0) {
        doc->markContentsDirty(dirtyFrom, dirtyTo - dirtyFrom);
        viewport()->update();
    }
}

QTextCharFormat MessageView::formatFor(QRgb rgb) {
    for (const auto& [known, format] : m_formats) {
        if (known == rgb)
            return format;
    }
    QTextCharFormat format;
    format.setForeground(QColor(rgb));
    m_formats.emplace_back(rgb, format);
    return format;
}

void MessageView::onContentsChange(int from, int charsRemoved, int charsAdded) {
    m_textCacheValid = false;
    m_textCache = QString();
    m_hasLines = document()->characterCount() > 1;
    if (m_runs.empty())
        return;

    // Colours stay with their characters: runs after the change move, runs in
    // the replaced stretch lose it, inserted text has the automatic colour.
    // A change that keeps the length is a change of format, not of text.
    if (charsRemoved != charsAdded) {
        const int removedEnd = from + charsRemoved;
        const int delta = charsAdded - charsRemoved;
        std::vector<Run> moved;
        moved.reserve(m_runs.size() + 1);
        for (const Run& run : m_runs) {
            if (run.end <= from) {
                moved.push_back(run);
                continue;
            }
            if (run.start >= removedEnd) {
                moved.push_back({run.start + delta, run.end + delta, run.rgb});
                continue;
            }
            if (run.start < from)
                moved.push_back({run.start, from, run.rgb});
            if (run.end > removedEnd)
                moved.push_back({from + charsAdded, run.end + delta, run.rgb});
        }
        m_runs = std::move(moved);
    }

    // Only the blocks at both ends of the change can have kept a layout (with
    // formats for the old text); blocks inside it are new.
    std::vector<int> blocks;
    const int n = document()->characterCount() - 1;
    const int changeEnd = std::min(from + charsAdded, n);
    collectBlocks(from, from + 1, blocks);
    collectBlocks(changeEnd, changeEnd + 1, blocks);
    auto first = std::lower_bound(m_runs.cbegin(), m_runs.cend(), from,
                                  [](const Run& run, int pos) { return run.end <= pos; });
    for (auto run = first; run != m_runs.cend() && run->start <= changeEnd; ++run)
        collectBlocks(run->start, run->end, blocks);
    refreshBlocks(blocks);
}

// --- clipboard ---------------------------------------------------------------

void MessageView::selectAllAndCopy(Clipboard& clipboard) {
    flushPending();
    selectAll();
    const QString& text = rawText();
    if (!text.isEmpty())
        clipboard.setText(text);
}

void MessageView::pasteText(const QString& text) {
    flushPending();
    if (text.isEmpty())
        return;
    // Typing is refused by the interaction flags only; a cursor of our own
    // still edits the document.
    QTextCursor cursor = textCursor();
    cursor.insertText(text);
    setTextCursor(cursor);
    m_hasLines = true;
}

// --- events ------------------------------------------------------------------

void MessageView::keyPressEvent(QKeyEvent* event) {
    emit keyDown(event->key(), event->modifiers());
    QPlainTextEdit::keyPressEvent(event);
}

void MessageView::mousePressEvent(QMouseEvent* event) {
    QPlainTextEdit::mousePressEvent(event);
    emit mouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void MessageView::mouseDoubleClickEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseDoubleClickEvent(event);
    emit mouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

} // namespace jl
