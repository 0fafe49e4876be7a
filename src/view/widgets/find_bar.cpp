#include "view/widgets/find_bar.h"

#include "view/widgets/message_view.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace jl {

namespace {

// A longer selection is hardly a term someone wants to find again.
constexpr int kLongestSeed = 1000;

void setHint(QWidget* widget, const QString& hint) {
    widget->setToolTip(hint);
    widget->setStatusTip(hint);
}

} // namespace

FindBar::FindBar(MessageView* view) : QWidget(view), m_view(view), m_viewport(view->viewport()) {
    setAttribute(Qt::WA_NoMousePropagation);
    setAutoFillBackground(true);

    auto* label = new QLabel(QStringLiteral("Find:"), this);
    m_term = new QLineEdit(this);
    m_term->setObjectName(QStringLiteral("termEdit"));
    setHint(m_term, QStringLiteral("Text to find in the message shown, letter case ignored"));
    label->setBuddy(m_term);
    auto button = [this](const char* name, const QString& caption, const QString& hint) {
        auto* tool = new QToolButton(this);
        tool->setObjectName(QString::fromLatin1(name));
        tool->setText(caption);
        tool->setAutoRaise(true);
        setHint(tool, hint);
        return tool;
    };
    m_previous = button("previousButton", QStringLiteral("Previous"),
                        QStringLiteral("Go to the previous match (Shift+F3)"));
    m_previous->setArrowType(Qt::UpArrow);
    m_previous->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_next =
        button("nextButton", QStringLiteral("Next"), QStringLiteral("Go to the next match (F3)"));
    m_next->setArrowType(Qt::DownArrow);
    m_next->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    m_status->setTextFormat(Qt::PlainText);
    m_close = button("closeButton", QString(), QStringLiteral("Close the find bar (Escape)"));
    m_close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 2, 2);
    layout->setSpacing(4);
    layout->addWidget(label);
    layout->addWidget(m_term, 3);
    layout->addWidget(m_previous);
    layout->addWidget(m_next);
    layout->addWidget(m_status, 2);
    layout->addWidget(m_close);

    connect(m_term, &QLineEdit::textEdited, this, &FindBar::termEdited);
    connect(m_previous, &QToolButton::clicked, this, [this] { findPrevious(); });
    connect(m_next, &QToolButton::clicked, this, [this] { findNext(); });
    connect(m_close, &QToolButton::clicked, this, &FindBar::closeBar);
    // A new text (another file, a paste) changes the count.
    connect(m_view, &QPlainTextEdit::textChanged, this, &FindBar::refreshLater);
    m_term->installEventFilter(this);
    m_viewport->installEventFilter(this);
    hide();
}

QString FindBar::term() const {
    return m_term->text();
}

QString FindBar::status() const {
    return m_status->text();
}

void FindBar::open() {
    const QString selected = m_view->selectedText();
    if (!selected.isEmpty() && selected.size() <= kLongestSeed &&
        !selected.contains(QLatin1Char('\n')))
        m_term->setText(selected);
    reveal();
    m_term->setFocus(Qt::ShortcutFocusReason);
    m_term->selectAll();
    showCount();
}

void FindBar::closeBar() {
    hide();
    m_view->reserveBelowText(0);
    m_view->setFocus(Qt::OtherFocusReason);
}

bool FindBar::findNext() {
    return find(Direction::Forward);
}

bool FindBar::findPrevious() {
    return find(Direction::Backward);
}

bool FindBar::find(Direction direction) {
    if (term().isEmpty()) {
        open();
        return false;
    }
    reveal();
    updateSearch();
    const int start = m_view->selectionStart();
    return select(direction == Direction::Forward ? m_search.next(start, m_view->selectionLength())
                                                  : m_search.previous(start),
                  direction);
}

void FindBar::termEdited() {
    updateSearch();
    if (term().isEmpty()) {
        m_status->clear();
        return;
    }
    // Each longer term is looked for from where the shorter one was found.
    const int start = m_view->selectionStart();
    if (!select(m_search.from(start), Direction::Forward))
        m_view->setSelectionStart(start); // nothing selected that is not a match
}

bool FindBar::select(const FoundMatch& match, Direction direction) {
    if (match.start < 0) {
        m_status->setText(QStringLiteral("No match"));
        return false;
    }
    m_view->select(match.start, int(m_search.term().size()));
    QString text = QStringLiteral("%1 of %2").arg(match.number).arg(match.count);
    if (match.wrapped)
        text += direction == Direction::Forward ? QStringLiteral(", from the top")
                                                : QStringLiteral(", from the end");
    m_status->setText(text);
    return true;
}

void FindBar::updateSearch() {
    m_search.setText(m_view->wholeText());
    m_search.setTerm(term());
}

void FindBar::showCount() {
    updateSearch();
    if (term().isEmpty()) {
        m_status->clear();
        return;
    }
    const int count = m_search.count();
    const int start = m_view->selectionStart();
    const FoundMatch here = m_search.from(start);
    if (count == 0)
        m_status->setText(QStringLiteral("No match"));
    else if (here.start == start && m_view->selectionLength() == m_search.term().size())
        m_status->setText(QStringLiteral("%1 of %2").arg(here.number).arg(count));
    else
        m_status->setText(count == 1 ? QStringLiteral("1 match")
                                     : QStringLiteral("%1 matches").arg(count));
}

void FindBar::refreshLater() {
    // A file is shown in a few changes (cleared, filled, coloured): count
    // once they are done.
    if (isHidden() || m_refreshPending)
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshPending = false;
        if (!isHidden())
            showCount();
    });
}

// --- placing the bar ------------------------------------------------------------

void FindBar::reveal() {
    if (!isHidden())
        return;
    show();
    fit();
}

void FindBar::fit() {
    // The view keeps a margin below its text as high as the bar, so the bar
    // never covers a line, and the bar fills it.
    const int height = sizeHint().height();
    m_view->reserveBelowText(height);
    place(height);
}

void FindBar::place(int height) {
    const QRect text = m_viewport->geometry();
    setGeometry(text.left(), text.bottom() + 1, text.width(), height);
}

bool FindBar::event(QEvent* event) {
    const bool done = QWidget::event(event);
    // A new font (the window scaled) gives the bar another height.
    if (event->type() == QEvent::LayoutRequest && !isHidden())
        fit();
    return done;
}

// --- keys and clicks ---------------------------------------------------------------

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    // Compared with the pointer kept at the start: the viewport also sends
    // events while the view is being destroyed, when the view can no longer
    // be asked for it.
    if (watched == m_viewport) {
        if ((event->type() == QEvent::Resize || event->type() == QEvent::Move) && !isHidden())
            place(height());
        return false;
    }
    if (watched == m_term && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            closeBar();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier)
                findPrevious();
            else
                findNext();
            return true;
        }
    }
    return false;
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    // Keys the field and the buttons leave (arrows, page keys) stop here:
    // passed on, they would move the view's caret and widen its selection.
    if (event->key() == Qt::Key_Escape)
        closeBar();
    event->accept();
}

void FindBar::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

} // namespace jl
