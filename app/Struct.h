// The project record, its raw string fields and the small helpers shared by
// every subsystem.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>

// A length-prefixed 256-byte GBK string. Bytes after the length are kept as
// they are, so a file read and written again is reproduced byte for byte.
struct TShortString {
    uint8_t bytes[256];

    QByteArray raw() const;               // the n significant bytes
    void setRaw(const QByteArray &gbk);    // cut to 255 bytes; tail bytes kept
    QString text() const;                  // decoded from GBK
    void setText(const QString &text);     // encoded to GBK, cut to 255 bytes at a character boundary
};

// The project file is the byte image of this record: 1856 bytes, little-endian.
#pragma pack(push, 1)
struct TProjectRecord {
    uint8_t ComPort;
    uint8_t pad1[3];
    int32_t BaudRate;
    int32_t ColorMode;
    uint8_t Reserved1;
    uint8_t pad2[3];
    int32_t ScreenWidth;
    int32_t ScreenHeight;
    uint8_t PortraitOn;
    uint8_t LandscapeOn;
    uint8_t LandscapeDouble;
    uint8_t pad3;
    int32_t Reserved2;
    int32_t Reserved3;
    uint8_t BrightnessLevel;
    uint8_t ScanMode;
    uint8_t DataPolarity;
    uint8_t OEPolarity;
    TShortString FontName;
    int32_t FontColor;
    uint8_t FontHeight;
    uint8_t FontWidth;
    TShortString TempFontName;
    uint8_t pad4[2];
    int32_t TempFontColor;
    int32_t TempFontHeight;
    TShortString TempText;
    uint8_t TempStunt;
    uint8_t TempRunSpeed;
    uint8_t TempShowTime;
    TShortString LogoLandFile;
    TShortString LogoPortFile;
    TShortString WelcomeFile;
    TShortString ScenarioFile;
    uint8_t Stunt;
    uint8_t RunSpeed;
    uint8_t ShowTime;
    uint8_t TextAlign;
    uint8_t pad5;
};
#pragma pack(pop)

static_assert(sizeof(TProjectRecord) == 1856, "project record is 1856 bytes");
static_assert(offsetof(TProjectRecord, BaudRate) == 4);
static_assert(offsetof(TProjectRecord, ColorMode) == 8);
static_assert(offsetof(TProjectRecord, Reserved1) == 12);
static_assert(offsetof(TProjectRecord, ScreenWidth) == 16);
static_assert(offsetof(TProjectRecord, ScreenHeight) == 20);
static_assert(offsetof(TProjectRecord, PortraitOn) == 24);
static_assert(offsetof(TProjectRecord, LandscapeDouble) == 26);
static_assert(offsetof(TProjectRecord, Reserved2) == 28);
static_assert(offsetof(TProjectRecord, Reserved3) == 32);
static_assert(offsetof(TProjectRecord, BrightnessLevel) == 36);
static_assert(offsetof(TProjectRecord, OEPolarity) == 39);
static_assert(offsetof(TProjectRecord, FontName) == 40);
static_assert(offsetof(TProjectRecord, FontColor) == 296);
static_assert(offsetof(TProjectRecord, FontHeight) == 300);
static_assert(offsetof(TProjectRecord, FontWidth) == 301);
static_assert(offsetof(TProjectRecord, TempFontName) == 302);
static_assert(offsetof(TProjectRecord, TempFontColor) == 560);
static_assert(offsetof(TProjectRecord, TempFontHeight) == 564);
static_assert(offsetof(TProjectRecord, TempText) == 568);
static_assert(offsetof(TProjectRecord, TempStunt) == 824);
static_assert(offsetof(TProjectRecord, TempShowTime) == 826);
static_assert(offsetof(TProjectRecord, LogoLandFile) == 827);
static_assert(offsetof(TProjectRecord, LogoPortFile) == 1083);
static_assert(offsetof(TProjectRecord, WelcomeFile) == 1339);
static_assert(offsetof(TProjectRecord, ScenarioFile) == 1595);
static_assert(offsetof(TProjectRecord, Stunt) == 1851);
static_assert(offsetof(TProjectRecord, TextAlign) == 1854);

// A flag that tells its owner when its value changes (the window title shows
// whether the project is saved). Copies take the value only.
class TWatchedFlag {
public:
    TWatchedFlag(bool value = false) : m_value(value) {}
    TWatchedFlag(const TWatchedFlag &other) : m_value(other.m_value) {}
    TWatchedFlag &operator=(const TWatchedFlag &other) { return *this = other.m_value; }
    TWatchedFlag &operator=(bool value)
    {
        const bool changed = value != m_value;
        m_value = value;
        if (changed && m_onChange)
            m_onChange();
        return *this;
    }
    operator bool() const { return m_value; }
    void setOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }

private:
    bool m_value;
    std::function<void()> m_onChange;
};

// The project state kept beside the record and never saved.
struct TProjectState {
    TProjectRecord ProjectRecord{};
    QString CurFileName;
    TWatchedFlag ProjectSaved = false;
    bool ProjectUntitled = false;
    bool AdvanceAfterSend = false;
    bool SentByClick = false;
};

extern const char *const UntitledName;   // "未命名"

// Removes leading and trailing characters with codes 0 to 32.
QString TrimControl(const QString &text);
bool IsBlank(const QString &text);

// The registry value of the last project. On Windows the key under
// HKEY_CURRENT_USER; elsewhere an INI file in the user's configuration folder.
// Failures throw VelmoraError with the platform's text.
QString ReadRegString(const QString &name, const QString &defaultText,
                      const QString &keyPath = QStringLiteral("\\Software\\Velmora"));
void WriteRegString(const QString &name, const QString &text,
                    const QString &keyPath = QStringLiteral("\\Software\\Velmora"));

// The characters of text that are digits or '.', in order.
QString KeepDigits(const QString &text);

// Bit reordering of the pixel packer: a group word holds 8 pixels, red bit at
// 2j+1 and green bit at 2j; the results carry lit = 0.
uint8_t PackOddBits(uint16_t value);
uint16_t DeinterleaveBits(uint16_t value);

// Dispatches every event waiting in the calling thread's queue; a quit request
// found there is dropped, as the end-of-transmission handling requires.
void ProcessPendingMessages();
