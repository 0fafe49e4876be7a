// The first-show sequence, the close and the Exit commands, Always On Top,
// and the hand-offs of later starts.

#include "app/widgets/main_form.h"
#include "util/product.h"

#include "filelist/file_enumeration.h"
#include "util/dialogs.h"
#include "util/list_file_keeper.h"
#include "util/list_ops.h"
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
    // The toggle inverts the tick back and puts the window in its band.
    Always_On_Top_Option->setChecked(!Always_On_Top_Option->isChecked());
    Toggle_Always_On_Top();
}

void TMainForm1::loadListsStep() {
    // Each list stands alone: a file list that cannot be read is reported and
    // the interesting-items list is still loaded. A file read only in part is
    // reported too.
    for (ListFileKeeper* keeper : {m_fileListKeeper, m_itemsKeeper}) {
        runCommand([this, keeper] {
            if (const QString notice = keeper->load(); !notice.isEmpty())
                m_dialogs.information(notice);
        });
    }
}

void TMainForm1::processRememberedFileStep() {
    SortedList& files = File_List_ListBox->list();
    if (files.isEmpty() || m_savedFileNumber >= files.count())
        return;
    Select_List_Index(files, m_savedFileNumber);
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

bool TMainForm1::saveBeforeForcedEnd() {
    const bool settings = writeSettingsStep(true);
    const bool lists = saveListFiles();
    return settings && lists;
}

bool TMainForm1::saveListFiles() {
    // Each list file is saved on its own: a failure of one (reported by the
    // save itself) does not stop the other, and any failure keeps the window
    // open, so that the user can make room and close again without losing
    // the list. A list whose file was not read whole at start-up is written
    // over that file only after a change and the user's Yes.
    bool saved = m_fileListKeeper->save(m_dialogs, ListFileKeeper::Occasion::Close) == 0;
    saved = m_itemsKeeper->save(m_dialogs, ListFileKeeper::Occasion::Close) == 0 && saved;
    return saved;
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

// --- a later start's hand-off -------------------------------------------------------

void TMainForm1::takeHandedOverStart(std::optional<StartUpShow> show, const QStringList& paths,
                                     const QList<QByteArray>& undecodablePaths) {
    if (m_closed)
        return;
    m_handOffs.push_back({show, paths, undecodablePaths});
    deliverHandOffs();
}

void TMainForm1::deliverHandOffs() {
    if (m_closed) {
        m_handOffs.clear();
        return;
    }
    // A command under way goes on over the list as it was; the drop waits.
    if (m_commandDepth > 0 || m_busy || !m_firstShowDone || QApplication::activeModalWidget()) {
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
        dropCommandLinePaths(handOff.paths, handOff.undecodablePaths);
    }
}

void TMainForm1::addWaitingHandOffPaths() {
    if (m_handOffs.empty())
        return;
    QStringList names;
    for (const HandOff& handOff : m_handOffs) {
        for (const QString& path : handOff.paths)
            names.append(QFileInfo(path).absoluteFilePath());
    }
    m_handOffs.clear();
    runCommand([&] { dropNamesIntoList(File_List_ListBox->list(), names, fileListOptions()); });
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
