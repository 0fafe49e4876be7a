#pragma once
// Shortcuts to the executable in the desktop, start-menu and send-to folders,
// found through the per-user shell folders key. On this desktop a shortcut is
// a desktop entry ("<executable name>.desktop") that starts the executable
// with the files handed to it.

#include <QString>
#include <QStringList>

namespace jl {

class Dialogs;
class Registry;

// The folder names the shortcut routines accept, in this order; letter case
// counts.
inline const QStringList Shell_Folder_Names = {
    QStringLiteral("Desktop"), QStringLiteral("Start Menu"), QStringLiteral("SendTo")};

inline const QString kShortcutExtension = QStringLiteral(".desktop");

// Writes a shortcut file at a location, pointing at a target.
class LinkWriter {
public:
    virtual ~LinkWriter() = default;
    // False when nothing could be written. Never creates a folder.
    virtual bool save(const QString& location, const QString& targetPath) = 0;
};

// The desktop-entry shortcut: Type=Application, Name "Junkloupe", Exec with
// the quoted target followed by " %F", the tool's icon, Terminal=false; written through
// a temporary file and a rename, then marked executable (0755) so desktops
// trust it.
class DesktopEntryLinkWriter : public LinkWriter {
public:
    bool save(const QString& location, const QString& targetPath) override;
};

// The tool's icon for a shortcut to targetPath: the full path of the icon
// drawing in the installation beside the target (../share/icons/hicolor/
// scalable/apps/junkloupe.svg; the build tree has one too) when it is there,
// else the icon theme's name "junkloupe".
QString shortcutIcon(const QString& targetPath);

// The shortcut file's content for a target.
QByteArray shortcutEntry(const QString& targetPath);

// The shortcut file name made from a target path: its file name with the
// extension changed to ".desktop" (appended when there is none).
QString shortcutFileName(const QString& targetPath);

// Writes a shortcut to targetPath into the named shell folder, or into its
// sub-folder when subFolder is not empty. An unknown folder name or a folder
// the registry does not give shows the key message; a failed save (a missing
// sub-folder, a folder without write access) passes without a message.
void REGISTRY_INC__Create_Shortcut(Registry& registry, Dialogs& dialogs, LinkWriter& writer,
                                   const QString& targetPath, const QString& folderName,
                                   const QString& subFolder);

// Deletes the running executable's shortcut (its base name + ".desktop") from
// the named shell folder; true when it was deleted. With report false no
// message is shown at all.
bool REGISTRY_INC__Delete_Shortcut(Registry& registry, Dialogs& dialogs, const QString& exeFileName,
                                   const QString& folderName, bool report);

// Deletes the shortcuts from the desktop, start-menu and send-to folders (not
// from the start menu's "Programs" sub-folder) and reports the outcome when
// report is true. The executable's file name is taken from targetPath.
void REGISTRY_INC__Delete_All_Shortcuts(Registry& registry, Dialogs& dialogs,
                                        const QString& targetPath, bool report);

} // namespace jl
