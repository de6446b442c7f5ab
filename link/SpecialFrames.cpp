#include "link/SpecialFrames.h"

#include "app/Errors.h"
#include "app/Struct.h"
#include "link/BmpPicture.h"
#include "render/TextFace.h"
#include "render/uPack.h"
#include "render/uRender.h"

#include <cstring>

int TempSegmentCount(int textWidth, int displayWidth)
{
    return textWidth / displayWidth + (textWidth % displayWidth ? 1 : 0);
}

QImage TempSegment(const QImage &text, int k, int displayWidth, bool doubleSided)
{
    // The text picture is drawn in RGB32; anything else is converted (a copy).
    const QImage source =
        text.format() == QImage::Format_RGB32 ? text : text.convertToFormat(QImage::Format_RGB32);
    const int height = source.height();
    QImage segment(doubleSided ? 2 * displayWidth : displayWidth, height, QImage::Format_RGB32);
    if (segment.isNull())
        throw VelmoraError(QStringLiteral("内存不足，临时信息未发送。"));
    segment.fill(Qt::black);
    const int first = k * displayWidth;
    const int columns = qBound(0, source.width() - first, displayWidth);
    const size_t bytes = size_t(columns) * sizeof(QRgb);
    if (columns == 0)
        return segment;
    for (int y = 0; y < height; ++y) {
        const uchar *from = source.constScanLine(y) + size_t(first) * sizeof(QRgb);
        uchar *row = segment.scanLine(y);
        std::memcpy(row, from, bytes);
        if (doubleSided)
            std::memcpy(row + size_t(displayWidth) * sizeof(QRgb), from, bytes);
    }
    return segment;
}

void StoreTempMessage(TProjectRecord &record, const TTempMessage &message)
{
    record.TempText.setText(message.Text);
    record.TempFontName.setText(message.FontName);
    record.TempFontColor = message.FontColor;
    record.TempFontHeight = message.FontHeight;
    record.TempStunt = message.Stunt;
    record.TempRunSpeed = message.RunSpeed;
    record.TempShowTime = message.ShowTime;
}

TTempMessage StoredTempMessage(const TProjectRecord &record, const QString &text)
{
    TTempMessage m;
    m.Text = text;
    m.FontName = record.TempFontName.text();
    m.FontColor = record.TempFontColor;
    m.FontHeight = record.TempFontHeight;
    m.Stunt = record.TempStunt;
    m.RunSpeed = record.TempRunSpeed;
    m.ShowTime = record.TempShowTime;
    return m;
}

namespace {
constexpr uint8_t TempMessageCommand = 0xF7;
constexpr uint8_t LogoCommand = 0xF4;
constexpr uint8_t WelcomeCommand = 0xF5;

void CheckGeometry(const TProjectRecord &record)
{
    const QString error =
        CheckDisplayGeometry(record.ScreenWidth, record.ScreenHeight, record.ColorMode);
    if (!error.isEmpty())
        throw VelmoraError(error);
}

[[noreturn]] void TooWide(int displayWidth, int displayHeight)
{
    throw VelmoraError(QStringLiteral("临时信息太长，无法发送：最多可分为%1屏（每屏%2点宽），请缩短后再发送。")
                           .arg(MaxTempSegments(displayWidth, displayHeight))
                           .arg(displayWidth));
}

bool Portrait(const TProjectRecord &r) { return r.PortraitOn == 1; }
bool SingleLandscape(const TProjectRecord &r) { return r.LandscapeOn == 1; }
bool DoubleLandscape(const TProjectRecord &r) { return r.LandscapeOn != 1 && r.LandscapeDouble == 1; }
} // namespace

int MaxTempSegments(int displayWidth, int displayHeight)
{
    const int64_t byPixels = MaxTempPicturePixels / (int64_t(displayWidth) * displayHeight);
    return int(qMin<int64_t>(255, byPixels));
}

QImage DrawTempText(const TTempMessage &message, int displayWidth, int displayHeight,
                    bool portrait)
{
    TTextFace face(portrait ? QLatin1Char('@') + message.FontName : message.FontName);
    // A damaged project may carry any height; no display needs a taller font.
    const int height = qBound(1, int(message.FontHeight), MaxDisplayHeight);
    face.setCharHeight(height);
    const TTextFace::Line line = face.prepare(message.Text);
    const int width = face.width(line);
    if (TempSegmentCount(width, displayWidth) > MaxTempSegments(displayWidth, displayHeight))
        TooWide(displayWidth, displayHeight);
    QImage text(qMax(width, 0), displayHeight, QImage::Format_RGB32);
    if (width > 0 && text.isNull())
        throw VelmoraError(QStringLiteral("内存不足，临时信息未发送。"));
    text.fill(Qt::black);
    face.draw(text, 0, (displayHeight - height) / 2, line, ColorRefToRgb(message.FontColor));
    return text;
}

