#pragma once

// An HTTP server on 127.0.0.1 (a port the system picks) that answers every request with one
// canned reply, or never answers. It runs on the test's own thread: the test spins the event
// loop (QSignalSpy::wait, QTRY_*) while the download runs.

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace quorlan::testing {

class LoopbackHttpServer {
public:
    LoopbackHttpServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] { accept(); });
    }

    bool listening() const { return server_.isListening(); }
    QUrl url(const QString &path = QStringLiteral("/update-list.plist")) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
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
    void accept() {
        while (QTcpSocket *socket = server_.nextPendingConnection()) {
            socket->setParent(&server_);
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

    QTcpServer server_;
    QByteArray reply_;
    bool silent_ = false;
    int requests_ = 0;
    QByteArray lastRequest_;
};

} // namespace quorlan::testing
