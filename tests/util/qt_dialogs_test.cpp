#include "support/modal.h"
#include "support/temp_folder.h"
#include "util/widgets/qt_dialogs.h"

#include "qstring_printer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
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

// The chooser's confirming button ("Choose").
QPushButton* chooseButton(QFileDialog* dialog) {
    auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    return box ? box->button(QDialogButtonBox::Open) : nullptr;
}

// Types a name into the chooser as a user does, the name field holding the
// focus (the field then drops an earlier selection in the list of files).
void typeName(QFileDialog* dialog, const QString& name) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QApplication::setActiveWindow(dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    edit->setFocus();
    ASSERT_TRUE(edit->hasFocus());
    edit->setText(name);
}

TEST_F(QtDialogsTest, TypedDirectoryIsCreatedAfterAYesThroughTheButtonAndEnterAlike) {
    const struct {
        const char* how;
        QString name;
        std::function<void(QFileDialog*)> confirm;
    } cases[] = {
        {"the Choose button", "new/deeper",
         [](QFileDialog* dialog) { QTest::mouseClick(chooseButton(dialog), Qt::LeftButton); }},
        {"Enter", "new/deeper",
         [](QFileDialog* dialog) {
             QTest::keyClick(dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")),
                             Qt::Key_Return);
         }},
        {"the Choose button", "ends in a blank ",
         [](QFileDialog* dialog) { QTest::mouseClick(chooseButton(dialog), Qt::LeftButton); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        test::TempFolder folder;
        const QString wanted = folder.file(c.name);
        QtDialogs dialogs;
        QString title;
        bool canChoose = false;
        QString firstQuestion;
        QString secondQuestion;
        bool stayedOpen = false;
        whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            title = test::titleAsShown(dialog);
            typeName(dialog, wanted);
            canChoose = chooseButton(dialog)->isEnabled();
            if (!canChoose) {
                dialog->reject();
                return;
            }
            // No keeps the dialog open; Yes creates the directory and chooses it.
            whenModal([&](QWidget* box) { answer(box, QMessageBox::No, &firstQuestion); });
            c.confirm(dialog);
            stayedOpen = dialog->isVisible();
            whenModal([&](QWidget* box) { answer(box, QMessageBox::Yes, &secondQuestion); });
            c.confirm(dialog);
        });
        const QString chosen = dialogs.chooseDirectory(folder.path());
        EXPECT_EQ(title, QStringLiteral("Select Directory"));
        EXPECT_TRUE(canChoose);
        EXPECT_EQ(firstQuestion,
                  QStringLiteral("The specified directory does not exist. Create it?"));
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(secondQuestion, firstQuestion);
        EXPECT_TRUE(QFileInfo(wanted).isDir());
        EXPECT_EQ(chosen, wanted);
    }
}

TEST_F(QtDialogsTest, ChooseIsGreyOnlyForTheNameOfAFile) {
    test::TempFolder folder;
    const QString plain = folder.write(QStringLiteral("plain.eml"), "x");
    const std::pair<QString, bool> typed[] = {
        {plain, false},
        {folder.file("gone"), true},
        {plain, false},
        {plain + "x", true},
        {folder.path(), true},
        {plain, false},
        {folder.file("x/y"), true},
    };
    QtDialogs dialogs;
    std::vector<bool> canChoose;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        for (const auto& [text, expected] : typed) {
            typeName(dialog, text);
            canChoose.push_back(chooseButton(dialog)->isEnabled());
        }
        dialog->reject();
    });
    EXPECT_EQ(dialogs.chooseDirectory(folder.path()), QString());
    ASSERT_EQ(canChoose.size(), std::size(typed));
    for (size_t i = 0; i < canChoose.size(); ++i)
        EXPECT_EQ(canChoose[i], typed[i].second) << qPrintable(typed[i].first);
}

TEST_F(QtDialogsTest, ChoiceOfOneStartsAtTheCurrentAndGivesTheIndexChosen) {
    const QStringList choices{"spamassassin: rules", "postfix: table", "csv: rows"};
    QtDialogs dialogs;
    QString title;
    QString shownFirst;
    bool editable = true;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        title = test::titleAsShown(dialog);
        shownFirst = dialog->textValue();
        editable = dialog->isComboBoxEditable();
        dialog->setTextValue(choices.at(2));
        dialog->accept();
    });
    EXPECT_EQ(dialogs.chooseOne(QStringLiteral("Export"), QStringLiteral("Format :"), choices, 1),
              2);
    EXPECT_EQ(title, QStringLiteral("Export"));
    EXPECT_EQ(shownFirst, choices.at(1));
    EXPECT_FALSE(editable);

    whenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_EQ(dialogs.chooseOne(QStringLiteral("Export"), QStringLiteral("Format :"), choices, 0),
              -1);
}

TEST_F(QtDialogsTest, CancelGivesTheEmptyText) {
    QtDialogs dialogs;
    whenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_EQ(dialogs.chooseDirectory(QStringLiteral("/")), QString());
}

} // namespace
} // namespace jl
