#include "support/modal.h"
#include "support/temp_folder.h"
#include "util/widgets/qt_dialogs.h"

#include "qstring_printer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace jl {
namespace {

using test::whenModal;

// The file dialog keeps its history in the user's settings: point those at a
// temporary folder so the tests never write into the real home directory.
class QtDialogsTest : public testing::Test {
protected:
    void SetUp() override {
        for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, settingsFolder.path());
    }
    test::TempFolder settingsFolder;
};

void answer(QWidget* modal, QMessageBox::StandardButton button, QString* seenText) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    *seenText = box->text();
    box->button(button)->click();
}

TEST_F(QtDialogsTest, MessageBoxesCarryTheTitleIconAndButtons) {
    setApplicationTitle(QStringLiteral("Junkloupe v1.0f"));
    QtDialogs dialogs;
    QMessageBox::Icon icon{};
    QString title;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        icon = box->icon();
        title = test::titleAsShown(box);
        box->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(dialogs.confirm(QStringLiteral("Remove \"x\" ?   Are you sure ?")));
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_EQ(title, QStringLiteral("Junkloupe v1.0f"));

    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.error(QStringLiteral("Error: x"));
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST_F(QtDialogsTest, TypedDirectoryIsCreatedAfterAYes) {
    test::TempFolder folder;
    const QString wanted = folder.file(QStringLiteral("new/deeper"));
    QtDialogs dialogs;
    QString title;
    QString firstQuestion;
    QString secondQuestion;
    bool stayedOpen = false;

    auto typeAndAccept = [&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        title = test::titleAsShown(dialog);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(wanted);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    };
    whenModal([&](QWidget* modal) {
        typeAndAccept(modal);
        // First question: No keeps the dialog open.
        whenModal([&](QWidget* box) {
            answer(box, QMessageBox::No, &firstQuestion);
            QTimer::singleShot(50, [&] {
                QWidget* again = QApplication::activeModalWidget();
                stayedOpen = qobject_cast<QFileDialog*>(again) != nullptr;
                if (!stayedOpen)
                    return;
                typeAndAccept(again);
                whenModal([&](QWidget* box2) { answer(box2, QMessageBox::Yes, &secondQuestion); });
            });
        });
    });
    const QString chosen = dialogs.chooseDirectory(folder.path());
    EXPECT_EQ(title, QStringLiteral("Select Directory"));
    EXPECT_EQ(firstQuestion, QStringLiteral("The specified directory does not exist. Create it?"));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(secondQuestion, firstQuestion);
    EXPECT_TRUE(QFileInfo(wanted).isDir());
    EXPECT_EQ(QFileInfo(chosen).canonicalFilePath(), QFileInfo(wanted).canonicalFilePath());
}

TEST_F(QtDialogsTest, CancelGivesTheEmptyText) {
    QtDialogs dialogs;
    whenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_EQ(dialogs.chooseDirectory(QStringLiteral("/")), QString());
}

} // namespace
} // namespace jl
