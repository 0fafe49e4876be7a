#include "desktop/desktop_services.h"

#include "desktop/freedesktop_registry.h"

namespace jl {

DesktopServices::DesktopServices(const DesktopEnvironment& environment)
    : DesktopServices(std::make_unique<FreedesktopRegistry>(environment),
                      std::make_unique<DesktopEntryLinkWriter>(),
                      std::make_unique<WatchedProcessLauncher>(), environment.path) {}

DesktopServices::DesktopServices(std::unique_ptr<Registry> registry,
                                 std::unique_ptr<LinkWriter> linkWriter,
                                 std::unique_ptr<ProcessLauncher> launcher,
                                 const QString& pathVariable)
    : m_registry(std::move(registry)), m_linkWriter(std::move(linkWriter)),
      m_launcher(std::move(launcher)),
      m_opener(std::make_unique<DocumentOpener>(*m_launcher, pathVariable)) {}

} // namespace jl
