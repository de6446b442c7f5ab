#include "link/Rfc2217Port.h"

#include "app/Errors.h"

#include <algorithm>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {
namespace Telnet {
constexpr uint8_t SE = 240, SB = 250, WILL = 251, WONT = 252, DO = 253, DONT = 254, IAC = 255;
constexpr uint8_t CR = 13;
constexpr uint8_t Binary = 0, SuppressGoAhead = 3, ComPort = 44;
} // namespace Telnet

// COM-PORT commands of the client; the server answers each with code + 100
// and the value it now uses. Value 0 asks for the value in force.
enum ComPortCommand : uint8_t { SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, PurgeData = 12 };
constexpr uint8_t AnswerOffset = 100;
constexpr uint8_t ParityMark = 4, ParitySpace = 5;
constexpr uint8_t PurgeServerTransmit = 2;

// The socket takes what it is given; only the line's time holds the worker.
constexpr int64_t UnboundedQueue = int64_t(1) << 30;

QString CommandName(uint8_t command)
{
    switch (command) {
    case SetBaudRate: return QStringLiteral("波特率 (SET-BAUDRATE)");
    case SetDataSize: return QStringLiteral("数据位 (SET-DATASIZE)");
    case SetParity: return QStringLiteral("校验方式 (SET-PARITY)");
    default: return QStringLiteral("停止位 (SET-STOPSIZE)");
    }
}

QString ValueName(uint8_t command, quint32 value)
{
    if (command != SetParity)
        return QString::number(value);
    const char *const names[] = {"询问", "None", "Odd", "Even", "Mark", "Space"};
    return value < 6 ? QString::fromLatin1(names[value]) + QStringLiteral("=") + QString::number(value)
                     : QString::number(value);
}

QString SocketErrorText(const QTcpSocket &socket)
{
    switch (socket.error()) {
    case QAbstractSocket::ConnectionRefusedError: return QStringLiteral("服务器拒绝连接");
    case QAbstractSocket::RemoteHostClosedError: return QStringLiteral("服务器断开了连接");
    case QAbstractSocket::HostNotFoundError: return QStringLiteral("找不到该主机");
    case QAbstractSocket::NetworkError: return QStringLiteral("网络中断");
    default: return QStringLiteral("网络连接中断：") + ChineseSystemError(socket.errorString());
    }
}

QByteArray Escaped(const QByteArray &bytes, bool binary)
{
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 64 + 8);
    for (const char c : bytes) {
        out.append(c);
        // A data byte 255 would read as a command; outside binary mode a
        // lone CR is followed by NUL, which the server drops again.
        if (uint8_t(c) == Telnet::IAC)
            out.append(c);
        else if (!binary && uint8_t(c) == Telnet::CR)
            out.append('\0');
    }
    return out;
}

} // namespace

Rfc2217Port::Rfc2217Port(const QString &name, const NetworkAddress &address,
                         std::shared_ptr<LinkClock> clock)
    : SerialPort(name), m_address(address), m_clock(std::move(clock))
{
}

Rfc2217Port::~Rfc2217Port()
{
    close();
}

void Rfc2217Port::fail(const QString &why)
{
    throw LinkError(isOpen() ? LinkError::WriteFailed : LinkError::OpenFailed, why);
}

void Rfc2217Port::failConnection()
{
    fail(SocketErrorText(m_socket));
}

template <typename Done> void Rfc2217Port::await(Done done, LinkError::Kind kind, const QString &silence)
{
    LineWatch watch(*this, *m_clock);
    while (!done()) {
        try {
            watch.check(m_socket.bytesToWrite() + 1);
        } catch (const LinkError &e) {
            if (e.kind() != LinkError::Stalled)
                throw;
            throw LinkError(kind, silence);
        }
        waitOnSocket(watch.waitMs());
    }
}

void Rfc2217Port::waitOnSocket(int ms)
{
    switch (m_socket.state()) {
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        m_socket.waitForConnected(ms);
        break;
    case QAbstractSocket::ConnectedState:
        if (m_socket.bytesToWrite() > 0)
            m_socket.waitForBytesWritten(ms);
        else
            m_socket.waitForReadyRead(ms);
        break;
    default:
        break;
    }
    readServer();
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        failConnection();
}

