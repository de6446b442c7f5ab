// libFuzzer harness of the LOGO and welcome pictures: the bytes are read as a
// BMP file, refused with its message or stretched over a display as the
// frames are drawn (the first byte chooses a double-sided display).
#include "FuzzSupport.h"
#include "app/Errors.h"
#include "link/BmpPicture.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    QImage picture;
    try {
        picture = LoadBmpFile(FuzzFile(QStringLiteral("fuzz.bmp"), FuzzBytes(data + 1, size - 1)));
    } catch (const VelmoraError &e) {
        FUZZ_CHECK(!e.text().isEmpty());
        return 0;
    }
    FUZZ_CHECK(!picture.isNull());
    FUZZ_CHECK(qint64(picture.width()) * picture.height() <= MaxBmpPixels);
    const QImage stretched = StretchPicture(picture, 64, 16, data[0] & 1);
    FUZZ_CHECK(stretched.height() == 16 && stretched.width() == (data[0] & 1 ? 128 : 64));
    return 0;
}
