#pragma once
// A desktop whose every folder lies in a temporary folder: HOME, the XDG
// config and data homes, the system config folder and PATH.

#include "desktop/desktop_environment.h"
#include "support/temp_folder.h"

namespace jl::test {

struct DesktopSandbox {
    TempFolder tmp;
    DesktopEnvironment env;

    DesktopSandbox() {
        env.home = tmp.mkdir("home");
        env.xdgConfigHome = tmp.mkdir("home/.config");
        env.xdgConfigDirs = tmp.path() + "etc-xdg:/etc/xdg";
        env.xdgDataHome = tmp.path() + "home/.local/share";
        env.path = tmp.mkdir("bin");
    }
    QString autostart() const { return tmp.path() + "etc-xdg/autostart"; }
    QString applications() const { return tmp.path() + "home/.local/share/applications"; }
    QString sendTo() const { return tmp.path() + "home/.local/share/Thunar/sendto"; }
    QString desktop() const { return tmp.path() + "home/Desktop"; }
};

} // namespace jl::test
