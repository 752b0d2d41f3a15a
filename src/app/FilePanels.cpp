#include "app/FilePanels.h"

#include <QFileInfo>

namespace quorlan {

QString pathWithAllowedType(const QString &path, const QStringList &allowedTypes) {
    if (allowedTypes.isEmpty() || path.isEmpty())
        return path;
    const QString name = QFileInfo(path).fileName();
    for (const QString &type : allowedTypes)
        if (name.endsWith("." + type, Qt::CaseInsensitive) && name.size() > type.size() + 1)
            return path;
    return path + "." + allowedTypes.first();
}

} // namespace quorlan
