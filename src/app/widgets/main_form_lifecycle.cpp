// The first-show sequence, the close and the Exit commands, Always On Top,
// and the hand-offs of later starts.

#include "app/widgets/main_form.h"
#include "util/product.h"

#include "filelist/file_enumeration.h"
#include "util/dialogs.h"
#include "util/widgets/qt_dialogs.h"
#include "util/widgets/sorted_list_box.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QTabWidget>
#include <QTimer>

namespace jl {

void TMainForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_firstShowDone)
        return;
    m_firstShowDone = true;
    runCommand([this] { FormShow(); });
}

void TMainForm1::FormShow() {
    // A close accepted while a box of the sequence is open (a signal, the
    // session's end) ends the sequence there: what was not loaded stays
    // unloaded, and the close has not written it.
    fixClientArea();        // 1
    Record_Design_Layout(); // 2
    readSettingsStep();     // 3
    if (m_closed)
        return;
    setCaptionStep();          // 4
    fillAboutTextsStep();      // 4
    applyStartUpShowCommand(); // 5
    applyMaximisedState();     // 6
    applyAlwaysOnTopStep();    // 7
    checkAutoRunStep();        // 8
    if (m_closed)
        return;
    PageControl1->setCurrentWidget(TabSheet1); // 9
    Set_List_Scroll_Width(*File_List_ListBox); // 10
    Set_List_Scroll_Width(*Interesting_Items_ListBox);
    loadListsStep(); // 11
    if (m_closed)
        return;
    processRememberedFileStep(); // 12
}

void TMainForm1::setCaptionStep() {
    setWindowTitle(productCaption());
    setApplicationTitle(productCaption());
}

void TMainForm1::applyStartUpShowCommand() {
    switch (m_startUpShow) {
    case StartUpShow::Normal:
        showNormal();
        break;
    case StartUpShow::Minimized:
        showMinimized();
        break;
    case StartUpShow::Maximized:
        showMaximized();
        break;
    }
}

void TMainForm1::applyMaximisedState() {
    if (savedMaximised())
        showMaximized();
}

void TMainForm1::applyAlwaysOnTopStep() {
    // The toggle inverts the option back and puts the window in its band.
    m_workspace->setAlwaysOnTop(!m_workspace->alwaysOnTop());
    Toggle_Always_On_Top();
}

void TMainForm1::loadListsStep() {
    // Each list stands alone: a file list that cannot be read is reported and
    // the interesting-items list is still loaded. A file read only in part is
    // reported too.
    for (ListFileKeeper* keeper : {&m_workspace->filesKeeper(), &m_workspace->itemsKeeper()}) {
        if (m_closed)
            return;
        runCommand([this, keeper] {
            if (const QString notice = keeper->load(); !notice.isEmpty())
                m_dialogs.information(notice);
        });
    }
}

void TMainForm1::processRememberedFileStep() {
    const SortedList& files = m_workspace->files();
    if (files.isEmpty() || m_savedFileNumber >= files.count())
        return;
    m_workspace->setCurrentIndex(m_savedFileNumber);
    Process_The_Selected_File_BitBtnClick();
}

// --- the close ------------------------------------------------------------------------

void TMainForm1::closeEvent(QCloseEvent* event) {
    // A close asked for again while one is saving (from the events its
    // message boxes let run) is left to that one.
    if (m_inCloseQuery || m_closed) {
        event->setAccepted(m_closed);
        return;
    }
    m_inCloseQuery = true;
    settleHandOffs();
    addWaitingHandOffPaths();
    bool allowed = true;
    runCommand([&] { allowed = FormCloseQuery(); });
    m_inCloseQuery = false;
    if (!allowed) {
        event->ignore();
        return;
    }
    // Work under way ends with the window; its command sees the window
    // closed and leaves the saved lists alone.
    m_closed = true;
    stopAllWork();
    event->accept();
    emit closedForGood();
}

bool TMainForm1::FormCloseQuery() {
    return Save_Settings();
}

