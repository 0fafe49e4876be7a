#include "desktop/auto_run.h"

#include "desktop/registry.h"
#include "util/dialogs.h"

namespace jl {

QString asciiUpperCase(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - u'a' + u'A');
    }
    return out;
}

QString autoRunEnabledMessage(const QString& exeName) {
    return QStringLiteral("This program (") + exeName +
           QStringLiteral(") will now run automatically at Windows Start-Up.");
}

QString autoRunDisabledMessage(const QString& exeName) {
    return QStringLiteral("This program (") + exeName +
           QStringLiteral(") will now no-longer run automatically at Windows Start-Up.");
}

QString autoRunRelocationQuestion(const QString& exeName, const QString& storedPath,
                                  const QString& exePath) {
    return QStringLiteral("The directory / path settings required to make this program (") +
           exeName +
           QStringLiteral(")\n"
                          "run automatically at Windows Start-up do not match where the program \n"
                          "is currently being run from.\n"
                          "\n"
                          " Old      = ") +
           storedPath + QStringLiteral("\n Current = ") + exePath +
           QStringLiteral("\n"
                          "\n"
                          "Do you want to update the Windows Registry to "
                          "reflect the programs current locaton ?");
}

bool REGISTRY_INC__Enable_Auto_Run(Registry& registry, Dialogs& dialogs, const QString& exeName,
                                   const QString& exePath) {
    if (!REGISTRY_INC__Write_String(registry, dialogs, RegistryRoot::LocalMachine, kRunKeyPath,
                                    exeName, exePath))
        return false;
    dialogs.information(autoRunEnabledMessage(exeName));
    return true;
}

bool REGISTRY_INC__Disable_Auto_Run(Registry& registry, Dialogs& dialogs, const QString& exeName) {
    if (!REGISTRY_INC__Delete_Value(registry, dialogs, RegistryRoot::LocalMachine, kRunKeyPath,
                                    exeName))
        return false;
    dialogs.information(autoRunDisabledMessage(exeName));
    return true;
}

bool REGISTRY_INC__Check_Auto_Run(Registry& registry, Dialogs& dialogs, const QString& exeName,
                                  const QString& exePath) {
    const QString stored =
        REGISTRY_INC__Read_String(registry, RegistryRoot::LocalMachine, kRunKeyPath, exeName);
    if (stored.isEmpty())
        return false;
    if (asciiUpperCase(stored) == asciiUpperCase(exePath))
        return true;
    if (dialogs.warn(autoRunRelocationQuestion(exeName, stored, exePath)))
        REGISTRY_INC__Enable_Auto_Run(registry, dialogs, exeName, exePath);
    return true; // an entry exists, whatever became of the update
}

bool Auto_Run_at_Windows_Startup_OptionClick(Registry& registry, Dialogs& dialogs, bool ticked,
                                             const QString& exeName, const QString& exePath) {
    if (ticked)
        return REGISTRY_INC__Disable_Auto_Run(registry, dialogs, exeName) ? false : ticked;
    return REGISTRY_INC__Enable_Auto_Run(registry, dialogs, exeName, exePath) ? true : ticked;
}

} // namespace jl
