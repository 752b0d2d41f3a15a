#pragma once

#include "app/FilePanels.h"

namespace quorlan {

// File panels as Qt's file dialogs, opened with open() so that the event loop goes on.
class QtFilePanels final : public FilePanels {
public:
    void begin(const FilePanelRequest &request, QWidget *window, FilePanelCompletion done) override;
};

} // namespace quorlan
