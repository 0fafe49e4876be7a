// Building the window's controls and menus: names, captions, hints, design
// bounds, fonts and button pictures. The commands are wired in main_form.cpp.

#include "app/widgets/main_form.h"

#include "app/widgets/radio_group.h"
#include "items/item_stats_model.h"
#include "util/widgets/short_text_delegate.h"
#include "util/widgets/sorted_list_box.h"
#include "view/widgets/find_bar.h"
#include "view/widgets/message_view.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStringListModel>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>

namespace jl {

namespace {

const QString kTimesNewRoman = QStringLiteral("Times New Roman");

QFont timesFont(int points, bool bold = false) {
    QFont font(kTimesNewRoman);
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

} // namespace

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
    setObjectName(QStringLiteral("MainForm1"));
    setWindowTitle(QStringLiteral("??"));
    setFont(timesFont(11));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(client);

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
    createPage3();
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

    File_List_ListBox = new SortedListBox(m_workspace->files(), files);
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
    createPage1Keys();

    Interesting_Unique_Text_GroupBox =
        new QGroupBox(QStringLiteral(" Interesting (Unique) Items : "), TabSheet1);
    Interesting_Unique_Text_GroupBox->setObjectName(
        QStringLiteral("Interesting_Unique_Text_GroupBox"));
    Interesting_Unique_Text_GroupBox->setGeometry(588, 2, 205, 389);
    QWidget* items = Interesting_Unique_Text_GroupBox;

    Interesting_Items_ListBox = new SortedListBox(m_workspace->items(), items);
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

void TMainForm1::createPage1Keys() {
    // Moving through the files as in mail readers, with keys that no control
    // of the page uses: the view's caret and selection keys, the lists'
    // type-ahead and the menus' access keys keep their meaning. A button's
    // key works while the button is shown and enabled.
    First_File_BitBtn->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    Previous_File_BitBtn->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    Next_File_BitBtn->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Period));
    Last_File_BitBtn->setShortcut(QKeySequence(Qt::ALT | Qt::Key_End));
    BitBtn1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_N));

    m_findBar = new FindBar(File_Contents_RichEdit);
    m_findBar->setObjectName(QStringLiteral("findBar"));
    auto key = [this](const char* name, const QKeySequence& keys) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(keys);
        // Active while the view is shown and enabled (not while busy).
        File_Contents_RichEdit->addAction(action);
        return action;
    };
    m_findAction = key("findAction", QKeySequence(Qt::CTRL | Qt::Key_F));
    m_findNextAction = key("findNextAction", QKeySequence(Qt::Key_F3));
    m_findPreviousAction = key("findPreviousAction", QKeySequence(Qt::SHIFT | Qt::Key_F3));
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

    m_decodeMimeGroup =
        new QGroupBox(QStringLiteral(" File Contents - Encoded Text : "), TabSheet2);
    m_decodeMimeGroup->setObjectName(QStringLiteral("decodeMimeGroup"));
    m_decodeMimeGroup->setGeometry(444, 142, 317, 91);

    m_decodeMimeCheckBox = new QCheckBox(QStringLiteral("Decode MIME parts"), m_decodeMimeGroup);
    m_decodeMimeCheckBox->setObjectName(QStringLiteral("decodeMimeCheckBox"));
    m_decodeMimeCheckBox->setGeometry(24, 28, 257, 17);
    setHint(m_decodeMimeCheckBox,
            QStringLiteral("Show, colour, scan and count each message's decoded text: encoded "
                           "header words, base64 and quoted-printable text in its character set, "
                           "one line for each other part"));

    Exit_2_BitBtn = makeButton(TabSheet2, "Exit_2_BitBtn", QStringLiteral("Exit"),
                               QStringLiteral("Exit this program"), {627, 394, 150, 35},
                               QStyle::SP_DialogCloseButton, "application-exit");
    Exit_2_BitBtn->setFont(timesFont(14, true));
}

