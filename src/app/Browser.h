#pragma once

#include <QUrl>

namespace quorlan {

// Opens addresses in the user's default web browser; tests record them instead.
class Browser {
public:
    virtual ~Browser() = default;
    virtual void openURL(const QUrl &url) = 0;
};

} // namespace quorlan
