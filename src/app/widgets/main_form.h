#pragma once
// The tool's one working window. It owns every control, runs the first-show
// sequence, keeps its layout proportional when resized, shows the hint of the
// control under the pointer in its status line and saves its lists when it is
// asked to close. Every command of the tool is one of its handlers; the
// handlers stay thin and call the logic units, which take plain data.
//
// Where the members live:
//   main_form.cpp             construction, the component table, wiring, the
//                             command wrapper, hints
//   main_form_controls.cpp    building the controls and menus
//   main_form_layout.cpp      the design layout table and proportional scaling
//   main_form_lifecycle.cpp   the first-show sequence, the close, Exit, Always
//                             On Top, a later start's hand-off
//   main_form_settings.cpp    reading and writing the settings file, Restore
//                             Factory Defaults
//   main_form_desktop.cpp     auto-run, shortcuts, companion documents, About
//   main_form_processing.cpp  the busy state, showing and colouring a file
//   main_form_files.cpp       the file-list commands and dropped files
//   main_form_navigation.cpp  moving through the file list, the option clicks
//   main_form_items.cpp       the interesting-items commands
//   main_form_selection.cpp   widening the selection in the view
//   main_form_find.cpp        finding text in the view
//   main_form_scan.cpp        the scan for a file without interesting items
//   main_form_statistics.cpp  the statistics page: what the items cover
//   main_form_clipboard.cpp   the view's Copy and Paste
//   main_form_work.cpp        work off the user-interface thread

#include "app/command_line.h"
#include "app/settings.h"
#include "util/program_folder.h"
#include "workspace/workspace.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QApplication;
class QCheckBox;
class QGroupBox;
class QImage;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QListView;
class QStringListModel;
class QTableView;
class QTabWidget;
class QWidget;

namespace jl {

class Clipboard;
class DesktopServices;
class ItemStatsModel;
class Dialogs;
class JobControl;
class MessageView;
class RadioGroup;
class SortedListBox;
class Registry;
class LinkWriter;
class DocumentOpener;
class FindBar;
class TAboutBox;

class TMainForm1 : public QMainWindow, private WorkspaceHost {
    Q_OBJECT
public:
    // The services are the program's (made at start-up) or a test's; they
    // outlive the window.
    TMainForm1(const ProgramFolder& programFolder, Dialogs& dialogs, Clipboard& clipboard,
               DesktopServices& desktop, QWidget* parent = nullptr);
    ~TMainForm1() override;

    const ProgramFolder& programFolder() const { return m_programFolder; }
    Dialogs& dialogs() { return m_dialogs; }
    Clipboard& clipboard() { return m_clipboard; }
    DesktopServices& desktopServices() { return m_desktop; }
    Registry& registry();
    LinkWriter& linkWriter();
    DocumentOpener& documentOpener();

    // What the window shows and works on: the lists, the options, the
    // current entry, the statistics.
    Workspace& workspace() { return *m_workspace; }
    const Workspace& workspace() const { return *m_workspace; }

    // Every component in the window's one fixed component order: controls,
    // pages, the menu bar, menus, menu items and hidden controls. The design
    // layout table has one line per entry, in this order.
    const std::vector<QObject*>& components() const { return m_components; }

    // Runs a command; a Failure (or any other exception) that escapes it is
    // shown as the default failure report and the program goes on.
    void runCommand(const std::function<void()>& command);

    // Runs work off the user-interface thread and returns when it has ended
    // (main_form_work.cpp; the pattern is described in util/background_job.h).
    // Meanwhile the window is busy (controls disabled, menus not) but live:
    // events are handled, the progress panel shows done of total once the
    // work has run for a moment, and Escape, a click on the progress panel,
    // the stop flag or closing the window ask the work to stop. work runs on
    // another thread: it must not touch the window or anything of this
    // thread; it hands its result back through what it captured. A failure
    // it throws is thrown again here.
    void runWork(const std::function<void(const JobControl&)>& work) override;
    // The window with each of its pages in front in turn, one picture above
    // the other; the statistics are counted first (main_form_layout.cpp).
    QImage pagesPicture();

    // Asks every work of the window to stop (at the close).
    void stopAllWork();
    bool isWorking() const { return m_workRunning > 0; }

