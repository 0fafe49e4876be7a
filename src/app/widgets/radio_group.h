#pragma once
// A framed group of mutually exclusive choices with one chosen item index
// (-1 when none is chosen). Changing the choice, by a click or by
// setItemIndex(), raises clicked() once; choosing the item that is already
// chosen raises nothing.

#include <QGroupBox>
#include <QStringList>

#include <vector>

class QRadioButton;

namespace jl {

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

    int itemIndex() const { return m_index; }
    // Values below -1 choose nothing; values past the last item choose the last.
    void setItemIndex(int index);
    int count() const { return static_cast<int>(m_buttons.size()); }
    QRadioButton* button(int index) const { return m_buttons[static_cast<size_t>(index)]; }

signals:
    void clicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void choose(int index);
    void arrangeButtons();

    std::vector<QRadioButton*> m_buttons;
    int m_index = -1;
    bool m_updatingButtons = false;
};

} // namespace jl
