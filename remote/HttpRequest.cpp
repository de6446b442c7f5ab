#include "remote/HttpRequest.h"

#include <algorithm>

namespace {
// Characters of a method or header name (an RFC 9110 token).
bool IsToken(const QByteArray &text)
{
    static const QByteArray extra("!#$%&'*+-.^_`|~");
    if (text.isEmpty())
        return false;
    for (char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
              || extra.contains(c)))
            return false;
    return true;
}

// A request target: visible ASCII only, starting with '/'.
bool IsOriginForm(const QByteArray &target)
{
    if (!target.startsWith('/'))
        return false;
    for (char c : target)
        if (uchar(c) < 0x21 || uchar(c) > 0x7E)
            return false;
    return true;
}

// A field value: no control characters other than tab.
bool IsFieldValue(const QByteArray &value)
{
    for (char c : value)
        if ((uchar(c) < 0x20 && c != '\t') || uchar(c) == 0x7F)
            return false;
    return true;
}
} // namespace

QByteArray HttpRequest::header(const QByteArray &name) const
{
    for (const auto &h : headers)
        if (h.first == name)
            return h.second;
    return QByteArray();
}

HttpRequestReader::State HttpRequestReader::feed(const QByteArray &bytes)
{
    if (m_state != Incomplete)
        return m_state;
    m_pending += bytes;
    if (m_stage != Body)
        return takeLines();
    if (m_pending.size() < m_bodyLength)
        return Incomplete;
    m_request.body = m_pending.left(m_bodyLength);
    m_pending.clear();
    return m_state = Complete;
}

HttpRequestReader::State HttpRequestReader::takeLines()
{
    while (m_stage != Body) {
        const int end = m_pending.indexOf('\n');
        const int length = end < 0 ? m_pending.size() : end + 1;
        if (m_stage == RequestLine && length > MaxRequestLine)
            return fail(414);
        if (m_stage == Headers && m_headerBytes + length > MaxHeaderBytes)
            return fail(431);
        if (end < 0)
            return Incomplete;
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 1);
        if (!line.endsWith('\r'))
            return fail(400);   // lines end with CR LF
        if (takeLine(line.chopped(1)) != Incomplete)
            return m_state;
    }
    return feed(QByteArray());   // the body may be here already
}

HttpRequestReader::State HttpRequestReader::takeLine(const QByteArray &line)
{
    if (m_stage == RequestLine) {
        if (line.isEmpty())
            return Incomplete;   // empty lines before a request are allowed
        if (!parseRequestLine(line))
            return m_state;
        m_stage = Headers;
        return Incomplete;
    }
    m_headerBytes += line.size() + 2;
    if (line.isEmpty())
        return endOfHeaders();
    return parseHeader(line) ? Incomplete : m_state;
}

bool HttpRequestReader::parseRequestLine(const QByteArray &line)
{
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !IsToken(parts[0]) || !IsOriginForm(parts[1])) {
        fail(400);
        return false;
    }
    if (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0") {
        fail(parts[2].startsWith("HTTP/") ? 505 : 400);
        return false;
    }
    m_request.method = parts[0];
    const int question = parts[1].indexOf('?');
    m_request.path = question < 0 ? parts[1] : parts[1].left(question);
    m_request.query = question < 0 ? QByteArray() : parts[1].mid(question + 1);
    m_version = parts[2];
    return true;
}

bool HttpRequestReader::parseHeader(const QByteArray &line)
{
    const int colon = line.indexOf(':');
    // A line starting with blanks would continue the previous one (obsolete folding).
    if (colon <= 0 || !IsToken(line.left(colon))) {
        fail(400);
        return false;
    }
    const QByteArray value = line.mid(colon + 1).trimmed();
    if (!IsFieldValue(value)) {
        fail(400);
        return false;
    }
    m_request.headers.append({line.left(colon).toLower(), value});
    return true;
}

HttpRequestReader::State HttpRequestReader::endOfHeaders()
{
    if (m_version == "HTTP/1.1" && m_request.header("host").isEmpty())
        return fail(400);
    if (!m_request.header("transfer-encoding").isEmpty())
        return fail(501);
    QByteArray length;
    for (const auto &h : m_request.headers) {
        if (h.first != "content-length")
            continue;
        if (!length.isNull() && h.second != length)
            return fail(400);   // two different lengths: the request is ambiguous
        length = h.second;
    }
    if (!length.isNull()) {
        if (length.isEmpty() || !std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return fail(400);
        // More than nine digits is more than any body this server takes.
        if (length.size() > 9 || length.toInt() > MaxBody)
            return fail(413);
        m_bodyLength = length.toInt();
    }
    m_stage = Body;
    return Incomplete;
}

HttpRequestReader::State HttpRequestReader::fail(int status)
{
    m_failure = status;
    m_pending.clear();
    return m_state = Failed;
}
