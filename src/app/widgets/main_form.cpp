// The main window: its controls and menus, the status line, the design layout
// table and proportional scaling, the first-show sequence and the close.

#include "app/widgets/main_form.h"

#include "app/widgets/radio_group.h"
#include "util/dialogs.h"
#include "util/failure.h"
#include "util/list_ops.h"
#include "util/text_helpers.h"
#include "util/widgets/qt_dialogs.h"
#include "util/widgets/sorted_list_box.h"
#include "view/widgets/message_view.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTabWidget>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <memory>

namespace jl {

namespace {

const QString kTimesNewRoman = QStringLiteral("Times New Roman");

QFont timesFont(int points, bool bold = false) {
    QFont font(kTimesNewRoman);
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

// Menus, menu items and the menu bar are not visual controls in the layout
// table: they get a "0" line and are never scaled or disabled.
bool isVisualControl(const QObject* component) {
    const auto* widget = qobject_cast<const QWidget*>(component);
    return widget && !qobject_cast<const QMenuBar*>(widget) && !qobject_cast<const QMenu*>(widget);
}

} // namespace

TMainForm1::TMainForm1(const ProgramFolder& programFolder, Dialogs& dialogs, Clipboard& clipboard,
                       QWidget* parent)
    : QMainWindow(parent), m_programFolder(programFolder), m_dialogs(dialogs),
      m_clipboard(clipboard) {
    setObjectName(QStringLiteral("MainForm1"));
    setWindowTitle(QStringLiteral("??"));
    setFont(timesFont(11));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);

    createControls();
    createMenus();

    // The one component order of the window: the design layout table, the
    // scaling and the busy state all walk it.
    m_components = {
        PageControl1,
        TabSheet1,
        File_Contents_GroupBox,
        Add_All_Files_In_A_Directory_BitBtn,
        File_List_Delete_Selected_Files_BitBtn,
        File_List_Erase_BitBtn,
        File_List_Copy_To_Clipboard_BitBtn,
        File_List_ListBox,
        File_Contents_RichEdit,
        BitBtn1,
        First_File_BitBtn,
        Previous_File_BitBtn,
        Next_File_BitBtn,
        Last_File_BitBtn,
        File_Contents_Copy_To_Clipboard_BitBtn,
        File_Contents_Paste_BitBtn,
        Interesting_Unique_Text_GroupBox,
        Interesting_Items_ListBox,
        Interesting_Items_Add_Selected_Text_BitBtn,
        Interesting_Items_Delete_Selected_Item_BitBtn,
        Interesting_Items_Copy_To_Clipboard_BitBtn,
        Interesting_Items_Paste_Merge_From_Clipboard_BitBtn,
        Erase_Interesting_Items_List_BitBtn,
        Exit_1_BitBtn,
        TabSheet2,
        Expand_Selection_RadioGroup,
        File_Contents_Filter_RadioGroup,
        File_Contents_Colour_Coding_RadioGroup,
        GroupBox1,
        Auto_Save_Interesting_Items_List_CheckBox,
        Exit_2_BitBtn,
        ToolTip_Panel,
        Scaling_ListBox,
        Current_Directory_Edit,
        Work_Memo,
        File_Contains_Any_Interesting_Items_CheckBox,
        SelStart_Edit,
        SelLength_Edit,
        File_Processing_Progress_GroupBox,
        Progress_Guage,
        Process_The_Selected_File_BitBtn,
        Colour_Code_File_Contents_BitBtn,
        Expand_Selection_BitBtn,
        Debugging_Show_Selection_Details_BitBtn,
        Processing_File_Name_Label,
        Abort_All_Processing_CheckBox,
        MainMenu1,
        FileMenu,
        Always_On_Top_Option,
        Auto_Run_at_Windows_Startup_Option,
        Restore_Factory_Defaults_Option,
        N2,
        Create_Shortcut_on_Desktop_Option,
        Create_Shortcut_on_Start_Menu_Option,
        Create_Shortcut_on_Start_Programs_Menu_Option,
        Create_Shortcut_on_SendTo_Menu_Option,
        Delete_All_Shortcuts_Option,
        N9,
        ExitOption,
        HelpMenu,
        View_Readme_file_Option,
        View_Shareware_Catalog_Option,
        N1,
        AboutOption,
    };

    wireCommands();

    // FormCreate: files dropped anywhere on the window reach FormDropFiles;
    // hints reach the status line through status-tip events (event()).
    setAcceptDrops(true);
    client->installEventFilter(this);