    // --- lifecycle and layout --------------------------------------------------
    // The first-show sequence; runs at the first show and again after a
    // return to factory defaults.
    void FormShow();
    // Asked before every close: saves, and tells whether the close may go on.
    bool FormCloseQuery();
    // The settings file and both list files; false when any of them could
    // not be written (each failure reported), which stops a close. Before a
    // close a maximised window is restored to its normal size;
    // keepWindowState leaves it as it is (a save while the window stays).
    bool Save_Settings(bool keepWindowState = false);
    // The session manager's commit-data request (before a log-out): every
    // file saved, the window left as it is; false when a save failed.
    bool saveAtSessionEnd();
    // The last save before the process ends without a close: the settings
    // file and both list files, each tried whatever became of the others;
    // false when any failed.
    bool saveBeforeForcedEnd();
    // A close was accepted: the settings and lists are saved and the window
    // is gone. Work that lets events run (reading a file, a folder, a scan)
    // stops at its next step, and nothing starts any more.
    bool closeAccepted() const { return m_closed; }
    void Record_Design_Layout();
    void Scale_Layout();
    void FormResize();
    void Toggle_Always_On_Top();
    // Shows " " + text in the status line.
    void DisplayHint(const QString& hint);
    // ready false: every control disabled and the wait cursor; true undoes it.
    void Set_Busy_State(bool ready);
    bool isBusy() const { return m_busy; }
    bool firstShowDone() const { return m_firstShowDone; }

    // Remembered by the settings read for the end of the first-show sequence.
    bool savedMaximised() const { return m_savedMaximised; }
    int savedFileNumber() const { return m_savedFileNumber; }
    void setSavedMaximised(bool maximised) { m_savedMaximised = maximised; }
    void setSavedFileNumber(int number) { m_savedFileNumber = number; }

public slots:
    // Processing and colour coding.
    void Process_The_Selected_File_BitBtnClick();
    void Colour_Code_File_Contents_BitBtnClick();

    // File list.
    void Add_All_Files_In_A_Directory_BitBtnClick();
    void File_List_Delete_Selected_Files_BitBtnClick();
    void File_List_Erase_BitBtnClick();
    void File_List_Copy_To_Clipboard_BitBtnClick();
    // undecodable: dropped names whose bytes are not valid in the system's
    // encoding; the files they stand for are counted as left out.
    void FormDropFiles(const QStringList& names, const QList<QByteArray>& undecodable = {});

    // Navigation.
    void First_File_BitBtnClick();
    void Previous_File_BitBtnClick();
    void Next_File_BitBtnClick();
    void Last_File_BitBtnClick();
    void File_List_ListBoxClick();
    void File_Contents_Filter_RadioGroupClick();
    void File_Contents_Colour_Coding_RadioGroupClick();
    void decodeMimeToggled();

    // Window commands.
    void ExitOptionClick();
    void Exit_1_BitBtnClick();
    void Exit_2_BitBtnClick();
    void Always_On_Top_OptionClick();

    // Interesting items, the view's clipboard and selection expansion.
    void Interesting_Items_Add_Selected_Text_BitBtnClick();
    void Interesting_Items_Delete_Selected_Item_BitBtnClick();
    void Interesting_Items_Copy_To_Clipboard_BitBtnClick();
    void Interesting_Items_Paste_Merge_From_Clipboard_BitBtnClick();
    void Erase_Interesting_Items_List_BitBtnClick();
    void Expand_Selection_BitBtnClick();
    void File_Contents_RichEditKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void File_Contents_RichEditMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                                         QPoint position);
    void Debugging_Show_Selection_Details_BitBtnClick();
    void BitBtn1Click();
    void File_Contents_Copy_To_Clipboard_BitBtnClick();
    void File_Contents_Paste_BitBtnClick();

    // Finding text in the view.
    void openFindBar();
    void findNext();
    void findPrevious();

    // Settings, desktop integration and the About dialog.
    void Restore_Factory_Defaults_OptionClick();
    void Auto_Run_at_Windows_Startup_OptionClick();
    void Create_Shortcut_on_Desktop_OptionClick();
    void Create_Shortcut_on_Start_Menu_OptionClick();
    void Create_Shortcut_on_Start_Programs_Menu_OptionClick();
    void Create_Shortcut_on_SendTo_Menu_OptionClick();
    void Delete_All_Shortcuts_OptionClick();
    void View_Readme_file_OptionClick();
    void View_Shareware_Catalog_OptionClick();
    void AboutOptionClick();