void Rfc2217Port::openDevice()
{
    if (m_address.host.isEmpty())
        throw LinkError(LinkError::OpenFailed, QStringLiteral("网络地址无效，应写作 rfc2217://主机:端口"));
    m_asked.reset();
    m_weDo.reset();
    m_theyDo.reset();
    m_settled.reset();
    m_reading = Reading::Data;
    m_awaited.clear();
    m_sentParity = m_sentDataSize = m_sentStopSize = 0;
    m_unconfirmed = false;
    m_socket.connectToHost(m_address.host, m_address.port);
    await([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }, LinkError::OpenFailed,
          QStringLiteral("服务器 %1 秒内没有接受连接").arg(stallLimitMs() / 1000.0));
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_line = std::make_unique<LinePacer>(baudRate(), UnboundedQueue, m_clock);
    // Everything is asked at once, one round trip for the lot; a server that
    // refuses the option ignores the settings and says so.
    for (const uint8_t option : {Telnet::Binary, Telnet::ComPort}) {
        m_asked.set(option);
        sendOption(Telnet::WILL, option);
    }
    request(SetBaudRate, quint32(baudRate()), 4, quint32(baudRate()));
    requestLine();
    flushSocket();
    await([this] { return m_settled.test(Telnet::Binary) && m_settled.test(Telnet::ComPort); },
          LinkError::OpenFailed,
          QStringLiteral("服务器 %1 秒内没有回答 COM-PORT-OPTION（RFC 2217）协商")
              .arg(stallLimitMs() / 1000.0));
    awaitAnswers();
}

void Rfc2217Port::sendOption(uint8_t verb, uint8_t option)
{
    const char bytes[] = {char(Telnet::IAC), char(verb), char(option)};
    m_socket.write(bytes, 3);
}

void Rfc2217Port::request(uint8_t command, quint32 value, int size, quint32 answer)
{
    QByteArray valueBytes;
    for (int i = size - 1; i >= 0; --i)
        valueBytes.append(char(value >> (8 * i)));
    QByteArray bytes;
    bytes.append(char(Telnet::IAC)).append(char(Telnet::SB)).append(char(Telnet::ComPort)).append(char(command));
    bytes.append(Escaped(valueBytes, true));
    bytes.append(char(Telnet::IAC)).append(char(Telnet::SE));
    m_socket.write(bytes);
    m_awaited.insert(command, answer);
}

void Rfc2217Port::applyLineSettings()
{
    requestLine();
    awaitAnswers();
}

void Rfc2217Port::requestLine()
{
    const auto set = [this](uint8_t command, quint32 &sent, quint32 value) {
        if (value != sent)
            request(command, sent = value, 1, value);
    };
    set(SetParity, m_sentParity, parity() == Mark ? ParityMark : ParitySpace);
    set(SetDataSize, m_sentDataSize, quint32(dataBits()));
    set(SetStopSize, m_sentStopSize, stopBits() == 2 ? 2 : 1);
}

void Rfc2217Port::flushSocket()
{
    await([this] { return m_socket.bytesToWrite() == 0; }, LinkError::Stalled, QString());
}

void Rfc2217Port::awaitAnswers()
{
    flushSocket();
    if (m_awaited.isEmpty())
        return;
    const QString silence = QStringLiteral("服务器 %1 秒内没有回答%2的设置")
                                .arg(stallLimitMs() / 1000.0)
                                .arg(CommandName(m_awaited.firstKey()));
    await([this] { return m_awaited.isEmpty(); }, isOpen() ? LinkError::WriteFailed : LinkError::OpenFailed,
          silence);
    // The server answers in order: it has read every byte written before.
    m_unconfirmed = false;
}

void Rfc2217Port::writeDevice(const QByteArray &bytes)
{
    if (m_socket.write(Escaped(bytes, m_weDo.test(Telnet::Binary))) < 0)
        failConnection();
    flushSocket();
    m_unconfirmed = true;
    LineWatch watch(*this, *m_clock);
    m_line->write(bytes.size(), watch);
}

int64_t Rfc2217Port::drainDevice()
{
    // Asked behind the data: the answer comes once the server has read it.
    if (m_unconfirmed)
        request(SetParity, 0, 1, m_sentParity);
    flushSocket();
    LineWatch watch(*this, *m_clock);
    const int64_t lineEmpty = m_line->drain(watch);
    // Unanswered, the server is not reading: its line takes nothing.
    await([this] { return m_awaited.isEmpty(); }, LinkError::Stalled, QString());
    m_unconfirmed = false;
    return lineEmpty;
}

void Rfc2217Port::discardDevice() noexcept
{
    if (m_socket.state() == QAbstractSocket::ConnectedState) {
        request(PurgeData, PurgeServerTransmit, 1, PurgeServerTransmit);
        m_socket.waitForBytesWritten(100);
    }
    if (m_line)
        m_line->discard();
    m_socket.abort();
}

