#include "remote/OscReceiver.h"

#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <optional>

namespace {
// Bundles inside bundles deeper than this are refused rather than followed.
constexpr int MaxBundleDepth = 4;
constexpr int MaxDatagramsPerTurn = 64;
const QByteArray BundleTag("#bundle\0", 8);

// Reads OSC's 4-byte aligned fields; every read checks the bounds first.
class OscReader {
public:
    OscReader(const char *data, int size) : m_data(data), m_size(size) {}

    bool atEnd() const { return m_pos == m_size; }

    bool string(QByteArray *out)
    {
        const void *nul = std::memchr(m_data + m_pos, 0, size_t(m_size - m_pos));
        if (!nul)
            return false;
        const int length = int(static_cast<const char *>(nul) - (m_data + m_pos));
        const int next = (m_pos + length + 4) & ~3;
        if (next > m_size)
            return false;
        if (out)
            *out = QByteArray(m_data + m_pos, length);
        m_pos = next;
        return true;
    }

    bool int32(qint32 *out)
    {
        if (m_size - m_pos < 4)
            return false;
        *out = qFromBigEndian<qint32>(m_data + m_pos);
        m_pos += 4;
        return true;
    }

    // Steps over bytes and their padding to the next multiple of 4.
    bool skip(qint64 bytes)
    {
        const qint64 padded = (bytes + 3) & ~qint64(3);
        if (bytes < 0 || m_size - m_pos < padded)
            return false;
        m_pos += int(padded);
        return true;
    }

    const char *here() const { return m_data + m_pos; }

private:
    const char *m_data;
    int m_size;
    int m_pos = 0;
};

std::optional<RemoteCommand> CommandOf(const QByteArray &address)
{
    if (address == "/velmora/next")
        return RemoteCommand::Next;
    if (address == "/velmora/previous")
        return RemoteCommand::Previous;
    if (address == "/velmora/blank")
        return RemoteCommand::Blank;
    if (address == "/velmora/resend")
        return RemoteCommand::Resend;
    if (address == "/velmora/goto")
        return RemoteCommand::GoTo;
    if (address == "/velmora/play")
        return RemoteCommand::Play;
    if (address == "/velmora/pause")
        return RemoteCommand::Pause;
    return std::nullopt;
}

// The page of goto's argument: int32, a whole float or a text of digits.
std::optional<int> PageOf(char tag, OscReader &reader)
{
    qint32 raw = 0;
    if (tag == 'i')
        return reader.int32(&raw) ? std::optional<int>(raw) : std::nullopt;
    if (tag == 'f') {
        if (!reader.int32(&raw))
            return std::nullopt;
        float value;
        std::memcpy(&value, &raw, sizeof value);
        if (!std::isfinite(value) || value != std::floor(value) || std::fabs(value) > 1e9f)
            return std::nullopt;
        return int(value);
    }
    if (tag == 's') {
        QByteArray text;
        bool ok = false;
        const int page = reader.string(&text) ? text.trimmed().toInt(&ok) : 0;
        return ok ? std::optional<int>(page) : std::nullopt;
    }
    return std::nullopt;
}

// Steps over one argument so that a truncated message is seen as such.
bool SkipArgument(char tag, OscReader &reader)
{
    qint32 size = 0;
    switch (tag) {
    case 'i': case 'f': case 'c': case 'r': case 'm':
        return reader.skip(4);
    case 'h': case 't': case 'd':
        return reader.skip(8);
    case 's': case 'S':
        return reader.string(nullptr);
    case 'b':
        return reader.int32(&size) && reader.skip(size);
    case 'T': case 'F': case 'N': case 'I':
        return true;
    default:
        return false;
    }
}

std::optional<OscCommand> ParseMessage(const char *data, int size)
{
    OscReader reader(data, size);
    QByteArray address, tags;
    if (!reader.string(&address) || !address.startsWith('/'))
        return std::nullopt;
    const std::optional<RemoteCommand> command = CommandOf(address);
    // Old senders may leave out the type tags of a message without arguments.
    if (!reader.atEnd() && (!reader.string(&tags) || !tags.startsWith(',')))
        return std::nullopt;
    std::optional<int> page;
    for (int i = 1; i < tags.size(); ++i) {
        if (i == 1 && command == RemoteCommand::GoTo)
            page = PageOf(tags[i], reader);
        else if (!SkipArgument(tags[i], reader))
            return std::nullopt;
    }
    if (!command || !reader.atEnd())
        return std::nullopt;
    if (*command != RemoteCommand::GoTo)
        return OscCommand{*command, 0};
    if (!page || *page < 1)
        return std::nullopt;
    return OscCommand{*command, *page};
}

// A bundle's time tag is not honoured: its messages act on arrival, in order.
bool ParseElement(const char *data, int size, int depth, QList<OscCommand> *out)
{
    if (size < int(BundleTag.size()) || std::memcmp(data, BundleTag.constData(), 8) != 0) {
        const std::optional<OscCommand> message = ParseMessage(data, size);
        if (message)
            out->append(*message);
        return bool(message);
    }
    if (depth >= MaxBundleDepth)
        return false;
    OscReader reader(data, size);
    if (!reader.skip(16))   // "#bundle\0" and the time tag
        return false;
    while (!reader.atEnd()) {
        qint32 length = 0;
        if (!reader.int32(&length) || length <= 0 || length % 4 != 0)
            return false;
        const char *element = reader.here();
        if (!reader.skip(length) || !ParseElement(element, length, depth + 1, out))
            return false;
    }
    return true;
}
} // namespace

