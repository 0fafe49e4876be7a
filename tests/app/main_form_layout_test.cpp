// The window's controls, its design layout table, proportional scaling and
// the status line.

#include "support/window_fixture.h"
#include "util/widgets/qt_dialogs.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QEnterEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTest>

#include <algorithm>
#include <set>

namespace jl::test {
namespace {

struct ButtonRow {
    const char* name;
    const char* caption;
    const char* hint;
    QRect bounds;
};

const ButtonRow kButtons[] = {
    {"Add_All_Files_In_A_Directory_BitBtn",
     "Files in Directory",
     "Add all files in a selected directory",
     {6, 16, 133, 28}},
    {"File_List_Delete_Selected_Files_BitBtn",
     "Remove File",
     "Remove the selected file from the file list",
     {6, 45, 133, 28}},
    {"File_List_Erase_BitBtn", "Erase", "Erase the list of files", {6, 74, 65, 28}},
    {"File_List_Copy_To_Clipboard_BitBtn",
     "Copy",
     "Copy the list of files to Windows Clipboard",
     {74, 74, 65, 28}},
    {"BitBtn1",
     "Next File containing No Interesting Items",
     "Go to the next file in the list which does NOT contains any text from the \"Interesting "
     "Items\" list",
     {128, 369, 326, 28}},
    {"First_File_BitBtn",
     "First File",
     "Go to the first file in the list of files",
     {5, 399, 93, 28}},
    {"Previous_File_BitBtn",
     "Prev File",
     "Go back to the previous file in the list of files",
     {100, 399, 93, 28}},
    {"Next_File_BitBtn",
     "Next File",
     "Go to the next file in the list of files",
     {195, 399, 93, 28}},
    {"Last_File_BitBtn",
     "Last File",
     "Go to the last file in the list of files",
     {290, 399, 93, 28}},
    {"File_Contents_Copy_To_Clipboard_BitBtn",
     "Copy",
     "Copy the current file's contents to Windows Clipboard",
     {385, 399, 93, 28}},
    {"File_Contents_Paste_BitBtn",
     "Paste",
     "Paste text / file contents from Windows Clipboard",
     {480, 399, 93, 28}},
    {"Interesting_Items_Add_Selected_Text_BitBtn",
     "Add Text",
     "Add selected text / file contents to the list of \"Interesting Items\"",
     {8, 296, 92, 28}},
    {"Interesting_Items_Delete_Selected_Item_BitBtn",
     "Del Text",
     "Delete all selected items from the \"Interesting Items\" list",
     {104, 296, 92, 28}},
    {"Interesting_Items_Copy_To_Clipboard_BitBtn",
     "Copy",
     "Copy the list of \"Interesting Items\" to Windows Clipboard",
     {8, 326, 92, 28}},
    {"Interesting_Items_Paste_Merge_From_Clipboard_BitBtn",
     "Paste",
     "Paste and Merge the list of \"Interesting Items\" from Windows Clipboard",
     {104, 326, 92, 28}},
    {"Erase_Interesting_Items_List_BitBtn",
     "Erase All",
     "Erase the list of \"Interesting Items\"",
     {64, 356, 92, 28}},
    {"Exit_1_BitBtn", "Exit", "Exit this program", {627, 394, 150, 35}},
    {"Exit_2_BitBtn", "Exit", "Exit this program", {627, 394, 150, 35}},
};

TEST_F(WindowTest, EveryButtonHasItsNameCaptionHintAndBounds) {
    create();
    EXPECT_EQ(form->objectName(), "MainForm1");
    for (const ButtonRow& row : kButtons) {
        SCOPED_TRACE(row.name);
        auto* button = form->findChild<QPushButton*>(QString::fromLatin1(row.name));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromUtf8(row.caption));
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(row.hint));
        EXPECT_EQ(button->statusTip(), QString::fromUtf8(row.hint));
        EXPECT_EQ(button->geometry(), row.bounds);
        EXPECT_FALSE(button->icon().isNull());
        EXPECT_EQ(button->iconSize(), QSize(16, 16));
    }
    // Glyph right on exactly these three.
    EXPECT_EQ(button("BitBtn1")->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(button("Next_File_BitBtn")->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(button("Last_File_BitBtn")->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(button("First_File_BitBtn")->layoutDirection(), Qt::LeftToRight);
}

TEST_F(WindowTest, PagesGroupsAndOptionsHaveTheirCaptionsAndFonts) {
    create();
    EXPECT_EQ(form->windowTitle(), "??");
    EXPECT_EQ(control<QTabWidget>("PageControl1")->count(), 3);
    EXPECT_EQ(control<QTabWidget>("PageControl1")->tabText(0), "Junkloupe");
    EXPECT_EQ(control<QTabWidget>("PageControl1")->tabText(1), "Program Settings");
    EXPECT_EQ(control<QTabWidget>("PageControl1")->tabText(2), "Statistics");
    EXPECT_EQ(control<QTabWidget>("PageControl1")->widget(0), control("TabSheet1"));
    EXPECT_EQ(control<QTabWidget>("PageControl1")->geometry(), QRect(4, 2, 801, 465));
    EXPECT_EQ(control<QLabel>("ToolTip_Panel")->geometry(), QRect(4, 468, 801, 29));
    EXPECT_EQ(control<QGroupBox>("File_Contents_GroupBox")->title(), " File List : ");
    EXPECT_EQ(control<QGroupBox>("Interesting_Unique_Text_GroupBox")->title(),
              " Interesting (Unique) Items : ");
    EXPECT_EQ(control<QGroupBox>("GroupBox1")->title(), " Auto-Save Interesting Items List : ");
    EXPECT_EQ(control<QCheckBox>("Auto_Save_Interesting_Items_List_CheckBox")->text(),
              "After every change to the list");
    EXPECT_EQ(control<QGroupBox>("File_Processing_Progress_GroupBox")->title(),
              " File Processing Progress : ");

    const struct {
        RadioGroup* group;
        const char* caption;
        QStringList items;
    } groups[] = {
        {group("Expand_Selection_RadioGroup"),
         " File Contents - Automatically Expand Your Selection : ",
         {"On Key Press", "On Left Mouse Click", "On Either / Both", "None (Manual)"}},
        {group("File_Contents_Filter_RadioGroup"),
         " File Contents - Show / View : ",
         {"First Email Header only", "All Headers in Email",
          "All \"Printable\" / \"Readable\" Text"}},
        {group("File_Contents_Colour_Coding_RadioGroup"),
         " File Contents - Colour Coding : ",
         {"No Colour Coding", "Colour Code \"Received\" and \"Message-Id\" labels",
          "Colour Code items already in the \"Interesting Items\" list", "Colour Code Everything"}},
    };
    for (const auto& g : groups) {
        SCOPED_TRACE(g.caption);
        EXPECT_EQ(g.group->title(), QString::fromUtf8(g.caption));
        ASSERT_EQ(g.group->count(), g.items.size());
        for (int i = 0; i < g.group->count(); ++i)
            EXPECT_EQ(g.group->button(i)->text(), g.items[i]);
    }

    EXPECT_EQ(form->font().family(), "Times New Roman");
    EXPECT_EQ(form->font().pointSize(), 11);
    EXPECT_EQ(control<QLabel>("ToolTip_Panel")->font().pointSize(), 12);
    EXPECT_EQ(view()->font().pointSize(), 12);
    EXPECT_EQ(button("Exit_1_BitBtn")->font().pointSize(), 14);
    EXPECT_FALSE(button("Exit_1_BitBtn")->font().bold());
    EXPECT_TRUE(button("Exit_2_BitBtn")->font().bold());
    EXPECT_EQ(group("Expand_Selection_RadioGroup")->font().pointSize(), 12);
    EXPECT_TRUE(control<SortedListBox>("File_List_ListBox")->font().bold());
    EXPECT_EQ(control<SortedListBox>("File_List_ListBox")->font().pointSize(), 10);
}

TEST_F(WindowTest, RadioGroupRunsItsClickOnlyWhenTheChoiceChanges) {
    create();
    RadioGroup* choice = group("Expand_Selection_RadioGroup");
    int clicks = 0;
    QObject::connect(choice, &RadioGroup::clicked, [&] { ++clicks; });
    choice->setItemIndex(2);
    choice->setItemIndex(2);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(choice->button(2)->isChecked());
    choice->setItemIndex(-5); // below -1 chooses nothing
    EXPECT_EQ(choice->itemIndex(), -1);
    for (int i = 0; i < choice->count(); ++i)
        EXPECT_FALSE(choice->button(i)->isChecked());
    choice->setItemIndex(7); // past the last chooses the last
    EXPECT_EQ(choice->itemIndex(), 3);
    choice->button(0)->click();
    EXPECT_EQ(choice->itemIndex(), 0);
    EXPECT_FALSE(choice->button(3)->isChecked());
    choice->button(0)->click(); // a click on the chosen item changes nothing
    EXPECT_TRUE(choice->button(0)->isChecked());
    EXPECT_EQ(clicks, 4);
}

TEST_F(WindowTest, MenusHaveEveryItemInOrder) {
    create();
    EXPECT_EQ(control<QMenuBar>("MainMenu1")->objectName(), "MainMenu1");
    const QList<QAction*> menus = control<QMenuBar>("MainMenu1")->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "&File");
    EXPECT_EQ(menus[1]->text(), "&Help");

    auto describe = [](QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions())
            out << a->objectName() + "|" + (a->isSeparator() ? "-" : a->text()) +
                       (a->isCheckable() ? "|tick" : "");
        return out;
    };
    const char* programsItem =
        "Create_Shortcut_on_Start_Programs_Menu_Option|Create Shortcut on Start -> Programs Menu";
    EXPECT_EQ(describe(control<QMenu>("FileMenu")),
              QStringList({"Always_On_Top_Option|Always &On Top|tick",
                           "Auto_Run_at_Windows_Startup_Option|&Auto-Run at Windows Startup|tick",
                           "Restore_Factory_Defaults_Option|&Restore Factory Defaults", "N2|-",
                           "Create_Shortcut_on_Desktop_Option|Create Shortcut on Desktop",
                           "Create_Shortcut_on_Start_Menu_Option|Create Shortcut on Start Menu",
                           programsItem,
                           "Create_Shortcut_on_SendTo_Menu_Option|Create Shortcut on SendTo Menu",
                           "Delete_All_Shortcuts_Option|Delete ALL Shortcuts", "N9|-",
                           "ExitOption|E&xit"}));
    EXPECT_EQ(describe(control<QMenu>("HelpMenu")),
              QStringList({"View_Readme_file_Option|&View Readme file",
                           "View_Shareware_Catalog_Option|View &Shareware Catalog", "N1|-",
                           "AboutOption|&About"}));
    for (QMenu* menu : {control<QMenu>("FileMenu"), control<QMenu>("HelpMenu")}) {
        for (QAction* a : menu->actions()) {
            EXPECT_TRUE(a->statusTip().isEmpty());
            // A separator's text would be drawn beside its line.
            if (a->isSeparator()) {
                EXPECT_EQ(a->text(), "") << a->objectName().toStdString();
            }
        }
    }
}

TEST_F(WindowTest, AlwaysOnTopFlipsTickAndBandKeepingGeometry) {
    shown();
    const QRect before = form->geometry();
    action("Always_On_Top_Option")->trigger();
    EXPECT_TRUE(action("Always_On_Top_Option")->isChecked());
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->geometry(), before);
    action("Always_On_Top_Option")->trigger();
    EXPECT_FALSE(action("Always_On_Top_Option")->isChecked());
    EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form->isVisible());
}

