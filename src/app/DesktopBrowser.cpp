#include "app/DesktopBrowser.h"

#include <QDesktopServices>

namespace quorlan {

void DesktopBrowser::openURL(const QUrl &url) {
    QDesktopServices::openUrl(url);
}

} // namespace quorlan