    // The statistics page (main_form_statistics.cpp).
    void refreshStatistics();
    void copyStatistics();
    void saveStatistics();
    void exportInterestingItems();
    void showNextFileHoldingItem(int row);
    void showUncoveredFile(int row);
    void showSingleItemFile(int row);

public:
    ItemStatsModel* itemStatsModel() const { return m_itemStatsModel; }

public:
    // --- the About dialog and the start-up show command --------------------------
    // The About dialog; made with this window as its parent when none was set.
    TAboutBox* AboutBox();
    void setAboutBox(TAboutBox* box);
    void setStartUpShowCommand(StartUpShow show) { m_startUpShow = show; }
    StartUpShow startUpShowCommand() const { return m_startUpShow; }
    // The paths given on the command line, handled as a drop of those names
    // (relative paths taken from the current directory).
    void dropCommandLinePaths(const QStringList& paths, const QList<QByteArray>& undecodable = {});
    // A later start of the tool found this window running and handed over
    // its --show (when given) and its paths: the window comes to the front as
    // asked and takes the paths as a drop, once no command of the window is
    // under way (one may be asking a question, or reading a file or a folder
    // while it lets events run). Paths still waiting at a close join the list
    // before it is saved.
    void takeHandedOverStart(std::optional<StartUpShow> show, const QStringList& paths,
                             const QList<QByteArray>& undecodablePaths = {});
    // Whether a later start's paths can be taken now: both lists are loaded
    // (paths taken before would have nothing to join) and no close or forced
    // end is under way (they could be left out of the last save).
    bool acceptsHandOffs() const;
    // Called when the window stops taking starts (a close, a forced end), so
    // that starts already answered are delivered before the lists are saved.
    void setHandOffSettler(std::function<void()> settle) { m_settleHandOffs = std::move(settle); }

signals:
    // The window accepted a close (after saving).
    void closedForGood();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The controls the window was designed with. Each member's name is the
    // control's object name, which the design layout table records and tests
    // find it by, and the key under which the settings file keeps the state
    // the control shows (where it keeps any): renaming one breaks users'
    // settings files. The option and flag controls mirror the workspace
    // (mirrorWorkspace()).
    // --- page control and status line ---------------------------------------
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QLabel* ToolTip_Panel = nullptr;

    // --- page 1 ----------------------------------------------------------------
    QGroupBox* File_Contents_GroupBox = nullptr;
    QPushButton* Add_All_Files_In_A_Directory_BitBtn = nullptr;
    QPushButton* File_List_Delete_Selected_Files_BitBtn = nullptr;
    QPushButton* File_List_Erase_BitBtn = nullptr;
    QPushButton* File_List_Copy_To_Clipboard_BitBtn = nullptr;
    SortedListBox* File_List_ListBox = nullptr;
    MessageView* File_Contents_RichEdit = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* First_File_BitBtn = nullptr;
    QPushButton* Previous_File_BitBtn = nullptr;
    QPushButton* Next_File_BitBtn = nullptr;
    QPushButton* Last_File_BitBtn = nullptr;
    QPushButton* File_Contents_Copy_To_Clipboard_BitBtn = nullptr;
    QPushButton* File_Contents_Paste_BitBtn = nullptr;
    QGroupBox* Interesting_Unique_Text_GroupBox = nullptr;
    SortedListBox* Interesting_Items_ListBox = nullptr;
    QPushButton* Interesting_Items_Add_Selected_Text_BitBtn = nullptr;
    QPushButton* Interesting_Items_Delete_Selected_Item_BitBtn = nullptr;
    QPushButton* Interesting_Items_Copy_To_Clipboard_BitBtn = nullptr;
    QPushButton* Interesting_Items_Paste_Merge_From_Clipboard_BitBtn = nullptr;
    QPushButton* Erase_Interesting_Items_List_BitBtn = nullptr;
    QPushButton* Exit_1_BitBtn = nullptr;

    // --- page 2 ----------------------------------------------------------------
    RadioGroup* Expand_Selection_RadioGroup = nullptr;
    RadioGroup* File_Contents_Filter_RadioGroup = nullptr;
    RadioGroup* File_Contents_Colour_Coding_RadioGroup = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QCheckBox* Auto_Save_Interesting_Items_List_CheckBox = nullptr;
    QGroupBox* m_decodeMimeGroup = nullptr;
    QCheckBox* m_decodeMimeCheckBox = nullptr;
    QPushButton* Exit_2_BitBtn = nullptr;