    // Design bounds; the client size is fixed again at the first show.
    move(480, 165);
    resize(809, 499 + MainMenu1->sizeHint().height());
}

TMainForm1::~TMainForm1() {
    if (m_busyCursor)
        QApplication::restoreOverrideCursor();
}

// --- controls -------------------------------------------------------------------

void TMainForm1::setHint(QWidget* widget, const QString& hint) {
    widget->setToolTip(hint);
    widget->setStatusTip(hint);
}

QPushButton* TMainForm1::makeButton(QWidget* parent, const char* name, const QString& caption,
                                    const QString& hint, const QRect& bounds, int icon,
                                    const char* themeIcon, bool glyphRight) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(bounds);
    if (!hint.isEmpty())
        setHint(button, hint);
    const QIcon fallback = style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon));
    button->setIcon(themeIcon ? QIcon::fromTheme(QString::fromLatin1(themeIcon), fallback)
                              : fallback);
    button->setIconSize(QSize(16, 16));
    if (glyphRight)
        button->setLayoutDirection(Qt::RightToLeft);
    return button;
}

void TMainForm1::createControls() {
    QWidget* client = centralWidget();

    PageControl1 = new QTabWidget(client);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(4, 2, 801, 465);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Junkloupe"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Program Settings"));
    // The design-time page; the first show always switches to page 1.
    PageControl1->setCurrentWidget(TabSheet2);

    ToolTip_Panel = new QLabel(client);
    ToolTip_Panel->setObjectName(QStringLiteral("ToolTip_Panel"));
    ToolTip_Panel->setGeometry(4, 468, 801, 29);
    ToolTip_Panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ToolTip_Panel->setLineWidth(1);
    ToolTip_Panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ToolTip_Panel->setFont(timesFont(12));
    ToolTip_Panel->setTextFormat(Qt::PlainText);
    QPalette black = ToolTip_Panel->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    ToolTip_Panel->setPalette(black);

    createPage1();
    createPage2();
    createHiddenControls();
}

