// The file-list commands (Files in Directory, Remove File, Erase, Copy) and
// files dropped on the window or named on the command line.

#include "app/widgets/main_form.h"

#include "filelist/file_enumeration.h"
#include "filelist/left_out_files.h"
#include "util/background_job.h"
#include "util/dialogs.h"
#include "util/file_helpers.h"
#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QUrl>

namespace jl {

namespace {

const QString kNoFiles = QStringLiteral("Error: There are no files in the list.");

void pumpEvents() {
    QCoreApplication::processEvents();
}

} // namespace

void TMainForm1::Add_All_Files_In_A_Directory_BitBtnClick() {
    const QString previous = Current_Directory_Edit->text();
    // With nothing chosen yet the chooser starts in the program's folder, or
    // in the home folder for an installed copy (whose folder holds no mail).
    const QString start =
        m_programFolder.userFilesBesideProgram() ? m_programFolder.directory() : QDir::homePath();
    const QString chosen =
        Choose_Directory(m_dialogs, QStringLiteral("Select Vaze Directory"), previous, start);
    Current_Directory_Edit->setText(chosen);
    if (chosen != previous && !chosen.isEmpty() && isExistingDirectory(chosen)) {
        // The directory is read off the user-interface thread, a large one
        // with the window live; the names are then merged here in one go, so
        // nothing else changes the list while they go in.
        const bool shownAtStart = isVisible();
        QStringList names;
        LeftOutFiles leftOut; // counted by the work, read once it has ended
        runWork([&names, &chosen, &leftOut](const JobControl& control) {
            AddFilesOptions options = fileListOptions();
            options.skippedName = leftOut.recorder();
            qint64 seen = 0;
            options.progress = [&control, &seen](const QString&) {
                control.reportProgress(seen += 21); // every 21st name
            };
            options.stop = [&control] { return control.stopRequested(); };
            names = listDirectory(chosen, options);
        });
        // Closed meanwhile: the lists were saved at the close and stay so.
        if (shownAtStart && !isVisible())
            return;
        SortedList& files = File_List_ListBox->list();
        mergeNamesIntoList(files, names, fileListOptions().skipDuplicates);
        pumpEvents();
        if (!files.isEmpty()) {
            Select_List_Index(files, 0);
            Process_The_Selected_File_BitBtnClick();
        }
        if (!leftOut.isEmpty())
            m_dialogs.information(leftOut.notice());
    }
    focusView();
}

void TMainForm1::File_List_Delete_Selected_Files_BitBtnClick() {
    SortedList& files = File_List_ListBox->list();
    const int removed = Remove_Selected_Items(files, QStringLiteral("files"), m_dialogs, [this] {
        if (File_List_ListBox->isVisible())
            File_List_ListBox->setFocus();
    });
    if (removed >= 0)
        files.clearSelection();
    focusView();
}

void TMainForm1::File_List_Erase_BitBtnClick() {
    SortedList& files = File_List_ListBox->list();
    if (files.isEmpty()) {
        m_dialogs.error(kNoFiles);
    } else if (m_dialogs.confirm(QStringLiteral("Erase the list of files ?  Are you sure ?"))) {
        files.clear();
        Process_The_Selected_File_BitBtnClick();
    }
    focusView();
}

void TMainForm1::File_List_Copy_To_Clipboard_BitBtnClick() {
    Work_Memo->setPlainText(Copy_List_To_Clipboard(File_List_ListBox->list(), m_clipboard));
    focusView();
}

// --- dropped files --------------------------------------------------------------------

void TMainForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TMainForm1::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls())
        return;
    QStringList names;
    QList<QByteArray> undecodable;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.isLocalFile())
            continue;
        // The name's bytes, which the URL carries escaped.
        const QByteArray bytes =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (isUndecodableName(bytes))
            undecodable.append(bytes);
        else
            names.append(url.toLocalFile());
    }
    event->acceptProposedAction();
    runCommand([&] { FormDropFiles(names, undecodable); });
}

void TMainForm1::FormDropFiles(const QStringList& names, const QList<QByteArray>& undecodable) {
    SortedList& files = File_List_ListBox->list();
    const QString remembered = Get_First_Selected_Text(files);
    LeftOutFiles leftOut;
    for (const QByteArray& name : undecodable)
        leftOut.addFilesBehind(undecodableNameReason(), name);

    // Names are used whole: a cut at some length would turn a long path into
    // another, wrong one.
    AddFilesOptions options = fileListOptions();
    if (Processing_File_Name_Label->isVisible())
        options.progress = [this](const QString& name) {
            Processing_File_Name_Label->setText(name);
        };
    options.pumpEvents = [] { QCoreApplication::processEvents(); };
    options.stop = [this] { return Abort_All_Processing_CheckBox->isChecked() || stopRequested(); };
    options.skippedName = leftOut.recorder();
    const DropOutcome outcome = dropNamesIntoList(files, names, options);
    for (const QString& name : outcome.ignored) {
        if (name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r')))
            leftOut.addFilesBehind(lineBreakNameReason(), QFile::encodeName(name));
    }

    if (!files.isEmpty()) {
        if (!remembered.isEmpty())
            Select_Matching_Item(files, remembered);
        else
            Select_List_Index(files, 0);
        Process_The_Selected_File_BitBtnClick();
    }
    if (!leftOut.isEmpty())
        m_dialogs.information(leftOut.notice());
    QCoreApplication::processEvents();
}

void TMainForm1::dropCommandLinePaths(const QStringList& paths,
                                      const QList<QByteArray>& undecodable) {
    if ((paths.isEmpty() && undecodable.isEmpty()) || m_closed)
        return;
    QStringList names;
    for (const QString& path : paths)
        names.append(QFileInfo(path).absoluteFilePath());
    runCommand([&] { FormDropFiles(names, undecodable); });
}

} // namespace jl
