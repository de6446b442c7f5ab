// libFuzzer harness of the remote settings: the bytes are the user's
// Velmora.ini; whatever it holds, the [Remote] values read are in range and
// the allow list is parsed or refused as the dialog and the receiver do.
#include "FuzzSupport.h"
#include "app/AppPaths.h"
#include "remote/OscReceiver.h"
#include "remote/RemoteSettings.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A new name each time: QSettings keeps what it read of a file, and a
    // rewrite of the same size in the same second could go unseen.
    static int run = 0;
    const QString path = FuzzFile(QStringLiteral("Velmora-%1.ini").arg(run++ % 1000), FuzzBytes(data, size));
    AppPaths::setRegistryFile(path);
    TRemoteSettings settings = ReadRemoteSettings();
    FUZZ_CHECK(settings.Port >= 1 && settings.Port <= 65535);
    FUZZ_CHECK(settings.OscPort >= 1 && settings.OscPort <= 65535);
    QList<OscSubnet> subnets;
    QString error;
    (void)ParseOscAllowList(settings.OscAllowFrom, &subnets, &error);
    if (EnsureRemoteToken(settings))
        FUZZ_CHECK(settings.Token.size() >= MinRemoteTokenLength);
    return 0;
}