void TMainForm1::createPage1() {
    File_Contents_GroupBox = new QGroupBox(QStringLiteral(" File List : "), TabSheet1);
    File_Contents_GroupBox->setObjectName(QStringLiteral("File_Contents_GroupBox"));
    File_Contents_GroupBox->setGeometry(4, 2, 581, 431);
    QWidget* files = File_Contents_GroupBox;

    Add_All_Files_In_A_Directory_BitBtn = makeButton(
        files, "Add_All_Files_In_A_Directory_BitBtn", QStringLiteral("Files in Directory"),
        QStringLiteral("Add all files in a selected directory"), {6, 16, 133, 28},
        QStyle::SP_DirOpenIcon);
    File_List_Delete_Selected_Files_BitBtn =
        makeButton(files, "File_List_Delete_Selected_Files_BitBtn", QStringLiteral("Remove File"),
                   QStringLiteral("Remove the selected file from the file list"), {6, 45, 133, 28},
                   QStyle::SP_DialogDiscardButton, "list-remove");
    File_List_Erase_BitBtn = makeButton(files, "File_List_Erase_BitBtn", QStringLiteral("Erase"),
                                        QStringLiteral("Erase the list of files"), {6, 74, 65, 28},
                                        QStyle::SP_DialogResetButton, "edit-clear");
    File_List_Copy_To_Clipboard_BitBtn =
        makeButton(files, "File_List_Copy_To_Clipboard_BitBtn", QStringLiteral("Copy"),
                   QStringLiteral("Copy the list of files to Windows Clipboard"), {74, 74, 65, 28},
                   QStyle::SP_FileDialogDetailedView, "edit-copy");

    File_List_ListBox = new SortedListBox(SortedList::Selection::Single, files);
    File_List_ListBox->setObjectName(QStringLiteral("File_List_ListBox"));
    File_List_ListBox->setGeometry(144, 14, 429, 89);
    QFont system = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    system.setPointSize(10);
    system.setBold(true);
    File_List_ListBox->setFont(system);

    File_Contents_RichEdit = new MessageView(files);
    File_Contents_RichEdit->setObjectName(QStringLiteral("File_Contents_RichEdit"));
    File_Contents_RichEdit->setGeometry(4, 108, 569, 259);
    File_Contents_RichEdit->setFont(timesFont(12));
    File_Contents_RichEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    File_Contents_RichEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    BitBtn1 = makeButton(
        files, "BitBtn1", QStringLiteral("Next File containing No Interesting Items"),
        QStringLiteral("Go to the next file in the list which does NOT contains any text "
                       "from the \"Interesting Items\" list"),
        {128, 369, 326, 28}, QStyle::SP_MediaSeekForward, nullptr, true);
    First_File_BitBtn = makeButton(files, "First_File_BitBtn", QStringLiteral("First File"),
                                   QStringLiteral("Go to the first file in the list of files"),
                                   {5, 399, 93, 28}, QStyle::SP_MediaSkipBackward);
    Previous_File_BitBtn =
        makeButton(files, "Previous_File_BitBtn", QStringLiteral("Prev File"),
                   QStringLiteral("Go back to the previous file in the list of files"),
                   {100, 399, 93, 28}, QStyle::SP_ArrowLeft);
    Next_File_BitBtn = makeButton(files, "Next_File_BitBtn", QStringLiteral("Next File"),
                                  QStringLiteral("Go to the next file in the list of files"),
                                  {195, 399, 93, 28}, QStyle::SP_ArrowRight, nullptr, true);
    Last_File_BitBtn = makeButton(files, "Last_File_BitBtn", QStringLiteral("Last File"),
                                  QStringLiteral("Go to the last file in the list of files"),
                                  {290, 399, 93, 28}, QStyle::SP_MediaSkipForward, nullptr, true);
    File_Contents_Copy_To_Clipboard_BitBtn =
        makeButton(files, "File_Contents_Copy_To_Clipboard_BitBtn", QStringLiteral("Copy"),
                   QStringLiteral("Copy the current file's contents to Windows Clipboard"),
                   {385, 399, 93, 28}, QStyle::SP_FileDialogDetailedView, "edit-copy");
    File_Contents_Paste_BitBtn =
        makeButton(files, "File_Contents_Paste_BitBtn", QStringLiteral("Paste"),
                   QStringLiteral("Paste text / file contents from Windows Clipboard"),
                   {480, 399, 93, 28}, QStyle::SP_FileDialogContentsView, "edit-paste");

    Interesting_Unique_Text_GroupBox =
        new QGroupBox(QStringLiteral(" Interesting (Unique) Items : "), TabSheet1);
    Interesting_Unique_Text_GroupBox->setObjectName(
        QStringLiteral("Interesting_Unique_Text_GroupBox"));
    Interesting_Unique_Text_GroupBox->setGeometry(588, 2, 205, 389);
    QWidget* items = Interesting_Unique_Text_GroupBox;

    Interesting_Items_ListBox = new SortedListBox(SortedList::Selection::Multiple, items);
    Interesting_Items_ListBox->setObjectName(QStringLiteral("Interesting_Items_ListBox"));
    Interesting_Items_ListBox->setGeometry(8, 22, 189, 269);

    Interesting_Items_Add_Selected_Text_BitBtn = makeButton(
        items, "Interesting_Items_Add_Selected_Text_BitBtn", QStringLiteral("Add Text"),
        QStringLiteral("Add selected text / file contents to the list of \"Interesting Items\""),
        {8, 296, 92, 28}, QStyle::SP_ArrowUp, "list-add");
    Interesting_Items_Delete_Selected_Item_BitBtn = makeButton(
        items, "Interesting_Items_Delete_Selected_Item_BitBtn", QStringLiteral("Del Text"),
        QStringLiteral("Delete all selected items from the \"Interesting Items\" list"),
        {104, 296, 92, 28}, QStyle::SP_DialogDiscardButton, "list-remove");
    Interesting_Items_Copy_To_Clipboard_BitBtn =
        makeButton(items, "Interesting_Items_Copy_To_Clipboard_BitBtn", QStringLiteral("Copy"),
                   QStringLiteral("Copy the list of \"Interesting Items\" to Windows Clipboard"),
                   {8, 326, 92, 28}, QStyle::SP_FileDialogDetailedView, "edit-copy");
    Interesting_Items_Paste_Merge_From_Clipboard_BitBtn = makeButton(
        items, "Interesting_Items_Paste_Merge_From_Clipboard_BitBtn", QStringLiteral("Paste"),
        QStringLiteral("Paste and Merge the list of \"Interesting Items\" from Windows Clipboard"),
        {104, 326, 92, 28}, QStyle::SP_FileDialogContentsView, "edit-paste");
    Erase_Interesting_Items_List_BitBtn =
        makeButton(items, "Erase_Interesting_Items_List_BitBtn", QStringLiteral("Erase All"),
                   QStringLiteral("Erase the list of \"Interesting Items\""), {64, 356, 92, 28},
                   QStyle::SP_DialogResetButton, "edit-clear");

    Exit_1_BitBtn = makeButton(TabSheet1, "Exit_1_BitBtn", QStringLiteral("Exit"),
                               QStringLiteral("Exit this program"), {627, 394, 150, 35},
                               QStyle::SP_DialogCloseButton, "application-exit");
    Exit_1_BitBtn->setFont(timesFont(14));
}