// --- design layout table and scaling ---------------------------------------------------

TEST_F(WindowTest, FirstShowFixesClientAreaAndRecordsTheDesignTable) {
    shown();
    EXPECT_EQ(form->windowTitle(), "Junkloupe v1.0f");
    EXPECT_EQ(applicationTitle(), "Junkloupe v1.0f");
    EXPECT_EQ(control<QTabWidget>("PageControl1")->currentWidget(), control("TabSheet1"));

    QListWidget* table = control<QListWidget>("Scaling_ListBox");
    const auto& components = form->components();
    ASSERT_EQ(table->count(), static_cast<int>(components.size()) + 1);
    EXPECT_EQ(table->item(0)->text(), "809 499 W/H Mainform1");
    auto lineOf = [&](QObject* component) {
        const auto at = std::find(components.begin(), components.end(), component);
        EXPECT_NE(at, components.end());
        return table->item(static_cast<int>(at - components.begin()) + 1)->text();
    };
    EXPECT_EQ(lineOf(control<SortedListBox>("File_List_ListBox")),
              "144 429 14 89 10 File_List_ListBox");
    EXPECT_EQ(lineOf(control<QTabWidget>("PageControl1")), "4 801 2 465 11 PageControl1");
    EXPECT_EQ(lineOf(button("Exit_2_BitBtn")), "627 150 394 35 14 Exit_2_BitBtn");
    for (QObject* nonVisual :
         {static_cast<QObject*>(control<QMenuBar>("MainMenu1")),
          static_cast<QObject*>(control<QMenu>("FileMenu")),
          static_cast<QObject*>(action("ExitOption")), static_cast<QObject*>(action("N1"))})
        EXPECT_EQ(lineOf(nonVisual), "0");
    // Every component is listed once.
    EXPECT_EQ(std::set<QObject*>(components.begin(), components.end()).size(), components.size());

    // A second run of the sequence leaves the table alone.
    const QString first = table->item(1)->text();
    form->resize(1000, 700);
    form->FormShow();
    EXPECT_EQ(table->count(), static_cast<int>(components.size()) + 1);
    EXPECT_EQ(table->item(1)->text(), first);
}

