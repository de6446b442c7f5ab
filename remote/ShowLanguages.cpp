#include "remote/ShowLanguages.h"

#include "app/Errors.h"
#include "app/PageStore.h"
#include "app/ScenarioFile.h"
#include "app/SubtitleFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <algorithm>

namespace {

const QString Group = QStringLiteral("Languages");
const QString NamePrefix = QStringLiteral("Name.");

QStringList SubtitleLines(const QString &text)
{
    const auto format = DetectSubtitleFormat(text);
    if (!format)
        return {};
    const SubtitleDocument doc = ParseSubtitles(text, *format);
    if (doc.error)
        return {};
    QStringList lines;
    lines.reserve(int(doc.cues.size()));
    for (const SubtitleCue &cue : doc.cues)
        lines << cue.text;
    return lines;
}

Translation ReadTranslation(const QString &tag, const QString &file, const QString &name,
                            const QString &projectFile)
{
    Translation t{tag, name.isEmpty() ? tag : name, file, {}, {}};
    try {
        t.lines = TranslationLines(ReadScenarioFile(ResolveScenarioPath(file, projectFile)));
    } catch (const VelmoraError &e) {
        t.error = e.text();
    }
    return t;
}

// A line's length in columns: a wide (CJK) character takes two, so that a
// Chinese line and its English translation compare fairly.
int Columns(const QString &line)
{
    int columns = 0;
    for (const QChar c : line)
        columns += c.unicode() >= 0x1100 ? 2 : 1;
    return columns;
}

// The first line (from 0) whose lengths differ more than 3 times; -1: none.
int FirstShiftedLine(const PageStore &pages, const QStringList &lines)
{
    const int common = std::min(pages.textLineCount(), int(lines.size()));
    for (int i = 0; i < common; ++i) {
        const int a = Columns(pages.textLine(i)), b = Columns(lines[i]);
        if (std::max(a, b) > 3 * std::min(a, b))
            return i;
    }
    return -1;
}

} // namespace

QStringList TranslationLines(const QByteArray &bytes)
{
    QString text = DecodeTextFile(bytes);
    std::replace_if(text.begin(), text.end(), IsKeptByte, QChar(QChar::ReplacementCharacter));
    QStringList cues = SubtitleLines(text);
    if (!cues.isEmpty())
        return cues;
    static const QRegularExpression ends(QStringLiteral("\r\n|\n|\r"));
    QStringList lines = text.split(ends);
    // A last line end closes the last line; it starts none.
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

QString ShowLanguages::listFile(const QString &projectFile)
{
    const QFileInfo info(projectFile);
    return info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral(".languages"));
}

ShowLanguages ShowLanguages::read(const QString &projectFile)
{
    ShowLanguages languages;
    const QString path = listFile(projectFile);
    if (!QFileInfo::exists(path))
        return languages;
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(Group);
    for (const QString &key : ini.childKeys()) {
        if (key.startsWith(NamePrefix))
            continue;
        languages.m_translations.push_back(
            ReadTranslation(key, ini.value(key).toString(),
                            ini.value(NamePrefix + key).toString(), projectFile));
    }
    return languages;
}

void ShowLanguages::write(const QString &projectFile) const
{
    QSettings ini(listFile(projectFile), QSettings::IniFormat);
    ini.remove(Group);
    ini.beginGroup(Group);
    for (const Translation &t : m_translations) {
        ini.setValue(t.tag, t.file);
        if (t.name != t.tag)
            ini.setValue(NamePrefix + t.tag, t.name);
    }
    ini.endGroup();
    ini.sync();
    if (ini.status() != QSettings::NoError)
        throw VelmoraError(QStringLiteral("无法写入语言列表 %1").arg(QDir::toNativeSeparators(ini.fileName())));
}

const Translation *ShowLanguages::find(const QString &tag) const
{
    const auto it = std::find_if(m_translations.begin(), m_translations.end(),
                                 [&](const Translation &t) { return t.tag == tag; });
    return it == m_translations.end() ? nullptr : &*it;
}

void ShowLanguages::add(Translation translation)
{
    remove(translation.tag);
    m_translations.push_back(std::move(translation));
}

void ShowLanguages::remove(const QString &tag)
{
    m_translations.erase(std::remove_if(m_translations.begin(), m_translations.end(),
                                        [&](const Translation &t) { return t.tag == tag; }),
                         m_translations.end());
}

QStringList ShowLanguages::errors() const
{
    QStringList out;
    for (const Translation &t : m_translations)
        if (!t.error.isEmpty())
            out << QStringLiteral("译文 %1 无法读取：%2").arg(t.name, t.error);
    return out;
}

QString ShowLanguages::lineOfPage(const Translation &t, const PageStore &pages, int index)
{
    if (index < 0 || index >= pages.pageCount())
        return QString();
    return t.lines.value(pages.lineOfPage(index));
}

QStringList ShowLanguages::problems(const PageStore &pages) const
{
    QStringList out = errors();
    for (const Translation &t : m_translations) {
        if (!t.error.isEmpty() || t.lines.size() == pages.textLineCount())
            continue;
        QString problem = QStringLiteral("译文 %1 有 %2 行，剧本有 %3 行")
                              .arg(t.name).arg(t.lines.size()).arg(pages.textLineCount());
        const int shifted = FirstShiftedLine(pages, t.lines);
        if (shifted >= 0)
            problem += QStringLiteral("；第 %1 行两者长度相差超过 3 倍，可能从这里错位").arg(shifted + 1);
        out << problem;
    }
    return out;
}
