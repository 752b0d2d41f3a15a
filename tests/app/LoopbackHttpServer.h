#pragma once

// An HTTP server on 127.0.0.1 (a port the system picks) that answers every request with one
// canned reply, or never answers; over TLS when given a certificate and key. It runs on the test's
// own thread: the test spins the event loop (QSignalSpy::wait, QTest::qWaitFor) while the download runs.

#include <QByteArray>
#include <QSslConfiguration>
#include <QSslServer>
#include <QTcpSocket>
#include <QUrl>

#include <memory>

namespace quorlan::testing {

class LoopbackHttpServer {
public:
    explicit LoopbackHttpServer(const QSslConfiguration *tls = nullptr) {
        if (tls) {
            auto *server = new QSslServer;
            server->setSslConfiguration(*tls);
            server_.reset(server);
        }
        server_->listen(QHostAddress::LocalHost, 0);
        QObject::connect(server_.get(), &QTcpServer::pendingConnectionAvailable,
                         [this] { accept(); });
    }

    QUrl url() const {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2/update-list.plist")
                        .arg(qobject_cast<QSslServer *>(server_.get()) ? "https" : "http")
                        .arg(server_->serverPort()));
    }

    // The reply to send: status line, headers and body. A Content-Length is added; an empty
    // contentType sends no Content-Type.
    void reply(int status, const QByteArray &contentType, const QByteArray &body) {
        reply_ = "HTTP/1.1 " + QByteArray::number(status) + " Canned\r\n";
        if (!contentType.isEmpty())
            reply_ += "Content-Type: " + contentType + "\r\n";
        reply_ += "Content-Length: " + QByteArray::number(body.size()) +
                  "\r\nConnection: close\r\n\r\n" + body;
    }
    // Reads each request and never answers it.
    void neverAnswer() { reply_.clear(); }

    // The first line of every whole request received, in order.
    QList<QByteArray> requestLines;

private:
    void accept() {
        while (QTcpSocket *socket = server_->nextPendingConnection()) {
            socket->setParent(server_.get());
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                *request += socket->readAll();
                if (!request->contains("\r\n\r\n"))
                    return;
                requestLines << request->left(request->indexOf('\r'));
                request->clear();
                if (reply_.isEmpty())
                    return;
                socket->write(reply_);
                socket->disconnectFromHost();
            });
        }
    }

    std::unique_ptr<QTcpServer> server_ = std::make_unique<QTcpServer>();
    QByteArray reply_;
};

} // namespace quorlan::testing
