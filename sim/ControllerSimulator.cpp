#include "sim/ControllerSimulator.h"

namespace {
constexpr uint8_t FrameEnd = 0xAA;
constexpr int AddrLandscape = 1;
constexpr int AddrPortrait = 2;
// Larger than any display the project can describe (2 x 512 x 80), small
// enough that a garbled 0xF2 frame cannot ask for absurd pictures.
constexpr int MaxSide = 4096;

bool IsPictureCommand(int command)
{
    return command == 0xF3 || command == 0xF4 || command == 0xF5 || command == 0xF7;
}

QString Hex(int byte)
{
    return QStringLiteral("0x%1").arg(byte, 2, 16, QLatin1Char('0'));
}

bool IsDark(const QImage &picture)
{
    for (int y = 0; y < picture.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            if ((row[x] & 0xFFFFFF) != 0)
                return false;
    }
    return true;
}

QString EffectText(int effect, int speed, int dwell)
{
    return QStringLiteral("effect=%1 speed=%2 dwell=%3").arg(effect).arg(speed).arg(dwell);
}

QString GeometryText(const SimGeometry &g)
{
    return QStringLiteral("%1x%2 colours=%3").arg(g.width).arg(g.height).arg(g.colorMode);
}
} // namespace

bool SimGeometry::valid() const
{
    return width >= 8 && width <= MaxSide && height >= 1 && height <= MaxSide
        && (colorMode == 1 || colorMode == 2);
}

SimGeometry ProjectGeometry(const TProjectRecord &record, int address)
{
    SimGeometry g{record.ScreenWidth, record.ScreenHeight, record.ColorMode};
    if (address == AddrPortrait && record.PortraitOn == 1)
        return g;
    if (address == AddrLandscape && record.LandscapeOn == 1)
        return g;
    if (address == AddrLandscape && record.LandscapeDouble == 1) {
        // A damaged width stays invalid, never overflows.
        g.width = g.width < 0 || g.width > MaxSide ? 0 : 2 * g.width;
        return g;
    }
    return {};
}

QImage UnpackPlanes(const uint8_t *data, const SimGeometry &geometry)
{
    QImage picture(geometry.width, geometry.height, QImage::Format_RGB32);
    picture.fill(Qt::black);
    const int groups = geometry.width / 8;
    const uint8_t *red = data;
    const uint8_t *green = geometry.colorMode == 2 ? data + geometry.planeBytes() : nullptr;
    for (int y = 0; y < geometry.height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int b = 0; b < groups; ++b) {
            const int i = y * groups + b;
            for (int k = 0; k < 8; ++k) {
                const int mask = 0x80 >> k;
                const bool r = !(red[i] & mask);
                const bool g = green && !(green[i] & mask);
                row[8 * b + k] = qRgb(r ? 255 : 0, g ? 255 : 0, 0);
            }
        }
    }
    return picture;
}

SimGeometry SimDisplayState::geometry() const
{
    if (params.received)
        return {params.width, params.height, params.colorMode};
    return defaults;
}

QString SimCommandName(int command)
{
    switch (command) {
    case 0xF1: return QStringLiteral("reset");
    case 0xF2: return QStringLiteral("params");
    case 0xF3: return QStringLiteral("page");
    case 0xF4: return QStringLiteral("logo");
    case 0xF5: return QStringLiteral("welcome");
    case 0xF6: return QStringLiteral("brightness");
    case 0xF7: return QStringLiteral("temp");
    case 0xF8: return QStringLiteral("clear-temp");
    default: return Hex(command);
    }
}

void ControllerSimulator::setDefaults(int address, const SimGeometry &geometry)
{
    m_displays[address].defaults = geometry;
}

void ControllerSimulator::configureFrom(const TProjectRecord &record)
{
    for (int address : {AddrLandscape, AddrPortrait}) {
        const SimGeometry g = ProjectGeometry(record, address);
        if (g.valid() || m_displays.count(address))
            setDefaults(address, g);
    }
}

void ControllerSimulator::feed(const QByteArray &bytes, bool mark, double timeMs)
{
    for (char c : bytes)
        feedByte(uint8_t(c), mark, timeMs);
}

