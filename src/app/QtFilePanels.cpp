#include "app/QtFilePanels.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

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
#if !defined(__APPLE__)
    // The macOS panel shows hidden files when asked; the GTK dialog and the portal cannot.
    if (request.showsHiddenFiles)
        dialog.setOption(QFileDialog::DontUseNativeDialog);
#endif
}

// The folder a later panel of the same kind opens in: the chosen folder itself, or the folder
// that holds the chosen file.
QString folderToRemember(const FilePanelRequest &request, const QString &chosen) {
    if (request.kind == FilePanelRequest::Kind::ChooseFolder)
        return chosen;
    return QFileInfo(chosen).absolutePath();
}

// Asks, as the file dialog itself does, before a file is replaced; true to replace it.
bool confirmReplace(QWidget *parent, const QString &path) {
    const QString text = QFileDialog::tr("%1 already exists.\nDo you want to replace it?")
                             .arg(QFileInfo(path).fileName());
    return QMessageBox::warning(parent, QFileDialog::tr("Save"), text,
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

} // namespace

void QtFilePanels::begin(const FilePanelRequest &request, QWidget *window,
                         FilePanelCompletion done) {
    auto *dialog = new QFileDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const QString kind = folderKind(request);
    if (const auto last = lastFolders_->find(kind); last != lastFolders_->end())
        dialog->setDirectory(last->second);
    setUp(*dialog, request);
    const QStringList types = request.allowedFileTypes;
    const bool saving = request.kind == FilePanelRequest::Kind::SaveFile;
    QObject::connect(dialog, &QFileDialog::finished, dialog,
                     [dialog, window, types, saving, request, kind, folders = lastFolders_,
                      done = std::move(done)](int result) {
                         std::optional<QString> path;
                         const QStringList chosen = dialog->selectedFiles();
                         if (!chosen.isEmpty() && !chosen.first().isEmpty())
                             path = chosen.first();
                         if (result == QDialog::Accepted && path)
                             (*folders)[kind] = folderToRemember(request, *path);
                         if (result == QDialog::Accepted && saving && path) {
                             // The dialog asked about the name as typed; a type added to it names
                             // another file.
                             path = finalSavePath(*path, types, [window](const QString &p) {
                                 return confirmReplace(window, p);
                             });
                             if (!path) {
                                 done(panelCancelResponse, std::nullopt);
                                 return;
                             }
                         }
                         done(result == QDialog::Accepted ? panelOKResponse : panelCancelResponse,
                              path);
                     });
    // show(), not open(): open() would make every panel modal to its window.
    dialog->show();
}

QString QtFilePanels::folderKind(const FilePanelRequest &request) {
    return QString::number(static_cast<int>(request.kind)) + ':' +
           request.allowedFileTypes.join(',');
}

} // namespace quorlan
