#pragma once
// The registry as a freedesktop desktop knows it. Two keys exist:
// - HKEY_LOCAL_MACHINE "Software\Microsoft\Windows\CurrentVersion\Run" is the
//   machine-wide autostart folder, the first folder of $XDG_CONFIG_DIRS
//   (default /etc/xdg) + "/autostart". A value is the desktop entry file
//   "<name>.desktop" there; its data is the command the entry starts (a single
//   argument reads back unquoted, anything else as the Exec text). The key
//   opens with full access when the folder exists and the user may create and
//   delete files in it.
// - HKEY_CURRENT_USER "Software\MicroSoft\Windows\CurrentVersion\Explorer\Shell
//   Folders" is read-only: "Desktop" is the XDG desktop folder, "Start Menu"
//   $XDG_DATA_HOME/applications, "SendTo" the file manager's send-to folder
//   $XDG_DATA_HOME/Thunar/sendto; each value exists only while its folder does.
//   The applications folder is a standard folder of every user: preparing
//   "Start Menu" (prepareFolder, before a shortcut is written there) creates
//   it (mode 0700) when it is missing; reading never does. The others are
//   never created.
// Key paths are matched without regard to letter case, with or without a
// leading "\". Every other key does not exist.

#include "desktop/desktop_environment.h"
#include "desktop/registry.h"

namespace jl {

class FreedesktopRegistry : public Registry {
public:
    explicit FreedesktopRegistry(
        DesktopEnvironment environment = DesktopEnvironment::fromProcess());

    void selectRoot(RegistryRoot root) override;
    bool keyOpensWithFullAccess(const QString& keyPath) override;
    bool openKey(const QString& keyPath) override;
    void closeKey() override;
    bool writeString(const QString& name, const QString& data) override;
    ValueType readString(const QString& name, QString* data) override;
    bool deleteValue(const QString& name) override;
    bool valueExists(const QString& name) override;
    // The autostart folder for the Run key, the shell folder for a value of
    // the shell folders key.
    QString placeOf(RegistryRoot root, const QString& keyPath, const QString& name) const override;
    void prepareFolder(RegistryRoot root, const QString& keyPath, const QString& name) override;

    // The folder behind the Run key.
    QString autostartFolder() const;
    // The shell folder a value name stands for (whether it exists or not), or
    // the empty text for a name the key does not know.
    QString shellFolder(const QString& name) const;

private:
    enum class Key { None, Run, ShellFolders };
    static Key keyFor(RegistryRoot root, const QString& keyPath);
    // The desktop entry file of a Run value, or empty for a name that cannot
    // be a file name.
    QString runValueFile(const QString& name) const;

    DesktopEnvironment m_env;
    RegistryRoot m_root = RegistryRoot::CurrentUser;
    Key m_open = Key::None;
};

} // namespace jl
