#include "render/Faces.h"

#include <QFont>
#include <QFontDatabase>

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

QStringList ScreenFontNames()
{
    QStringList faces = QFontDatabase::families() + SubstitutedFaceNames();
    // All of them: in a sorted list "@" names need not stand at the head.
    faces.erase(std::remove_if(faces.begin(), faces.end(),
                               [](const QString &f) { return f.startsWith(QLatin1Char('@')); }),
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
