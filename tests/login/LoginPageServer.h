#pragma once

// A website's two-page login on 127.0.0.1 for the end-to-end test: "/" asks for the
// user ID, "/password" for the password, "/login" takes it. Every form field that
// arrives is recorded.
#include <QHash>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

namespace quorly::test {

class LoginPageServer : public QObject {
public:
    LoginPageServer()
    {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort()); }
    // "GET /", "POST /password user=...", in the order they came.
    const QStringList& requests() const { return requests_; }
    QString field(const QString& name) const { return fields_.value(name); }

private:
    void serve(QTcpSocket* socket)
    {
        QByteArray& buffer = pending_[socket];
        buffer += socket->readAll();
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QByteArray head = buffer.left(headerEnd);
        qsizetype length = 0;
        for (const QByteArray& line : head.split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        }
        if (buffer.size() < headerEnd + 4 + length)
            return;
        const QList<QByteArray> requestLine = head.left(head.indexOf('\r')).split(' ');
        const QByteArray body = buffer.mid(headerEnd + 4, length);
        pending_.remove(socket);
        const QString method = QString::fromLatin1(requestLine.value(0));
        const QString path = QString::fromLatin1(requestLine.value(1));
        requests_ << (method + ' ' + path + (body.isEmpty() ? QString() : ' ' + QString::fromUtf8(body)));
        const QUrlQuery form(QString::fromUtf8(body).replace('+', ' '));
        for (const auto& [name, value] : form.queryItems(QUrl::FullyDecoded))
            fields_.insert(name, value);
        reply(socket, path);
    }

    static void reply(QTcpSocket* socket, const QString& path)
    {
        QByteArray page;
        if (path == QLatin1String("/"))
            page = "<form method=post action=/password>User ID <input name=user autofocus></form>";
        else if (path == QLatin1String("/password"))
            page = "<form method=post action=/login>Password <input type=password name=password autofocus></form>";
        else
            page = "<p>Welcome</p>";
        page = "<!doctype html><html><head><meta charset=utf-8><title>Login</title></head><body>" + page +
               "</body></html>";
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n"
                      "Content-Length: " +
                      QByteArray::number(page.size()) + "\r\n\r\n" + page);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
    QStringList requests_;
    QHash<QString, QString> fields_;
};

}  // namespace quorly::test