void TMainForm1::createPage2() {
    TabSheet2->setFont(timesFont(12));

    Expand_Selection_RadioGroup =
        new RadioGroup(QStringLiteral(" File Contents - Automatically Expand Your Selection : "),
                       {QStringLiteral("On Key Press"), QStringLiteral("On Left Mouse Click"),
                        QStringLiteral("On Either / Both"), QStringLiteral("None (Manual)")},
                       TabSheet2);
    Expand_Selection_RadioGroup->setObjectName(QStringLiteral("Expand_Selection_RadioGroup"));
    Expand_Selection_RadioGroup->setGeometry(10, 11, 420, 111);

    File_Contents_Filter_RadioGroup = new RadioGroup(
        QStringLiteral(" File Contents - Show / View : "),
        {QStringLiteral("First Email Header only"), QStringLiteral("All Headers in Email"),
         QStringLiteral("All \"Printable\" / \"Readable\" Text")},
        TabSheet2);
    File_Contents_Filter_RadioGroup->setObjectName(
        QStringLiteral("File_Contents_Filter_RadioGroup"));
    File_Contents_Filter_RadioGroup->setGeometry(10, 142, 420, 91);

    File_Contents_Colour_Coding_RadioGroup = new RadioGroup(
        QStringLiteral(" File Contents - Colour Coding : "),
        {QStringLiteral("No Colour Coding"),
         QStringLiteral("Colour Code \"Received\" and \"Message-Id\" labels"),
         QStringLiteral("Colour Code items already in the \"Interesting Items\" list"),
         QStringLiteral("Colour Code Everything")},
        TabSheet2);
    File_Contents_Colour_Coding_RadioGroup->setObjectName(
        QStringLiteral("File_Contents_Colour_Coding_RadioGroup"));
    File_Contents_Colour_Coding_RadioGroup->setGeometry(10, 254, 420, 111);

    GroupBox1 = new QGroupBox(QStringLiteral(" Auto-Save Interesting Items List : "), TabSheet2);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(444, 12, 317, 109);

    Auto_Save_Interesting_Items_List_CheckBox =
        new QCheckBox(QStringLiteral("After every change to the list"), GroupBox1);
    Auto_Save_Interesting_Items_List_CheckBox->setObjectName(
        QStringLiteral("Auto_Save_Interesting_Items_List_CheckBox"));
    Auto_Save_Interesting_Items_List_CheckBox->setGeometry(24, 28, 257, 17);

    Exit_2_BitBtn = makeButton(TabSheet2, "Exit_2_BitBtn", QStringLiteral("Exit"),
                               QStringLiteral("Exit this program"), {627, 394, 150, 35},
                               QStyle::SP_DialogCloseButton, "application-exit");
    Exit_2_BitBtn->setFont(timesFont(14, true));
}

void TMainForm1::createHiddenControls() {
    auto hide = [](QWidget* widget, const char* name, const QRect& bounds) {
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(bounds);
        widget->hide();
    };
    QWidget* page = TabSheet1;

    Scaling_ListBox = new QListWidget(page);
    hide(Scaling_ListBox, "Scaling_ListBox", {600, 394, 20, 20});
    Current_Directory_Edit = new QLineEdit(page);
    hide(Current_Directory_Edit, "Current_Directory_Edit", {600, 414, 20, 20});
    Work_Memo = new QPlainTextEdit(page);
    Work_Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    hide(Work_Memo, "Work_Memo", {580, 394, 20, 20});
    File_Contains_Any_Interesting_Items_CheckBox = new QCheckBox(page);
    hide(File_Contains_Any_Interesting_Items_CheckBox,
         "File_Contains_Any_Interesting_Items_CheckBox", {580, 414, 20, 17});
    SelStart_Edit = new QLineEdit(page);
    SelStart_Edit->setReadOnly(true);
    hide(SelStart_Edit, "SelStart_Edit", {560, 394, 20, 20});
    SelLength_Edit = new QLineEdit(page);
    SelLength_Edit->setReadOnly(true);
    hide(SelLength_Edit, "SelLength_Edit", {560, 414, 20, 20});

    // The progress panel stands over the middle of the message view while a
    // file is read. It lies on the client area itself, outside the controls
    // that the busy state disables, so that it can be shown enabled.
    File_Processing_Progress_GroupBox =
        new QGroupBox(QStringLiteral(" File Processing Progress : "), centralWidget());
    hide(File_Processing_Progress_GroupBox, "File_Processing_Progress_GroupBox",
         {132, 238, 333, 57});
    File_Processing_Progress_GroupBox->setAutoFillBackground(true);
    Progress_Guage = new QProgressBar(File_Processing_Progress_GroupBox);
    Progress_Guage->setObjectName(QStringLiteral("Progress_Guage"));
    Progress_Guage->setGeometry(10, 24, 313, 21);
    Progress_Guage->setTextVisible(false);
    Progress_Guage->setRange(0, 100);
    Progress_Guage->setStyleSheet(
        QStringLiteral("QProgressBar { background-color: red; border: 1px solid "
                       "gray; } QProgressBar::chunk { background-color: lime; }"));
    File_Processing_Progress_GroupBox->raise();

    Process_The_Selected_File_BitBtn =
        new QPushButton(QStringLiteral("Process The Current File"), page);
    hide(Process_The_Selected_File_BitBtn, "Process_The_Selected_File_BitBtn", {540, 394, 20, 20});
    Colour_Code_File_Contents_BitBtn =
        new QPushButton(QStringLiteral("Colour Code File Contents"), page);
    hide(Colour_Code_File_Contents_BitBtn, "Colour_Code_File_Contents_BitBtn", {540, 414, 20, 20});
    Expand_Selection_BitBtn = new QPushButton(QStringLiteral("<-> Expand Selection"), page);
    hide(Expand_Selection_BitBtn, "Expand_Selection_BitBtn", {520, 394, 20, 20});
    Debugging_Show_Selection_Details_BitBtn = new QPushButton(QStringLiteral("Sel Details"), page);
    hide(Debugging_Show_Selection_Details_BitBtn, "Debugging_Show_Selection_Details_BitBtn",
         {520, 414, 20, 20});
    Processing_File_Name_Label = new QLabel(page);
    Processing_File_Name_Label->setWordWrap(true);
    hide(Processing_File_Name_Label, "Processing_File_Name_Label", {500, 394, 20, 20});
    Abort_All_Processing_CheckBox = new QCheckBox(page);
    hide(Abort_All_Processing_CheckBox, "Abort_All_Processing_CheckBox", {500, 414, 20, 17});
}

