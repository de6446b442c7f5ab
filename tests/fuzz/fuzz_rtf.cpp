// libFuzzer harness for the RTF reader: any bytes must read without a crash,
// a hang or a memory fault. Built and run by run.sh, not part of CTest.
#include "editor/RtfReader.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextDocument document;
    ReadRtf(bytes, &document);
    // Lay the text out as the editor would, so broken formats show up here.
    document.setTextWidth(400);
    (void)document.size();
    (void)IsRtf(bytes);
    return 0;
}