void ControllerSimulator::feedByte(uint8_t byte, bool mark, double timeMs)
{
    if (mark) {
        if (m_phase == Phase::InFrame)
            malformed(QStringLiteral("%1 frame cut by an address byte after %2 bytes")
                          .arg(SimCommandName(uint8_t(m_frame.at(0))))
                          .arg(m_received + 1),
                      timeMs);
        m_address = byte;
        m_displays[m_address];
        m_phase = Phase::Addressed;
        return;
    }
    switch (m_phase) {
    case Phase::NoAddress:
        malformed(QStringLiteral("data byte %1 with no address byte before it").arg(Hex(byte)), timeMs);
        return;
    case Phase::AfterFrame:
        malformed(QStringLiteral("stray byte %1 after a frame").arg(Hex(byte)), timeMs);
        return;
    case Phase::Skipping:
        return;
    case Phase::Addressed:
        m_frame = QByteArray(1, char(byte));
        m_received = 1;
        m_expected = 0;
        m_segments.clear();
        m_phase = Phase::InFrame;
        break;
    case Phase::InFrame:
        m_frame.append(char(byte));
        ++m_received;
        break;
    }
    if (m_expected == 0)
        m_expected = expectedLength(timeMs);
    if (m_expected > 0 && uint8_t(m_frame.at(0)) == 0xF7)
        takeTempSegment();
    if (m_expected > 0 && m_received >= m_expected)
        frameComplete(timeMs);
}

void ControllerSimulator::endOfStream(double timeMs)
{
    if (m_phase == Phase::InFrame)
        malformed(QStringLiteral("%1 frame truncated after %2 bytes")
                      .arg(SimCommandName(uint8_t(m_frame.at(0))))
                      .arg(m_received + 1),
                  timeMs);
    m_phase = Phase::NoAddress;
    m_address = -1;
}

const SimDisplayState *ControllerSimulator::display(int address) const
{
    const auto it = m_displays.find(address);
    return it == m_displays.end() ? nullptr : &it->second;
}

// Frame length counted from the command byte, from what arrived so far. An
// unknown command or a picture with no known size is reported here.
long ControllerSimulator::expectedLength(double timeMs)
{
    const int command = uint8_t(m_frame.at(0));
    const SimGeometry g = m_displays[m_address].geometry();
    if (IsPictureCommand(command) && !g.valid()) {
        malformed(QStringLiteral("%1 frame but no screen size known for address %2")
                      .arg(SimCommandName(command))
                      .arg(m_address),
                  timeMs);
        return -1;
    }
    const long picture = g.pictureBytes();
    switch (command) {
    case 0xF1: return 2;
    case 0xF2: return 10;
    case 0xF3: return 1 + 4 + picture + 1;
    case 0xF4: return 1 + picture + 1;
    case 0xF5: return 1 + 1 + picture + 1;
    case 0xF6:
    case 0xF8: return 3;
    case 0xF7:
        if (m_frame.size() < 2)
            return 0;
        return 2 + long(uint8_t(m_frame.at(1))) * (4 + picture) + 1;
    default:
        malformed(QStringLiteral("unknown command byte %1").arg(Hex(command)), timeMs);
        return -1;
    }
}

void ControllerSimulator::frameComplete(double timeMs)
{
    const uint8_t last = uint8_t(m_frame.back());
    if (last != FrameEnd) {
        malformed(QStringLiteral("%1 frame of %2 bytes does not end in 0xAA (%3)")
                      .arg(SimCommandName(uint8_t(m_frame.at(0))))
                      .arg(m_received + 1)
                      .arg(Hex(last)),
                  timeMs);
        return;
    }
    SimDisplayState &state = m_displays[m_address];
    SimFrame frame;
    frame.time = timeMs;
    frame.address = m_address;
    frame.command = uint8_t(m_frame.at(0));
    frame.ok = true;
    m_phase = Phase::AfterFrame;
    decode(state, frame);
    if (frame.ok) {
        ++state.frames;
        state.lastCommand = frame.command;
        state.lastTime = timeMs;
        if (IsPictureCommand(frame.command))
            state.pictureKind = frame.command;
    } else {
        ++state.malformed;
        state.lastError = frame.text;
    }
    report(frame);
}

