// sim/: rehearsal without hardware. The simulated controller behind port 0
// (COM0), paced as the real line, the wire log that records and replays what
// went over a line, the tap on the send worker's writes and the LED monitor
// window that draws the displays from it. Core files here include app/ and
// link/ (the port interface, the frames); only uMonitor and uMainMonitor are
// widgets.
//
// A display controller in software: it consumes the bytes of the serial line
// with their parity bit, as the real controller sees them, and keeps what each
// display was last told. Used for rehearsals without hardware (the LED monitor)
// and to turn a wire log back into pictures.
#pragma once

#include "app/Struct.h"

#include <QImage>
#include <QString>
#include <QVector>

#include <cstdint>
#include <functional>
#include <map>

// The picture size a frame's length depends on. The width is that of the whole
// picture: 2 x ScreenWidth on a double-sided landscape display.
struct SimGeometry {
    int width = 0;
    int height = 0;
    int colorMode = 0;   // 1 single colour, 2 dual colour

    bool valid() const;
    int planeBytes() const { return width / 8 * height; }
    int pictureBytes() const { return planeBytes() * colorMode; }
};

// The geometry the project gives each display address; invalid for a display
// that is not configured.
SimGeometry ProjectGeometry(const TProjectRecord &record, int address);

// Bit planes (lit = 0) back to pixels: red 255,0,0, green 0,255,0, yellow
// 255,255,0, dark black. data holds geometry.pictureBytes() bytes.
QImage UnpackPlanes(const uint8_t *data, const SimGeometry &geometry);

// What a 0xF2 frame said.
struct SimScreenParams {
    bool received = false;
    int width = 0, height = 0, colorMode = 0;
    int scanMode = 0, oePolarity = 0, dataPolarity = 0;
};

// One picture of a temporary message with its own effect values.
struct SimSegment {
    int effect = 0, speed = 0, dwell = 0;
    QImage picture;
};

// Everything one display address was last told.
struct SimDisplayState {
    SimGeometry defaults;      // from the project, used until a 0xF2 frame arrives
    SimScreenParams params;
    int brightness = -1;       // -1: no brightness frame yet
    QImage picture;            // the page shown (0xF3); null before the first
    QVector<SimSegment> tempMessage;
    bool tempPending = false;  // a temporary message is waiting (0xF7, not cleared by 0xF8)
    QImage logo, welcome;
    bool hasEffect = false;    // effect, speed, dwell of the last page or message
    int effect = 0, speed = 0, dwell = 0;
    int lastCommand = -1;      // command byte of the last good frame
    double lastTime = 0;       // time given with the bytes that completed it
    int pictureKind = -1;      // command byte of the last frame that carried a picture
    int frames = 0;            // good frames
    int resets = 0;
    int malformed = 0;
    QString lastError;

    // Screen parameters received, else the project's defaults.
    SimGeometry geometry() const;
};

// One report per frame: decoded, or malformed with the reason.
struct SimFrame {
    double time = 0;
    int address = -1;          // -1: bytes with no address before them
    int command = -1;          // -1 when no command byte was seen
    bool ok = false;
    QString text;              // one line: "page effect=3 ..." or the fault
    QVector<QImage> pictures;  // page, LOGO, welcome: one; temporary message: one per segment
};

// Short name of a command byte: reset, params, page, logo, welcome, brightness,
// temp, clear-temp; "0x.." for an unknown one.
QString SimCommandName(int command);

class ControllerSimulator {
public:
    // Defaults for the frame lengths of an address with no 0xF2 frame yet.
    void setDefaults(int address, const SimGeometry &geometry);
    // Defaults of both display addresses from the project.
    void configureFrom(const TProjectRecord &record);

    // Bytes as they arrive; mark = parity bit 1 (an address byte). timeMs is
    // recorded with every frame the bytes complete.
    void feed(const QByteArray &bytes, bool mark, double timeMs);
    void feedByte(uint8_t byte, bool mark, double timeMs);
    // The line has gone quiet for good (port closed, end of a log): a frame
    // still open is reported as truncated.
    void endOfStream(double timeMs);

    // Null when the address has neither defaults nor received anything.
    const SimDisplayState *display(int address) const;
    const std::map<int, SimDisplayState> &displays() const { return m_displays; }
    int unaddressedErrors() const { return m_unaddressedErrors; }

    // False: the display states keep no picture (page, LOGO, welcome, temporary
    // message), only the frame reports carry them. For decoding logs, where
    // every address would otherwise hold its last pictures to the end.
    bool keepPictures = true;
    // Called for every frame report, good or malformed.
    std::function<void(const SimFrame &)> onFrame;
    // When set, each segment of a temporary message is handed over as soon
    // as its bytes have arrived and is not kept: neither the display state
    // nor the frame report holds its picture. For decoding long logs, whose
    // messages can hold hundreds of big pictures.
    std::function<void(int address, int index, const SimSegment &segment)> onTempSegment;

private:
    enum class Phase { NoAddress, Addressed, InFrame, AfterFrame, Skipping };

    long expectedLength(double timeMs);   // 0: not known yet; -1: reported, cannot be decoded
    void frameComplete(double timeMs);
    void decode(SimDisplayState &state, SimFrame &frame);
    void decodePicture(SimDisplayState &state, SimFrame &frame, int offset);
    void keep(QImage &kept, const QImage &picture) const;
    void decodeTempMessage(SimDisplayState &state, SimFrame &frame);
    void takeTempSegment();
    void malformed(const QString &reason, double timeMs);
    void report(const SimFrame &frame);

    std::map<int, SimDisplayState> m_displays;
    Phase m_phase = Phase::NoAddress;
    int m_address = -1;
    QByteArray m_frame;            // from the command byte on, less the segments taken
    long m_received = 0;           // bytes of the frame so far, from the command byte on
    long m_expected = 0;           // its length once known
    QVector<SimSegment> m_segments;   // of a temporary message, decoded as they arrive
    int m_unaddressedErrors = 0;
};
