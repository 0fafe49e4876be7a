// The scan for the next file that holds none of the interesting items.
//
// Step by step, the scan would show every file on the way with Next File
// until one leaves the found-any flag cleared. Here the batch engine decides
// the files ahead, off the user-interface thread (items/scan_ahead.h), and
// only the file where the scan stops is processed into the view; what the
// window shows at the end is what the step-by-step scan leaves behind.

#include "app/widgets/main_form.h"

#include "items/scan_ahead.h"
#include "util/dialogs.h"
#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"

#include <QCheckBox>
#include <QCoreApplication>

namespace jl {

void TMainForm1::runWithScanner(
    const std::function<void(const BatchScanner&, const JobControl&)>& work) {
    const int filter = viewFilter();
    const quint64 itemsNow = m_itemsListChanges;
    std::shared_ptr<const BatchScanner> scanner;
    if (m_scanner && m_scannerItems == itemsNow && m_scannerFilter == filter)
        scanner = m_scanner;
    // The matcher over many items takes a while to build: off this thread.
    const QStringList items = scanner ? QStringList() : Interesting_Items_ListBox->list().entries();
    runWork([&](const JobControl& control) {
        if (!scanner)
            scanner = std::make_shared<const BatchScanner>(items, filter);
        work(*scanner, control);
    });
    if (scanner) {
        m_scanner = std::move(scanner);
        m_scannerItems = itemsNow;
        m_scannerFilter = filter;
    }
}

void TMainForm1::BitBtn1Click() {
    SortedList& files = File_List_ListBox->list();
    QCheckBox* foundAny = File_Contains_Any_Interesting_Items_CheckBox;
    const ColourOption colour = colourOption();
    const bool itemsCount = colour == ItemsOnly || colour == Everything;

    // While the scan runs, a file that cannot be read is passed over like a
    // missing one: its error line in the view, no box; the user hears once,
    // at the end, how many there were.
    struct PassOver {
        TMainForm1* form;
        explicit PassOver(TMainForm1* f) : form(f) { form->setPassOverUnreadable(true); }
        ~PassOver() { form->setPassOverUnreadable(false); }
    } passOver(this);
    int unreadable = 0;

    foundAny->setChecked(true);
    int index = Get_First_Selected_Index(files);
    bool stoppedByUser = false;
    while (index < files.count() - 1) {
        const quint64 fileListBefore = m_fileListChanges;
        const quint64 itemsBefore = m_itemsListChanges;
        const int filter = viewFilter();
        const QStringList paths = files.entries();
        const int from = index + 1;
        ScanAhead ahead;
        runWithScanner([&](const BatchScanner& scanner, const JobControl& control) {
            ahead = scanAhead(scanner, paths, from, itemsCount, control);
        });
        // Closed meanwhile, or another command changed the lists, the options
        // or the current entry (a drop, a return to factory defaults): that
        // command's result stands.
        if (closeAccepted() || m_fileListChanges != fileListBefore ||
            m_itemsListChanges != itemsBefore || Get_First_Selected_Index(files) != index ||
            colourOption() != colour || viewFilter() != filter)
            return;

        unreadable += ahead.unreadable;
        const int last = files.count() - 1;
        const int target =
            ahead.stopAt >= 0 ? ahead.stopAt : (ahead.stopped ? ahead.reached : last);
        if (ahead.stopped && target < from) {
            stoppedByUser = true; // stopped before a file was decided: nothing moves
            break;
        }
        // The caption names the last file whose processing wrote it; the
        // target's own processing writes it again when its file exists.
        if (ahead.lastCaptioned >= 0)
            setFileCaption(ahead.lastCaptioned, paths.at(ahead.lastCaptioned));
        Select_List_Index(files, target);
        Process_The_Selected_File_BitBtnClick();
        focusView();
        QCoreApplication::processEvents();
        if (closeAccepted())
            return;
        // A file passed over on the way was counted already.
        if (lastShownUnreadable() && target > ahead.reached)
            ++unreadable;
        if (ahead.stopped) {
            stoppedByUser = true;
            break;
        }
        if (!foundAny->isChecked())
            break;
        index = target;
    }
    if (!stoppedByUser && index == files.count() - 1)
        m_dialogs.information(QStringLiteral("You are now at the last file in the list."));
    if (unreadable > 0)
        m_dialogs.information(unreadableFilesMessage(unreadable));
}

} // namespace jl
