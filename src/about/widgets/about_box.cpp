#include "about/widgets/about_box.h"

#include "about/widgets/app_icon.h"
#include "util/product.h"

#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace jl {

namespace {

constexpr int kClientWidth = 622;
constexpr int kClientHeight = 411;

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, const QRect& bounds) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(bounds);
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent, MemorySource memorySource)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_memorySource(memorySource ? std::move(memorySource) : MemorySource(currentMemoryStatus)) {
    setObjectName(QStringLiteral("AboutBox"));
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);

    // The tool's icon in the top right corner, beside the name and date.
    constexpr int kIconSize = 64;
    auto* picture = makeLabel(this, QStringLiteral("Program_Icon_Image"), QString(),
                              QRect(kClientWidth - 24 - kIconSize, 20, kIconSize, kIconSize));
    picture->setPixmap(applicationIcon().pixmap(kIconSize, kIconSize));

    Product_Name_Label =
        makeLabel(this, QStringLiteral("Product_Name_Label"), QString(), QRect(24, 24, 490, 44));
    QFont big = Product_Name_Label->font();
    big.setPointSize(22);
    big.setBold(true);
    Product_Name_Label->setFont(big);

    Author_and_Date_Label =
        makeLabel(this, QStringLiteral("Author_and_Date_Label"), QString(), QRect(24, 76, 490, 24));

    auto* comments = makeLabel(
        this, QStringLiteral("Comments_Label"),
        QStringLiteral("Steps through a folder of saved junk e-mail messages one file at a time, "
                       "shows the part of each message you choose, colours what you have already "
                       "collected, and gathers the recurring tell-tale strings (addresses, host "
                       "names, identifiers) in one sorted list of interesting items."),
        QRect(24, 120, 574, 100));
    comments->setWordWrap(true);
    comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    makeLabel(this, QStringLiteral("Free_Resources_Caption_Label"),
              QStringLiteral("Free System Resources :"), QRect(24, 300, 190, 24));
    Free_Resources_Label = makeLabel(this, QStringLiteral("Free_Resources_Label"),
                                     QStringLiteral("Free %"), QRect(220, 300, 120, 24));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry((kClientWidth - 100) / 2, 352, 100, 32);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);

    Free_Resources_Timer = new QTimer(this);
    Free_Resources_Timer->setObjectName(QStringLiteral("Free_Resources_Timer"));
    Free_Resources_Timer->setInterval(500);
    connect(Free_Resources_Timer, &QTimer::timeout, this, &TAboutBox::Free_Resources_TimerTimer);
}

void TAboutBox::setProductTexts() {
    setWindowTitle(QStringLiteral("About ") + productCaption() + QStringLiteral(" ..."));
    Product_Name_Label->setText(productCaption());
    Author_and_Date_Label->setText(QStringLiteral("September 2007") + QStringLiteral(", ") +
                                   QStringLiteral("the Junkloupe developers"));
}

QString TAboutBox::productName() const {
    return Product_Name_Label->text();
}

void TAboutBox::FormActivate() {
    Free_Resources_Timer->start();
    Free_Resources_TimerTimer();
}

void TAboutBox::Free_Resources_TimerTimer() {
    if (const std::optional<MemoryStatus> status = m_memorySource())
        Free_Resources_Label->setText(freeMemoryText(*status));
}

void TAboutBox::OKButtonClick() {
    accept();
}

void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
    FormActivate();
}

void TAboutBox::hideEvent(QHideEvent* event) {
    Free_Resources_Timer->stop();
    QDialog::hideEvent(event);
}

void TAboutBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        OKButtonClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAboutBox::done(int result) {
    // However the dialog closes, the refreshes stop with it.
    Free_Resources_Timer->stop();
    QDialog::done(result);
}

} // namespace jl
