#include "app/UpdateDownload.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <memory>

namespace quorlan {

std::optional<QString> bareMimeType(const QByteArray &contentType) {
    if (contentType.isNull())
        return std::nullopt;
    const qsizetype semicolon = contentType.indexOf(';');
    const QByteArray type = semicolon < 0 ? contentType : contentType.left(semicolon);
    return QString::fromLatin1(type.trimmed());
}

bool isAllowedUpdateAddress(const QUrl &url) {
    if (!url.isValid() || url.host().isEmpty())
        return false;
    if (url.scheme() == QLatin1String("https"))
        return true;
    const QHostAddress host(url.host());
    return url.scheme() == QLatin1String("http") &&
           (host.isLoopback() || url.host() == QLatin1String("localhost"));
}

namespace {

UpdateDownloadOutcome outcomeOf(QNetworkReply &reply, const QByteArray &body, bool overCap) {
    UpdateDownloadOutcome outcome;
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        outcome.response =
            UpdateResponse{status.toInt(), bareMimeType(reply.rawHeader("Content-Type"))};
    if (overCap)
        outcome.error = QStringLiteral("the update list is larger than allowed");
    else if (reply.error() != QNetworkReply::NoError)
        outcome.error = reply.errorString();
    outcome.body = body;
    return outcome;
}

} // namespace

void downloadUpdateList(QNetworkAccessManager &manager, const QUrl &url,
                        const UpdateDownloadLimits &limits,
                        std::function<void(const UpdateDownloadOutcome &)> completion) {
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(limits.timeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    QNetworkReply *reply = manager.get(request);
    reply->setReadBufferSize(0);

    struct Transfer {
        QByteArray body;
        bool overCap = false;
        // Takes what has arrived; false once the body is over the cap, which it then drops.
        bool take(QNetworkReply &from, qint64 cap) {
            if (overCap)
                return false;
            body += from.readAll();
            if (body.size() > cap) {
                overCap = true;
                body.clear();
            }
            return !overCap;
        }
    };
    auto transfer = std::make_shared<Transfer>();
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, transfer, limits] {
        if (!transfer->take(*reply, limits.maxBodyBytes))
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply,
                     [reply, transfer, limits, completion = std::move(completion)] {
                         transfer->take(*reply, limits.maxBodyBytes);
                         const UpdateDownloadOutcome outcome =
                             outcomeOf(*reply, transfer->body, transfer->overCap);
                         reply->deleteLater();
                         completion(outcome);
                     });
}

} // namespace quorlan