QByteArray TempMessageFrame(uint8_t address, const QImage &text, int displayWidth,
                            bool doubleSided, int colorMode, const TTempMessage &message)
{
    const int n = TempSegmentCount(text.width(), displayWidth);
    if (n > 255)
        TooWide(displayWidth, text.height());
    QByteArray frame;
    frame.append(char(address)).append(char(TempMessageCommand)).append(char(n));
    const char header[] = {char(message.Stunt), 0, char(message.RunSpeed), char(message.ShowTime)};
    for (int k = 0; k < n; ++k)
        frame.append(PictureFrame(QByteArray(header, 4), TempSegment(text, k, displayWidth, doubleSided),
                                  colorMode)
                         .chopped(1));
    return frame.append(char(FrameEnd));
}

void BuildTempMessageFrames(TProjectRecord &record, const TTempMessage &message,
                            QByteArray &portraitFrame, QByteArray &landscapeFrame)
{
    StoreTempMessage(record, message);
    CheckGeometry(record);
    // Drawn with the face, colour and height as stored, the text as given.
    const TTempMessage stored = StoredTempMessage(record, message.Text);
    const int w = record.ScreenWidth, h = record.ScreenHeight;
    QByteArray portrait, landscape;
    if (Portrait(record))
        portrait = TempMessageFrame(AddrPortrait, DrawTempText(stored, w, h, true), w, false,
                                    record.ColorMode, stored);
    if (SingleLandscape(record) || DoubleLandscape(record))
        landscape = TempMessageFrame(AddrLandscape, DrawTempText(stored, w, h, false), w,
                                     DoubleLandscape(record), record.ColorMode, stored);
    portraitFrame = portrait;
    landscapeFrame = landscape;
}

QByteArray PictureFrame(const QByteArray &header, const QImage &picture, int colorMode)
{
    const int plane = (picture.width() / 8) * picture.height();
    QByteArray frame(header.size() + colorMode * plane + 1, char(0xFF));
    std::memcpy(frame.data(), header.constData(), size_t(header.size()));
    uint8_t *planes = reinterpret_cast<uint8_t *>(frame.data()) + header.size();
    PackBitmap(picture.width(), picture.height(), colorMode, picture, planes,
               colorMode == 2 ? planes + plane : nullptr);
    frame[frame.size() - 1] = char(FrameEnd);
    return frame;
}

namespace {
// The picture frames of the configured displays from the BMP files; every
// file is read before any frame is built.
void BuildImageFrames(const TProjectRecord &record, const QByteArray &command,
                      const QString &landscapeFile, const QString &portraitFile,
                      QByteArray &portraitFrame, QByteArray &landscapeFrame)
{
    CheckGeometry(record);
    const int w = record.ScreenWidth, h = record.ScreenHeight;
    const bool landscape = SingleLandscape(record) || DoubleLandscape(record);
    const QImage portraitPicture = Portrait(record) ? LoadBmpFile(portraitFile) : QImage();
    const QImage landscapePicture = landscape ? LoadBmpFile(landscapeFile) : QImage();
    portraitFrame.clear();
    landscapeFrame.clear();
    if (Portrait(record))
        portraitFrame = PictureFrame(char(AddrPortrait) + command,
                                     StretchPicture(portraitPicture, w, h, false), record.ColorMode);
    if (landscape)
        landscapeFrame = PictureFrame(char(AddrLandscape) + command,
                                      StretchPicture(landscapePicture, w, h, DoubleLandscape(record)),
                                      record.ColorMode);
}
} // namespace

void BuildLogoFrames(TProjectRecord &record, const QString &landscapeFile,
                     const QString &portraitFile, QByteArray &portraitFrame,
                     QByteArray &landscapeFrame)
{
    record.LogoLandFile.setText(landscapeFile);
    record.LogoPortFile.setText(portraitFile);
    BuildImageFrames(record, QByteArray(1, char(LogoCommand)), landscapeFile, portraitFile,
                     portraitFrame, landscapeFrame);
}

void BuildWelcomeFrames(TProjectRecord &record, const QString &file, QByteArray &portraitFrame,
                        QByteArray &landscapeFrame)
{
    record.WelcomeFile.setText(file);
    const char command[] = {char(WelcomeCommand), 0x01};
    BuildImageFrames(record, QByteArray(command, 2), file, file, portraitFrame, landscapeFrame);
}
