#include "app/FilePanels.h"

#include <QFileInfo>

namespace quorlan {

FilePanelRequest savePanelRequest(const QStringList &types, const QString &proposedName) {
    return {.kind = FilePanelRequest::Kind::SaveFile,
            .allowedFileTypes = types,
            .proposedName = proposedName,
            .canCreateFolders = true,
            .showsHiddenFiles = true};
}

FilePanelRequest testFolderRequest() {
    return {.kind = FilePanelRequest::Kind::ChooseFolder,
            .canCreateFolders = true,
            .showsHiddenFiles = true,
            .showsResizeIndicator = true};
}

FilePanelRequest readFileRequest(const QString &acceptLabel) {
    return {.kind = FilePanelRequest::Kind::OpenFile,
            .acceptLabel = acceptLabel,
            .showsHiddenFiles = true,
            .treatsPackagesAsFolders = true,
            .asSheet = true};
}

FilePanelRequest resultsFilesRequest(const QString &acceptLabel) {
    return {.kind = FilePanelRequest::Kind::OpenFile,
            .acceptLabel = acceptLabel,
            .allowedFileTypes = {"json"},
            .showsHiddenFiles = true};
}

void FilePanels::beginChoosingFiles(const FilePanelRequest &request, QWidget *window,
                                    FilePanelFilesCompletion done) {
    begin(request, window, [done = std::move(done)](int response, std::optional<QString> path) {
        done(response, path ? QStringList{*path} : QStringList{});
    });
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