void ControllerSimulator::decode(SimDisplayState &state, SimFrame &frame)
{
    const auto at = [this](int i) { return int(uint8_t(m_frame.at(i))); };
    const QString name = SimCommandName(frame.command);
    switch (frame.command) {
    case 0xF1:
        ++state.resets;
        frame.text = name;
        break;
    case 0xF2: {
        SimScreenParams p;
        p.received = true;
        p.width = at(1) << 8 | at(2);
        p.height = at(3) << 8 | at(4);
        p.colorMode = at(5);
        p.scanMode = at(6);
        p.oePolarity = at(7);
        p.dataPolarity = at(8);
        frame.text = QStringLiteral("%1 width=%2 height=%3 colours=%4 scan=%5 oe=%6 data=%7")
                         .arg(name).arg(p.width).arg(p.height).arg(p.colorMode)
                         .arg(p.scanMode).arg(p.oePolarity).arg(p.dataPolarity);
        if (!SimGeometry{p.width, p.height, p.colorMode}.valid()) {
            // Keep the size in force: later frames would be cut to nonsense.
            frame.ok = false;
            frame.text = QStringLiteral("malformed: ") + frame.text
                + QStringLiteral(": unusable screen size or colour mode");
            break;
        }
        state.params = p;
        break;
    }
    case 0xF3:
        state.hasEffect = true;
        state.effect = at(1);
        state.speed = at(3);
        state.dwell = at(4);
        decodePicture(state, frame, 5);
        keep(state.picture, frame.pictures.first());
        frame.text = QStringLiteral("%1 %2 %3%4").arg(name, EffectText(state.effect, state.speed, state.dwell),
                                                   GeometryText(state.geometry()),
                                                   IsDark(frame.pictures.first()) ? QStringLiteral(" blank") : QString());
        break;
    case 0xF4:
        decodePicture(state, frame, 1);
        keep(state.logo, frame.pictures.first());
        frame.text = name + QLatin1Char(' ') + GeometryText(state.geometry());
        break;
    case 0xF5:
        decodePicture(state, frame, 2);
        keep(state.welcome, frame.pictures.first());
        frame.text = QStringLiteral("%1 flag=%2 %3").arg(name, Hex(at(1)), GeometryText(state.geometry()));
        break;
    case 0xF6:
        state.brightness = at(1);
        frame.text = QStringLiteral("%1 level=%2").arg(name).arg(state.brightness);
        break;
    case 0xF7:
        decodeTempMessage(state, frame);
        break;
    case 0xF8:
        state.tempMessage.clear();
        state.tempPending = false;
        frame.text = name;
        break;
    }
}

void ControllerSimulator::keep(QImage &kept, const QImage &picture) const
{
    kept = keepPictures ? picture : QImage();
}

void ControllerSimulator::decodePicture(SimDisplayState &state, SimFrame &frame, int offset)
{
    frame.pictures.append(
        UnpackPlanes(reinterpret_cast<const uint8_t *>(m_frame.constData()) + offset, state.geometry()));
}

// A segment is decoded once its bytes are in and its bytes dropped, so a
// message of many big pictures never sits whole in memory.
void ControllerSimulator::takeTempSegment()
{
    const SimGeometry g = m_displays[m_address].geometry();
    const int count = uint8_t(m_frame.at(1));
    if (m_segments.size() >= count || m_frame.size() < 2 + 4 + g.pictureBytes())
        return;
    const auto *segment = reinterpret_cast<const uint8_t *>(m_frame.constData()) + 2;
    SimSegment s{segment[0], segment[2], segment[3], UnpackPlanes(segment + 4, g)};
    if (onTempSegment) {
        onTempSegment(m_address, int(m_segments.size()), s);
        s.picture = QImage();
    }
    m_segments.append(s);
    m_frame.truncate(2);
}

void ControllerSimulator::decodeTempMessage(SimDisplayState &state, SimFrame &frame)
{
    const SimGeometry g = state.geometry();
    const int count = uint8_t(m_frame.at(1));
    state.tempMessage.clear();
    for (const SimSegment &s : std::as_const(m_segments)) {
        if (!onTempSegment) {
            if (keepPictures)
                state.tempMessage.append(s);
            frame.pictures.append(s.picture);
        }
        state.hasEffect = true;
        state.effect = s.effect;
        state.speed = s.speed;
        state.dwell = s.dwell;
    }
    state.tempPending = count > 0;
    frame.text = QStringLiteral("%1 segments=%2").arg(SimCommandName(0xF7)).arg(count);
    if (count > 0)
        frame.text += QLatin1Char(' ') + EffectText(state.effect, state.speed, state.dwell);
    frame.text += QLatin1Char(' ') + GeometryText(g);
}

void ControllerSimulator::malformed(const QString &reason, double timeMs)
{
    SimFrame frame;
    frame.time = timeMs;
    frame.address = m_address;
    frame.command = m_phase == Phase::InFrame ? uint8_t(m_frame.at(0)) : -1;
    frame.text = QStringLiteral("malformed: ") + reason;
    if (m_address < 0) {
        ++m_unaddressedErrors;
    } else {
        SimDisplayState &state = m_displays[m_address];
        ++state.malformed;
        state.lastError = frame.text;
    }
    m_phase = Phase::Skipping;   // until the next address byte
    m_frame.clear();
    report(frame);
}

void ControllerSimulator::report(const SimFrame &frame)
{
    if (onFrame)
        onFrame(frame);
}
