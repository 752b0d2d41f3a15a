// The real file dialogs behind the window's panels: how each request sets its dialog up, and the
// answer the dialog gives when it is accepted with a name or rejected.
#include "app/QtFilePanels.h"

#include "../support/GoldenMatch.h"
#include "../support/TempFolder.h"

#include <QFileDialog>

#include <gtest/gtest.h>

using namespace quorlan;

TEST(QtFilePanels, EachRequestSetsUpItsDialogAndAnswersWithTheChosenPath) {
    const quorlan::testing::TempFolder scratch;
    const QString folder = QString::fromStdString(scratch.path());
    QWidget window;
    QtFilePanels panels;
    std::string setups;
    std::vector<std::pair<int, std::optional<QString>>> answers;
    for (const FilePanelRequest &request :
         {savePanelRequest({"text", "txt"}, "Quorlan-output.text"), readFileRequest("Read"),
          testFolderRequest(), savePanelRequest({"png"}, "")}) {
        panels.begin(request, &window, [&answers](int response, std::optional<QString> path) {
            answers.emplace_back(response, path);
        });
        QFileDialog *dialog = window.findChildren<QFileDialog *>().last();
        const QStringList setup = {
            dialog->acceptMode() == QFileDialog::AcceptSave ? "save" : "open",
            QString("file mode %1").arg(dialog->fileMode()),
            dialog->nameFilters().join(';'),
            "suffix " + dialog->defaultSuffix(),
            dialog->labelText(QFileDialog::Accept),
            dialog->testOption(QFileDialog::ReadOnly) ? "read-only" : "folders can be made",
            dialog->testOption(QFileDialog::ShowDirsOnly) ? "folders only" : "files",
            dialog->filter().testFlag(QDir::Hidden) ? "hidden shown" : "hidden not shown",
            dialog->isSizeGripEnabled() ? "grip" : "no grip"};
        setups += setup.join(" | ").toStdString() + "\n";
        if (request.kind == FilePanelRequest::Kind::SaveFile) {
            dialog->selectFile(folder + "/chosen");
            static_cast<QDialog *>(dialog)->accept(); // QFileDialog hides accept()
        } else {
            dialog->reject();
        }
    }
    EXPECT_TRUE(quorlan::testing::matchesSnapshot(setups, "qt-file-dialogs.txt"));
    ASSERT_EQ(answers.size(), 4u);
    EXPECT_EQ(answers[0], std::pair(panelOKResponse, std::optional(folder + "/chosen.text")));
    EXPECT_EQ(answers[1].first, panelCancelResponse);
    EXPECT_EQ(answers[3], std::pair(panelOKResponse, std::optional(folder + "/chosen.png")));
}
