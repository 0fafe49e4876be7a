#pragma once
// The settings file Junkloupe.ini beside the executable: one section
// "Junkloupe" with fourteen keys. Reading applies the defaults and keeps the
// radio-group numbers in range; writing changes only our keys and leaves
// every other line of the file as it was.

#include <QString>

namespace jl {

class Dialogs;

inline const QString kSettingsSection = QStringLiteral("Junkloupe");

// The last item number of each radio group: the view filter has items 0..2,
// the selection expansion and the colour coding 0..3.
constexpr int kLastViewFilterItem = 2;
constexpr int kLastExpandSelectionItem = 3;
constexpr int kLastColourCodingItem = 3;

// One value per key, in the order the keys are read at first show; the
// initial values are the defaults of a first start.
struct SettingsValues {
    int windowTop = 20;                   // "window_top_posn", outer frame
    int windowLeft = 20;                  // "window_left_posn"
    int windowWidth = 815;                // "window_Width"
    int windowHeight = 543;               // "window_Height"
    bool alwaysOnTop = false;             // "Always_on_Top_Option"
    bool autoRunAtStartup = false;        // "Auto_Run_at_Windows_Startup_Option"
    bool maximized = false;               // "WindowState_wsMaximized"
    QString currentDirectory;             // "Current_Directory_Edit"
    int viewFilter = 1;                   // "File_Contents_Filter_RadioGroup"
    int expandSelection = 2;              // "Expand_Selection_RadioGroup"
    int colourCoding = 3;                 // "File_Contents_Colour_Coding_RadioGroup"
    int selectedFileNum = 0;              // "Selected_File_Num", -1 = none selected
    bool autoSaveInterestingItems = true; // "Auto_Save_Interesting_Items_List_CheckBox"
    bool decodeMimeParts = false;         // "decodeMimeParts"

    bool operator==(const SettingsValues&) const = default;
};

// A radio-group number as the group takes it: below -1 gives -1 (no item
// chosen), beyond the last item gives the last item.
int clampRadioItem(int item, int lastItem);

// Every key of the file at iniPath, defaults for missing keys and for a
// missing or unreadable file, radio-group numbers clamped. A file the tool
// refuses to read (far too large, or a link of another user) fills *error
// with the reason: the defaults are used and the file must not be written
// over.
SettingsValues readSettings(const QString& iniPath, QString* error = nullptr);
// The notice shown at start for such a file.
QString settingsFileRefusedNotice(const QString& iniPath, const QString& refusal);

// Writes every key (in the order of the close) into the document already at
// iniPath, keeping its other sections, keys and comments, and replaces the
// file through a temporary file and a rename. False, with *error filled when
// given, when the file cannot be written, or is there but cannot be read (its
// other lines would be lost); the old file is then untouched.
//
// The file written is never larger than the reader takes (IniFile's size
// limit): what does not fit is left out, first the lines the program does
// not use (the longest first), then the current directory, and *notice
// (when given) says what was left out; it stays empty when all was kept.
bool writeSettings(const QString& iniPath, const SettingsValues& values, QString* error = nullptr,
                   QString* notice = nullptr);

// "Unable to write to " + the settings file's full path: the error shown when
// writeSettings fails (the close is then refused).
QString unableToWriteMessage(const QString& iniPath);

// The four-line warning of Restore Factory Defaults, lines separated by "\n",
// an empty line between the third and the fourth.
QString restoreFactoryDefaultsWarning();

// The question and deletion of Restore Factory Defaults: asks the warning
// (Yes/No); on Yes deletes the settings file when it exists and is not in use
// and returns true, after which the caller restores the window to its normal
// size and runs the whole first-show sequence again. Any other answer returns
// false with nothing changed.
bool Restore_Factory_Defaults(Dialogs& dialogs, const QString& iniPath);

} // namespace jl