QList<OscCommand> ParseOscPacket(const QByteArray &packet)
{
    QList<OscCommand> commands;
    if (packet.isEmpty() || packet.size() > MaxOscDatagram || packet.size() % 4 != 0
        || !ParseElement(packet.constData(), int(packet.size()), 0, &commands))
        return {};
    return commands;
}

namespace {
QHostAddress Unmapped(const QHostAddress &address)
{
    bool mapped = false;
    const quint32 ipv4 = address.protocol() == QAbstractSocket::IPv6Protocol
        ? address.toIPv4Address(&mapped) : 0;
    QHostAddress plain = mapped ? QHostAddress(ipv4) : address;
    plain.setScopeId(QString());
    return plain;
}

std::optional<OscSubnet> ParseEntry(const QString &entry)
{
    const int slash = entry.indexOf(QLatin1Char('/'));
    const QString host = entry.left(slash);
    // Short IPv4 forms ("192.168" reads as 192.0.0.168) would allow another
    // sender than the one meant: only four numbers count.
    if (!host.contains(QLatin1Char(':')) && host.count(QLatin1Char('.')) != 3)
        return std::nullopt;
    const QHostAddress address(Unmapped(QHostAddress(host)));
    if (address.isNull())
        return std::nullopt;
    const int bits = address.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128;
    if (slash < 0)
        return OscSubnet(address, bits);
    bool ok = false;
    const int prefix = entry.mid(slash + 1).toInt(&ok);
    if (!ok || prefix < 0 || prefix > bits)
        return std::nullopt;
    return OscSubnet(address, prefix);
}
} // namespace

bool ParseOscAllowList(const QString &text, QList<OscSubnet> *subnets, QString *error)
{
    static const QRegularExpression separators(QStringLiteral("[,，;；\\s]+"));
    QList<OscSubnet> result;
    for (const QString &entry : text.split(separators, Qt::SkipEmptyParts)) {
        const std::optional<OscSubnet> subnet = ParseEntry(entry);
        if (!subnet) {
            if (error)
                *error = QStringLiteral("允许的 OSC 发送方“%1”不是有效的 IP 地址或子网（例如 192.168.1.20 或 10.0.0.0/8）")
                             .arg(entry);
            return false;
        }
        result.append(*subnet);
    }
    if (subnets)
        *subnets = result;
    return true;
}

bool OscSenderAllowed(const QList<OscSubnet> &subnets, const QHostAddress &sender)
{
    if (subnets.isEmpty())
        return true;
    const QHostAddress plain = Unmapped(sender);
    for (const OscSubnet &subnet : subnets) {
        if (plain.isInSubnet(subnet))
            return true;
    }
    return false;
}

OscReceiver::OscReceiver(QObject *parent) : QObject(parent), m_nextTurn(new QTimer(this))
{
    m_nextTurn->setSingleShot(true);
    m_nextTurn->setInterval(0);
    connect(m_nextTurn, &QTimer::timeout, this, &OscReceiver::ReadPending);
}

OscReceiver::~OscReceiver() = default;

bool OscReceiver::listen(quint16 port, const QString &allowFrom, QString *error,
                         const QHostAddress &address)
{
    close();
    QList<OscSubnet> allowed;
    if (!ParseOscAllowList(allowFrom, &allowed, error))
        return false;
    auto *socket = new QUdpSocket(this);
    if (!socket->bind(address, port)) {
        if (error)
            *error = QStringLiteral("无法在 UDP 端口 %1 上接收 OSC：%2").arg(port).arg(socket->errorString());
        delete socket;
        return false;
    }
    m_allowed = allowed;
    m_socket = socket;
    connect(m_socket, &QUdpSocket::readyRead, this, &OscReceiver::ReadPending);
    return true;
}

// A command's receiver may close or re-open while the socket is still
// delivering: the socket is unbound now and deleted later.
void OscReceiver::close()
{
    m_nextTurn->stop();
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    m_socket->close();
    m_socket->deleteLater();
    m_socket = nullptr;
}

bool OscReceiver::isListening() const
{
    return m_socket != nullptr;
}

quint16 OscReceiver::port() const
{
    return m_socket ? m_socket->localPort() : 0;
}

// A flood of datagrams is read in turns, so that the window keeps
// answering between them; a timer of its own brings the next turn until
// the queue is empty, whatever the socket signals meanwhile.
void OscReceiver::ReadPending()
{
    for (int i = 0; m_socket && m_socket->hasPendingDatagrams(); ++i) {
        if (i == MaxDatagramsPerTurn) {
            m_nextTurn->start();
            return;
        }
        if (m_socket->pendingDatagramSize() > MaxOscDatagram) {
            m_socket->readDatagram(nullptr, 0);   // drops it unread
            ++m_malformed;
            continue;
        }
        const QNetworkDatagram datagram = m_socket->receiveDatagram(MaxOscDatagram);
        Handle(datagram.data(), datagram.senderAddress());
    }
}

void OscReceiver::Handle(const QByteArray &data, const QHostAddress &sender)
{
    if (!OscSenderAllowed(m_allowed, sender)) {
        ++m_refused;
        return;
    }
    const QList<OscCommand> commands = ParseOscPacket(data);
    if (commands.isEmpty())
        ++m_malformed;
    for (const OscCommand &c : commands)
        emit command(c.command, c.page);
}
