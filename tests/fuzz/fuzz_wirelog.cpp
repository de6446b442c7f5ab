// libFuzzer harness of the wire log: the bytes are parsed as a log and
// decoded into frames and pictures with the start-up project's displays (as
// velmora-cli decode does without a project). Faults must be reported,
// never crash, and a broken frame is one malformed line.
#include "FuzzSupport.h"
#include "app/Errors.h"
#include "app/ProjectFile.h"
#include "sim/WireLog.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QVector<WireEvent> events;
    try {
        events = ParseWireLog(FuzzBytes(data, size));
    } catch (const VelmoraError &e) {
        FUZZ_CHECK(!e.text().isEmpty());
        return 0;
    }
    TProjectRecord record{};
    SetStartupDefaults(record);
    DecodeWireLog(events, record, QString(), [](const QString &line) {
        FUZZ_CHECK(line.contains(QLatin1String(" addr=")));
        FUZZ_CHECK(!line.contains(QLatin1Char('\n')));
    });
    return 0;
}