void TMainForm1::createMenus() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    // Menus keep the desktop's menu font, not the window's.
    MainMenu1->setFont(QApplication::font("QMenuBar"));

    auto item = [](QMenu* menu, const char* name, const QString& caption, bool tick = false) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(tick);
        return action;
    };
    auto separator = [](QMenu* menu, const char* name) {
        QAction* action = menu->addSeparator();
        action->setObjectName(QString::fromLatin1(name));
        action->setText(QStringLiteral("-"));
        return action;
    };

    FileMenu = MainMenu1->addMenu(QStringLiteral("&File"));
    FileMenu->setObjectName(QStringLiteral("FileMenu"));
    Always_On_Top_Option =
        item(FileMenu, "Always_On_Top_Option", QStringLiteral("Always &On Top"), true);
    Auto_Run_at_Windows_Startup_Option = item(FileMenu, "Auto_Run_at_Windows_Startup_Option",
                                              QStringLiteral("&Auto-Run at Windows Startup"), true);
    Restore_Factory_Defaults_Option = item(FileMenu, "Restore_Factory_Defaults_Option",
                                           QStringLiteral("&Restore Factory Defaults"));
    N2 = separator(FileMenu, "N2");
    Create_Shortcut_on_Desktop_Option = item(FileMenu, "Create_Shortcut_on_Desktop_Option",
                                             QStringLiteral("Create Shortcut on Desktop"));
    Create_Shortcut_on_Start_Menu_Option = item(FileMenu, "Create_Shortcut_on_Start_Menu_Option",
                                                QStringLiteral("Create Shortcut on Start Menu"));
    Create_Shortcut_on_Start_Programs_Menu_Option =
        item(FileMenu, "Create_Shortcut_on_Start_Programs_Menu_Option",
             QStringLiteral("Create Shortcut on Start -> Programs Menu"));
    Create_Shortcut_on_SendTo_Menu_Option = item(FileMenu, "Create_Shortcut_on_SendTo_Menu_Option",
                                                 QStringLiteral("Create Shortcut on SendTo Menu"));
    Delete_All_Shortcuts_Option =
        item(FileMenu, "Delete_All_Shortcuts_Option", QStringLiteral("Delete ALL Shortcuts"));
    N9 = separator(FileMenu, "N9");
    ExitOption = item(FileMenu, "ExitOption", QStringLiteral("E&xit"));

    HelpMenu = MainMenu1->addMenu(QStringLiteral("&Help"));
    HelpMenu->setObjectName(QStringLiteral("HelpMenu"));
    View_Readme_file_Option =
        item(HelpMenu, "View_Readme_file_Option", QStringLiteral("&View Readme file"));
    View_Shareware_Catalog_Option =
        item(HelpMenu, "View_Shareware_Catalog_Option", QStringLiteral("View &Shareware Catalog"));
    N1 = separator(HelpMenu, "N1");
    AboutOption = item(HelpMenu, "AboutOption", QStringLiteral("&About"));
}

