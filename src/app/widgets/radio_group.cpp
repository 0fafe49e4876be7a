#include "app/widgets/radio_group.h"

#include <QEvent>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionGroupBox>

#include <algorithm>

namespace jl {

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent) {
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        // The group decides exclusivity itself so that "nothing chosen" can
        // be shown as well.
        button->setAutoExclusive(false);
        connect(button, &QRadioButton::clicked, this, [this, i] {
            if (m_updatingButtons)
                return;
            choose(i);
        });
        m_buttons.push_back(button);
    }
    arrangeButtons();
}

void RadioGroup::setItemIndex(int index) {
    if (index < -1)
        index = -1;
    if (index >= count())
        index = count() - 1;
    choose(index);
}

void RadioGroup::choose(int index) {
    const bool changed = index != m_index;
    m_index = index;
    m_updatingButtons = true;
    for (int i = 0; i < count(); ++i)
        m_buttons[static_cast<size_t>(i)]->setChecked(i == index);
    m_updatingButtons = false;
    if (changed)
        emit clicked();
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    arrangeButtons();
}

void RadioGroup::changeEvent(QEvent* event) {
    QGroupBox::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        arrangeButtons();
}

// The items share the area below the caption in equal rows, one above the
// other, as the group is scaled with the window.
void RadioGroup::arrangeButtons() {
    if (m_buttons.empty())
        return;
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    const QRect contents =
        style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, this);
    const int top = std::max(contents.top(), fontMetrics().height());
    const int bottom = height() - 4;
    const int rowHeight = std::max(1, (bottom - top) / count());
    const int buttonHeight = std::min(rowHeight, m_buttons.front()->sizeHint().height());
    for (int i = 0; i < count(); ++i) {
        const int y = top + i * rowHeight + (rowHeight - buttonHeight) / 2;
        m_buttons[static_cast<size_t>(i)]->setGeometry(8, y, std::max(1, width() - 16),
                                                       buttonHeight);
    }
}

} // namespace jl
