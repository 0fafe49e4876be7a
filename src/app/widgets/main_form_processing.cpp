// Showing the current file: the busy state and the gauge, reading the file
// into the view under the view filter, and colour coding the view.

#include "app/widgets/main_form.h"

#include "app/widgets/radio_group.h"
#include "items/scan_ahead.h"
#include "util/dialogs.h"
#include "util/file_helpers.h"
#include "util/list_ops.h"
#include "util/text_helpers.h"
#include "util/widgets/sorted_list_box.h"
#include "view/message_reader.h"
#include "view/widgets/message_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTabWidget>

#include <algorithm>
#include <climits>

namespace jl {

namespace {

void pumpEvents() {
    QCoreApplication::processEvents();
}

} // namespace

// --- busy state -----------------------------------------------------------------------

void TMainForm1::Set_Busy_State(bool ready) {
    // While work runs off the user-interface thread the window stays busy,
    // also when a file shown meanwhile (a drop) has been read.
    if (ready && m_workRunning > 0)
        return;
    m_busy = !ready;
    if (!ready && !m_busyCursor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_busyCursor = true;
    } else if (ready && m_busyCursor) {
        QApplication::restoreOverrideCursor();
        m_busyCursor = false;
    }
    // Every control of the window; the menu bar and its menus stay enabled.
    for (QObject* component : m_components) {
        auto* widget = qobject_cast<QWidget*>(component);
        if (!widget || widget == MainMenu1 || qobject_cast<QMenu*>(widget))
            continue;
        widget->setEnabled(ready);
    }
}

void TMainForm1::leaveBusyState() {
    File_Processing_Progress_GroupBox->hide();
    Set_Busy_State(true);
}

void TMainForm1::setGaugeRange(qint64 maximum) {
    // The gauge counts in int; larger files are counted in coarser steps.
    m_gaugeDivisor = maximum > INT_MAX ? maximum / INT_MAX + 1 : 1;
    Progress_Guage->setRange(0, static_cast<int>(std::max<qint64>(0, maximum) / m_gaugeDivisor));
    Progress_Guage->setValue(0);
}

void TMainForm1::setGaugeProgress(qint64 progress) {
    Progress_Guage->setValue(
        static_cast<int>(std::min(progress / m_gaugeDivisor, qint64(Progress_Guage->maximum()))));
}

void TMainForm1::setFileCaption(int index, const QString& path) {
    File_Contents_GroupBox->setTitle(QStringLiteral("File %1 of %2 :  %3 ")
                                         .arg(index + 1)
                                         .arg(File_List_ListBox->list().count())
                                         .arg(Get_File_Name(path)));
}

void TMainForm1::focusView() {
    File_Contents_RichEdit->setFocus();
}

// --- processing -----------------------------------------------------------------------

void TMainForm1::Process_The_Selected_File_BitBtnClick() {
    const SortedList& files = File_List_ListBox->list();
    const int index = Get_First_Selected_Index(files);
    const QString path = Get_First_Selected_Text(files);
    MessageView* view = File_Contents_RichEdit;
    const quint64 run = ++m_processRuns;
    m_lastShownUnreadable = false;

    view->clearText();
    if (path.isEmpty())
        return;
    if (!isExistingFile(path)) {
        view->appendLine(QStringLiteral(" *** Error: File does NOT exist !!"));
        return;
    }

    Set_Busy_State(false);
    // Whatever happens while the file is read, the window leaves the busy
    // state and the view redraws again.
    struct BusyGuard {
        TMainForm1* form;
        bool armed = true;
        bool updateOpen = false;
        ~BusyGuard() {
            if (updateOpen)
                form->File_Contents_RichEdit->endUpdate();
            if (armed)
                form->leaveBusyState();
        }
    } guard{this};

    File_Processing_Progress_GroupBox->setEnabled(true);
    Progress_Guage->setEnabled(true);
    File_Processing_Progress_GroupBox->show();
    File_Processing_Progress_GroupBox->raise();
    pumpEvents();
    // A command run from the events pumped here or while the file is read (a
    // drop, a return to factory defaults) may show another entry: that
    // entry's caption and text stand, and this run is dropped.
    if (run != m_processRuns)
        return;

    setFileCaption(index, path);

    ReaderHooks hooks;
    hooks.filter = [this] { return viewFilter(); };
    hooks.pumpEvents = pumpEvents;
    hooks.stop = [this] { return stopRequested(); };
    hooks.gaugeRange = [this](qint64 maximum) { setGaugeRange(maximum); };
    hooks.gaugeProgress = [this](qint64 progress) { setGaugeProgress(progress); };

    // The lines are collected and reach the view in one piece.
    ViewTextBuilder text;
    view->beginUpdate();
    guard.updateOpen = true;
    const LoadResult result = Load_File_Into_View(path, text, hooks);
    if (run != m_processRuns || stopRequested())
        return; // the guard ends the update and leaves the busy state
    // During a scan a file that cannot be read is passed over like a
    // missing one: its error line in the view, not colour coded, no box.
    const bool passOver = result.status == kStatusCannotRead && m_passOverUnreadable;
    view->setWholeText(passOver ? unreadableFileLine(result.error) : text.toQString());
    guard.updateOpen = false;
    view->endUpdate();

    if (passOver) {
        m_lastShownUnreadable = true;
        guard.armed = false;
        leaveBusyState();
    } else if (result.status == kStatusCannotRead) {
        guard.armed = false;
        leaveBusyState();
        m_dialogs.error(
            QStringLiteral("Error: The file \"%1\" could not be read: %2").arg(path, result.error));
    } else {
        Colour_Code_File_Contents_BitBtnClick();
        guard.armed = false;
        leaveBusyState();
    }

    if (PageControl1->currentWidget() == TabSheet1) {
        view->setSelectionStart(0);
        view->setSelectionLength(1);
        focusView();
        view->setSelectionLength(0);
        focusView();
    }
    pumpEvents();
}

// --- colour coding --------------------------------------------------------------------

const ColourMatcher& TMainForm1::colourMatcher() {
    if (m_matcherStale) {
        m_matcher = ColourMatcher(Interesting_Items_ListBox->list().entries());
        m_matcherStale = false;
    }
    return m_matcher;
}

void TMainForm1::Colour_Code_File_Contents_BitBtnClick() {
    MessageView* view = File_Contents_RichEdit;
    const ColourResult result = colourMatcher().colour(view->wholeText(), colourOption());
    view->beginUpdate();
    view->applyColours(result.spans);
    File_Contains_Any_Interesting_Items_CheckBox->setChecked(result.foundAny);
    view->setSelectionStart(result.caret);
    view->setSelectionLength(0);
    view->endUpdate();
}

} // namespace jl
