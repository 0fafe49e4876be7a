// The window's texts as the user sees them: titles of the windows and
// dialogs, message boxes whose lines are the lines of their text.

#include "about/widgets/about_box.h"
#include "app/settings.h"
#include "desktop/auto_run.h"
#include "support/modal.h"
#include "support/window_fixture.h"
#include "util/widgets/qt_dialogs.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace jl::test {
namespace {

class WindowTextsTest : public WindowTest {};

// Every window and dialog carries exactly its own title; the desktop adds
// nothing to it.
TEST_F(WindowTextsTest, TitlesAreExactlyAsGiven) {
    open();
    QtDialogs real(form.get());
    QStringList titles{titleAsShown(form.get())};
    whenModal([&](QWidget* modal) {
        titles << titleAsShown(modal);
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
    });
    real.error(QStringLiteral("Error: There are no files in the list."));
    whenModal([&](QWidget* modal) {
        titles << titleAsShown(modal);
        qobject_cast<TAboutBox*>(modal)->OKButton->click();
    });
    action("AboutOption")->trigger();
    // The chooser, and its question about a typed directory that is missing.
    whenModal([&](QWidget* modal) {
        auto* chooser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(chooser, nullptr);
        titles << titleAsShown(chooser);
        chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(messages.file(QStringLiteral("missing")));
        whenModal([&, chooser](QWidget* question) {
            titles << titleAsShown(question);
            qobject_cast<QMessageBox*>(question)->button(QMessageBox::No)->click();
            QTimer::singleShot(0, chooser, &QFileDialog::reject);
        });
        QMetaObject::invokeMethod(chooser, "accept", Qt::QueuedConnection);
    });
    EXPECT_EQ(real.chooseDirectory(messages.path()), QString());
    EXPECT_EQ(titles,
              QStringList({"Junkloupe v1.0f", "Junkloupe v1.0f", "About Junkloupe v1.0f ...",
                           "Select Directory", "Junkloupe v1.0f"}));
}

// The lines a message box shows: the height its text needs at its width, in
// lines, and whether the box fits on the screen.
struct ShownBox {
    int lines = 0;
    bool onScreen = false;
};

ShownBox showWarning(QtDialogs& real, const QString& text) {
    ShownBox shown;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        shown.lines = label->heightForWidth(label->width()) / label->fontMetrics().lineSpacing();
        shown.onScreen = box->width() <= box->screen()->availableGeometry().width();
        if (const QString folder = qEnvironmentVariable("JUNKLOUPE_TEST_PICTURES");
            !folder.isEmpty())
            box->grab().save(folder + QStringLiteral("/message-box-%1.png").arg(text.size()));
        box->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(real.warn(text));
    return shown;
}

TEST_F(WindowTextsTest, MessageBoxesShowTheLinesOfTheirText) {
    open();
    QtDialogs real(form.get());
    const QString texts[] = {
        restoreFactoryDefaultsWarning(),
        autoRunRelocationQuestion(
            QStringLiteral("junkloupe"),
            QStringLiteral("/home/someone/Downloads/junkloupe-1.0f/junkloupe"),
            QStringLiteral("/home/someone/.local/bin/junkloupe")),
    };
    for (const QString& text : texts) {
        const ShownBox shown = showWarning(real, text);
        EXPECT_EQ(shown.lines, text.count(QLatin1Char('\n')) + 1) << text.toStdString();
        EXPECT_TRUE(shown.onScreen);
    }
    // Only a line wider than the widest box is wrapped.
    const QString path = QStringLiteral("/very/long/path").repeated(40);
    const ShownBox shown = showWarning(real, QStringLiteral("Old = ") + path + "\nDone ?");
    EXPECT_GT(shown.lines, 2);
    EXPECT_TRUE(shown.onScreen);
}

} // namespace
} // namespace jl::test
