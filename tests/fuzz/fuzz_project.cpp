// libFuzzer harness of the .prj file: the bytes are read as a project file
// and every value is used as the program uses a damaged or foreign project:
// shown by name, turned into screen parameters, geometry and frames. A value
// that cannot be used must be refused with a message, never overflow.
#include "FuzzSupport.h"
#include "app/Errors.h"
#include "app/ProjectFile.h"
#include "app/RecordFields.h"
#include "app/PageStore.h"
#include "link/Frames.h"
#include "link/SpecialFrames.h"
#include "render/uRender.h"
#include "sim/ControllerSimulator.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

namespace {
template <typename Build> void Refused(const Build &build)
{
    try {
        build();
    } catch (const VelmoraError &e) {
        FUZZ_CHECK(!e.text().isEmpty());
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TProjectRecord record{};
    SetStartupDefaults(record);
    try {
        ReadProjectFile(FuzzFile(QStringLiteral("fuzz.prj"), FuzzBytes(data, size)), record);
    } catch (const VelmoraError &) {
        FUZZ_CHECK(size < sizeof record);
        return 0;
    }
    for (const RecordField &field : RecordFields())
        (void)FieldValue(record, field);
    (void)PageWrapWidth(record.ScreenWidth);
    Refused([&] { (void)ScreenParamsTransmission(record); });
    (void)ResetTransmission(record);
    ControllerSimulator simulator;
    simulator.configureFrom(record);
    for (int address : {AddrLandscape, AddrPortrait})
        (void)ProjectGeometry(record, address);
    TTransmission page;
    (void)RenderPageFrames(PageFontOf(record), PageRequestOf(record, QStringLiteral("第一幕 Aa"), 0, 0, 0),
                           page.frame1, page.frame2);
    Refused([&] {
        TProjectRecord copy = record;
        BuildTempMessageFrames(copy, StoredTempMessage(copy, QStringLiteral("临时信息")), page.frame1,
                               page.frame2);
    });
    return 0;
}
