#pragma once

#include "app/FilePanels.h"

#include <map>
#include <memory>

namespace quorlan {

// File panels as Qt's file dialogs, shown without blocking: free-standing and not modal, except a
// request asSheet, which is modal to its window. Hidden files are listed when asked for; on Linux
// that takes Qt's own dialog, since neither the GTK dialog nor the desktop portal can be told to
// list them. Each panel opens in the folder where the last panel of its kind was confirmed
// during this session (see folderKind); the first of a kind opens where the dialog itself
// chooses.
class QtFilePanels final : public FilePanels {
public:
    void begin(const FilePanelRequest &request, QWidget *window, FilePanelCompletion done) override;
    void beginChoosingFiles(const FilePanelRequest &request, QWidget *window,
                            FilePanelFilesCompletion done) override;

    // Panels that choose the same thing share a remembered folder: folders, or files of the same
    // first allowed type, saved or opened alike. So the test folders, the file to read, the test
    // file to write, the log, the chart and the results (exported or compared) each have their
    // own.
    static QString folderKind(const FilePanelRequest &request);

private:
    // Shows the dialog; closed gets the response and every path the dialog had selected.
    void show(const FilePanelRequest &request, QWidget *window, bool severalFiles,
              FilePanelFilesCompletion closed);

    std::shared_ptr<std::map<QString, QString>> lastFolders_ =
        std::make_shared<std::map<QString, QString>>();
};

} // namespace quorlan