void Rfc2217Port::closeDevice() noexcept
{
    m_socket.disconnectFromHost();
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.waitForDisconnected(1000);
    m_socket.abort();
    m_line.reset();
}

void Rfc2217Port::readServer()
{
    for (const char c : m_socket.readAll())
        takeByte(uint8_t(c));
#ifdef Q_OS_LINUX
    // Servers answer with small writes: one held back by the server's Nagle
    // until an earlier one is acknowledged would sit out the client's
    // delayed ACK (40 ms). Linux leaves quick-ACK mode by itself, so it is
    // asked for again after every read.
    const int on = 1;
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        setsockopt(int(m_socket.socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#endif
}

// Telnet from the server: data bytes (a transmit-only link has no use for
// them), option negotiation and COM-PORT answers.
void Rfc2217Port::takeByte(uint8_t byte)
{
    switch (m_reading) {
    case Reading::Data:
        if (byte == Telnet::IAC)
            m_reading = Reading::Command;
        break;
    case Reading::Command:
        m_verb = byte;
        if (byte >= Telnet::WILL && byte <= Telnet::DONT) {
            m_reading = Reading::Option;
        } else if (byte == Telnet::SB) {
            m_sub.clear();
            m_reading = Reading::Sub;
        } else {
            m_reading = Reading::Data;   // IAC IAC (a data byte) or a bare command
        }
        break;
    case Reading::Option:
        m_reading = Reading::Data;
        takeOption(m_verb, byte);
        break;
    case Reading::Sub:
        if (byte == Telnet::IAC)
            m_reading = Reading::SubCommand;
        else
            m_sub.append(char(byte));
        break;
    case Reading::SubCommand:
        if (byte == Telnet::SE) {
            m_reading = Reading::Data;
            takeAnswer(m_sub);
        } else {
            m_sub.append(char(byte));   // IAC IAC inside the value
            m_reading = Reading::Sub;
        }
        break;
    }
}

// Answers as RFC 1143 asks: a request is answered only when it changes the
// state, an answer to our own request is not answered again.
void Rfc2217Port::takeOption(uint8_t verb, uint8_t option)
{
    const bool ours = option == Telnet::Binary || option == Telnet::ComPort;
    const bool theirs = option == Telnet::Binary || option == Telnet::SuppressGoAhead;
    switch (verb) {
    case Telnet::DO:
        if (!ours) {
            sendOption(Telnet::WONT, option);
        } else if (!m_weDo.test(option)) {
            m_weDo.set(option);
            if (!m_asked.test(option))
                sendOption(Telnet::WILL, option);
        }
        break;
    case Telnet::DONT:
        if (m_weDo.test(option) && !m_asked.test(option))
            sendOption(Telnet::WONT, option);
        m_weDo.reset(option);
        if (option == Telnet::ComPort)
            fail(QStringLiteral("服务器拒绝 COM-PORT-OPTION（RFC 2217），无法设置校验方式"));
        break;
    case Telnet::WILL:
        if (!theirs)
            sendOption(Telnet::DONT, option);
        else if (!m_theyDo.test(option))
            sendOption(Telnet::DO, option);
        m_theyDo.set(option, theirs);
        break;
    case Telnet::WONT:
        if (m_theyDo.test(option))
            sendOption(Telnet::DONT, option);
        m_theyDo.reset(option);
        break;
    }
    if (verb == Telnet::DO || verb == Telnet::DONT) {
        m_asked.reset(option);
        m_settled.set(option);
    }
}

void Rfc2217Port::takeAnswer(const QByteArray &sub)
{
    if (sub.size() < 3 || uint8_t(sub.at(0)) != Telnet::ComPort || uint8_t(sub.at(1)) <= AnswerOffset)
        return;   // notifications of line and modem state, questions of the server
    const uint8_t command = uint8_t(sub.at(1)) - AnswerOffset;
    const auto awaited = m_awaited.find(command);
    if (awaited == m_awaited.end())
        return;
    quint32 value = 0;
    for (const char c : sub.mid(2))
        value = (value << 8) | uint8_t(c);
    const quint32 wanted = awaited.value();
    m_awaited.erase(awaited);
    if (value != wanted)
        fail(QStringLiteral("服务器不接受%1 %2，回答 %3")
                 .arg(CommandName(command), ValueName(command, wanted), ValueName(command, value)));
}