void TMainForm1::connectCommand(QPushButton* button, void (TMainForm1::*handler)()) {
    connect(button, &QPushButton::clicked, this,
            [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
}

void TMainForm1::connectCommand(QAction* action, void (TMainForm1::*handler)()) {
    connect(action, &QAction::triggered, this, [this, action, handler] {
        // A tick item reaches its handler with the tick as it was before the
        // click; the handler decides the new tick itself.
        if (action->isCheckable())
            action->setChecked(!action->isChecked());
        runCommand([this, handler] { (this->*handler)(); });
    });
}

void TMainForm1::wireCommands() {
    using F = TMainForm1;
    connectCommand(Add_All_Files_In_A_Directory_BitBtn,
                   &F::Add_All_Files_In_A_Directory_BitBtnClick);
    connectCommand(File_List_Delete_Selected_Files_BitBtn,
                   &F::File_List_Delete_Selected_Files_BitBtnClick);
    connectCommand(File_List_Erase_BitBtn, &F::File_List_Erase_BitBtnClick);
    connectCommand(File_List_Copy_To_Clipboard_BitBtn, &F::File_List_Copy_To_Clipboard_BitBtnClick);
    connectCommand(BitBtn1, &F::BitBtn1Click);
    connectCommand(First_File_BitBtn, &F::First_File_BitBtnClick);
    connectCommand(Previous_File_BitBtn, &F::Previous_File_BitBtnClick);
    connectCommand(Next_File_BitBtn, &F::Next_File_BitBtnClick);
    connectCommand(Last_File_BitBtn, &F::Last_File_BitBtnClick);
    connectCommand(File_Contents_Copy_To_Clipboard_BitBtn,
                   &F::File_Contents_Copy_To_Clipboard_BitBtnClick);
    connectCommand(File_Contents_Paste_BitBtn, &F::File_Contents_Paste_BitBtnClick);
    connectCommand(Interesting_Items_Add_Selected_Text_BitBtn,
                   &F::Interesting_Items_Add_Selected_Text_BitBtnClick);
    connectCommand(Interesting_Items_Delete_Selected_Item_BitBtn,
                   &F::Interesting_Items_Delete_Selected_Item_BitBtnClick);
    connectCommand(Interesting_Items_Copy_To_Clipboard_BitBtn,
                   &F::Interesting_Items_Copy_To_Clipboard_BitBtnClick);
    connectCommand(Interesting_Items_Paste_Merge_From_Clipboard_BitBtn,
                   &F::Interesting_Items_Paste_Merge_From_Clipboard_BitBtnClick);
    connectCommand(Erase_Interesting_Items_List_BitBtn,
                   &F::Erase_Interesting_Items_List_BitBtnClick);
    connectCommand(Exit_1_BitBtn, &F::Exit_1_BitBtnClick);
    connectCommand(Exit_2_BitBtn, &F::Exit_2_BitBtnClick);
    connectCommand(Process_The_Selected_File_BitBtn, &F::Process_The_Selected_File_BitBtnClick);
    connectCommand(Colour_Code_File_Contents_BitBtn, &F::Colour_Code_File_Contents_BitBtnClick);
    connectCommand(Expand_Selection_BitBtn, &F::Expand_Selection_BitBtnClick);
    connectCommand(Debugging_Show_Selection_Details_BitBtn,
                   &F::Debugging_Show_Selection_Details_BitBtnClick);

    connect(File_List_ListBox, &SortedListBox::userSelected, this,
            [this] { runCommand([this] { File_List_ListBoxClick(); }); });
    connect(File_Contents_Filter_RadioGroup, &RadioGroup::clicked, this,
            [this] { runCommand([this] { File_Contents_Filter_RadioGroupClick(); }); });
    connect(File_Contents_Colour_Coding_RadioGroup, &RadioGroup::clicked, this,
            [this] { runCommand([this] { File_Contents_Colour_Coding_RadioGroupClick(); }); });
    connect(File_Contents_RichEdit, &MessageView::keyDown, this,
            [this](int key, Qt::KeyboardModifiers modifiers) {
                runCommand([&] { File_Contents_RichEditKeyDown(key, modifiers); });
            });
    connect(File_Contents_RichEdit, &MessageView::mouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position) {
                runCommand([&] { File_Contents_RichEditMouseDown(button, modifiers, position); });
            });

    // The colour coder is rebuilt lazily after any change of the items list.
    SortedList* items = &Interesting_Items_ListBox->list();
    auto stale = [this] { m_matcherStale = true; };
    connect(items, &QAbstractItemModel::rowsInserted, this, stale);
    connect(items, &QAbstractItemModel::rowsRemoved, this, stale);
    connect(items, &QAbstractItemModel::modelReset, this, stale);
    connect(items, &QAbstractItemModel::layoutChanged, this, stale);
    connect(items, &QAbstractItemModel::dataChanged, this, stale);

    connectCommand(Always_On_Top_Option, &F::Always_On_Top_OptionClick);
    connectCommand(Auto_Run_at_Windows_Startup_Option, &F::Auto_Run_at_Windows_Startup_OptionClick);
    connectCommand(Restore_Factory_Defaults_Option, &F::Restore_Factory_Defaults_OptionClick);
    connectCommand(Create_Shortcut_on_Desktop_Option, &F::Create_Shortcut_on_Desktop_OptionClick);
    connectCommand(Create_Shortcut_on_Start_Menu_Option,
                   &F::Create_Shortcut_on_Start_Menu_OptionClick);
    connectCommand(Create_Shortcut_on_Start_Programs_Menu_Option,
                   &F::Create_Shortcut_on_Start_Programs_Menu_OptionClick);
    connectCommand(Create_Shortcut_on_SendTo_Menu_Option,
                   &F::Create_Shortcut_on_SendTo_Menu_OptionClick);
    connectCommand(Delete_All_Shortcuts_Option, &F::Delete_All_Shortcuts_OptionClick);
    connectCommand(ExitOption, &F::ExitOptionClick);
    connectCommand(View_Readme_file_Option, &F::View_Readme_file_OptionClick);
    connectCommand(View_Shareware_Catalog_Option, &F::View_Shareware_Catalog_OptionClick);
    connectCommand(AboutOption, &F::AboutOptionClick);
}

const ColourMatcher& TMainForm1::colourMatcher() {
    if (m_matcherStale) {
        m_matcher = ColourMatcher(Interesting_Items_ListBox->list().entries());
        m_matcherStale = false;
    }
    return m_matcher;
}

// --- the default failure report ---------------------------------------------------

void TMainForm1::runCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (const Failure& failure) {
        m_dialogs.error(failure.text() + QLatin1Char('.'));
    } catch (const std::exception& failure) {
        m_dialogs.error(QString::fromLocal8Bit(failure.what()) + QLatin1Char('.'));
    }
}

