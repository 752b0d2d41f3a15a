#pragma once

// An HTTP server on 127.0.0.1 (a port the system picks) that answers every request with one
// canned reply, or never answers; over TLS when given a certificate and key. It runs on the test's
// own thread: the test spins the event loop (QSignalSpy::wait, QTRY_*) while the download runs.

#include <QByteArray>
#include <QSslConfiguration>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <memory>

namespace quorlan::testing {

class LoopbackHttpServer {
public:
    LoopbackHttpServer() : server_(std::make_unique<QTcpServer>()) { listen(); }
    explicit LoopbackHttpServer(const QSslConfiguration &tls) : tls_(true) {
        auto server = std::make_unique<QSslServer>();
        server->setSslConfiguration(tls);
        server_ = std::move(server);
        listen();
    }

    bool listening() const { return server_->isListening(); }
    QUrl url(const QString &path = QStringLiteral("/update-list.plist")) const {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2%3")
                        .arg(tls_ ? "https" : "http")
                        .arg(server_->serverPort())
                        .arg(path));
    }

    // The reply to send: status line, headers and body. A Content-Length is added.
    void reply(int status, const QByteArray &contentType, const QByteArray &body) {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + " Canned\r\n";
        if (!contentType.isNull())
            head += "Content-Type: " + contentType + "\r\n";
        head +=
            "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
        reply_ = head + body;
        silent_ = false;
    }
    // Reads each request and never answers it.
    void neverAnswer() { silent_ = true; }

    int requests() const { return requests_; }
    QByteArray lastRequest() const { return lastRequest_; }

private:
    void listen() {
        server_->listen(QHostAddress::LocalHost, 0);
        QObject::connect(server_.get(), &QTcpServer::pendingConnectionAvailable,
                         [this] { accept(); });
    }

    void accept() {
        while (QTcpSocket *socket = server_->nextPendingConnection()) {
            socket->setParent(server_.get());
            auto *request = new QByteArray;
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                *request += socket->readAll();
                if (!request->contains("\r\n\r\n"))
                    return;
                ++requests_;
                lastRequest_ = *request;
                request->clear();
                if (silent_)
                    return;
                socket->write(reply_);
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QObject::destroyed, [request] { delete request; });
        }
    }

    std::unique_ptr<QTcpServer> server_;
    bool tls_ = false;
    QByteArray reply_;
    bool silent_ = false;
    int requests_ = 0;
    QByteArray lastRequest_;
};

} // namespace quorlan::testing
