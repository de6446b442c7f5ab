// A serial port on a network serial server, through the Telnet COM-PORT
// option (RFC 2217): baud, data bits, parity and stop bits of the far port
// are set in band with the data, so Mark and Space reach the controller in
// order with the bytes they belong to. Used on the worker's thread, with
// blocking waits and no event loop.
#pragma once

#include "link/LinePacer.h"
#include "link/NetworkPorts.h"
#include "link/SerialPort.h"

#include <QMap>
#include <QTcpSocket>

#include <bitset>
#include <memory>

class Rfc2217Port : public SerialPort {
public:
    Rfc2217Port(const QString &name, const NetworkAddress &address,
                std::shared_ptr<LinkClock> clock = SystemClock());
    ~Rfc2217Port() override;

protected:
    void openDevice() override;
    // Returns when the server has taken the bytes; they reach the far line
    // at its own rate, which drain waits out.
    void writeDevice(const QByteArray &bytes) override;
    // The server cannot say when its line is empty: this waits the line time
    // of what was written (11 bits a character) and for the server to answer
    // a question sent behind the data, which it reads only as its line takes
    // the bytes before it.
    int64_t drainDevice() override;
    void discardDevice() noexcept override;
    // Sends the settings that changed and waits until the server has
    // confirmed each of them.
    void applyLineSettings() override;
    void closeDevice() noexcept override;

private:
    void requestLine();
    // Sends a COM-PORT command; the server's answer must carry answer.
    void request(uint8_t command, quint32 value, int size, quint32 answer);
    void sendOption(uint8_t verb, uint8_t option);
    void flushSocket();
    void awaitAnswers();
    template <typename Done> void await(Done done, LinkError::Kind kind, const QString &silence);
    void waitOnSocket(int ms);
    void readServer();
    void takeByte(uint8_t byte);
    void takeOption(uint8_t verb, uint8_t option);
    void takeAnswer(const QByteArray &sub);
    [[noreturn]] void failConnection();
    [[noreturn]] void fail(const QString &why);

    const NetworkAddress m_address;
    const std::shared_ptr<LinkClock> m_clock;
    QTcpSocket m_socket;
    std::unique_ptr<LinePacer> m_line;

    // Telnet negotiation: options we asked to do, that we do, that they do.
    std::bitset<256> m_asked, m_weDo, m_theyDo, m_settled;
    enum class Reading { Data, Command, Option, Sub, SubCommand } m_reading = Reading::Data;
    uint8_t m_verb = 0;
    QByteArray m_sub;

    // COM-PORT commands sent and the value each answer must carry.
    QMap<uint8_t, quint32> m_awaited;
    // The line settings the server has been asked for; 0 for none yet.
    quint32 m_sentParity = 0, m_sentDataSize = 0, m_sentStopSize = 0;
    // Data written since the server last answered.
    bool m_unconfirmed = false;
};
