#include "app/AboutBox.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

namespace quorlan {

QString aboutText() {
    const QString address = QStringLiteral(QUORLAN_PROJECT_URL);
    return QStringLiteral("<h3>Quorlan %1</h3>"
                          "<p>Measures how fast a storage volume writes and reads whole files.</p>"
                          "<p>Free software under the GNU General Public License, version 3 or "
                          "later.</p>"
                          "<p><a href=\"%2\">%2</a></p>")
        .arg(QStringLiteral(QUORLAN_VERSION), address);
}

void openAboutBox(QWidget &parent) {
    auto *box = new QMessageBox(&parent);
    box->setObjectName(QStringLiteral("aboutBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QApplication::translate("AboutBox", "About Quorlan"));
    box->setTextFormat(Qt::RichText);
    box->setText(aboutText());
    box->setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    box->setStandardButtons(QMessageBox::Ok);
    box->open();
}

} // namespace quorlan
