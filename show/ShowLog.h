// The show log: one UTF-8 line per transmission beside the project, so that
// the evening can be read afterwards and a restart finds where the show was.
#pragma once

#include "show/ShowState.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// show.prj -> show.log; an untitled project logs to 未命名.log in folder.
QString ShowLogPath(const QString &projectFile, bool untitled, const QString &folder);
// stamp<TAB>kind<TAB>page<TAB>result<TAB>text, without the line end; with
// repeats > 0 the result counts them ("dropped ×4").
QString ShowLogLine(const QDateTime &at, const ShowEntry &entry, int repeats = 0);
// The index of the last page that went out ok in a log; -1 when none did.
int LastOkPage(const QByteArray &log);

class ShowLog {
public:
    void setPath(const QString &path) { m_path = path; }
    QString path() const { return m_path; }
    // Appends the line and flushes it. Returns the reason when it could not
    // be written and this is the first such failure, else an empty text: a
    // failing log is reported once and never stops a transmission.
    QString append(const QString &line);
    // Appends the entry's line at its time. A dropped or refused request
    // that repeats the one that opened its run less than a second before
    // adds no line: the repeats are counted and written as one line when the
    // run ends (another entry, a repeat a second later, or flushRepeats), so
    // a flood of remote commands cannot fill the log. Returns as append.
    QString add(const QDateTime &at, const ShowEntry &entry);
    QString flushRepeats();   // the line of the repeats counted so far, if any
    bool hasRepeats() const { return m_run.repeats > 0; }

private:
    QString m_path;
    bool m_reported = false;
    struct Run {
        bool open = false;
        ShowEntry entry;
        QDateTime first, last;
        int repeats = 0;
    } m_run;
};
