#include "show/LogSubtitles.h"

#include <QList>

namespace {
struct Shown {
    QDateTime at;
    bool page;     // else a blank, message or picture: it ends a page
    QString text;
};

const QString StampFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");

// What the displays showed, in log order: ok transmissions that change the picture.
std::vector<Shown> ShownEntries(const QByteArray &log)
{
    static const QList<QByteArray> pictures = {"page", "blank", "temp", "logo", "welcome", "reset"};
    std::vector<Shown> shown;
    for (const QByteArray &line : log.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() < 5 || fields[3] != "ok" || !pictures.contains(fields[1]))
            continue;
        const QDateTime at = QDateTime::fromString(QString::fromUtf8(fields[0]), StampFormat);
        if (at.isValid())
            shown.push_back({at, fields[1] == "page", QString::fromUtf8(fields[4]).trimmed()});
    }
    return shown;
}

// The latest show: what follows the last pause of more than six hours, so
// that a show running past midnight stays whole.
QDateTime LatestShowStart(const std::vector<Shown> &shown)
{
    constexpr qint64 ShowBreakMs = 6LL * 3600 * 1000;
    size_t first = shown.size() - 1;
    while (first > 0 && shown[first - 1].at.msecsTo(shown[first].at) <= ShowBreakMs)
        --first;
    return shown[first].at;
}
} // namespace

SubtitleDocument LogSubtitles(const QByteArray &log, SubtitleFormat format, const QDateTime &from,
                              const QDateTime &to)
{
    SubtitleDocument doc;
    doc.format = format;
    const std::vector<Shown> shown = ShownEntries(log);
    if (shown.empty())
        return doc;
    const QDateTime start = from.isValid() ? from : LatestShowStart(shown);
    const QDateTime end = to.isValid() ? to : QDateTime();
    QDateTime zero = from;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i].at < start || (end.isValid() && shown[i].at >= end))
            continue;
        if (!zero.isValid())
            zero = shown[i].at;
        if (!shown[i].page)
            continue;
        const qint64 startMs = zero.msecsTo(shown[i].at);
        qint64 endMs = startMs + LastCueMs;
        if (i + 1 < shown.size() && (!end.isValid() || shown[i + 1].at < end))
            endMs = zero.msecsTo(shown[i + 1].at);
        else if (end.isValid())
            endMs = zero.msecsTo(end);
        if (endMs > MaxCueTimeMs)
            break;
        doc.cues.push_back({{startMs, endMs}, shown[i].text, 0});
    }
    return doc;
}

QDateTime LogTimeOf(const QString &text, const QByteArray &log)
{
    QString stamp = text.trimmed();
    stamp.replace(QLatin1Char('T'), QLatin1Char(' '));
    for (const QString &format : {StampFormat, QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-dd HH:mm")}) {
        const QDateTime at = QDateTime::fromString(stamp, format);
        if (at.isValid())
            return at;
    }
    const std::vector<Shown> shown = ShownEntries(log);
    if (stamp.count(QLatin1Char(':')) == 1 && !stamp.contains(QLatin1Char('.')))
        stamp += QStringLiteral(":00");   // 20:15 is a quarter past eight
    const qint64 ofDay = ParseCueTime(stamp);
    if (shown.empty() || ofDay < 0 || !stamp.contains(QLatin1Char(':')) || ofDay >= MaxCueTimeMs)
        return QDateTime();
    return shown.back().at.date().startOfDay().addMSecs(ofDay);
}
