#include "desktop/shortcuts.h"

#include "desktop/desktop_entry.h"
#include "desktop/registry.h"
#include "util/atomic_file.h"
#include "util/dialogs.h"
#include "util/file_helpers.h"
#include "util/program_folder.h"
#include "util/text_helpers.h"

#include <QFile>
#include <QFileInfo>

namespace jl {

namespace {

const QChar kQuote = QLatin1Char('"');

// The key message, followed by the folder looked for when the name is one of
// the shell folders.
QString invalidFolderMessage(Registry& registry, const QString& routine,
                             const QString& folderName) {
    QString text = routine + QStringLiteral(" Error: The key ") + kQuote + folderName + kQuote +
                   QStringLiteral(" is invalid or could not be found in the registry.");
    if (!Shell_Folder_Names.contains(folderName))
        return text;
    return withPlaceLookedFor(
        text, registry.placeOf(RegistryRoot::CurrentUser, kShellFoldersKeyPath, folderName));
}

QString readShellFolder(Registry& registry, const QString& keyPath, const QString& folderName) {
    return REGISTRY_INC__Read_String(registry, RegistryRoot::CurrentUser, keyPath, folderName);
}

} // namespace

QString shortcutIcon(const QString& targetPath) {
    const QString drawing =
        installedDataPath(QFileInfo(targetPath).absolutePath(),
                          QStringLiteral("icons/hicolor/scalable/apps/junkloupe.svg"));
    return isExistingFile(drawing) ? drawing : QStringLiteral("junkloupe");
}

QByteArray shortcutEntry(const QString& targetPath) {
    return applicationEntry(QStringLiteral("Junkloupe"),
                            quoteExecArgument(targetPath) + QStringLiteral(" %F"),
                            shortcutIcon(targetPath), true);
}

bool DesktopEntryLinkWriter::save(const QString& location, const QString& targetPath) {
    if (!QFileInfo(QFileInfo(location).absolutePath()).isDir())
        return false;
    if (!writeFileAtomically(location, shortcutEntry(targetPath)))
        return false;
    return QFile::setPermissions(location, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadGroup | QFile::ExeGroup |
                                               QFile::ReadOther | QFile::ExeOther);
}

QString shortcutFileName(const QString& targetPath) {
    const QString name = Get_File_Name(targetPath);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? name : name.left(dot)) + kShortcutExtension;
}

void REGISTRY_INC__Create_Shortcut(Registry& registry, Dialogs& dialogs, LinkWriter& writer,
                                   const QString& targetPath, const QString& folderName,
                                   const QString& subFolder) {
    const QString fileName = shortcutFileName(targetPath);
    QString folder;
    for (const QString& known : Shell_Folder_Names) {
        if (!folder.isEmpty())
            break;
        if (known == folderName) {
            registry.prepareFolder(RegistryRoot::CurrentUser, kShellFoldersKeyPath, folderName);
            folder = readShellFolder(registry, kShellFoldersKeyPath, folderName);
        }
    }
    if (folder.isEmpty()) {
        dialogs.information(invalidFolderMessage(
            registry, QStringLiteral("REGISTRY_INC__Create_Shortcut"), folderName));
        return;
    }
    QString location = folder + QLatin1Char('/');
    if (!subFolder.isEmpty())
        location += subFolder + QLatin1Char('/');
    location += fileName;
    writer.save(location, targetPath); // a failed save passes silently
}

bool REGISTRY_INC__Delete_Shortcut(Registry& registry, Dialogs& dialogs, const QString& exeFileName,
                                   const QString& folderName, bool report) {
    const auto say = [&](const QString& text) {
        if (report)
            dialogs.information(text);
    };
    const QString invalid =
        invalidFolderMessage(registry, QStringLiteral("REGISTRY_INC__Delete_Shortcut"), folderName);
    if (!Shell_Folder_Names.contains(folderName)) {
        say(invalid);
        return false;
    }
    // The same key as for creating, written without the leading backslash.
    const QString folder = readShellFolder(registry, kShellFoldersKeyPath.mid(1), folderName);
    if (folder.isEmpty()) {
        say(invalid);
        return false;
    }
    const QString baseName = Get_File_Base_Name(exeFileName);
    const QString location = folder + QLatin1Char('/') + baseName + kShortcutExtension;
    const QString quotedBase = kQuote + baseName + kQuote;
    const QString quotedFolder = kQuote + folderName + kQuote;
    const QFileInfo info(location);
    if (!info.exists() || info.isDir()) {
        say(QStringLiteral("Error: The ") + quotedBase +
            QStringLiteral(" shortcut could not be found, or it has been renamed ") +
            QStringLiteral("in the ") + quotedFolder + QStringLiteral(" menu."));
        return false;
    }
    if (Delete_File_If_Closed(location)) {
        say(QStringLiteral("Success: The ") + quotedBase +
            QStringLiteral(" shortcut has been deleted from the ") + quotedFolder +
            QStringLiteral(" menu."));
        return true;
    }
    say(QStringLiteral("Error: The ") + quotedBase +
        QStringLiteral(" shortcut could not be deleted from the ") + quotedFolder +
        QStringLiteral(" menu."));
    return false;
}

void REGISTRY_INC__Delete_All_Shortcuts(Registry& registry, Dialogs& dialogs,
                                        const QString& targetPath, bool report) {
    const QString exeFileName = Get_File_Name(targetPath);
    bool anyDeleted = false;
    for (const QString& folderName : Shell_Folder_Names) {
        if (REGISTRY_INC__Delete_Shortcut(registry, dialogs, exeFileName, folderName, false))
            anyDeleted = true;
    }
    if (!report)
        return;
    const QString quotedBase = kQuote + Get_File_Base_Name(targetPath) + kQuote;
    if (anyDeleted) {
        dialogs.information(
            QStringLiteral("Success: All Desktop, Start Menu, and SendTo shortcuts to ") +
            quotedBase + QStringLiteral(" have been deleted."));
    } else {
        dialogs.information(QStringLiteral("No Desktop, Start Menu, or SendTo shortcuts called ") +
                            quotedBase +
                            QStringLiteral(" could be found !  i.e. they may have been renamed "
                                           "to something else ") +
                            QStringLiteral("or deleted already."));
    }
}

} // namespace jl
