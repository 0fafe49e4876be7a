#pragma once
// Every access of the tool to its registry goes through the three routines
// below, on top of an abstract registry. The freedesktop stand-in of the
// registry is FreedesktopRegistry (freedesktop_registry.h); tests use fakes.

#include <QString>

namespace jl {

class Dialogs;

// The predefined roots the tool uses.
enum class RegistryRoot {
    LocalMachine, // HKEY_LOCAL_MACHINE: machine-wide
    CurrentUser,  // HKEY_CURRENT_USER: per user
};

// The machine-wide start-up key and the per-user shell folders key. A key path
// is taken from the root whether or not it starts with "\".
inline const QString kRunKeyPath =
    QStringLiteral("\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
inline const QString kShellFoldersKeyPath =
    QStringLiteral("\\Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");

// One registry handle: a root is selected, then at most one key is open.
class Registry {
public:
    enum class ValueType { Absent, String, Other };

    virtual ~Registry() = default;

    virtual void selectRoot(RegistryRoot root) = 0;
    // True when the key exists under the selected root and may be opened with
    // full access (read, write, create and delete values).
    virtual bool keyOpensWithFullAccess(const QString& keyPath) = 0;
    // Opens an existing key with full access; never creates one.
    virtual bool openKey(const QString& keyPath) = 0;
    virtual void closeKey() = 0;

    // The operations below work on the open key.
    // False when the registry refuses the write.
    virtual bool writeString(const QString& name, const QString& data) = 0;
    // Absent: *data empty. Other: a value that is not a string.
    virtual ValueType readString(const QString& name, QString* data) = 0;
    // The result says whether the registry accepted the call.
    virtual bool deleteValue(const QString& name) = 0;
    virtual bool valueExists(const QString& name) = 0;

    // Where the key (for a key of folders: the value name) is looked for on
    // this system, for the line that follows an error message so that the
    // user can act; the empty text where there is nothing to name.
    virtual QString placeOf(RegistryRoot root, const QString& keyPath, const QString& name) const {
        Q_UNUSED(root);
        Q_UNUSED(keyPath);
        Q_UNUSED(name);
        return QString();
    }

    // For a key of folders: makes the folder that the value name stands for
    // when this system has it for every user but it is missing still (on a
    // freedesktop desktop the start menu's applications folder). Only a
    // command that writes into the folder calls it; reading never makes one.
    virtual void prepareFolder(RegistryRoot root, const QString& keyPath, const QString& name) {
        Q_UNUSED(root);
        Q_UNUSED(keyPath);
        Q_UNUSED(name);
    }
};

// text, followed by the line naming the place that was looked for when there
// is one ("Folder looked for: /etc/xdg/autostart").
QString withPlaceLookedFor(const QString& text, const QString& place);

// Writes a string value into an existing key and reads it back. Shows the
// key-missing message (write form) when the key cannot be opened with full
// access, the write-failure message when the value reads back different; both
// return false. A write that the registry refuses throws
// Failure("Failed to set data for '<name>'").
bool REGISTRY_INC__Write_String(Registry& registry, Dialogs& dialogs, RegistryRoot root,
                                const QString& keyPath, const QString& name, const QString& data);

// Deletes a value of an existing key; true when the value is absent afterwards
// (also when it never was). Shows the key-missing message (delete form) or the
// delete-failure message and returns false otherwise.
bool REGISTRY_INC__Delete_Value(Registry& registry, Dialogs& dialogs, RegistryRoot root,
                                const QString& keyPath, const QString& name);

// The string value, or the empty text when the key cannot be opened with full
// access or holds no such value; never shows a message. A value that is not a
// string throws Failure("Invalid data type for '<name>'").
QString REGISTRY_INC__Read_String(Registry& registry, RegistryRoot root, const QString& keyPath,
                                  const QString& name);

// The message texts, lines separated by "\n". The routines above follow each
// with the place looked for (withPlaceLookedFor).
QString registryKeyMissingWriteMessage(const QString& keyPath, const QString& name,
                                       const QString& data);
QString registryWriteFailureMessage(const QString& keyPath, const QString& name,
                                    const QString& data);
QString registryKeyMissingDeleteMessage(const QString& keyPath, const QString& name);
QString registryDeleteFailureMessage(const QString& keyPath, const QString& name);

} // namespace jl
