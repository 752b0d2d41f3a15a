#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

namespace quorlan {

// How one file panel is to be set up; each command fills this in the way it needs.
struct FilePanelRequest {
    enum class Kind { SaveFile, OpenFile, ChooseFolder };
    Kind kind = Kind::SaveFile;
    QString acceptLabel{};          // the confirm button's title; empty keeps the platform's own
    QStringList allowedFileTypes{}; // extensions without the dot; the first is added when missing
    QString proposedName{};         // the name field's text of a save panel; empty = none
    bool canCreateFolders = false;
    bool showsHiddenFiles = false;
    bool treatsPackagesAsFolders = false; // bundles are plain folders on Linux anyway
    bool showsResizeIndicator = false;
    bool asSheet = false; // modal to the window instead of free-standing
};

// A save panel for a file of one of types (the first is the default), in which folders can be
// made and hidden files are shown; proposedName may be empty.
FilePanelRequest savePanelRequest(const QStringList &types, const QString &proposedName);
// A panel that chooses the folder of a multi-file test: folders can be made, hidden ones shown.
FilePanelRequest testFolderRequest();
// An open panel for the file to read, hidden files shown, packages opened as folders.
FilePanelRequest readFileRequest(const QString &acceptLabel);
// An open panel for results files (JSON) to compare with, hidden files shown; it opens where the
// results were last exported or compared (see QtFilePanels::folderKind).
FilePanelRequest resultsFilesRequest(const QString &acceptLabel);

// The panel's answer: OK is 1, anything else means the user did not confirm.
inline constexpr int panelOKResponse = 1;
inline constexpr int panelCancelResponse = 0;

// Called once, on the GUI thread, when the panel closes: the response and the chosen path, if any.
using FilePanelCompletion = std::function<void(int response, std::optional<QString> path)>;
// The same for a panel in which several files may be chosen: every chosen path, in the panel's
// order; none when the panel was not confirmed.
using FilePanelFilesCompletion = std::function<void(int response, QStringList paths)>;

// Shows file panels without blocking. The window's commands go through this interface so that
// tests can answer the panels themselves.
class FilePanels {
public:
    virtual ~FilePanels() = default;
    // Shows the panel and returns at once; done runs when the panel closes. window is the
    // window a sheet belongs to (and the parent of a free-standing panel); it may be null.
    virtual void begin(const FilePanelRequest &request, QWidget *window,
                       FilePanelCompletion done) = 0;
    // The same for an open panel in which several files may be chosen. By default the panel of
    // begin, whose one path becomes a list of one.
    virtual void beginChoosingFiles(const FilePanelRequest &request, QWidget *window,
                                    FilePanelFilesCompletion done);
};

// The path with the first allowed type appended when its file name does not already end in
// one of them (compared without regard to case). No types: the path unchanged.
QString pathWithAllowedType(const QString &path, const QStringList &allowedTypes);

// The path a save panel's choice finally names: pathWithAllowedType of chosen. The panel has
// asked about replacing chosen only, so when the type was added and a file of the final name
// exists, confirmReplace(final path) must agree; nullopt when it does not (the save is dropped).
std::optional<QString> finalSavePath(const QString &chosen, const QStringList &allowedTypes,
                                     const std::function<bool(const QString &)> &confirmReplace);

} // namespace quorlan
