#pragma once

#include "app/Browser.h"

namespace quorlan {

// The desktop's default browser, through QDesktopServices.
class DesktopBrowser final : public Browser {
public:
    void openURL(const QUrl &url) override;
};

} // namespace quorlan
