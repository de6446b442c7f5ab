#include "app/ScenarioEncodings.h"

#include "app/AppPaths.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace {
// The scenarios of the last shows; older entries are dropped.
constexpr int MaxEntries = 200;

// One line a scenario: the encoding's number, a tab, the absolute path.
QStringList ReadEntries()
{
    QFile file(ScenarioEncodingsFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString Key(const QString &scenario) { return QFileInfo(scenario).absoluteFilePath(); }
} // namespace

QString ScenarioEncodingsFile()
{
    return QFileInfo(AppPaths::registryFile()).absolutePath() + QStringLiteral("/Velmora.encodings");
}

std::optional<TextEncoding> RememberedEncoding(const QString &scenario)
{
    const QString key = Key(scenario);
    for (const QString &entry : ReadEntries()) {
        const int tab = entry.indexOf(QLatin1Char('\t'));
        bool ok = false;
        const int value = entry.left(tab).toInt(&ok);
        if (tab > 0 && ok && entry.mid(tab + 1) == key && value >= int(TextEncoding::Gbk)
            && value <= int(TextEncoding::Utf32Be))
            return TextEncoding(value);
    }
    return std::nullopt;
}

void RememberEncoding(const QString &scenario, TextEncoding encoding)
{
    const QString key = Key(scenario);
    QStringList entries{QString::number(int(encoding)) + QLatin1Char('\t') + key};
    for (const QString &entry : ReadEntries())
        if (entry.mid(entry.indexOf(QLatin1Char('\t')) + 1) != key && entries.size() < MaxEntries)
            entries << entry;
    QSaveFile file(ScenarioEncodingsFile());
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(entries.join(QLatin1Char('\n')).toUtf8() + '\n');
    file.commit();
}

TextEncoding ScenarioEncoding(const QString &scenario, const QByteArray &bytes)
{
    return ChooseTextEncoding(bytes, RememberedEncoding(scenario));
}
