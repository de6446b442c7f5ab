#include "render/Faces.h"

#include <QFont>
#include <QFontDatabase>
#include <QMap>
#include <QRawFont>
#include <QRegularExpression>

#include <algorithm>

namespace {
struct Substitution {
    const char *windowsName;
    const char *installed;
};
const Substitution Substitutions[] = {
    {"宋体", "AR PL UMing CN"},        {"新宋体", "AR PL UMing CN"},
    {"SimSun", "AR PL UMing CN"},      {"黑体", "WenQuanYi Zen Hei"},
    {"SimHei", "WenQuanYi Zen Hei"},   {"微软雅黑", "WenQuanYi Zen Hei"},
    {"楷体", "AR PL UKai CN"},         {"MS Sans Serif", "DejaVu Sans"},
};
} // namespace

void EnsureFaceSubstitutions()
{
    static const bool installed = [] {
        for (const Substitution &s : Substitutions)
            QFont::insertSubstitution(QString::fromUtf8(s.windowsName), QString::fromUtf8(s.installed));
        return true;
    }();
    (void)installed;
}

QStringList SubstitutedFaceNames()
{
    QStringList names;
    for (const Substitution &s : Substitutions)
        names << QString::fromUtf8(s.windowsName);
    return names;
}

QStringList FallbackFaceNames()
{
    QStringList names;
    for (const Substitution &s : Substitutions) {
        const QString name = QString::fromUtf8(s.installed);
        if (!names.contains(name))
            names << name;
    }
    return names;
}

int UnhintedBelow(const QString &family)
{
    // WenQuanYi Zen Hei carries no hinting of its own, so FreeType's
    // autohinter fits it to the grid, and below 16 pixels it pulls close
    // horizontal strokes of ideographs onto one row: 目 keeps two of its four
    // at 12, 一 vanishes at 13, 王 reads 土 at 15. Drawn unhinted they all
    // stay; from 16 up the hinted strokes are kept and sharper. AR PL UMing
    // draws its own bitmap strikes at 11 to 16 and keeps its strokes above,
    // as AR PL UKai does at every size, hinted.
    return family.startsWith(QLatin1String("WenQuanYi Zen Hei")) ? 16 : 0;
}

QString PlainFamilyName(const QString &family)
{
    // "Nimbus Sans [URW ]": a family that several foundries make.
    static const QRegularExpression foundry(QStringLiteral("\\s*\\[[^\\]]*\\]$"));
    return QString(family).remove(foundry);
}

bool IsGenericFamily(const QString &family)
{
    // The generic names the font system adds; each is some other family.
    for (const char *generic : {"Sans Serif", "Serif", "Monospace"})
        if (family.compare(QLatin1String(generic), Qt::CaseInsensitive) == 0)
            return true;
    return QFontDatabase::isPrivateFamily(family);
}

namespace {
// Sorted by name without regard to case, each name once.
void SortByName(QStringList &names)
{
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    names.erase(std::unique(names.begin(), names.end(),
                            [](const QString &a, const QString &b) {
                                return a.compare(b, Qt::CaseInsensitive) == 0;
                            }),
                names.end());
}

enum class FaceKind { Chinese, Latin, Hidden };

// PANOSE family kind (OS/2 offset 32): 2 text, 3 script, 4 decorative,
// 5 symbol; 0 for a face without one.
int PanoseKind(const QString &family)
{
    QFont font(family);
    font.setStyleStrategy(QFont::NoFontMerging);
    const QByteArray os2 = QRawFont::fromFont(font).fontTable("OS/2");
    return os2.size() > 32 ? os2[32] : 0;
}

// Whether the face is for text: not a symbol, math or decorative face,
// whatever writing systems its character map claims. (A MATH table does
// not tell: DejaVu Sans has one for the formulas in its text.)
bool DrawsText(const QString &family)
{
    static const QRegularExpression math(QStringLiteral("\\bMath\\b"));
    return !IsSymbolFace(family) && !math.match(family).hasMatch() && PanoseKind(family) != 4;
}

FaceKind KindOf(const QString &family)
{
    const QList<QFontDatabase::WritingSystem> systems = QFontDatabase::writingSystems(family);
    const bool chinese = systems.contains(QFontDatabase::SimplifiedChinese)
                      || systems.contains(QFontDatabase::TraditionalChinese);
    if (!chinese && !systems.contains(QFontDatabase::Latin))
        return FaceKind::Hidden;
    if (!DrawsText(family))
        return FaceKind::Hidden;
    return chinese ? FaceKind::Chinese : FaceKind::Latin;
}

// "AR PL UKai TW" -> "AR PL UKai", region "TW"; a name without a region
// is its own family.
QPair<QString, QString> SplitRegion(const QString &name)
{
    static const QRegularExpression region(QStringLiteral("^(.+) (CN|SC|HK|TW|TW MBE|TC|MO|SG)$"));
    const QRegularExpressionMatch m = region.match(name);
    return m.hasMatch() ? qMakePair(m.captured(1), m.captured(2)) : qMakePair(name, QString());
}

// One name of every family: the mainland variant where there is one (the
// shows are in simplified Chinese), else the first by name.
QStringList FoldRegions(QStringList names)
{
    SortByName(names);
    QMap<QString, QString> chosen;   // family -> name
    QStringList folded;
    for (const QString &name : names) {
        const auto [family, region] = SplitRegion(name);
        if (region.isEmpty()) {
            folded << name;
            continue;
        }
        if (!chosen.contains(family) || region == QLatin1String("CN"))
            chosen[family] = name;
    }
    return folded + chosen.values();
}
} // namespace

bool IsSymbolFace(const QString &family)
{
    return QFontDatabase::writingSystems(family).contains(QFontDatabase::Symbol)
        || PanoseKind(family) == 5;
}

QStringList ScreenFontNames(const QString &storedFace)
{
    QStringList operators, chinese, latin;
    for (const char *name : {"宋体", "黑体", "楷体", "微软雅黑", "新宋体"})
        operators << QString::fromUtf8(name);
    for (const QString &name : SubstitutedFaceNames())
        if (!operators.contains(name))
            (KindOf(QFont::substitute(name)) == FaceKind::Chinese ? chinese : latin) << name;
    for (const QString &family : QFontDatabase::families()) {
        if (family.startsWith(QLatin1Char('@')) || IsGenericFamily(family))
            continue;
        switch (KindOf(family)) {
        case FaceKind::Chinese: chinese << PlainFamilyName(family); break;
        case FaceKind::Latin: latin << PlainFamilyName(family); break;
        case FaceKind::Hidden: break;
        }
    }
    chinese = FoldRegions(chinese);
    SortByName(chinese);
    SortByName(latin);
    QStringList faces = operators + chinese + latin;
    const QString stored = storedFace.trimmed();
    if (!stored.isEmpty() && !faces.contains(stored, Qt::CaseInsensitive)
        && QFontDatabase::hasFamily(stored))
        faces << stored;
    return faces;
}
