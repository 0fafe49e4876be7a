#include "util/list_ops.h"

#include "util/atomic_file.h"
#include "util/failure.h"
#include "util/list_file.h"
#include "util/text_helpers.h"

#include <set>

namespace jl {

namespace {

const QString crlf = QStringLiteral("\r\n");
const QChar quote = QLatin1Char('"');

// Lines of pasted text. A CR LF pair ends a line, and so do a lone CR and a
// lone LF (text copied from other programs often uses one of them; LF CR is
// two line ends). Only a last empty line is dropped, so a trailing line break
// adds nothing while a blank line anywhere else is an empty entry. Lines are
// kept whole whatever their length.
QStringList pastedLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    lines.append(text.mid(start));
    if (lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

int Find_List_Item(const SortedList& list, const QString& text) {
    if (list.isEmpty())
        return -1;
    const auto [first, last] = list.equalRange(text);
    return first < last ? first : -1;
}

QString listSaveFailureMessage(const QString& path) {
    return QStringLiteral("The ") + path + QStringLiteral(" could not be saved !") + crlf + crlf +
           QStringLiteral("Possible reasons for this include :") + crlf +
           QStringLiteral("- there may not be enough disk space, ") + crlf +
           QStringLiteral("- there may be errors on the disk, ") + crlf +
           QStringLiteral("- you may be saving to a read only disk (such as a CD-ROM), ") + crlf +
           QStringLiteral("- the file may already exist and be read-only or write locked, ") +
           crlf + crlf + QStringLiteral("or there may be some other reason for the failure.");
}

int Save_List_File(const SortedList& list, const QString& path, Dialogs& dialogs,
                   FileStamp* written) {
    const QByteArray bytes = encodeListFile(list.entries());
    if (!writeFileAtomically(path, bytes)) {
        dialogs.information(listSaveFailureMessage(path));
        return -1;
    }
    if (written)
        *written = fileStampNow(path, bytes);
    return 0;
}

ListFileContents Load_List_File(SortedList& list, const QString& path) {
    list.clear();
    ListFileContents contents = readListFile(path);
    switch (contents.status) {
    case ListFileRead::TooLarge:
    case ListFileRead::Refused:
        throw Failure(QStringLiteral("Cannot open file %1\n%2").arg(path, contents.error));
    case ListFileRead::Unreadable:
        throw Failure(QStringLiteral("Cannot open file %1").arg(path));
    case ListFileRead::Ok:
    case ListFileRead::Missing:
    case ListFileRead::Partial:
        break;
    }
    list.insertMany(contents.entries);
    contents.entries.clear();
    return contents;
}

QString Copy_List_To_Clipboard(const SortedList& list, Clipboard& clipboard) {
    QString staged;
    for (int i = 0; i < list.count(); ++i) {
        staged += list.at(i);
        staged += crlf;
    }
    if (!staged.isEmpty())
        clipboard.setText(staged);
    return staged;
}

QString Paste_Merge_Clipboard_Into_List(SortedList& list, const Clipboard& clipboard,
                                        int* refusedLines) {
    QString staged = clipboard.text();
    QStringList lines = pastedLines(staged);
    const qsizetype before = lines.size();
    lines.removeIf([](const QString& line) { return listEntryFault(line) != EntryFault::None; });
    if (refusedLines)
        *refusedLines = int(before - lines.size());
    // Each line is tested against the list as it grows: a line is merged when
    // neither the list nor an earlier merged line equals it. The accepted
    // lines then go in with one batch insertion.
    QStringList accepted;
    auto less = [](const QCollatorSortKey& a, const QCollatorSortKey& b) {
        return a.compare(b) < 0;
    };
    std::set<QCollatorSortKey, decltype(less)> seen(less);
    for (const QString& line : lines) {
        if (!seen.insert(list.collator().key(line)).second)
            continue;
        if (Find_List_Item(list, line) < 0)
            accepted.append(line);
    }
    list.insertMany(accepted);
    return staged;
}

QString pasteRefusedLinesMessage(int refusedLines) {
    const QString count =
        refusedLines == 1 ? QStringLiteral("1 line of the clipboard text was")
                          : QStringLiteral("%1 lines of the clipboard text were").arg(refusedLines);
    return count + QStringLiteral(" not merged: a line that holds a NUL character or half of a "
                                  "character cannot be kept in the list file.");
}

bool addTextToList(SortedList& list, const QString& selectedText, QString* error) {
    const QString text = Trim_Control(selectedText);
    if (text.isEmpty())
        return failWith(
            error,
            QStringLiteral("Error: No file content's text has been selected !  Please select "
                           "/ highlight some file contents text by selecting it with your "
                           "mouse and try again."));
    switch (listEntryFault(text)) {
    case EntryFault::None:
        break;
    case EntryFault::LineBreak:
        return failWith(
            error, QStringLiteral("Error: The selected text spans more than one line !  The list "
                                  "keeps one item per line: please select text within one line and "
                                  "try again."));
    case EntryFault::Nul:
    case EntryFault::BrokenCharacter:
        return failWith(
            error, QStringLiteral("Error: The selected text holds a NUL character or half of a "
                                  "character, which the list file cannot keep !  Please select "
                                  "other text and try again."));
    }
    if (Find_List_Item(list, text) != -1)
        return failWith(
            error, QStringLiteral(
                       "Error: The selected text is already in the \"interesting items\" list !"));
    list.insert(text); // the list's selection stays on the entries it was on
    return true;
}

int Remove_Selected_Items(SortedList& list, const QString& kindWord, Dialogs& dialogs,
                          const std::function<void()>& focusList) {
    if (list.isEmpty()) {
        dialogs.information(QStringLiteral("Error: There is nothing in the ") + kindWord +
                            QStringLiteral(" list to Remove !"));
        if (focusList)
            focusList();
        return -1;
    }
    const std::vector<int> selected = list.selectedIndices();
    if (selected.empty()) {
        dialogs.information(QStringLiteral("Error:  No ") + kindWord +
                            QStringLiteral(" is selected !   Please select an item in the ") +
                            kindWord + QStringLiteral(" list and then press the ") + quote +
                            QStringLiteral("Remove") + quote + QStringLiteral(" button."));
        return -1;
    }
    if (selected.size() == 1) {
        const int index = selected.front();
        if (!dialogs.confirm(QStringLiteral("Remove ") + quote + list.at(index) + quote +
                             QStringLiteral(" ?   Are you sure ?")))
            return -1;
        list.removeAt(index);
        return index;
    }
    if (!dialogs.confirm(QStringLiteral("Remove all ") + QString::number(selected.size()) +
                         QStringLiteral(" selected items ?   Are you sure ?")))
        return -1;
    list.removeIndices(selected);
    return selected.front();
}

int Get_First_Selected_Index(const SortedList& list) {
    const std::vector<int> selected = list.selectedIndices();
    return selected.empty() ? -1 : selected.front();
}

QString Get_First_Selected_Text(const SortedList& list) {
    const int index = Get_First_Selected_Index(list);
    return index < 0 ? QString() : list.at(index);
}

void Select_List_Index(SortedList& list, int index) {
    if (list.isEmpty() || index >= list.count())
        return;
    if (index < 0)
        list.clearSelection();
    else
        list.selectOnly(index);
}

void Select_Matching_Item(SortedList& list, const QString& text) {
    // An exact match also compares equal under the list order, so only the
    // run of equal entries needs a look; the last exact match wins.
    const auto [first, last] = list.equalRange(text);
    for (int i = last - 1; i >= first; --i) {
        if (list.at(i) == text) {
            list.selectOnly(i);
            return;
        }
    }
}

} // namespace jl