// --- hints ----------------------------------------------------------------------------

void TMainForm1::DisplayHint(const QString& hint) {
    ToolTip_Panel->setText(QLatin1Char(' ') + hint);
}

bool TMainForm1::event(QEvent* event) {
    // Entering a control with a hint sends its status tip up to the window;
    // leaving it, or highlighting a menu item (none has a hint), sends an
    // empty one.
    if (event->type() == QEvent::StatusTip) {
        DisplayHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

// --- layout ---------------------------------------------------------------------------

bool TMainForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        FormResize();
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm1::FormResize() {
    Scale_Layout();
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
        if (widget != TabSheet1 && widget != TabSheet2)
            widget->setGeometry(left, top, std::max(0, width), std::max(0, height));
        // A font cannot shrink to nothing: a very small window keeps 1 point.
        // An unchanged size is not set again, which would re-lay out the text.
        if (widget->font().pointSize() != std::max(1, points)) {
            QFont font = widget->font();
            font.setPointSize(std::max(1, points));
            widget->setFont(font);
        }
    }
}

// --- lifecycle ------------------------------------------------------------------------

void TMainForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_firstShowDone)
        return;
    m_firstShowDone = true;
    runCommand([this] { FormShow(); });
}

void TMainForm1::FormShow() {
    fixClientArea();                           // 1
    Record_Design_Layout();                    // 2
    readSettingsStep();                        // 3
    setCaptionStep();                          // 4
    fillAboutTextsStep();                      // 4
    applyStartUpShowCommand();                 // 5
    applyMaximisedState();                     // 6
    applyAlwaysOnTopStep();                    // 7
    checkAutoRunStep();                        // 8
    PageControl1->setCurrentWidget(TabSheet1); // 9
    Set_List_Scroll_Width(*File_List_ListBox); // 10
    Set_List_Scroll_Width(*Interesting_Items_ListBox);
    loadListsStep();             // 11
    processRememberedFileStep(); // 12
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

void TMainForm1::setCaptionStep() {
    setWindowTitle(kProductCaption);
    QGuiApplication::setApplicationDisplayName(kProductCaption);
}

void TMainForm1::loadListsStep() {
    // Each list stands alone: a file list that cannot be read is reported and
    // the interesting-items list is still loaded.
    m_fileListLoadFailed = false;
    m_itemsListLoadFailed = false;
    runCommand([this] {
        m_fileListLoadFailed = true;
        Load_List_File(File_List_ListBox->list(), m_programFolder.fileListFile());
        m_fileListLoadFailed = false;
    });
    runCommand([this] {
        m_itemsListLoadFailed = true;
        Load_List_File(Interesting_Items_ListBox->list(), m_programFolder.itemsListFile());
        m_itemsListLoadFailed = false;
    });
}

void TMainForm1::processRememberedFileStep() {
    SortedList& files = File_List_ListBox->list();
    if (files.isEmpty() || m_savedFileNumber >= files.count())
        return;
    Select_List_Index(files, m_savedFileNumber);
    Process_The_Selected_File_BitBtnClick();
}

void TMainForm1::closeEvent(QCloseEvent* event) {
    bool allowed = true;
    runCommand([&] { allowed = FormCloseQuery(); });
    if (allowed)
        event->accept();
    else
        event->ignore();
}

bool TMainForm1::FormCloseQuery() {
    return Save_Settings();
}

bool TMainForm1::Save_Settings() {
    if (!writeSettingsStep())
        return false;
    // Each list file is saved on its own: a failure of one (reported by the
    // save itself) does not stop the other. A list whose file could not be
    // read at start-up is not written over that file while it stays empty.
    const SortedList& files = File_List_ListBox->list();
    if (!(m_fileListLoadFailed && files.isEmpty()))
        Save_List_File(files, m_programFolder.fileListFile(), m_dialogs);
    const SortedList& items = Interesting_Items_ListBox->list();
    if (!(m_itemsListLoadFailed && items.isEmpty()))
        Save_List_File(items, m_programFolder.itemsListFile(), m_dialogs);
    return true;
}

void TMainForm1::ExitOptionClick() {
    close();
}

void TMainForm1::Exit_1_BitBtnClick() {
    close();
}

void TMainForm1::Exit_2_BitBtnClick() {
    close();
}

void TMainForm1::Always_On_Top_OptionClick() {
    Toggle_Always_On_Top();
}

void TMainForm1::Toggle_Always_On_Top() {
    const bool topmost = !Always_On_Top_Option->isChecked();
    Always_On_Top_Option->setChecked(topmost);
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == topmost)
        return;
    // Changing the flag re-creates the native window hidden; put it back
    // where and as it was, without taking the activation.
    const bool visible = isVisible();
    const bool active = isActiveWindow();
    const Qt::WindowStates state = windowState();
    const QRect normal = state == Qt::WindowNoState ? geometry() : normalGeometry();
    setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    setGeometry(normal);
    setWindowState(state);
    if (visible) {
        const bool noActivate = testAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_ShowWithoutActivating, !active);
        show();
        setAttribute(Qt::WA_ShowWithoutActivating, noActivate);
    }
}

