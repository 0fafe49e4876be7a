// The main window: construction, the one component table of the window,
// wiring the controls to their commands, the command wrapper that shows
// escaped failures, and the hints in the status line.

#include "app/widgets/main_form.h"

#include "app/widgets/radio_group.h"
#include "desktop/desktop_services.h"
#include "util/dialogs.h"
#include "util/failure.h"
#include "util/widgets/sorted_list_box.h"
#include "view/widgets/message_view.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTableView>

namespace jl {

TMainForm1::TMainForm1(const ProgramFolder& programFolder, Dialogs& dialogs, Clipboard& clipboard,
                       DesktopServices& desktop, QWidget* parent)
    : QMainWindow(parent), m_programFolder(programFolder), m_dialogs(dialogs),
      m_clipboard(clipboard), m_desktop(desktop),
      m_workspace(new Workspace(programFolder, dialogs, clipboard)) {
    m_workspace->setHost(this);
    createControls();
    createMenus();
    // A child made after the controls is deleted after them: the list boxes
    // never outlive the lists they show.
    m_workspace->setParent(this);

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
        m_decodeMimeGroup,
        m_decodeMimeCheckBox,
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
        m_statisticsPage,
        m_itemsCoverageBox,
        m_itemsTable,
        m_statisticsSummary,
        m_refreshStatisticsButton,
        m_copyStatisticsButton,
        m_saveStatisticsButton,
        m_exportItemsButton,
        m_uncoveredFilesBox,
        m_uncoveredFilesList,
        m_singleItemFilesBox,
        m_singleItemFilesList,
    };

    mirrorWorkspace();
    wireCommands();

    // FormCreate: files dropped anywhere on the window reach FormDropFiles;
    // hints reach the status line through status-tip events (event()).
    setAcceptDrops(true);
    centralWidget()->installEventFilter(this);

    // Design bounds; the client size is fixed again at the first show.
    move(480, 165);
    resize(809, 499 + MainMenu1->sizeHint().height());
}

TMainForm1::~TMainForm1() {
    if (m_busyCursor)
        QApplication::restoreOverrideCursor();
}

// --- the controls that mirror the workspace ---------------------------------------------

void TMainForm1::mirrorWorkspace() {
    // Connected before the commands: a click's command sees the option the
    // click chose. A choice set in the workspace moves the group, which then
    // runs its click command as a user's click does.
    Workspace* ws = m_workspace;
    RadioGroup* filter = File_Contents_Filter_RadioGroup;
    connect(filter, &RadioGroup::clicked, ws,
            [filter, ws] { ws->setViewFilter(ViewFilter(filter->itemIndex())); });
    connect(ws, &Workspace::viewFilterChanged, filter,
            [filter, ws] { filter->setItemIndex(ws->viewFilter()); });
    RadioGroup* colour = File_Contents_Colour_Coding_RadioGroup;
    connect(colour, &RadioGroup::clicked, ws,
            [colour, ws] { ws->setColourOption(ColourOption(colour->itemIndex())); });
    connect(ws, &Workspace::colourOptionChanged, colour,
            [colour, ws] { colour->setItemIndex(ws->colourOption()); });
    RadioGroup* expand = Expand_Selection_RadioGroup;
    connect(expand, &RadioGroup::clicked, ws,
            [expand, ws] { ws->setExpansion(ExpandSelectionOption(expand->itemIndex())); });
    connect(ws, &Workspace::expansionChanged, expand,
            [expand, ws] { expand->setItemIndex(ws->expansion()); });

    auto tick = [ws](QCheckBox* box, void (Workspace::*set)(bool), bool (Workspace::*get)() const,
                     void (Workspace::*changed)()) {
        connect(box, &QCheckBox::toggled, ws, set);
        connect(ws, changed, box, [box, ws, get] { box->setChecked((ws->*get)()); });
    };
    tick(Auto_Save_Interesting_Items_List_CheckBox, &Workspace::setAutoSave, &Workspace::autoSave,
         &Workspace::autoSaveChanged);
    tick(m_decodeMimeCheckBox, &Workspace::setDecodeMime, &Workspace::decodeMime,
         &Workspace::decodeMimeChanged);
    tick(File_Contains_Any_Interesting_Items_CheckBox, &Workspace::setFoundAny,
         &Workspace::foundAny, &Workspace::foundAnyChanged);
    connect(Always_On_Top_Option, &QAction::toggled, ws, &Workspace::setAlwaysOnTop);
    connect(ws, &Workspace::alwaysOnTopChanged, Always_On_Top_Option,
            [this, ws] { Always_On_Top_Option->setChecked(ws->alwaysOnTop()); });
    connect(Current_Directory_Edit, &QLineEdit::textChanged, ws, &Workspace::setCurrentDirectory);
    connect(ws, &Workspace::currentDirectoryChanged, Current_Directory_Edit, [this, ws] {
        if (Current_Directory_Edit->text() != ws->currentDirectory())
            Current_Directory_Edit->setText(ws->currentDirectory());
    });
}

// --- wiring ---------------------------------------------------------------------------

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
    connectCommand(m_findAction, &F::openFindBar);
    connectCommand(m_findNextAction, &F::findNext);
    connectCommand(m_findPreviousAction, &F::findPrevious);

    connect(File_List_ListBox, &SortedListBox::userSelected, this,
            [this] { runCommand([this] { File_List_ListBoxClick(); }); });
    connect(File_Contents_Filter_RadioGroup, &RadioGroup::clicked, this,
            [this] { runCommand([this] { File_Contents_Filter_RadioGroupClick(); }); });
    connect(File_Contents_Colour_Coding_RadioGroup, &RadioGroup::clicked, this,
            [this] { runCommand([this] { File_Contents_Colour_Coding_RadioGroupClick(); }); });
    connect(m_decodeMimeCheckBox, &QCheckBox::toggled, this,
            [this] { runCommand([this] { decodeMimeToggled(); }); });
    connect(File_Contents_RichEdit, &MessageView::keyDown, this,
            [this](int key, Qt::KeyboardModifiers modifiers) {
                runCommand([&] { File_Contents_RichEditKeyDown(key, modifiers); });
            });
    connect(File_Contents_RichEdit, &MessageView::mouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position) {
                runCommand([&] { File_Contents_RichEditMouseDown(button, modifiers, position); });
            });

    wireStatistics();

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

// --- the default failure report ---------------------------------------------------

void TMainForm1::runCommand(const std::function<void()>& command) {
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(d) { ++depth; }
        ~Depth() { --depth; }
    } depth(m_commandDepth);
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

} // namespace jl
