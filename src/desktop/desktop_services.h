#pragma once
// The desktop services the main window's commands use, in one place: the
// registry stand-in, the shortcut writer and the document opener. The program
// builds them on the process's environment; tests hand in their own parts.

#include "desktop/companion_documents.h"
#include "desktop/desktop_environment.h"
#include "desktop/registry.h"
#include "desktop/shortcuts.h"

#include <memory>

namespace jl {

class DesktopServices {
public:
    // The freedesktop registry, desktop-entry shortcuts and xdg-open, all
    // placed by environment.
    explicit DesktopServices(
        const DesktopEnvironment& environment = DesktopEnvironment::fromProcess());
    // Any parts; pathVariable is where the document opener is looked up.
    DesktopServices(std::unique_ptr<Registry> registry, std::unique_ptr<LinkWriter> linkWriter,
                    std::unique_ptr<ProcessLauncher> launcher, const QString& pathVariable);

    Registry& registry() { return *m_registry; }
    LinkWriter& linkWriter() { return *m_linkWriter; }
    DocumentOpener& opener() { return *m_opener; }

private:
    std::unique_ptr<Registry> m_registry;
    std::unique_ptr<LinkWriter> m_linkWriter;
    std::unique_ptr<ProcessLauncher> m_launcher;
    std::unique_ptr<DocumentOpener> m_opener;
};

} // namespace jl
