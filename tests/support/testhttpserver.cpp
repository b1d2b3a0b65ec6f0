// SPDX-License-Identifier: MIT
#include "tests/support/testhttpserver.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

QByteArray RecordedRequest::path() const
{
    QByteArray p = target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));
    return p.startsWith('/') ? p.mid(1) : p;
}

QByteArray RecordedRequest::query() const
{
    const int q = target.indexOf('?');
    return q < 0 ? QByteArray() : target.mid(q + 1);
}

TestHttpServer::TestHttpServer(QObject *parent)
    : QTcpServer(parent)
{
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection()) {
            m_connections.insert(socket, QByteArray());
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_connections.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

TestHttpServer::~TestHttpServer()
{
    for (QTcpSocket *socket : m_connections.keys())
        socket->abort();
}

bool TestHttpServer::start()
{
    return listen(QHostAddress::LocalHost, 0);
}

QString TestHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(serverPort());
}

void TestHttpServer::route(const QByteArray &path, Handler handler)
{
    m_routes.insert(path, std::move(handler));
}

void TestHttpServer::route(const QByteArray &path, const TestResponse &response)
{
    route(path, [response](const RecordedRequest &) { return response; });
}

QList<RecordedRequest> TestHttpServer::requestsTo(const QByteArray &path) const
{
    QList<RecordedRequest> found;
    for (const RecordedRequest &r : m_requests) {
        if (r.path() == path)
            found.append(r);
    }
    return found;
}

void TestHttpServer::readFrom(QTcpSocket *socket)
{
    QByteArray &buffer = m_connections[socket];
    buffer += socket->readAll();
    for (;;) {
        const int headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        RecordedRequest request;
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines.at(i).indexOf(':');
            if (colon > 0) {
                QByteArray &value = request.headers[lines.at(i).left(colon).trimmed().toLower()];
                value = value.isEmpty() ? lines.at(i).mid(colon + 1).trimmed()
                                        : value + ", " + lines.at(i).mid(colon + 1).trimmed();
            }
        }
        const int length = request.header("content-length").toInt();
        if (buffer.size() < headEnd + 4 + length)
            return;
        request.body = buffer.mid(headEnd + 4, length);
        buffer.remove(0, headEnd + 4 + length);

        m_requests.append(request);
        emit requestReceived(request);
        answer(socket, request);
        // An answer that closes the connection drops its buffer at once.
        if (!m_connections.contains(socket))
            return;
    }
}

void TestHttpServer::answer(QTcpSocket *socket, const RecordedRequest &request)
{
    const auto route = m_routes.constFind(request.path());
    const TestResponse response = route != m_routes.constEnd()
        ? (*route)(request)
        : TestResponse::withStatus(404, "not found", "text/plain");
    if (response.mode == TestResponse::Mode::NeverAnswer)
        return;

    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " X\r\n";
    head += "Content-Type: " + response.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    for (const auto &header : response.headers)
        head += header.first + ": " + header.second + "\r\n";
    head += "\r\n";

    switch (response.mode) {
    case TestResponse::Mode::Normal:
        if (response.delayMs > 0) {
            QTimer::singleShot(
                response.delayMs, socket,
                [socket, all = QByteArray(head + response.body)] { socket->write(all); });
            break;
        }
        socket->write(head + response.body);
        break;
    case TestResponse::Mode::Reset:
        socket->abort();
        break;
    case TestResponse::Mode::CloseMidBody:
        socket->write(head + response.body.left(response.body.size() / 2));
        socket->flush();
        socket->disconnectFromHost();
        break;
    case TestResponse::Mode::Trickle: {
        auto *timer = new QTimer(socket);
        timer->setInterval(response.trickleIntervalMs);
        const QByteArray all = head + response.body;
        QPointer<QTcpSocket> guard(socket);
        connect(timer, &QTimer::timeout, socket, [timer, guard, all, sent = 0]() mutable {
            if (!guard || sent >= all.size()) {
                timer->stop();
                return;
            }
            guard->write(all.mid(sent++, 1));
        });
        timer->start();
        break;
    }
    case TestResponse::Mode::NeverAnswer:
        break;
    }
}