TEST_F(WindowTest, ResizingBeforeTheFirstShowMovesNothing) {
    create();
    form->resize(1618, 1000);
    QApplication::processEvents();
    EXPECT_EQ(control<SortedListBox>("File_List_ListBox")->geometry(), QRect(144, 14, 429, 89));
    EXPECT_EQ(button("Exit_1_BitBtn")->font().pointSize(), 14);
    EXPECT_EQ(control<QListWidget>("Scaling_ListBox")->count(), 0);
}

TEST_F(WindowTest, ScalingFollowsTheClientAreaFromTheDesignValues) {
    shown();
    const int menu = form->height() - form->centralWidget()->height();
    auto resizeClient = [&](int width, int height) {
        form->resize(width, height + menu);
        QApplication::processEvents();
        ASSERT_EQ(form->centralWidget()->size(), QSize(width, height));
    };

    // Twice the width: lefts and widths double, tops, heights and fonts stay.
    resizeClient(1618, 499);
    EXPECT_EQ(control<SortedListBox>("File_List_ListBox")->geometry(), QRect(288, 14, 858, 89));
    EXPECT_EQ(control<SortedListBox>("File_List_ListBox")->font().pointSize(), 10);
    EXPECT_EQ(control<QLabel>("ToolTip_Panel")->geometry(), QRect(8, 468, 1602, 29));
    EXPECT_EQ(button("Exit_1_BitBtn")->font().pointSize(), 14);
    EXPECT_EQ(group("Expand_Selection_RadioGroup")->geometry(), QRect(20, 11, 840, 111));

    // One and a half in both directions: truncated products, fonts too.
    resizeClient(1213, 748); // ratios 1.4993..., 1.4989...
    EXPECT_EQ(control<SortedListBox>("File_List_ListBox")->geometry(), QRect(215, 20, 643, 133));
    EXPECT_EQ(control<SortedListBox>("File_List_ListBox")->font().pointSize(),
              14);                                              // 10 x 1.4989 = 14.98
    EXPECT_EQ(button("Exit_1_BitBtn")->font().pointSize(), 20); // 14 x 1.4989 = 20.98

    // Back to the design size: everything where it was, no drift.
    resizeClient(809, 499);
    EXPECT_EQ(control<SortedListBox>("File_List_ListBox")->geometry(), QRect(144, 14, 429, 89));
    EXPECT_EQ(button("Add_All_Files_In_A_Directory_BitBtn")->geometry(), QRect(6, 16, 133, 28));
    EXPECT_EQ(control<SortedListBox>("File_List_ListBox")->font().pointSize(), 10);
    EXPECT_EQ(control<QLabel>("ToolTip_Panel")->font().pointSize(), 12);

    // Menu items are never touched.
    EXPECT_TRUE(action("ExitOption")->isVisible());
}