    // --- hidden work controls ---------------------------------------------------
    QListWidget* Scaling_ListBox = nullptr;
    QLineEdit* Current_Directory_Edit = nullptr;
    QPlainTextEdit* Work_Memo = nullptr;
    QCheckBox* File_Contains_Any_Interesting_Items_CheckBox = nullptr;
    QLineEdit* SelStart_Edit = nullptr;
    QLineEdit* SelLength_Edit = nullptr;
    QGroupBox* File_Processing_Progress_GroupBox = nullptr;
    QProgressBar* Progress_Guage = nullptr;
    QPushButton* Process_The_Selected_File_BitBtn = nullptr;
    QPushButton* Colour_Code_File_Contents_BitBtn = nullptr;
    QPushButton* Expand_Selection_BitBtn = nullptr;
    QPushButton* Debugging_Show_Selection_Details_BitBtn = nullptr;
    QLabel* Processing_File_Name_Label = nullptr;
    QCheckBox* Abort_All_Processing_CheckBox = nullptr;

    // --- menus ------------------------------------------------------------------
    QMenuBar* MainMenu1 = nullptr;
    QMenu* FileMenu = nullptr;
    QAction* Always_On_Top_Option = nullptr;
    QAction* Auto_Run_at_Windows_Startup_Option = nullptr;
    QAction* Restore_Factory_Defaults_Option = nullptr;
    QAction* N2 = nullptr;
    QAction* Create_Shortcut_on_Desktop_Option = nullptr;
    QAction* Create_Shortcut_on_Start_Menu_Option = nullptr;
    QAction* Create_Shortcut_on_Start_Programs_Menu_Option = nullptr;
    QAction* Create_Shortcut_on_SendTo_Menu_Option = nullptr;
    QAction* Delete_All_Shortcuts_Option = nullptr;
    QAction* N9 = nullptr;
    QAction* ExitOption = nullptr;
    QMenu* HelpMenu = nullptr;
    QAction* View_Readme_file_Option = nullptr;
    QAction* View_Shareware_Catalog_Option = nullptr;
    QAction* N1 = nullptr;
    QAction* AboutOption = nullptr;

    // Controls of our own, which the design does not name: names in this
    // code's style, their object names without the "m_", and no settings
    // key follows them.
    // --- page 3: what the interesting items cover --------------------------------
    QWidget* m_statisticsPage = nullptr;
    QGroupBox* m_itemsCoverageBox = nullptr;
    QTableView* m_itemsTable = nullptr;
    QLabel* m_statisticsSummary = nullptr;
    QPushButton* m_refreshStatisticsButton = nullptr;
    QPushButton* m_copyStatisticsButton = nullptr;
    QPushButton* m_saveStatisticsButton = nullptr;
    QPushButton* m_exportItemsButton = nullptr;
    QGroupBox* m_uncoveredFilesBox = nullptr;
    QListView* m_uncoveredFilesList = nullptr;
    QGroupBox* m_singleItemFilesBox = nullptr;
    QListView* m_singleItemFilesList = nullptr;

    // --- finding text in the view -------------------------------------------------
    // Not components: the bar is part of the view (placed, scaled and disabled
    // with it), and the keys' actions are active while the view is shown and
    // enabled.
    FindBar* m_findBar = nullptr;
    QAction* m_findAction = nullptr;         // Ctrl+F
    QAction* m_findNextAction = nullptr;     // F3
    QAction* m_findPreviousAction = nullptr; // Shift+F3

