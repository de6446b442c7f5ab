// The temporary message, LOGO and welcome transmissions: what they store in
// the record, the pictures they draw and the frames they send.
#pragma once

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

// Segments of a temporary message: one display width of the text picture each,
// the last one possibly partly filled (0 for an empty text).
int TempSegmentCount(int textWidth, int displayWidth);
// Segment k (0-based) of the text picture: columns k W .. k W + W - 1 copied
// to the left of a black W x H picture (2W x H double-sided, the same slice
// in both faces). Columns beyond the text picture stay black.
QImage TempSegment(const QImage &text, int k, int displayWidth, bool doubleSided);
