// The translations of a project's scenario that the audience can choose:
// listed in "<project>.languages" beside the project (the project record has
// no room for them), each a file with one line per scenario line, in order.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class PageStore;

struct Translation {
    QString tag;     // "en", "ja", "zh-Hant" ...
    QString name;    // shown to the audience; the tag when none is given
    QString file;    // as listed: relative to the project's folder or absolute
    QStringList lines;
    QString error;   // why the file could not be read; lines is then empty
};

// The lines of a translation file: decoded as scenarios are, a subtitle
// file one line per cue; bytes that are no character show as U+FFFD.
QStringList TranslationLines(const QByteArray &bytes);

class ShowLanguages {
public:
    // "<folder>/<name>.languages" for "<folder>/<name>.prj".
    static QString listFile(const QString &projectFile);
    // Reads the list and every file in it. A file that is missing or
    // unreadable is kept with its error, so the other languages still work.
    static ShowLanguages read(const QString &projectFile);
    // Writes the list (tags, files and names; not the lines).
    void write(const QString &projectFile) const;

    const std::vector<Translation> &translations() const { return m_translations; }
    const Translation *find(const QString &tag) const;
    void add(Translation translation);
    void remove(const QString &tag);
    // One message per file that could not be read.
    QStringList errors() const;

    // The line of the scenario that page index belongs to, in translation t;
    // empty where the translation has no such line.
    static QString lineOfPage(const Translation &t, const PageStore &pages, int index);

    // For the pre-show check: each unreadable file, and each translation
    // whose number of lines is not the scenario's, with the first line where
    // the two differ in length more than 3 times as a hint of where it slipped.
    QStringList problems(const PageStore &pages) const;

private:
    std::vector<Translation> m_translations;
};
