#include "link/Frames.h"

#include "app/Errors.h"

int SettleWaitMs(uint8_t command)
{
    switch (command) {
    case CmdReset:
    case CmdPage:
    case CmdBrightness:
        return 0;
    case CmdScreenParams:
        return 200;
    default:
        return 400;
    }
}

namespace {
QByteArray Frame(std::initializer_list<uint8_t> bytes)
{
    QByteArray frame;
    for (uint8_t b : bytes)
        frame.append(char(b));
    return frame;
}

uint8_t High(int value) { return uint8_t((value >> 8) & 0xFF); }
uint8_t Low(int value) { return uint8_t(value & 0xFF); }
} // namespace

QByteArray ResetFrame(uint8_t address)
{
    return Frame({address, CmdReset, FrameEnd});
}

QByteArray ScreenParamsFrame(uint8_t address, int width, const TProjectRecord &r)
{
    return Frame({address, CmdScreenParams, High(width), Low(width), High(r.ScreenHeight),
                  Low(r.ScreenHeight), Low(r.ColorMode), r.ScanMode, r.OEPolarity,
                  r.DataPolarity, FrameEnd});
}

QByteArray BrightnessFrame(uint8_t address, uint8_t level)
{
    return Frame({address, CmdBrightness, level, FrameEnd});
}

QByteArray ClearTempFrame(uint8_t address)
{
    return Frame({address, CmdClearTempMessage, 0x00, FrameEnd});
}

QString PageCaption(const QString &pageText)
{
    return QStringLiteral("发送“") + pageText + QStringLiteral("”");
}

QString ClearDisplayCaption()
{
    return QStringLiteral("发送清除显示屏内容命令");
}

QString TempMessageCaption()
{
    return QStringLiteral("发送主区域数据");
}

QString LogoCaption()
{
    return QStringLiteral("发送LOGO数据");
}

QString WelcomeCaption()
{
    return QStringLiteral("发送欢迎词数据");
}

TTransmission ResetTransmission(const TProjectRecord &r)
{
    TTransmission t;
    if (PortraitConfigured(r))
        t.frame1 = ResetFrame(AddrPortrait);
    if (LandscapeConfigured(r))
        t.frame2 = ResetFrame(AddrLandscape);
    t.caption = QStringLiteral("发送复位命令");
    return t;
}

namespace {
// The frame carries width and height in 16 bits each. A damaged project file
// can hold any int32 there: such a value is refused, not doubled past the
// int range or cut to its low bits.
void CheckParamsValue(const char *name, int64_t value)
{
    if (value < 0 || value > 0xFFFF)
        throw VelmoraError(QStringLiteral("工程已损坏：%1%2超出屏参的范围（0～65535），未发送屏参")
                               .arg(QString::fromUtf8(name)).arg(value));
}
} // namespace

TTransmission ScreenParamsTransmission(const TProjectRecord &r)
{
    const int64_t landscapeWidth = (r.LandscapeDouble == 1 ? 2 : 1) * int64_t(r.ScreenWidth);
    CheckParamsValue("屏高", r.ScreenHeight);
    CheckParamsValue("屏宽", r.ScreenWidth);
    TTransmission t;
    if (PortraitConfigured(r))
        t.frame1 = ScreenParamsFrame(AddrPortrait, r.ScreenWidth, r);
    if (LandscapeConfigured(r)) {
        CheckParamsValue("双面横屏的画面宽度", landscapeWidth);
        t.frame2 = ScreenParamsFrame(AddrLandscape, int(landscapeWidth), r);
    }
    t.caption = QStringLiteral("设置屏参");
    return t;
}

TTransmission BrightnessStepTransmission(TProjectRecord &r)
{
    r.BrightnessLevel = r.BrightnessLevel < 3 ? uint8_t(r.BrightnessLevel + 1) : 0;
    TTransmission t;
    if (PortraitConfigured(r))
        t.frame1 = BrightnessFrame(AddrPortrait, r.BrightnessLevel);
    if (r.LandscapeOn == 1)
        t.frame2 = BrightnessFrame(AddrLandscape, r.BrightnessLevel);
    t.caption = QStringLiteral("设置显示屏亮度(%1 级亮度)").arg(int(r.BrightnessLevel) + 1);
    return t;
}

TTransmission ClearTempTransmission(TProjectRecord &r)
{
    r.TempText.setText(QString());
    TTransmission t;
    if (PortraitConfigured(r))
        t.frame1 = ClearTempFrame(AddrPortrait);
    if (r.LandscapeOn == 1)
        t.frame2 = ClearTempFrame(AddrLandscape);
    t.caption = QStringLiteral("清除显示屏临时信息");
    return t;
}
