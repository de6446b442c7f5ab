// The paragraphs of a document, for tests of the scenario editor's files.
#pragma once

#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>

inline QStringList Paragraphs(const QTextDocument &doc)
{
    QStringList lines;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        lines << b.text();
    return lines;
}
