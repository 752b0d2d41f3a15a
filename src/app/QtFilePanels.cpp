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
    const QStringList types = request.allowedFileTypes;
    const bool saving = request.kind == FilePanelRequest::Kind::SaveFile;
    show(request, window, false,
         [window, types, saving, done = std::move(done)](int response, QStringList chosen) {
             std::optional<QString> path;
             if (!chosen.isEmpty() && !chosen.first().isEmpty())
                 path = chosen.first();
             if (response == panelOKResponse && saving && path) {
                 // The dialog asked about the name as typed; a type added to it names another
                 // file.
                 path = finalSavePath(*path, types, [window](const QString &p) {
                     return confirmReplace(window, p);
                 });
                 if (!path) {
                     done(panelCancelResponse, std::nullopt);
                     return;
                 }
             }
             done(response, path);
         });
}

void QtFilePanels::beginChoosingFiles(const FilePanelRequest &request, QWidget *window,
                                      FilePanelFilesCompletion done) {
    show(request, window, true, [done = std::move(done)](int response, QStringList chosen) {
        chosen.removeAll(QString());
        done(response, response == panelOKResponse ? chosen : QStringList());
    });
}

void QtFilePanels::show(const FilePanelRequest &request, QWidget *window, bool severalFiles,
                        FilePanelFilesCompletion closed) {
    auto *dialog = new QFileDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const QString kind = folderKind(request);
    if (const auto last = lastFolders_->find(kind); last != lastFolders_->end())
        dialog->setDirectory(last->second);
    setUp(*dialog, request);
    if (severalFiles)
        dialog->setFileMode(QFileDialog::ExistingFiles);
    QObject::connect(
        dialog, &QFileDialog::finished, dialog,
        [dialog, request, kind, folders = lastFolders_, closed = std::move(closed)](int result) {
            const QStringList chosen = dialog->selectedFiles();
            const bool accepted = result == QDialog::Accepted;
            if (accepted && !chosen.isEmpty() && !chosen.first().isEmpty())
                (*folders)[kind] = folderToRemember(request, chosen.first());
            closed(accepted ? panelOKResponse : panelCancelResponse, chosen);
        });
    // show(), not open(): open() would make every panel modal to its window.
    dialog->show();
}

QString QtFilePanels::folderKind(const FilePanelRequest &request) {
    if (request.kind == FilePanelRequest::Kind::ChooseFolder)
        return QStringLiteral("folder");
    return "file:" + request.allowedFileTypes.value(0);
}

} // namespace quorlan
