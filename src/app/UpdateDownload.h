#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

class QNetworkAccessManager;

namespace quorlan {

// What the server answered, as far as it answered over HTTP.
struct UpdateResponse {
    int statusCode = 0;
    // The bare MIME type of the Content-Type header: the text before any ";" parameters, with the
    // surrounding white space removed and the case kept. No value without the header.
    std::optional<QString> mimeType;
};

// How one download ended. With an error, the body and response are whatever arrived.
struct UpdateDownloadOutcome {
    std::optional<QByteArray> body;
    std::optional<UpdateResponse> response; // no value when nothing HTTP came back
    std::optional<QString> error;           // transport error, time-out or a body over the cap
};

struct UpdateDownloadLimits {
    // The whole transfer must end within this time, from the request on.
    std::chrono::milliseconds timeout{30000};
    // A body growing beyond this many bytes aborts the download.
    qint64 maxBodyBytes = 1024 * 1024;
};

// The bare MIME type of a Content-Type header value; see UpdateResponse::mimeType.
std::optional<QString> bareMimeType(const QByteArray &contentType);

// Whether the address may be asked for the update list: https, or plain http to a loopback host
// (the tests' own server).
bool isAllowedUpdateAddress(const QUrl &url);

// Starts a GET of url on the manager and returns at once. completion runs exactly once, on the
// manager's thread, when the download ends in any way. Redirects to a less safe scheme are not
// followed. Nothing is cached or kept.
void downloadUpdateList(QNetworkAccessManager &manager, const QUrl &url,
                        const UpdateDownloadLimits &limits,
                        std::function<void(const UpdateDownloadOutcome &)> completion);

} // namespace quorlan
