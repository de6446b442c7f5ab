// A strict reader of one HTTP/1.1 request, fed the bytes as they arrive.
// It never holds more than the limits allow, so a hostile client cannot make
// the program buffer without end; whatever it cannot take it refuses with the
// status the client gets.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

struct HttpRequest {
    QByteArray method;
    QByteArray path;    // the target up to '?'
    QByteArray query;   // after '?', undecoded
    QList<QPair<QByteArray, QByteArray>> headers;   // names in lower case
    QByteArray body;

    // The value of the header named (lower case); empty when absent.
    QByteArray header(const QByteArray &name) const;
};

class HttpRequestReader {
public:
    static constexpr int MaxRequestLine = 2048;
    static constexpr int MaxHeaderBytes = 8192;   // all header lines together
    static constexpr int MaxBody = 1024;          // no request of this server needs more

    enum State { Incomplete, Complete, Failed };

    // Takes the next bytes of the connection. Bytes after a complete or
    // failed request are ignored: the server answers one request a connection.
    State feed(const QByteArray &bytes);
    State state() const { return m_state; }
    // The status the client gets for a failed request: 400, 413, 414, 431,
    // 501 (a transfer coding) or 505 (not HTTP/1.x).
    int failure() const { return m_failure; }
    const HttpRequest &request() const { return m_request; }

private:
    enum Stage { RequestLine, Headers, Body };
    State takeLines();
    State takeLine(const QByteArray &line);
    State endOfHeaders();
    bool parseRequestLine(const QByteArray &line);
    bool parseHeader(const QByteArray &line);
    State fail(int status);

    Stage m_stage = RequestLine;
    State m_state = Incomplete;
    int m_failure = 0;
    int m_headerBytes = 0;
    int m_bodyLength = 0;
    QByteArray m_version;
    QByteArray m_pending;   // the incomplete line, or the body so far
    HttpRequest m_request;
};