// --- status line -------------------------------------------------------------------------

TEST_F(WindowTest, StatusLineShowsTheHintOfTheControlUnderThePointer) {
    shown();
    auto enter = [](QWidget* widget) {
        QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(widget, &event);
    };
    auto leave = [](QWidget* widget) {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(widget, &event);
    };
    enter(button("Next_File_BitBtn"));
    EXPECT_EQ(control<QLabel>("ToolTip_Panel")->text(),
              " Go to the next file in the list of files");
    leave(button("Next_File_BitBtn"));
    EXPECT_EQ(control<QLabel>("ToolTip_Panel")->text(), " ");
    enter(button("Exit_2_BitBtn"));
    EXPECT_EQ(control<QLabel>("ToolTip_Panel")->text(), " Exit this program");
    // A highlighted menu item has no hint.
    QStatusTipEvent menuTip(QString{});
    QApplication::sendEvent(control<QMenuBar>("MainMenu1"), &menuTip);
    EXPECT_EQ(control<QLabel>("ToolTip_Panel")->text(), " ");
    // A control without a hint sends nothing: the blank stays.
    enter(control<SortedListBox>("File_List_ListBox"));
    EXPECT_EQ(control<QLabel>("ToolTip_Panel")->text(), " ");
}

TEST_F(WindowTest, StatusLineFollowsRealPointerMoves) {
    // Moves the platform's pointer, so the window system itself reports the
    // controls entered and left (offscreen and on a real X server alike).
    shown();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    auto pointAt = [](QWidget* widget) { QCursor::setPos(widget->mapToGlobal(QPoint(5, 5))); };
    pointAt(button("File_List_Erase_BitBtn"));
    QTRY_COMPARE(control<QLabel>("ToolTip_Panel")->text(),
                 QStringLiteral(" Erase the list of files"));
    pointAt(control<SortedListBox>("File_List_ListBox"));
    QTRY_COMPARE(control<QLabel>("ToolTip_Panel")->text(), QStringLiteral(" "));
    pointAt(button("First_File_BitBtn"));
    QTRY_COMPARE(control<QLabel>("ToolTip_Panel")->text(),
                 QStringLiteral(" Go to the first file in the list of files"));
}

} // namespace
} // namespace jl::test
