// libFuzzer harness for loading a scenario into the editor: any bytes (RTF or
// text) must read, build the document, lay out and turn back into the saved
// text without a crash, a hang or a memory fault.
#include "FuzzSupport.h"
#include "editor/RtfReader.h"
#include "editor/ScenarioDocument.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextDocument>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextDocument document;
    SetScenarioContent(bytes, &document, QTextCharFormat(), QTextBlockFormat());
    // Lay the text out as the editor would, so broken formats show up here.
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(ScenarioWrapMode(document));
    document.setDefaultTextOption(option);
    document.setTextWidth(400);
    (void)document.size();
    (void)ScenarioFileBytes(document);
    (void)ScenarioFileKeepsText(document);
    (void)IsRtf(bytes);
    return 0;
}
