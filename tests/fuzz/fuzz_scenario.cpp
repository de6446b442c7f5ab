// libFuzzer harness of scenario decoding and wrapping: the bytes of a
// scenario file (after two bytes that choose the display width) are read as
// the page list reads them, wrapped into pages and saved back, which must
// give the file's bytes unchanged.
#include "FuzzSupport.h"
#include "app/PageStore.h"
#include "app/ScenarioFile.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int screenWidth = (data[0] << 8 | data[1]) % 2048 + 1;
    const QByteArray bytes = FuzzBytes(data + 2, size - 2);
    const TextEncoding encoding = DetectTextEncoding(bytes);
    const QString text = DecodeTextFile(bytes, encoding);
    (void)EncodingKeepsText(text, encoding);
    (void)EncodeTextFile(text, encoding);

    PageStore store;
    store.setWrapWidth(PageWrapWidth(screenWidth));
    store.load(bytes);
    for (int i = 0; i < store.pageCount(); ++i)
        (void)store.page(i);
    FUZZ_CHECK(store.save() == bytes);
    if (store.pageCount() > 0) {
        store.replacePage(store.pageCount() - 1, QStringLiteral("改过的一幕"));
        store.insertAfterPage(0, QStringLiteral("插入"));
        store.deletePage(0);
        PageStore again;
        again.setWrapWidth(store.wrapWidth());
        again.load(store.save());
        FUZZ_CHECK(again.pageCount() == store.pageCount());
    }
    return 0;
}
