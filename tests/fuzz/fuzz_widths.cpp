// libFuzzer harness of the widths cache (Velmora.widths). With an odd first
// byte the rest follows the header this program writes, so the fuzzer
// reaches the widths themselves; with an even one the whole file is fuzzed.
// What is read must be written and read back unchanged.
#include "FuzzSupport.h"
#include "app/AppPaths.h"
#include "app/WrapWidths.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    StartFuzzApplication(argc, argv);
    AppPaths::setRegistryFile(FuzzFolder().filePath(QStringLiteral("Velmora.ini")));
    return 0;
}

namespace {
// The header of a cache written here: magic and set-up, without the count.
QByteArray Header()
{
    static const QByteArray header = [] {
        WriteWrapWidths({});
        QFile file(WrapWidthsFile());
        FUZZ_CHECK(file.open(QIODevice::ReadOnly));
        return file.readAll().chopped(4);
    }();
    return header;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest = FuzzBytes(data + 1, size - 1);
    FuzzFile(QStringLiteral("Velmora.widths"), (data[0] & 1 ? Header() : QByteArray()) + rest);
    const std::vector<CharWidth> widths = ReadWrapWidths();
    FUZZ_CHECK(widths.size() <= 0x10000);
    for (const CharWidth &w : widths)
        FUZZ_CHECK(w.width >= 0);
    if (widths.empty())
        return 0;
    WriteWrapWidths(widths);
    FUZZ_CHECK(ReadWrapWidths() == widths);
    static PageStore store;   // made once: a store loads its font
    store.setWidths(widths);
    store.load(QByteArray("第一幕 ABC\r\n第二幕\r\n"));
    return 0;
}
