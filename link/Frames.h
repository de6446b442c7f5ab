// The controller's frames: address byte, command byte, payload, 0xAA. The
// builders of the control commands and the transmissions they make.
#pragma once

#include "app/Struct.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

constexpr uint8_t AddrLandscape = 1;
constexpr uint8_t AddrPortrait = 2;
constexpr uint8_t FrameEnd = 0xAA;

enum TCommandByte : uint8_t {
    CmdReset = 0xF1,
    CmdScreenParams = 0xF2,
    CmdPage = 0xF3,
    CmdLogo = 0xF4,
    CmdWelcome = 0xF5,
    CmdBrightness = 0xF6,
    CmdTempMessage = 0xF7,
    CmdClearTempMessage = 0xF8,
};

// The wait after the command byte before the controller takes the payload.
int SettleWaitMs(uint8_t command);

// The displays a project drives. The landscape display counts as configured
// when it is single- or double-sided.
inline bool PortraitConfigured(const TProjectRecord &r) { return r.PortraitOn == 1; }
inline bool LandscapeConfigured(const TProjectRecord &r)
{
    return r.LandscapeOn == 1 || r.LandscapeDouble == 1;
}

QByteArray ResetFrame(uint8_t address);
QByteArray ScreenParamsFrame(uint8_t address, int width, const TProjectRecord &record);
QByteArray BrightnessFrame(uint8_t address, uint8_t level);
QByteArray ClearTempFrame(uint8_t address);

// What one transmission carries: slot 1 goes to the portrait display, slot 2
// to the landscape display; an empty slot sends nothing.
struct TTransmission {
    QByteArray frame1;
    QByteArray frame2;
    QString caption;
};

// The captions of page transmissions: a page, and the blank page that
// clears the display; and those of the temporary message, LOGO and welcome.
QString PageCaption(const QString &pageText);
QString ClearDisplayCaption();
QString TempMessageCaption();
QString LogoCaption();
QString WelcomeCaption();

TTransmission ResetTransmission(const TProjectRecord &record);
// Throws VelmoraError when a damaged project's width or height does not fit
// the frame's 16 bits.
TTransmission ScreenParamsTransmission(const TProjectRecord &record);
// These two change the record first: the next brightness level (0, 1, 2, 3,
// then 0 again; a stored 3 or more gives 0), or an empty temporary message.
// Their frames go to the single-sided landscape display only.
TTransmission BrightnessStepTransmission(TProjectRecord &record);
TTransmission ClearTempTransmission(TProjectRecord &record);
