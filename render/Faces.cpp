#include "render/Faces.h"

#include <QFont>
#include <QFontDatabase>
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

QStringList ScreenFontNames()
{
    QStringList faces = SubstitutedFaceNames();
    for (const QString &family : QFontDatabase::families())
        faces << PlainFamilyName(family);
    // All of them: in a sorted list "@" names need not stand at the head.
    faces.erase(std::remove_if(faces.begin(), faces.end(),
                               [](const QString &f) {
                                   return f.startsWith(QLatin1Char('@')) || IsGenericFamily(f);
                               }),
                faces.end());
    std::sort(faces.begin(), faces.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    faces.erase(std::unique(faces.begin(), faces.end(),
                            [](const QString &a, const QString &b) {
                                return a.compare(b, Qt::CaseInsensitive) == 0;
                            }),
                faces.end());
    return faces;
}
