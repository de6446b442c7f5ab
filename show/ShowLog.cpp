#include "show/ShowLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

QString ShowLogPath(const QString &projectFile, bool untitled, const QString &folder)
{
    if (untitled || projectFile.isEmpty())
        return QDir(folder).filePath(QStringLiteral("未命名.log"));
    QString path = projectFile;
    if (path.endsWith(QLatin1String(".prj"), Qt::CaseInsensitive))
        path.chop(4);
    return path + QStringLiteral(".log");
}

namespace {
QString OneLine(QString text)
{
    for (QChar &c : text)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return text;
}

QString ResultText(const ShowEntry &entry, int repeats)
{
    if (repeats > 0)
        return ResultText(entry, 0) + QStringLiteral(" ×%1").arg(repeats);
    switch (entry.outcome) {
    case ShowEntry::Ok: return QStringLiteral("ok");
    case ShowEntry::Failed: return QStringLiteral("failed: ") + OneLine(entry.reason);
    case ShowEntry::Dropped: return QStringLiteral("dropped");
    case ShowEntry::Cancelled: return QStringLiteral("cancelled");
    case ShowEntry::Refused: return QStringLiteral("refused");
    }
    return QString();
}

bool SameRequest(const ShowEntry &a, const ShowEntry &b)
{
    return a.outcome == b.outcome && a.what.kind == b.what.kind && a.what.page == b.what.page
        && a.what.text == b.what.text;
}
} // namespace

QString ShowLogLine(const QDateTime &at, const ShowEntry &entry, int repeats)
{
    const QString page = entry.what.page >= 0 ? QString::number(entry.what.page + 1)
                                              : QStringLiteral("-");
    return QStringList{at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                       ShowKindName(entry.what.kind), page, ResultText(entry, repeats),
                       OneLine(entry.what.text)}
        .join(QLatin1Char('\t'));
}

int LastOkPage(const QByteArray &log)
{
    const QList<QByteArray> lines = log.split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QList<QByteArray> fields = line->split('\t');
        if (fields.size() < 4 || fields[1] != "page" || fields[3] != "ok")
            continue;
        bool number = false;
        const int page = fields[2].toInt(&number);
        if (number && page > 0)
            return page - 1;
    }
    return -1;
}

QString ShowLog::append(const QString &line)
{
    QFile file(m_path);
    const bool written = !m_path.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Append)
                         && file.write((line + QLatin1Char('\n')).toUtf8()) >= 0 && file.flush();
    if (written || m_reported)
        return QString();
    m_reported = true;
    return QStringLiteral("演出记录无法写入：%1（%2）").arg(m_path, file.errorString());
}

QString ShowLog::add(const QDateTime &at, const ShowEntry &entry)
{
    const bool repeatable = entry.outcome == ShowEntry::Dropped || entry.outcome == ShowEntry::Refused;
    if (repeatable && m_run.open && SameRequest(m_run.entry, entry) && m_run.first.msecsTo(at) < 1000) {
        ++m_run.repeats;
        m_run.last = at;
        return QString();
    }
    const QString repeatsFailure = flushRepeats();
    m_run.open = repeatable;
    m_run.entry = entry;
    m_run.first = m_run.last = at;
    const QString failure = append(ShowLogLine(at, entry));
    return repeatsFailure.isEmpty() ? failure : repeatsFailure;
}

QString ShowLog::flushRepeats()
{
    m_run.open = false;
    if (m_run.repeats == 0)
        return QString();
    const int repeats = m_run.repeats;
    m_run.repeats = 0;
    return append(ShowLogLine(m_run.last, m_run.entry, repeats));
}
