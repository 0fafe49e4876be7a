#pragma once
// The operations both lists share: the membership bisection, list files,
// clipboard copy and merge, removal with confirmation and the selection
// helpers. Each takes the list it works on; none knows which list it is.

#include "util/clipboard.h"
#include "util/dialogs.h"
#include "util/list_file.h"
#include "util/sorted_list.h"

#include <functional>

namespace jl {

// The index of the first entry equal to text in the list order, or -1.
int Find_List_Item(const SortedList& list, const QString& text);

// Writes the list in the list-file format (every entry followed by CR LF,
// UTF-8) crash-safely: a temporary file beside the target, flushed, renamed
// over it. On failure shows the could-not-be-saved message, leaves any old
// file whole and returns -1; 0 on success, with the stamp of the file
// written in *written when given.
int Save_List_File(const SortedList& list, const QString& path, Dialogs& dialogs,
                   FileStamp* written = nullptr);

// Empties the list and fills it from the file; a missing file leaves it
// empty. A file that exists but cannot be read throws
// Failure("Cannot open file <path>"), followed by a line saying why when the
// file is too large or a link that is not followed. Returns how the file
// read: Ok, Missing, or Partial (with the shortfall) when it was not read
// whole.
ListFileContents Load_List_File(SortedList& list, const QString& path);

// Every entry followed by CR LF, in list order, onto the clipboard (an empty
// list leaves the clipboard as it was). Returns the staged text.
QString Copy_List_To_Clipboard(const SortedList& list, Clipboard& clipboard);

// Merges the clipboard's lines into the list (see the line rules in the
// implementation). A line that cannot be kept in a list file (it holds a NUL
// or half of a character) is left out and counted in *refusedLines. Returns
// the staged text.
QString Paste_Merge_Clipboard_Into_List(SortedList& list, const Clipboard& clipboard,
                                        int* refusedLines = nullptr);
// The notice after a merge that left lines out.
QString pasteRefusedLinesMessage(int refusedLines);

// Add Text: the selected text, trimmed of every character of code 32 or below
// at both ends, goes into the list at its sorted place. Refused (false, the
// message to show in *error) when nothing is left, when it spans lines or
// holds a character that cannot be kept in a list file, or when the list
// holds it already (letter case ignored).
bool addTextToList(SortedList& list, const QString& selectedText, QString* error = nullptr);

// Removes the selected entries after the confirmation; messages use the kind
// word. focusList is called when the list is empty (the list box takes the
// focus if visible). Returns the index of the last entry removed, or -1.
int Remove_Selected_Items(SortedList& list, const QString& kindWord, Dialogs& dialogs,
                          const std::function<void()>& focusList = {});

int Get_First_Selected_Index(const SortedList& list);
QString Get_First_Selected_Text(const SortedList& list);
void Select_List_Index(SortedList& list, int index);
void Select_Matching_Item(SortedList& list, const QString& text);

// The text of the message shown when a list file cannot be saved.
QString listSaveFailureMessage(const QString& path);

} // namespace jl
