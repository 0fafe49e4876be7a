#include "app/settings.h"

#include "util/dialogs.h"
#include "util/file_helpers.h"
#include "util/ini_file.h"

#include <algorithm>

namespace jl {

namespace {

const QString kTop = QStringLiteral("window_top_posn");
const QString kLeft = QStringLiteral("window_left_posn");
const QString kWidth = QStringLiteral("window_Width");
const QString kHeight = QStringLiteral("window_Height");
const QString kAlwaysOnTop = QStringLiteral("Always_on_Top_Option");
const QString kAutoRun = QStringLiteral("Auto_Run_at_Windows_Startup_Option");
const QString kMaximized = QStringLiteral("WindowState_wsMaximized");
const QString kCurrentDirectory = QStringLiteral("Current_Directory_Edit");
const QString kViewFilter = QStringLiteral("File_Contents_Filter_RadioGroup");
const QString kExpandSelection = QStringLiteral("Expand_Selection_RadioGroup");
const QString kColourCoding = QStringLiteral("File_Contents_Colour_Coding_RadioGroup");
const QString kSelectedFileNum = QStringLiteral("Selected_File_Num");
const QString kAutoSave = QStringLiteral("Auto_Save_Interesting_Items_List_CheckBox");
const QString kDecodeMime = QStringLiteral("decodeMimeParts");

} // namespace

int clampRadioItem(int item, int lastItem) {
    return std::clamp(item, -1, lastItem);
}

QString settingsFileRefusedNotice(const QString& iniPath, const QString& refusal) {
    return QStringLiteral("The settings file ") + iniPath + QStringLiteral(" is not read: ") +
           refusal +
           QStringLiteral(".\r\nThe program starts with the default settings and does not "
                          "write over that file.");
}

SettingsValues readSettings(const QString& iniPath, QString* error) {
    const IniFile ini = IniFile::load(iniPath, error);
    const QString& s = kSettingsSection;
    const SettingsValues d;
    SettingsValues v;
    v.windowTop = ini.readInteger(s, kTop, d.windowTop);
    v.windowLeft = ini.readInteger(s, kLeft, d.windowLeft);
    v.windowWidth = ini.readInteger(s, kWidth, d.windowWidth);
    v.windowHeight = ini.readInteger(s, kHeight, d.windowHeight);
    v.alwaysOnTop = ini.readBool(s, kAlwaysOnTop, d.alwaysOnTop);
    v.autoRunAtStartup = ini.readBool(s, kAutoRun, d.autoRunAtStartup);
    v.maximized = ini.readBool(s, kMaximized, d.maximized);
    v.currentDirectory = ini.readString(s, kCurrentDirectory);
    v.viewFilter =
        clampRadioItem(ini.readInteger(s, kViewFilter, d.viewFilter), kLastViewFilterItem);
    v.expandSelection = clampRadioItem(ini.readInteger(s, kExpandSelection, d.expandSelection),
                                       kLastExpandSelectionItem);
    v.colourCoding =
        clampRadioItem(ini.readInteger(s, kColourCoding, d.colourCoding), kLastColourCodingItem);
    v.selectedFileNum = ini.readInteger(s, kSelectedFileNum, d.selectedFileNum);
    v.autoSaveInterestingItems = ini.readBool(s, kAutoSave, d.autoSaveInterestingItems);
    v.decodeMimeParts = ini.readBool(s, kDecodeMime, d.decodeMimeParts);
    return v;
}

bool writeSettings(const QString& iniPath, const SettingsValues& v, QString* error,
                   QString* notice) {
    IniFile ini;
    if (!IniFile::loadForUpdate(iniPath, &ini, error))
        return false;
    const QString& s = kSettingsSection;
    ini.writeBool(s, kMaximized, v.maximized);
    ini.writeInteger(s, kTop, v.windowTop);
    ini.writeInteger(s, kLeft, v.windowLeft);
    ini.writeInteger(s, kWidth, v.windowWidth);
    ini.writeInteger(s, kHeight, v.windowHeight);
    ini.writeBool(s, kAlwaysOnTop, v.alwaysOnTop);
    ini.writeBool(s, kAutoRun, v.autoRunAtStartup);
    ini.writeString(s, kCurrentDirectory, v.currentDirectory);
    ini.writeInteger(s, kViewFilter, v.viewFilter);
    ini.writeInteger(s, kExpandSelection, v.expandSelection);
    ini.writeInteger(s, kColourCoding, v.colourCoding);
    ini.writeInteger(s, kSelectedFileNum, v.selectedFileNum);
    ini.writeBool(s, kAutoSave, v.autoSaveInterestingItems);
    ini.writeBool(s, kDecodeMime, v.decodeMimeParts);

    // A file larger than the reader takes would be refused at every later
    // start and never written again.
    const qint64 limit = IniFile::kSizeLimit;
    QStringList leftOut;
    if (const int dropped = ini.keepWithin(limit, s); dropped > 0)
        leftOut << QStringLiteral("%1 of its lines that the program does not use were left out, "
                                  "the longest first.")
                       .arg(dropped);
    if (ini.toBytes().size() > limit) {
        ini.writeString(s, kCurrentDirectory, QString());
        leftOut << QStringLiteral("The current directory (%1 characters) was left out.")
                       .arg(v.currentDirectory.size());
    }
    if (notice) {
        *notice = leftOut.isEmpty()
                      ? QString()
                      : QStringLiteral("The settings file %1 would have grown larger than %2, "
                                       "which the program does not read back.\r\n")
                                .arg(iniPath, sizeLimitText(limit)) +
                            leftOut.join(QStringLiteral("\r\n"));
    }
    return ini.save(iniPath, error);
}

QString unableToWriteMessage(const QString& iniPath) {
    return QStringLiteral("Unable to write to ") + iniPath;
}

QString restoreFactoryDefaultsWarning() {
    return QStringLiteral("This deletes the settings file and returns the window's position and "
                          "size,\n"
                          "every option on the \"Program Settings\" page and the current "
                          "directory\n"
                          "to the values the program had when it was first started.\n"
                          "\n"
                          "Do you really want to restore the factory defaults ?");
}

bool Restore_Factory_Defaults(Dialogs& dialogs, const QString& iniPath) {
    if (!dialogs.warn(restoreFactoryDefaultsWarning()))
        return false;
    Delete_File_If_Closed(iniPath);
    return true;
}

} // namespace jl
