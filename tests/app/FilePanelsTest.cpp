// The real file panels: how each request sets its dialog up (against a snapshot), free-standing,
// hidden entries listed, each kind opening where it was last confirmed, a save naming its type.

#include "../support/GoldenMatch.h"
#include "../support/TempFolder.h"
#include "app/QtFilePanels.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace quorlan::testing {

namespace {

QFileDialog *shownDialog() {
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<QFileDialog *>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

// The names the dialog lists in the folder it shows.
QStringList listedNames(QFileDialog &dialog) {
    QStringList names;
    auto *model = dialog.findChild<QFileSystemModel *>();
    if (!model)
        return names;
    const QModelIndex folder = model->index(dialog.directory().absolutePath());
    for (int row = 0; row < model->rowCount(folder); ++row)
        names << model->index(row, 0, folder).data().toString();
    return names;
}

// The dialog's set-up in one line.
std::string setupOf(const QFileDialog &dialog) {
    const QStringList setup = {
        dialog.acceptMode() == QFileDialog::AcceptSave ? "save" : "open",
        QString("file mode %1").arg(dialog.fileMode()),
        dialog.nameFilters().join(';'),
        "suffix " + dialog.defaultSuffix(),
        dialog.labelText(QFileDialog::Accept),
        dialog.testOption(QFileDialog::ReadOnly) ? "read-only" : "folders can be made",
        dialog.testOption(QFileDialog::ShowDirsOnly) ? "folders only" : "files",
        dialog.filter().testFlag(QDir::Hidden) ? "hidden shown" : "hidden not shown",
        dialog.isSizeGripEnabled() ? "grip" : "no grip"};
    return setup.join(" | ").toStdString() + "\n";
}

// Once the question about replacing a file shows, notes its text and presses this button on it.
void answerTheQuestion(QMessageBox::StandardButton button, QString &question, int triesLeft = 500) {
    QTimer::singleShot(10, [button, &question, triesLeft] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box == nullptr) {
            if (triesLeft > 0)
                answerTheQuestion(button, question, triesLeft - 1);
            return;
        }
        question = box->text();
        box->button(button)->click();
    });
}

} // namespace

TEST(QtFilePanels, SetUpFreeStandingListingHiddenEntriesAndOpeningWhereTheirKindWasConfirmed) {
    TempFolder scratch;
    const struct {
        FilePanelRequest request;
        const char *folder;   // where this kind is confirmed, below the scratch folder
        const char *chosen;   // what is chosen in it ("" for the folder itself)
        const char *answered; // the path the panel answers with, below that folder
        const char *hidden;   // the hidden entry the panel must list there
    } kinds[] = {
        {testFolderRequest(), "a", "", "", ".hiddendir"},
        {readFileRequest("Read"), "b", "file.bin", "file.bin", ".hidden.bin"},
        {savePanelRequest({"text", "txt"}, "Quorlan-output.text"), "c", "log", "log.text",
         ".hidden.text"},
        {savePanelRequest({"png"}, ""), "d", "chart", "chart.png", ".hiddendir"},
    };
    for (const auto &kind : kinds) {
        const std::filesystem::path folder = std::filesystem::path(scratch.path()) / kind.folder;
        std::filesystem::create_directories(folder / ".hiddendir");
        for (const char *name : {".hidden.bin", ".hidden.text"})
            std::ofstream(folder / name) << "x";
        std::ofstream(folder / "file.bin") << "x";
    }

    QWidget window;
    QtFilePanels panels;
    std::string setups;
    for (const auto &kind : kinds) {
        SCOPED_TRACE(kind.folder);
        const QString folder = QDir(QString::fromStdString(scratch.path())).filePath(kind.folder);
        const QString chosen = *kind.chosen ? folder + '/' + kind.chosen : folder;
        int response = -1;
        std::optional<QString> path;
        panels.begin(kind.request, &window, [&](int r, std::optional<QString> p) {
            response = r;
            path = std::move(p);
        });
        QFileDialog *dialog = shownDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->parentWidget(), &window);
        setups += setupOf(*dialog);
        EXPECT_NE(dialog->directory().absolutePath(), folder);
        EXPECT_EQ(dialog->windowModality(), kind.request.asSheet ? Qt::WindowModal : Qt::NonModal);
        if (!kind.request.asSheet) {
            EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        }
        dialog->setDirectory(folder);
        dialog->selectFile(chosen);
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog hides the public slot
        EXPECT_EQ(response, panelOKResponse);
        EXPECT_EQ(path, *kind.answered ? folder + '/' + kind.answered : folder);

        // The next panel of this kind opens in that folder and lists its hidden entry.
        panels.begin(kind.request, &window, [&](int r, std::optional<QString>) { response = r; });
        dialog = shownDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->directory().absolutePath(), folder);
        ASSERT_TRUE(QTest::qWaitFor([&] { return listedNames(*dialog).contains(kind.hidden); }));
        dialog->reject();
        EXPECT_EQ(response, panelCancelResponse);
        ASSERT_TRUE(QTest::qWaitFor([] { return shownDialog() == nullptr; }));
    }
    EXPECT_TRUE(matchesSnapshot(setups, "qt-file-dialogs.txt"));
}

