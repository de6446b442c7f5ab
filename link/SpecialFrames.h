// The temporary message, LOGO and welcome transmissions: what they store in
// the record, the pictures they draw and the frames they send.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>

struct TProjectRecord;

// What the temporary-message dialog hands over, stored in the record's Temp
// fields before anything is drawn.
struct TTempMessage {
    QString Text;
    QString FontName;
    int32_t FontColor = 255;   // 255 red, 0x8000 green, 0xFFFF yellow
    int32_t FontHeight = 0;    // character height in pixels
    uint8_t Stunt = 0;         // effect index, sent as it is on every display
    uint8_t RunSpeed = 0;
    uint8_t ShowTime = 0;
};
// Text and face are cut to 255 GBK bytes in the record; the transmission
// draws the text as given.
void StoreTempMessage(TProjectRecord &record, const TTempMessage &message);
// The stored settings with another text, as the command-line tool sends them.
TTempMessage StoredTempMessage(const TProjectRecord &record, const QString &text);

// Segments of a temporary message: one display width of the text picture each,
// the last one possibly partly filled (0 for an empty text).
int TempSegmentCount(int textWidth, int displayWidth);
// Segment k (0-based) of the text picture: columns k W .. k W + W - 1 copied
// to the left of a black W x H picture (2W x H double-sided, the same slice
// in both faces). Columns beyond the text picture stay black. Throws
// VelmoraError when the picture cannot be allocated.
QImage TempSegment(const QImage &text, int k, int displayWidth, bool doubleSided);

// --- Temporary message ---------------------------------------------------
// The widest text a temporary message may have: the segment count is one
// byte, and the text picture is kept within MaxTempPicturePixels (a text of
// 255 segments on the largest display in use stays well inside it).
constexpr int64_t MaxTempPicturePixels = 16 * 1024 * 1024;
int MaxTempSegments(int displayWidth, int displayHeight);

// The text picture: as wide as the text in the face (its vertical-writing
// form on the portrait display) at the character height, H high, black, the
// text at x = 0, y = (H - height) / 2. Throws VelmoraError, before anything
// is drawn, when the text needs more than MaxTempSegments segments.
QImage DrawTempText(const TTempMessage &message, int displayWidth, int displayHeight,
                    bool portrait);

// address, 0xF7, n, n segments (effect, 0, speed, dwell, planes of the W x H
// or 2W x H segment picture), 0xAA. Throws VelmoraError when the text picture
// needs more than 255 segments.
QByteArray TempMessageFrame(uint8_t address, const QImage &text, int displayWidth,
                            bool doubleSided, int colorMode, const TTempMessage &message);

// Stores the message in the record, then builds the frames of the configured
// displays (portrait first, address 2; the landscape display single- or
// double-sided, address 1); a display that is not configured gets none.
// Throws VelmoraError for display values that cannot be drawn and for a text
// too wide; the record keeps the stored message.
void BuildTempMessageFrames(TProjectRecord &record, const TTempMessage &message,
                            QByteArray &portraitFrame, QByteArray &landscapeFrame);

// --- LOGO and welcome ----------------------------------------------------
// header (address, command [, 0x01]), planes of the picture, 0xAA.
QByteArray PictureFrame(const QByteArray &header, const QImage &picture, int colorMode);
// Store the paths first (cut to 255 bytes), then read and stretch the BMP
// files of the configured displays and build their 0xF4 or 0xF5 0x01
// frames. Throws VelmoraError (the BMP reader's messages, or display values
// that cannot be drawn) before any frame is built; the paths stay stored.
void BuildLogoFrames(TProjectRecord &record, const QString &landscapeFile,
                     const QString &portraitFile, QByteArray &portraitFrame,
                     QByteArray &landscapeFrame);
void BuildWelcomeFrames(TProjectRecord &record, const QString &file, QByteArray &portraitFrame,
                        QByteArray &landscapeFrame);
