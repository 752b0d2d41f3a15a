#include "app/QtFilePanels.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace quorlan {

namespace {

QString nameFilter(const QStringList &types) {
    QStringList patterns;
    for (const QString &type : types)
        patterns << "*." + type;
    return QFileDialog::tr("%1 files (%2)").arg(types.first().toUpper(), patterns.join(' '));
}

void setUp(QFileDialog &dialog, const FilePanelRequest &request) {
    switch (request.kind) {
    case FilePanelRequest::Kind::SaveFile:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        break;
    case FilePanelRequest::Kind::OpenFile:
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case FilePanelRequest::Kind::ChooseFolder:
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    if (!request.allowedFileTypes.isEmpty()) {
        dialog.setNameFilter(nameFilter(request.allowedFileTypes));
        dialog.setDefaultSuffix(request.allowedFileTypes.first());
    }
    if (!request.proposedName.isEmpty())
        dialog.selectFile(request.proposedName);
    if (!request.acceptLabel.isEmpty())
        dialog.setLabelText(QFileDialog::Accept, request.acceptLabel);
    dialog.setOption(QFileDialog::ReadOnly, !request.canCreateFolders);
    if (request.showsHiddenFiles)
        dialog.setFilter(dialog.filter() | QDir::Hidden);
    dialog.setSizeGripEnabled(request.showsResizeIndicator);
    dialog.setWindowModality(request.asSheet ? Qt::WindowModal : Qt::NonModal);
}

} // namespace

void QtFilePanels::begin(const FilePanelRequest &request, QWidget *window,
                         FilePanelCompletion done) {
    auto *dialog = new QFileDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    setUp(*dialog, request);
    const QStringList types = request.allowedFileTypes;
    const bool saving = request.kind == FilePanelRequest::Kind::SaveFile;
    QObject::connect(
        dialog, &QFileDialog::finished, dialog,
        [dialog, types, saving, done = std::move(done)](int result) {
            std::optional<QString> path;
            const QStringList chosen = dialog->selectedFiles();
            if (!chosen.isEmpty() && !chosen.first().isEmpty())
                path = saving ? pathWithAllowedType(chosen.first(), types) : chosen.first();
            done(result == QDialog::Accepted ? panelOKResponse : panelCancelResponse, path);
        });
    dialog->open();
}

} // namespace quorlan
