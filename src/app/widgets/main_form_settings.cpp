// The settings file through the window: the first-show step that reads and
// applies it, the step of the close that writes it, and Restore Factory
// Defaults.

#include "app/widgets/main_form.h"

#include "app/settings.h"
#include "app/widgets/outer_place_keeper.h"
#include "app/window_place.h"
#include "util/dialogs.h"
#include "util/own_files.h"

#include <QAction>
#include <QGuiApplication>
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
    m_settingsApplied = false;
    // What an interrupted save left is cleared first (an interrupted rewrite
    // in place is finished, or set aside when the file changed since), so
    // that every file is read as it stands.
    const StaleSaveReport stale =
        clearStaleSaveFiles({m_programFolder.settingsFile(), m_programFolder.fileListFile(),
                             m_programFolder.itemsListFile()});
    for (const SetAsideCopy& copy : stale.setAside)
        m_dialogs.information(setAsideCopyNotice(copy));
    m_settingsRefusal.clear();
    const SettingsValues v = readSettings(m_programFolder.settingsFile(), &m_settingsRefusal);
    if (!m_settingsRefusal.isEmpty())
        m_dialogs.information(
            settingsFileRefusedNotice(m_programFolder.settingsFile(), m_settingsRefusal));

    // The stored numbers describe the outer frame, fitted to the screens
    // there are now; the close writes back what was applied.
    const SettingsValues d;
    const WindowPlace place =
        fitWindowPlace({v.windowLeft, v.windowTop, v.windowWidth, v.windowHeight},
                       {d.windowLeft, d.windowTop, d.windowWidth, d.windowHeight}, screenAreas());
    OuterPlaceKeeper::of(this).place(QRect(place.left, place.top, place.width, place.height));

    Workspace& ws = *m_workspace;
    ws.setAlwaysOnTop(v.alwaysOnTop);
    Auto_Run_at_Windows_Startup_Option->setChecked(v.autoRunAtStartup);
    setSavedMaximised(v.maximized);
    ws.setCurrentDirectory(v.currentDirectory);
    // An option whose choice changes runs its group's click command, as a
    // user's click.
    ws.setViewFilter(ViewFilter(v.viewFilter));
    ws.setDecodeMime(v.decodeMimeParts);
    ws.setExpansion(ExpandSelectionOption(v.expandSelection));
    ws.setColourOption(ColourOption(v.colourCoding));
    setSavedFileNumber(v.selectedFileNum);
    ws.setAutoSave(v.autoSaveInterestingItems);
    m_settingsApplied = true;
}

bool TMainForm1::writeSettingsStep(bool keepWindowState) {
    if (!m_settingsRefusal.isEmpty() || !m_settingsApplied)
        return true; // a file the tool did not read is not written over
    SettingsValues v;
    // The geometry written is the normal one, also of a maximised or
    // minimised window; it is taken before the window is restored, since a
    // window manager answers the restore only later.
    v.maximized = isMaximized();
    const QRect outer = OuterPlaceKeeper::of(this).outerNormalGeometry();
    if (v.maximized && !keepWindowState)
        setWindowState(windowState() & ~Qt::WindowMaximized);
    v.windowTop = outer.top();
    v.windowLeft = outer.left();
    v.windowWidth = outer.width();
    v.windowHeight = outer.height();
    const Workspace& ws = *m_workspace;
    v.alwaysOnTop = ws.alwaysOnTop();
    v.autoRunAtStartup = Auto_Run_at_Windows_Startup_Option->isChecked();
    v.currentDirectory = ws.currentDirectory();
    v.viewFilter = ws.viewFilter();
    v.expandSelection = ws.expansion();
    v.colourCoding = ws.colourOption();
    v.selectedFileNum = ws.currentIndex();
    v.autoSaveInterestingItems = ws.autoSave();
    v.decodeMimeParts = ws.decodeMime();

    const QString path = m_programFolder.settingsFile();
    m_programFolder.prepareUserFilesFolder();
    QString leftOut;
    if (!writeSettings(path, v, nullptr, &leftOut)) {
        m_dialogs.error(unableToWriteMessage(path));
        return false;
    }
    if (!leftOut.isEmpty())
        m_dialogs.information(leftOut);
    return true;
}

void TMainForm1::Restore_Factory_Defaults_OptionClick() {
    if (!Restore_Factory_Defaults(m_dialogs, m_programFolder.settingsFile()))
        return;
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    FormShow();
}

} // namespace jl
