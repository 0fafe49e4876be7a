// Showing the current file: the busy state and the gauge, reading the file
// into the view under the view filter, and colour coding the view.

#include "app/widgets/main_form.h"

#include "util/dialogs.h"
#include "util/file_helpers.h"
#include "util/text_helpers.h"
#include "view/widgets/message_view.h"

#include <QApplication>
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
                                         .arg(m_workspace->files().count())
                                         .arg(Get_File_Name(path)));
}

void TMainForm1::focusView() {
    File_Contents_RichEdit->setFocus();
}

// --- processing -----------------------------------------------------------------------

void TMainForm1::Process_The_Selected_File_BitBtnClick() {
    const int index = m_workspace->currentIndex();
    const QString path = m_workspace->currentPath();
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
    hooks.pumpEvents = pumpEvents;
    hooks.stop = [this] { return stopRequested(); };
    hooks.gaugeRange = [this](qint64 maximum) { setGaugeRange(maximum); };
    hooks.gaugeProgress = [this](qint64 progress) { setGaugeProgress(progress); };

    view->beginUpdate();
    guard.updateOpen = true;
    const EntryText entry = m_workspace->readEntry(path, hooks);
    if (run != m_processRuns || stopRequested())
        return; // the guard ends the update and leaves the busy state
    view->setWholeText(entry.text);
    guard.updateOpen = false;
    view->endUpdate();

    if (entry.passedOver) {
        m_lastShownUnreadable = true;
        guard.armed = false;
        leaveBusyState();
    } else if (entry.result.status == LoadStatus::CannotRead) {
        guard.armed = false;
        leaveBusyState();
        m_dialogs.error(QStringLiteral("Error: The file \"%1\" could not be read: %2")
                            .arg(path, entry.result.error));
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
    } else {
        // Shown from another page (the view filter on the settings page):
        // at its top all the same, but the focus stays where the user is.
        view->setSelectionStart(0);
        view->setSelectionLength(0);
    }
    pumpEvents();
}

// --- the workspace's host ------------------------------------------------------------

bool TMainForm1::showCurrentEntry() {
    Process_The_Selected_File_BitBtnClick();
    focusView();
    QCoreApplication::processEvents();
    return m_lastShownUnreadable;
}

void TMainForm1::captionEntry(int index) {
    setFileCaption(index, m_workspace->files().at(index));
}

// --- colour coding --------------------------------------------------------------------

void TMainForm1::Colour_Code_File_Contents_BitBtnClick() {
    MessageView* view = File_Contents_RichEdit;
    // Also sets the found-any flag.
    const ColourResult result = m_workspace->colourText(view->wholeText());
    view->beginUpdate();
    view->applyColours(result.spans);
    view->setSelectionStart(result.caret);
    view->setSelectionLength(0);
    view->endUpdate();
}

} // namespace jl
