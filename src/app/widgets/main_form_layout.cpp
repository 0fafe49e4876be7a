// The design layout table and proportional scaling: the client area fixed at
// the first show, the table recorded once, every resize scaling each control
// from its recorded design values.

#include "app/widgets/main_form.h"

#include "util/text_helpers.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>

#include <algorithm>
#include <cmath>

namespace jl {

namespace {

// Menus, menu items and the menu bar are not visual controls in the layout
// table: they get a "0" line and are never scaled or disabled.
bool isVisualControl(const QObject* component) {
    const auto* widget = qobject_cast<const QWidget*>(component);
    return widget && !qobject_cast<const QMenuBar*>(widget) && !qobject_cast<const QMenu*>(widget);
}

} // namespace

bool TMainForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        FormResize();
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm1::FormResize() {
    Scale_Layout();
}

void TMainForm1::fixClientArea() {
    const int clientHeight = ToolTip_Panel->y() + ToolTip_Panel->height() + PageControl1->y();
    const int clientWidth = PageControl1->width() + 2 * PageControl1->x();
    const int menuHeight = MainMenu1->heightForWidth(clientWidth) > 0
                               ? MainMenu1->heightForWidth(clientWidth)
                               : MainMenu1->sizeHint().height();
    resize(clientWidth, clientHeight + menuHeight);
    // The window's layout places the client area below the menu bar now, so
    // the design table records the fixed size.
    if (layout())
        layout()->activate();
}

void TMainForm1::Record_Design_Layout() {
    if (Scaling_ListBox->count() > 0)
        return;
    // Step 1, hiding both scroll bars, has nothing to do: this window never
    // shows any.
    const QSize client = centralWidget()->size();
    Scaling_ListBox->addItem(
        QStringLiteral("%1 %2 W/H Mainform1").arg(client.width()).arg(client.height()));
    for (QObject* component : m_components) {
        if (!isVisualControl(component)) {
            Scaling_ListBox->addItem(QStringLiteral("0"));
            continue;
        }
        const auto* widget = static_cast<QWidget*>(component);
        Scaling_ListBox->addItem(QStringLiteral("%1 %2 %3 %4 %5 %6")
                                     .arg(widget->x())
                                     .arg(widget->width())
                                     .arg(widget->y())
                                     .arg(widget->height())
                                     .arg(widget->font().pointSize())
                                     .arg(widget->objectName()));
    }
}

void TMainForm1::Scale_Layout() {
    if (Scaling_ListBox->count() == 0)
        return;
    const QString blank = QStringLiteral(" ");
    const QString line0 = Scaling_ListBox->item(0)->text();
    const int designWidth = Get_Field_As_Integer(line0, blank, 1);
    const int designHeight = Get_Field_As_Integer(line0, blank, 2);
    if (designWidth <= 0 || designHeight <= 0)
        return;
    const QSize client = centralWidget()->size();
    const double widthRatio = static_cast<double>(client.width()) / designWidth;
    const double heightRatio = static_cast<double>(client.height()) / designHeight;
    const double fontRatio = std::min(widthRatio, heightRatio);
    auto scaled = [](int value, double ratio) {
        return static_cast<int>(std::trunc(value * ratio));
    };

    const int lines = Scaling_ListBox->count();
    for (size_t i = 0; i < m_components.size() && static_cast<int>(i) + 1 < lines; ++i) {
        const QString line = Scaling_ListBox->item(static_cast<int>(i) + 1)->text();
        if (line.size() <= 1)
            continue;
        auto* widget = qobject_cast<QWidget*>(m_components[i]);
        if (!widget)
            continue;
        const int left = scaled(Get_Field_As_Integer(line, blank, 1), widthRatio);
        const int width = scaled(Get_Field_As_Integer(line, blank, 2), widthRatio);
        const int top = scaled(Get_Field_As_Integer(line, blank, 3), heightRatio);
        const int height = scaled(Get_Field_As_Integer(line, blank, 4), heightRatio);
        const int points = scaled(Get_Field_As_Integer(line, blank, 5), fontRatio);
        // The pages of the tab control are placed by the tab control itself.
        if (PageControl1->indexOf(widget) < 0)
            widget->setGeometry(left, top, std::max(0, width), std::max(0, height));
        // A font cannot shrink to nothing: a very small window keeps 1 point.
        // An unchanged size is not set again, which would re-lay out the text.
        if (widget->font().pointSize() != std::max(1, points)) {
            QFont font = widget->font();
            font.setPointSize(std::max(1, points));
            widget->setFont(font);
        }
    }
    fitStatisticsTable();
}

// --- a picture of every page ------------------------------------------------------------

QImage TMainForm1::pagesPicture() {
    QList<QImage> shots;
    for (QWidget* page : {TabSheet1, TabSheet2, m_statisticsPage}) {
        PageControl1->setCurrentWidget(page);
        if (page == m_statisticsPage)
            m_refreshStatisticsButton->click();
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        shots.append(grab().toImage());
    }
    const int gap = 16;
    int width = 0;
    int height = -gap;
    for (const QImage& shot : shots) {
        width = std::max(width, shot.width());
        height += shot.height() + gap;
    }
    QImage picture(width, height, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    int top = 0;
    for (const QImage& shot : shots) {
        painter.drawImage(0, top, shot);
        top += shot.height() + gap;
    }
    return picture;
}

} // namespace jl
