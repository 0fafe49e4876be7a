#include "desktop/registry.h"

#include "util/dialogs.h"
#include "util/failure.h"

namespace jl {

namespace {

// Closes the key however the routine ends.
class KeyCloser {
public:
    explicit KeyCloser(Registry& registry) : m_registry(registry) {}
    ~KeyCloser() { m_registry.closeKey(); }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

private:
    Registry& m_registry;
};

const QString kNoKey1 = QStringLiteral("Error: The specified Registry Key for this operation ");
const QString kNoKey2 = QStringLiteral("does NOT exist on your PC.  ");
const QString kContact = QStringLiteral("Please contact the program's author.");

QString writeDetails(const QString& keyPath, const QString& name, const QString& data) {
    return QStringLiteral("\n Error Key   = ") + keyPath + QStringLiteral("\n Error Item  = ") +
           name + QStringLiteral("\n Error Value = ") + data + QStringLiteral("\n\n") + kContact;
}

QString deleteDetails(const QString& keyPath, const QString& name) {
    return QStringLiteral("\n Error Key   = ") + keyPath + QStringLiteral("\n Error Item  = ") +
           name + QStringLiteral("\n\n") + kContact;
}

} // namespace

QString registryKeyMissingWriteMessage(const QString& keyPath, const QString& name,
                                       const QString& data) {
    return kNoKey1 + QLatin1Char('\n') + kNoKey2 + QLatin1Char('\n') +
           writeDetails(keyPath, name, data);
}

QString registryWriteFailureMessage(const QString& keyPath, const QString& name,
                                    const QString& data) {
    return QStringLiteral("Error: The required settings could not be created \n"
                          "or saved in the Windows Registry.  \n") +
           writeDetails(keyPath, name, data);
}

QString registryKeyMissingDeleteMessage(const QString& keyPath, const QString& name) {
    return kNoKey1 + QLatin1Char('\n') + kNoKey2 + QLatin1Char('\n') + deleteDetails(keyPath, name);
}

QString registryDeleteFailureMessage(const QString& keyPath, const QString& name) {
    return QStringLiteral("Error: The required Registry Key settings \n"
                          "could not be removed from the Windows Registry.  \n") +
           deleteDetails(keyPath, name);
}

QString withPlaceLookedFor(const QString& text, const QString& place) {
    if (place.isEmpty())
        return text;
    return text + QStringLiteral("\nFolder looked for: ") + place;
}

bool REGISTRY_INC__Write_String(Registry& registry, Dialogs& dialogs, RegistryRoot root,
                                const QString& keyPath, const QString& name, const QString& data) {
    registry.selectRoot(root);
    if (!registry.keyOpensWithFullAccess(keyPath) || !registry.openKey(keyPath)) {
        registry.closeKey();
        dialogs.error(withPlaceLookedFor(registryKeyMissingWriteMessage(keyPath, name, data),
                                         registry.placeOf(root, keyPath, name)));
        return false;
    }
    QString readBack;
    {
        KeyCloser closer(registry);
        if (!registry.writeString(name, data))
            throw Failure(QStringLiteral("Failed to set data for '%1'").arg(name));
        if (registry.readString(name, &readBack) == Registry::ValueType::Other)
            throw Failure(QStringLiteral("Invalid data type for '%1'").arg(name));
    }
    if (readBack != data) {
        dialogs.error(withPlaceLookedFor(registryWriteFailureMessage(keyPath, name, data),
                                         registry.placeOf(root, keyPath, name)));
        return false;
    }
    return true;
}

bool REGISTRY_INC__Delete_Value(Registry& registry, Dialogs& dialogs, RegistryRoot root,
                                const QString& keyPath, const QString& name) {
    registry.selectRoot(root);
    if (!registry.keyOpensWithFullAccess(keyPath) || !registry.openKey(keyPath)) {
        registry.closeKey();
        dialogs.error(withPlaceLookedFor(registryKeyMissingDeleteMessage(keyPath, name),
                                         registry.placeOf(root, keyPath, name)));
        return false;
    }
    bool stillThere = false;
    {
        KeyCloser closer(registry);
        registry.deleteValue(name); // the value's presence afterwards decides
        stillThere = registry.valueExists(name);
    }
    if (stillThere) {
        dialogs.error(withPlaceLookedFor(registryDeleteFailureMessage(keyPath, name),
                                         registry.placeOf(root, keyPath, name)));
        return false;
    }
    return true;
}

QString REGISTRY_INC__Read_String(Registry& registry, RegistryRoot root, const QString& keyPath,
                                  const QString& name) {
    registry.selectRoot(root);
    if (!registry.keyOpensWithFullAccess(keyPath) || !registry.openKey(keyPath)) {
        registry.closeKey();
        return QString();
    }
    KeyCloser closer(registry);
    QString data;
    if (registry.readString(name, &data) == Registry::ValueType::Other)
        throw Failure(QStringLiteral("Invalid data type for '%1'").arg(name));
    return data;
}

} // namespace jl
