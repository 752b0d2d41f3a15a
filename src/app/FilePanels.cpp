#include "app/FilePanels.h"

#include <QFileInfo>

namespace quorlan {

FilePanelRequest savePanelRequest(const QStringList &types, const QString &proposedName) {
    FilePanelRequest request;
    request.kind = FilePanelRequest::Kind::SaveFile;
    request.canCreateFolders = true;
    request.allowedFileTypes = types;
    request.proposedName = proposedName;
    return request;
}

QString pathWithAllowedType(const QString &path, const QStringList &allowedTypes) {
    if (allowedTypes.isEmpty() || path.isEmpty())
        return path;
    const QString name = QFileInfo(path).fileName();
    for (const QString &type : allowedTypes)
        if (name.endsWith("." + type, Qt::CaseInsensitive) && name.size() > type.size() + 1)
            return path;
    return path + "." + allowedTypes.first();
}

std::optional<QString> finalSavePath(const QString &chosen, const QStringList &allowedTypes,
                                     const std::function<bool(const QString &)> &confirmReplace) {
    const QString path = pathWithAllowedType(chosen, allowedTypes);
    if (path != chosen && QFileInfo::exists(path) && !confirmReplace(path))
        return std::nullopt;
    return path;
}

} // namespace quorlan