    // Building the controls (main_form_controls.cpp).
    void createControls();
    void createPage1();
    void createPage1Keys();
    void createPage2();
    void createHiddenControls();
    void createPage3();
    void createMenus();
    QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                            const QString& hint, const QRect& bounds, int icon,
                            const char* themeIcon = nullptr, bool glyphRight = false);
    void setHint(QWidget* widget, const QString& hint);
    // Connecting controls to their commands (main_form.cpp).
    void wireCommands();
    void connectCommand(QPushButton* button, void (TMainForm1::*handler)());
    void connectCommand(QAction* action, void (TMainForm1::*handler)());

    // Steps of the first-show sequence (main_form_lifecycle.cpp, the layout
    // step in main_form_layout.cpp, the settings step in
    // main_form_settings.cpp, the auto-run and About steps in
    // main_form_desktop.cpp).
    void fixClientArea();
    void readSettingsStep();
    void setCaptionStep();
    void fillAboutTextsStep();
    void applyStartUpShowCommand();
    void applyMaximisedState();
    void applyAlwaysOnTopStep();
    void checkAutoRunStep();
    void loadListsStep();
    void processRememberedFileStep();
    // Writes the settings file (a maximised window restored to its normal
    // size first unless keepWindowState); false when it could not be written.
    bool writeSettingsStep(bool keepWindowState);
    // Saves both list files; false when either failed.
    bool saveListFiles();

    // Makes another entry current and shows it, or says why it cannot
    // (main_form_navigation.cpp).
    void moveAndShow(Workspace::Move move);

    // The busy state and the gauge (main_form_processing.cpp).
    void focusView();
    void leaveBusyState();
    // The caption of File_Contents_GroupBox for the entry at index.
    void setFileCaption(int index, const QString& path);
    void setGaugeRange(qint64 maximum);
    void setGaugeProgress(qint64 progress);

    // Hand-offs of later starts (main_form_lifecycle.cpp).
    void deliverHandOffs();
    void addWaitingHandOffPaths();
    void comeToFront(std::optional<StartUpShow> show);
    // Whether work that lets events run should stop (the window has closed).
    bool stopRequested() const { return m_closed; }

    // The workspace's host (main_form_processing.cpp, main_form_work.cpp).
    bool closed() const override { return m_closed; }
    bool showCurrentEntry() override;
    void captionEntry(int index) override;
    // The option controls and the hidden flag controls follow the
    // workspace's fields, and the other way round (main_form.cpp).
    void mirrorWorkspace();

    ProgramFolder m_programFolder;
    Dialogs& m_dialogs;
    Clipboard& m_clipboard;
    DesktopServices& m_desktop;
    std::vector<QObject*> m_components;
    Workspace* m_workspace = nullptr;

    bool m_firstShowDone = false;
    bool m_busy = false;
    bool m_busyCursor = false;
    int m_workRunning = 0; // runWork calls under way
    bool m_savedMaximised = false;
    int m_savedFileNumber = 0;
    // Not empty while the settings file is one the tool refuses to read (far
    // too large, a link of another user): the close does not write over it.
    QString m_settingsRefusal;
    // The settings file has been read and applied: until then the controls
    // hold defaults, which a close must not write over the file.
    bool m_settingsApplied = false;
    qint64 m_gaugeDivisor = 1;
    // Counts the runs of processing, so that a run which finds that another
    // one has started while its file was read leaves the view to that one.
    quint64 m_processRuns = 0;
    // The last processing showed a file by its unreadable-file line.
    bool m_lastShownUnreadable = false;

    // The statistics page (main_form_statistics.cpp).
    void wireStatistics();
    void showStatistics();
    void updateStatisticsSummary();
    void fitStatisticsTable();
    // Makes the entry for path current and shows it on page 1.
    void showListedFile(const QString& path);
    ItemStatsModel* m_itemStatsModel = nullptr;
    QStringListModel* m_uncoveredModel = nullptr;
    QStringListModel* m_singleModel = nullptr;
    QString m_statisticsSavePath; // the last file the table was saved to
    QString m_exportPath;         // the last file the items were exported to
    int m_exportFormat = 0;       // the format chosen last (an ExportFormat)

    TAboutBox* m_aboutBox = nullptr;
    StartUpShow m_startUpShow = StartUpShow::Normal;

    // Commands under way (nested ones counted), the close.
    int m_commandDepth = 0;
    bool m_inCloseQuery = false;
    bool m_closed = false;
    struct HandOff {
        std::optional<StartUpShow> show;
        QStringList paths;
        QList<QByteArray> undecodablePaths;
    };
    std::vector<HandOff> m_handOffs;
    bool m_handOffRetryPending = false;
    bool m_forcedEnd = false;
    QStringList m_deliveringPaths; // of the hand-off being dropped now
    std::function<void()> m_settleHandOffs;
    // Stops taking starts and delivers those taken into the waiting ones.
    void settleHandOffs();
};

} // namespace jl
