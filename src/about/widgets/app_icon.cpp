#include "about/widgets/app_icon.h"

#include <QDir>

namespace jl {

QIcon applicationIcon() {
    // The resources hold <size>x<size>/apps/junkloupe.png for each size the
    // build rendered.
    const QDir root(QStringLiteral(":/icons"));
    QIcon icon;
    for (const QString& size : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        icon.addFile(root.filePath(size + QStringLiteral("/apps/junkloupe.png")));
    return icon;
}

} // namespace jl
