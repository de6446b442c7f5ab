// libFuzzer harness of the OSC receiver's parsing: datagrams (messages and
// nested bundles) and the allow list of senders. An odd first byte makes
// the rest an allow list, an even one a datagram.
#include "FuzzSupport.h"
#include "remote/OscReceiver.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes = FuzzBytes(data + 1, size - 1);
    if (data[0] & 1) {
        QList<OscSubnet> subnets;
        QString error;
        const bool ok = ParseOscAllowList(QString::fromUtf8(bytes), &subnets, &error);
        FUZZ_CHECK(ok == error.isEmpty());
        for (const char *sender : {"192.168.1.20", "10.1.2.3", "::1", "fd00::5"})
            (void)OscSenderAllowed(subnets, QHostAddress(QLatin1String(sender)));
        return 0;
    }
    for (const OscCommand &command : ParseOscPacket(bytes))
        FUZZ_CHECK(command.command != RemoteCommand::GoTo || command.page >= 1);
    return 0;
}