// --- dropped files --------------------------------------------------------------------

void TMainForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TMainForm1::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls())
        return;
    QStringList names;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            names.append(url.toLocalFile());
    }
    event->acceptProposedAction();
    runCommand([&] { FormDropFiles(names); });
}

// --- start-up ---------------------------------------------------------------------------

namespace {

// The dialogs service of the running program: Qt boxes parented to the main
// window, which exists only after the service is handed to it.
class WindowDialogs : public Dialogs {
public:
    void setWindow(QWidget* window) { m_real = std::make_unique<QtDialogs>(window); }
    void message(MessageKind kind, const QString& text) override { real().message(kind, text); }
    bool ask(QuestionKind kind, const QString& text) override { return real().ask(kind, text); }
    QString chooseDirectory(const QString& start) override { return real().chooseDirectory(start); }

private:
    QtDialogs& real() {
        if (!m_real)
            m_real = std::make_unique<QtDialogs>(nullptr);
        return *m_real;
    }
    std::unique_ptr<QtDialogs> m_real;
};

} // namespace

int runJunkloupe(QApplication& app) {
    QString screenshot;
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype option = arguments.indexOf(QStringLiteral("--screenshot"));
    if (option >= 0 && option + 1 < arguments.size())
        screenshot = arguments[option + 1];

    // The command line: the start-up show command applies at every first
    // show, the paths are handled once after the first (main_form_settings.cpp).
    const CommandLine commandLine = parseCommandLine(arguments);
    if (commandLine.action != CommandLine::Action::Run)
        return commandLineExitStatus(arguments);

    WindowDialogs dialogs;
    SystemClipboard clipboard;
    TMainForm1 form(ProgramFolder::ofExecutable(), dialogs, clipboard);
    dialogs.setWindow(&form);
    form.setStartUpShowCommand(commandLine.show);
    form.show();
    form.dropCommandLinePaths(commandLine.paths);

    if (!screenshot.isEmpty()) {
        // A picture of the window as it stands after the first show; nothing
        // is saved, since the window is never asked to close.
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        return form.grab().save(screenshot) ? 0 : 1;
    }
    return app.exec();
}

} // namespace jl
