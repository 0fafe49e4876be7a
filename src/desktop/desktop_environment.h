#pragma once
// The environment variables that place a freedesktop user's folders. Tests
// fill one by hand and point every folder at a temporary one; the program
// takes the process's own.

#include <QString>

namespace jl {

struct DesktopEnvironment {
    QString home;          // $HOME
    QString xdgConfigHome; // $XDG_CONFIG_HOME (empty: $HOME/.config)
    QString xdgConfigDirs; // $XDG_CONFIG_DIRS (empty: /etc/xdg)
    QString xdgDataHome;   // $XDG_DATA_HOME (empty: $HOME/.local/share)
    QString path;          // $PATH, where programs are looked up

    static DesktopEnvironment fromProcess();

    // The folders the variables name, with the freedesktop defaults for unset,
    // empty or relative values. No trailing "/".
    QString configHome() const;
    QString dataHome() const;
    // The first absolute folder of $XDG_CONFIG_DIRS, else /etc/xdg.
    QString systemConfigDir() const;
    // XDG_DESKTOP_DIR from user-dirs.dirs under configHome() ("$HOME/..."
    // expanded), else $HOME/Desktop. Whether it exists is not checked.
    QString desktopDir() const;
};

} // namespace jl
