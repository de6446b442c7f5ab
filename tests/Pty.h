// A pseudo-terminal pair for tests of the serial layer: the test reads the
// master; the port under test opens the slave.
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal pair: the test reads the master; the port under test
// opens the slave.
class Pty {
public:
    Pty()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
            m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
        // Held open to read the slave's line settings while the port has it.
        if (!m_slavePath.isEmpty())
            m_slave = ::open(ptsname(m_master), O_RDWR | O_NOCTTY);
    }
    ~Pty()
    {
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    bool ok() const { return m_slave >= 0; }
    // The test's end, non-blocking, for readers of their own.
    int master() const { return m_master; }
    QString slavePath() const { return m_slavePath; }
    tcflag_t cflag() const
    {
        termios tio{};
        tcgetattr(m_slave, &tio);
        return tio.c_cflag;
    }
    speed_t speed() const
    {
        termios tio{};
        tcgetattr(m_slave, &tio);
        return cfgetospeed(&tio);
    }
    // Reads until n bytes came or two seconds passed.
    QByteArray read(int n) const
    {
        QByteArray out;
        QDeadlineTimer deadline(2000);
        while (out.size() < n && !deadline.hasExpired()) {
            pollfd p{m_master, POLLIN, 0};
            if (poll(&p, 1, int(deadline.remainingTime())) <= 0)
                continue;
            char buffer[256];
            const ssize_t got = ::read(m_master, buffer, sizeof buffer);
            if (got > 0)
                out.append(buffer, int(got));
        }
        return out;
    }

    // Fills the line until it takes no more, as when nobody reads the far
    // end; returns the count of bytes it took.
    int fill() const
    {
        // A raw far end, as a socat pair has: nothing is dropped, the line
        // stops when the buffers are full.
        termios raw{};
        tcgetattr(m_master, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_master, TCSANOW, &raw);
        const int flags = fcntl(m_slave, F_GETFL);
        fcntl(m_slave, F_SETFL, flags | O_NONBLOCK);
        const QByteArray block(256, '\x11');
        int taken = 0;
        for (ssize_t n; (n = ::write(m_slave, block.constData(), block.size())) > 0;)
            taken += int(n);
        fcntl(m_slave, F_SETFL, flags);
        return taken;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
