#pragma once
// Start-up auto-run: an entry named after the executable's file name in the
// machine-wide start-up key, holding the executable's full path. The registry
// is the authority for the menu item's tick.
//
// exeName is the executable's file name without directory ("junkloupe"),
// exePath its full path as the system reports it for the running process.

#include <QString>

namespace jl {

class Dialogs;
class Registry;

// Writes the entry; on success shows the enable confirmation and returns true.
// A failure has already been reported by the write routine.
bool REGISTRY_INC__Enable_Auto_Run(Registry& registry, Dialogs& dialogs, const QString& exeName,
                                   const QString& exePath);

// Removes the entry; on success shows the disable confirmation and returns true.
bool REGISTRY_INC__Disable_Auto_Run(Registry& registry, Dialogs& dialogs, const QString& exeName);

// The tick the menu item must take at every showing of the main window: false
// without an entry (or an empty one), true with one. An entry whose path is
// not the current one (ASCII letters compared without regard to case) brings
// the relocation question; Yes rewrites the entry. True either way.
bool REGISTRY_INC__Check_Auto_Run(Registry& registry, Dialogs& dialogs, const QString& exeName,
                                  const QString& exePath);

// The menu command: disables when ticked, enables otherwise, and returns the
// tick the item must show afterwards (unchanged when the change failed).
bool Auto_Run_at_Windows_Startup_OptionClick(Registry& registry, Dialogs& dialogs, bool ticked,
                                             const QString& exeName, const QString& exePath);

// Upper case of the ASCII letters a to z only; every other character as it is.
QString asciiUpperCase(const QString& text);

QString autoRunEnabledMessage(const QString& exeName);
QString autoRunDisabledMessage(const QString& exeName);
QString autoRunRelocationQuestion(const QString& exeName, const QString& storedPath,
                                  const QString& exePath);

} // namespace jl