void TMainForm1::createPage3() {
    m_statisticsPage = new QWidget;
    m_statisticsPage->setObjectName(QStringLiteral("statisticsPage"));
    PageControl1->addTab(m_statisticsPage, QStringLiteral("Statistics"));
    auto group = [this](const char* name, const QString& caption, const QRect& bounds) {
        auto* box = new QGroupBox(caption, m_statisticsPage);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(bounds);
        return box;
    };
    auto list = [this](QWidget* parent, const char* name, QAbstractItemModel* model,
                       const QString& hint) {
        auto* view = new QListView(parent);
        view->setObjectName(QString::fromLatin1(name));
        view->setGeometry(8, 22, 299, 184);
        view->setModel(model);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setUniformItemSizes(true);
        // Paths share their start: the part that differs shows, the whole
        // path in the tool tip.
        view->setTextElideMode(Qt::ElideMiddle);
        view->setItemDelegate(new ShortTextDelegate(view, ShortTextDelegate::Width::View));
        setHint(view, hint);
        return view;
    };
    const QString showHint = QStringLiteral("Double-click a file to show it");

    m_itemsCoverageBox =
        group("itemsCoverageBox", QStringLiteral(" Files Each Interesting Item Covers : "),
              {4, 2, 470, 431});
    m_itemStatsModel = new ItemStatsModel(this);
    m_itemsTable = new QTableView(m_itemsCoverageBox);
    m_itemsTable->setObjectName(QStringLiteral("itemsTable"));
    m_itemsTable->setGeometry(8, 22, 454, 290);
    m_itemsTable->setModel(m_itemStatsModel);
    m_itemsTable->setItemDelegate(new ShortTextDelegate(m_itemsTable));
    m_itemsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_itemsTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_itemsTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_itemsTable->setWordWrap(false);
    m_itemsTable->verticalHeader()->hide();
    m_itemsTable->horizontalHeader()->setStretchLastSection(true);
    m_itemsTable->horizontalHeader()->setSortIndicator(ItemStatsModel::ItemColumn,
                                                       Qt::AscendingOrder);
    m_itemsTable->setSortingEnabled(true);
    fitStatisticsTable();
    setHint(m_itemsTable,
            QStringLiteral("Files holding each item, files it alone covers, and its kind: click a "
                           "heading to sort, double-click an item to go to the next file holding "
                           "it"));

    m_statisticsSummary = new QLabel(m_itemsCoverageBox);
    m_statisticsSummary->setObjectName(QStringLiteral("statisticsSummary"));
    m_statisticsSummary->setGeometry(8, 316, 454, 74);
    m_statisticsSummary->setWordWrap(true);
    m_statisticsSummary->setTextFormat(Qt::PlainText);
    m_statisticsSummary->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    QWidget* items = m_itemsCoverageBox;
    m_refreshStatisticsButton = makeButton(
        items, "refreshStatisticsButton", QStringLiteral("Refresh"),
        QStringLiteral("Count which files each interesting item covers, for the list of files "
                       "and the view chosen"),
        {8, 394, 110, 28}, QStyle::SP_BrowserReload, "view-refresh");
    m_copyStatisticsButton =
        makeButton(items, "copyStatisticsButton", QStringLiteral("Copy CSV"),
                   QStringLiteral("Copy the table of items to the clipboard as CSV text"),
                   {122, 394, 110, 28}, QStyle::SP_FileDialogDetailedView, "edit-copy");
    m_saveStatisticsButton =
        makeButton(items, "saveStatisticsButton", QStringLiteral("Save CSV"),
                   QStringLiteral("Save the table of items to a CSV file"), {236, 394, 110, 28},
                   QStyle::SP_DialogSaveButton, "document-save");
    m_exportItemsButton = makeButton(
        items, "exportItemsButton", QStringLiteral("Export"),
        QStringLiteral("Export the interesting items for the view chosen: SpamAssassin rules, a "
                       "Postfix table, or CSV or JSON with each item's kind"),
        {350, 394, 110, 28}, QStyle::SP_ArrowRight, "document-export");

    m_uncoveredFilesBox =
        group("uncoveredFilesBox", QStringLiteral(" Files Holding No Item : "), {478, 2, 315, 214});
    m_uncoveredModel = new QStringListModel(this);
    m_uncoveredFilesList =
        list(m_uncoveredFilesBox, "uncoveredFilesList", m_uncoveredModel, showHint);
    m_singleItemFilesBox =
        group("singleItemFilesBox", QStringLiteral(" Files One Item Alone Covers : "),
              {478, 219, 315, 214});
    m_singleModel = new QStringListModel(this);
    m_singleItemFilesList =
        list(m_singleItemFilesBox, "singleItemFilesList", m_singleModel, showHint);
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
    // A separator is a line only: a style draws any text of it beside the line.
    auto separator = [](QMenu* menu, const char* name) {
        QAction* action = menu->addSeparator();
        action->setObjectName(QString::fromLatin1(name));
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

} // namespace jl