bool TMainForm1::Save_Settings(bool keepWindowState) {
    return writeSettingsStep(keepWindowState) && saveListFiles();
}

bool TMainForm1::saveAtSessionEnd() {
    addWaitingHandOffPaths();
    return Save_Settings(true);
}

bool TMainForm1::saveBeforeForcedEnd() {
    m_forcedEnd = true;
    settleHandOffs();
    addWaitingHandOffPaths();
    const bool settings = writeSettingsStep(true);
    const bool lists = saveListFiles();
    return settings && lists;
}

bool TMainForm1::saveListFiles() {
    // Any failure keeps the window open, so that the user can make room and
    // close again without losing the list.
    return m_workspace->saveLists();
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

// --- Always On Top --------------------------------------------------------------------

void TMainForm1::Always_On_Top_OptionClick() {
    Toggle_Always_On_Top();
}

void TMainForm1::Toggle_Always_On_Top() {
    // The tick of Always_On_Top_Option follows the option.
    const bool topmost = !m_workspace->alwaysOnTop();
    m_workspace->setAlwaysOnTop(topmost);
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

// --- a later start's hand-off -------------------------------------------------------

void TMainForm1::takeHandedOverStart(std::optional<StartUpShow> show, const QStringList& paths,
                                     const QList<QByteArray>& undecodablePaths) {
    if (m_closed)
        return;
    m_handOffs.push_back({show, paths, undecodablePaths});
    deliverHandOffs();
}

bool TMainForm1::acceptsHandOffs() const {
    return m_workspace->listsLoaded() && !m_inCloseQuery && !m_closed && !m_forcedEnd;
}

void TMainForm1::settleHandOffs() {
    if (m_settleHandOffs && m_workspace->listsLoaded())
        m_settleHandOffs();
}

void TMainForm1::deliverHandOffs() {
    if (m_closed) {
        m_handOffs.clear();
        return;
    }
    // A command under way goes on over the list as it was; the drop waits,
    // and so it does while the close saves (the close adds it first).
    if (m_commandDepth > 0 || m_busy || !m_firstShowDone || m_inCloseQuery ||
        QApplication::activeModalWidget()) {
        if (!m_handOffRetryPending) {
            m_handOffRetryPending = true;
            QTimer::singleShot(100, this, [this] {
                m_handOffRetryPending = false;
                deliverHandOffs();
            });
        }
        return;
    }
    while (!m_handOffs.empty() && !m_closed) {
        const HandOff handOff = m_handOffs.front();
        m_handOffs.erase(m_handOffs.begin());
        comeToFront(handOff.show);
        // A close while the drop lets events run adds these paths too.
        m_deliveringPaths = handOff.paths;
        dropCommandLinePaths(handOff.paths, handOff.undecodablePaths);
        m_deliveringPaths.clear();
    }
}

void TMainForm1::addWaitingHandOffPaths() {
    // Taken only once the lists are loaded (acceptsHandOffs).
    if ((m_handOffs.empty() && m_deliveringPaths.isEmpty()) || !m_workspace->listsLoaded())
        return;
    QStringList names = m_deliveringPaths;
    for (const HandOff& handOff : m_handOffs) {
        for (const QString& path : handOff.paths)
            names.append(QFileInfo(path).absoluteFilePath());
    }
    m_handOffs.clear();
    runCommand([&] { m_workspace->dropPaths(names, fileListOptions()); });
}

void TMainForm1::comeToFront(std::optional<StartUpShow> state) {
    if (!state) {
        // As it was before it was minimised: normal or maximised.
        if (isMinimized())
            setWindowState(windowState() & ~Qt::WindowMinimized);
    } else {
        switch (*state) {
        case StartUpShow::Normal:
            showNormal();
            break;
        case StartUpShow::Maximized:
            showMaximized();
            break;
        case StartUpShow::Minimized:
            showMinimized();
            return;
        }
    }
    raise();
    activateWindow();
}

} // namespace jl
