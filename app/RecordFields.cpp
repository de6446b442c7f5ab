#include "app/RecordFields.h"

#include "app/Errors.h"
#include "app/Gbk.h"

#include <cstring>
#include <map>

#define VELMORA_FIELD(name, kind) {#name, offsetof(TProjectRecord, name), RecordField::kind}

const std::vector<RecordField> &RecordFields()
{
    static const std::vector<RecordField> fields = {
        VELMORA_FIELD(ComPort, Byte),        VELMORA_FIELD(BaudRate, Int32),
        VELMORA_FIELD(ColorMode, Int32),     VELMORA_FIELD(Reserved1, Byte),
        VELMORA_FIELD(ScreenWidth, Int32),   VELMORA_FIELD(ScreenHeight, Int32),
        VELMORA_FIELD(PortraitOn, Byte),     VELMORA_FIELD(LandscapeOn, Byte),
        VELMORA_FIELD(LandscapeDouble, Byte), VELMORA_FIELD(Reserved2, Int32),
        VELMORA_FIELD(Reserved3, Int32),     VELMORA_FIELD(BrightnessLevel, Byte),
        VELMORA_FIELD(ScanMode, Byte),       VELMORA_FIELD(DataPolarity, Byte),
        VELMORA_FIELD(OEPolarity, Byte),     VELMORA_FIELD(FontName, String),
        VELMORA_FIELD(FontColor, Int32),     VELMORA_FIELD(FontHeight, Byte),
        VELMORA_FIELD(FontWidth, Byte),      VELMORA_FIELD(TempFontName, String),
        VELMORA_FIELD(TempFontColor, Int32), VELMORA_FIELD(TempFontHeight, Int32),
        VELMORA_FIELD(TempText, String),     VELMORA_FIELD(TempStunt, Byte),
        VELMORA_FIELD(TempRunSpeed, Byte),   VELMORA_FIELD(TempShowTime, Byte),
        VELMORA_FIELD(LogoLandFile, String), VELMORA_FIELD(LogoPortFile, String),
        VELMORA_FIELD(WelcomeFile, String),  VELMORA_FIELD(ScenarioFile, String),
        VELMORA_FIELD(Stunt, Byte),          VELMORA_FIELD(RunSpeed, Byte),
        VELMORA_FIELD(ShowTime, Byte),       VELMORA_FIELD(TextAlign, Byte),
    };
    return fields;
}

#undef VELMORA_FIELD

const RecordField *FindRecordField(const QString &name)
{
    for (const RecordField &f : RecordFields())
        if (name == QLatin1String(f.name))
            return &f;
    return nullptr;
}

namespace {
const uint8_t *At(const TProjectRecord &r, const RecordField &f)
{
    return reinterpret_cast<const uint8_t *>(&r) + f.offset;
}
uint8_t *At(TProjectRecord &r, const RecordField &f)
{
    return reinterpret_cast<uint8_t *>(&r) + f.offset;
}
} // namespace

QString FieldValue(const TProjectRecord &record, const RecordField &field)
{
    const uint8_t *p = At(record, field);
    switch (field.kind) {
    case RecordField::Byte:
        return QString::number(*p);
    case RecordField::Int32: {
        int32_t v;
        std::memcpy(&v, p, sizeof v);
        return QString::number(v);
    }
    case RecordField::String:
        return reinterpret_cast<const TShortString *>(p)->text();
    }
    return QString();
}

namespace {
// How the operator knows a text field, for the note that it was cut.
QString StringFieldLabel(const RecordField &field)
{
    static const std::map<QString, const char *> labels = {
        {QStringLiteral("FontName"), "字体名"},         {QStringLiteral("TempFontName"), "临时信息字体名"},
        {QStringLiteral("TempText"), "临时信息"},       {QStringLiteral("LogoLandFile"), "横屏LOGO文件名"},
        {QStringLiteral("LogoPortFile"), "竖屏LOGO文件名"}, {QStringLiteral("WelcomeFile"), "欢迎词文件名"},
        {QStringLiteral("ScenarioFile"), "剧本文件名"},
    };
    const auto label = labels.find(QLatin1String(field.name));
    return label == labels.end() ? QLatin1String(field.name) : QString::fromUtf8(label->second);
}
} // namespace

QString SetFieldValue(TProjectRecord &record, const RecordField &field, const QString &value)
{
    uint8_t *p = At(record, field);
    if (field.kind == RecordField::String) {
        auto *text = reinterpret_cast<TShortString *>(p);
        text->setText(value);
        if (ToGbk(value).size() < qsizetype(sizeof text->bytes))
            return QString();
        return QStringLiteral("%1超过%2字节，已截断为%3个字符")
            .arg(StringFieldLabel(field)).arg(sizeof text->bytes - 1).arg(text->text().size());
    }
    bool ok = false;
    const qlonglong v = value.trimmed().toLongLong(&ok, 0);
    const bool fits = field.kind == RecordField::Byte ? (v >= 0 && v <= 255)
                                                      : (v >= INT32_MIN && v <= INT32_MAX);
    if (!ok || !fits)
        throw VelmoraError(QStringLiteral("“%1”不是%2的有效值（%3）")
                               .arg(value, QLatin1String(field.name),
                                    field.kind == RecordField::Byte ? QStringLiteral("0～255")
                                                                    : QStringLiteral("32位整数")));
    if (field.kind == RecordField::Byte) {
        *p = uint8_t(v);
    } else {
        const int32_t v32 = int32_t(v);
        std::memcpy(p, &v32, sizeof v32);
    }
    return QString();
}
