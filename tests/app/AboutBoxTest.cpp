// Help ▸ About Quorlan: a box over the window with the build's version, the licence and the
// project's address.
#include "WindowFixture.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>

using namespace quorlan::testing;

TEST_F(WindowTest, AboutBoxNamesTheVersionTheLicenceAndTheAddress) {
    QAction *about = part<QAction>("aboutAction");
    EXPECT_TRUE(part<QMenu>("helpMenu")->actions().contains(about));
    EXPECT_EQ(about->text(), "About Quorlan");
    about->trigger();

    QPointer<QMessageBox> box = part<QMessageBox>("aboutBox");
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->windowTitle(), "About Quorlan");
    EXPECT_EQ(box->textFormat(), Qt::RichText);
    EXPECT_EQ(box->text(),
              "<h3>Quorlan " QUORLAN_VERSION "</h3>"
              "<p>Measures how fast a storage volume writes and reads whole files.</p>"
              "<p>Free software under the GNU General Public License, version 3 or later.</p>"
              "<p><a href=\"" QUORLAN_PROJECT_URL "\">" QUORLAN_PROJECT_URL "</a></p>");

    box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(box.isNull()) << "a closed box is deleted";
}
