// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

// One request as the server received it.
struct RecordedRequest
{
    QByteArray method;
    QByteArray target;                     // path with query, exactly as sent ("/orvane/x?a=1")
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;

    QByteArray path() const;  // target without the query, without the leading "/"
    QByteArray query() const; // after the first "?", as sent
    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
};

// What the server answers to one request.
struct TestResponse
{
    enum class Mode {
        Normal,
        NeverAnswer,  // read the request, then stay silent
        Trickle,      // send the whole answer one byte every trickleIntervalMs
        CloseMidBody, // send the head and half the body, then close
        Reset,        // read the request, then reset the connection
    };

    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json;charset=UTF-8";
    QList<QPair<QByteArray, QByteArray>> headers; // extra headers, e.g. Set-Cookie
    Mode mode = Mode::Normal;
    int trickleIntervalMs = 50;
    int delayMs = 0; // Normal: answer this much later

    static TestResponse json(const QByteArray &body)
    {
        TestResponse r;
        r.body = body;
        return r;
    }
    static TestResponse withStatus(int status, const QByteArray &body, const QByteArray &type)
    {
        TestResponse r;
        r.status = status;
        r.body = body;
        r.contentType = type;
        return r;
    }
};

// A real HTTP/1.1 server on 127.0.0.1 for the tests: answers per path and records
// every request. Runs on the thread that owns it, through its event loop.
class TestHttpServer : public QTcpServer
{
    Q_OBJECT

public:
    using Handler = std::function<TestResponse(const RecordedRequest &)>;

    explicit TestHttpServer(QObject *parent = nullptr);
    ~TestHttpServer() override;

    bool start(); // on a free port of 127.0.0.1
    quint16 port() const { return serverPort(); }
    QString baseUrl() const; // "http://127.0.0.1:<port>/"

    // path is without the leading "/" and without the query, e.g. "orvane/client/login".
    void route(const QByteArray &path, Handler handler);
    void route(const QByteArray &path, const TestResponse &response);

    QList<RecordedRequest> requests() const { return m_requests; }
    QList<RecordedRequest> requestsTo(const QByteArray &path) const;
    void clearRequests() { m_requests.clear(); }
    int openConnections() const { return m_connections.size(); }

signals:
    void requestReceived(const RecordedRequest &request);

private:
    void readFrom(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const RecordedRequest &request);

    QHash<QByteArray, Handler> m_routes;
    QList<RecordedRequest> m_requests;
    QHash<QTcpSocket *, QByteArray> m_connections; // unparsed input per connection
};
