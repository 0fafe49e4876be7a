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

void pumpEvents() {
    QCoreApplication::processEvents();
}

} // namespace

void TMainForm1::Add_All_Files_In_A_Directory_BitBtnClick() {
    Workspace& ws = *m_workspace;
    const QString previous = ws.currentDirectory();
    // With nothing chosen yet the chooser starts in the program's folder, or
    // in the home folder for an installed copy (whose folder holds no mail).
    // After a stopped run it starts in the directory that was not read whole.
    const QString start =
        m_programFolder.userFilesBesideProgram() ? m_programFolder.directory() : QDir::homePath();
    const QString chosen = Choose_Directory(
        m_dialogs, QStringLiteral("Select Vaze Directory"),
        ws.unfinishedDirectory().isEmpty() ? previous : ws.unfinishedDirectory(), start);
    if (chosen == previous || chosen.isEmpty() || !isExistingDirectory(chosen)) {
        ws.setCurrentDirectory(chosen);
        focusView();
        return;
    }
    // The directory is read off the user-interface thread, a large one with
    // the window live; the names are then merged here in one go, so nothing
    // else changes the list while they go in.
    const Workspace::DirectoryRead read = ws.readDirectory(chosen);
    if (read.dropped)
        return;
    pumpEvents();
    if (!ws.files().isEmpty()) {
        ws.setCurrentIndex(0);
        Process_The_Selected_File_BitBtnClick();
    }
    if (read.stop.stopped)
        m_dialogs.information(directoryStoppedNotice(chosen, read.stop, read.added));
    if (!read.leftOutNotice.isEmpty())
        m_dialogs.information(read.leftOutNotice);
    focusView();
}

void TMainForm1::File_List_Delete_Selected_Files_BitBtnClick() {
    m_workspace->removeSelectedFiles([this] {
        if (File_List_ListBox->isVisible())
            File_List_ListBox->setFocus();
    });
    focusView();
}

void TMainForm1::File_List_Erase_BitBtnClick() {
    if (m_workspace->eraseFiles())
        Process_The_Selected_File_BitBtnClick();
    focusView();
}

void TMainForm1::File_List_Copy_To_Clipboard_BitBtnClick() {
    Work_Memo->setPlainText(m_workspace->copyFiles());
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
    const QString remembered = m_workspace->currentPath();
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
    const DropOutcome outcome = m_workspace->dropPaths(names, options);
    for (const QString& name : outcome.ignored) {
        if (name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r')))
            leftOut.addFilesBehind(lineBreakNameReason(), QFile::encodeName(name));
    }

    if (SortedList& files = m_workspace->files(); !files.isEmpty()) {
        if (!remembered.isEmpty())
            Select_Matching_Item(files, remembered);
        else
            m_workspace->setCurrentIndex(0);
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
