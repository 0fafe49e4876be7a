// The settings file through the window: the first-show step that reads and
// applies it, the step of the close that writes it, and Restore Factory
// Defaults.

#include "app/widgets/main_form.h"

#include "app/settings.h"
#include "app/widgets/outer_size_keeper.h"
#include "app/widgets/radio_group.h"
#include "app/window_place.h"
#include "util/dialogs.h"
#include "util/list_ops.h"
#include "util/own_files.h"
#include "util/widgets/sorted_list_box.h"

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>

namespace jl {

namespace {

// Every screen, the primary first.
QList<ScreenArea> screenAreas() {
    QList<ScreenArea> areas;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        areas.append({primary->geometry(), primary->availableGeometry()});
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary)
            areas.append({screen->geometry(), screen->availableGeometry()});
    }
    return areas;
}

} // namespace

void TMainForm1::readSettingsStep() {
    // What an interrupted save left is cleared first (an interrupted rewrite
    // in place is undone), so that every file is read as it stands.
    clearStaleSaveFiles({m_programFolder.settingsFile(), m_programFolder.fileListFile(),
                         m_programFolder.itemsListFile()});
    m_settingsRefusal.clear();
    const SettingsValues v = readSettings(m_programFolder.settingsFile(), &m_settingsRefusal);
    if (!m_settingsRefusal.isEmpty())
        m_dialogs.information(
            settingsFileRefusedNotice(m_programFolder.settingsFile(), m_settingsRefusal));

    // The stored numbers describe the outer frame, taken only as far as they
    // fit the screens there are now; the close writes back what was applied.
    // move() places the frame, resize() sizes what lies inside it.
    const SettingsValues d;
    const WindowPlace place =
        fitWindowPlace({v.windowLeft, v.windowTop, v.windowWidth, v.windowHeight},
                       {d.windowLeft, d.windowTop, d.windowWidth, d.windowHeight}, screenAreas());
    const QMargins margins = frameMargins(*this);
    const int extraWidth = margins.left() + margins.right();
    const int extraHeight = margins.top() + margins.bottom();
    move(pos().x(), place.top);
    move(place.left, pos().y());
    resize(place.width - extraWidth, height());
    resize(width(), place.height - extraHeight);
    OuterSizeKeeper::keep(this, QSize(place.width, place.height));

    Always_On_Top_Option->setChecked(v.alwaysOnTop);
    Auto_Run_at_Windows_Startup_Option->setChecked(v.autoRunAtStartup);
    setSavedMaximised(v.maximized);
    Current_Directory_Edit->setText(v.currentDirectory);
    // A group whose choice changes runs its click command, as a user's click.
    File_Contents_Filter_RadioGroup->setItemIndex(v.viewFilter);
    Expand_Selection_RadioGroup->setItemIndex(v.expandSelection);
    File_Contents_Colour_Coding_RadioGroup->setItemIndex(v.colourCoding);
    setSavedFileNumber(v.selectedFileNum);
    Auto_Save_Interesting_Items_List_CheckBox->setChecked(v.autoSaveInterestingItems);
}

bool TMainForm1::writeSettingsStep(bool keepWindowState) {
    if (!m_settingsRefusal.isEmpty())
        return true; // a file the tool did not read is not written over
    SettingsValues v;
    // The geometry written is the normal one, also of a maximised or
    // minimised window; it is taken before the window is restored, since a
    // window manager answers the restore only later.
    v.maximized = isMaximized();
    const QRect outer = normalGeometry().marginsAdded(frameMargins(*this));
    if (v.maximized && !keepWindowState)
        setWindowState(windowState() & ~Qt::WindowMaximized);
    v.windowTop = outer.top();
    v.windowLeft = outer.left();
    v.windowWidth = outer.width();
    v.windowHeight = outer.height();
    v.alwaysOnTop = Always_On_Top_Option->isChecked();
    v.autoRunAtStartup = Auto_Run_at_Windows_Startup_Option->isChecked();
    v.currentDirectory = Current_Directory_Edit->text();
    v.viewFilter = File_Contents_Filter_RadioGroup->itemIndex();
    v.expandSelection = Expand_Selection_RadioGroup->itemIndex();
    v.colourCoding = File_Contents_Colour_Coding_RadioGroup->itemIndex();
    v.selectedFileNum = Get_First_Selected_Index(File_List_ListBox->list());
    v.autoSaveInterestingItems = Auto_Save_Interesting_Items_List_CheckBox->isChecked();

    const QString path = m_programFolder.settingsFile();
    m_programFolder.prepareUserFilesFolder();
    if (!writeSettings(path, v)) {
        m_dialogs.error(unableToWriteMessage(path));
        return false;
    }
    return true;
}

void TMainForm1::Restore_Factory_Defaults_OptionClick() {
    if (!Restore_Factory_Defaults(m_dialogs, m_programFolder.settingsFile()))
        return;
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    FormShow();
}

} // namespace jl