// The results panel opens where the results were last exported and answers every file chosen in
// it, in order.
TEST(QtFilePanels, TheResultsPanelOpensWhereTheResultsWereExportedAndAnswersEveryFileChosen) {
    TempFolder scratch;
    const QString folder = QString::fromStdString(scratch.path());
    for (const char *name : {"a.json", "b.json"})
        std::ofstream(scratch.path() + "/" + name) << "{}";
    QWidget window;
    QtFilePanels panels;
    panels.begin(savePanelRequest({"json", "csv"}, "r.json"), &window,
                 [](int, std::optional<QString>) {});
    QFileDialog *dialog = shownDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->setDirectory(folder);
    dialog->selectFile(folder + "/r.json");
    static_cast<QDialog *>(dialog)->accept();
    ASSERT_TRUE(QTest::qWaitFor([] { return shownDialog() == nullptr; }));

    QStringList paths;
    panels.beginChoosingFiles(resultsFilesRequest("Compare"), &window, [&](int r, QStringList p) {
        EXPECT_EQ(r, panelOKResponse);
        paths = p;
    });
    dialog = shownDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->directory().absolutePath(), folder);
    EXPECT_EQ(setupOf(*dialog),
              "open | file mode 3 | JSON files (*.json) | suffix json | Compare | "
              "read-only | files | hidden shown | no grip\n");
    dialog->findChild<QLineEdit *>("fileNameEdit")->setText("\"b.json\" \"a.json\"");
    static_cast<QDialog *>(dialog)->accept();
    EXPECT_EQ(paths, QStringList({folder + "/b.json", folder + "/a.json"}));
}

// A type the panel adds to the name typed can name a file that exists: the dialog did not ask
// about that one, so the panel does, and only a yes replaces it.
TEST(QtFilePanels, ASaveAsksBeforeTheTypeItAddsNamesAnExistingFile) {
    TempFolder scratch;
    const QString folder = QString::fromStdString(scratch.path());
    std::ofstream(scratch.path() + "/run.txt.json") << "{}";
    QWidget window;
    QtFilePanels panels;
    for (const auto button : {QMessageBox::No, QMessageBox::Yes}) {
        SCOPED_TRACE(button);
        std::pair<int, std::optional<QString>> answer;
        panels.begin(savePanelRequest({"json", "csv"}, "r.json"), &window,
                     [&](int r, std::optional<QString> p) {
                         answer = {r, std::move(p)};
                     });
        QFileDialog *dialog = shownDialog();
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(folder);
        dialog->selectFile(folder + "/run.txt");
        QString question;
        answerTheQuestion(button, question);
        static_cast<QDialog *>(dialog)->accept();
        EXPECT_EQ(question, "run.txt.json already exists.\nDo you want to replace it?");
        const bool yes = button == QMessageBox::Yes;
        EXPECT_EQ(answer, std::pair(yes ? panelOKResponse : panelCancelResponse,
                                    yes ? std::optional(folder + "/run.txt.json") : std::nullopt));
        ASSERT_TRUE(QTest::qWaitFor([] { return shownDialog() == nullptr; }));
    }
}

} // namespace quorlan::testing
