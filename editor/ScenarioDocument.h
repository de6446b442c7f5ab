// Scenario files as the editor reads and writes them: read as RTF when the
// content is RTF, else as text (in the encoding remembered for the file, or
// as DetectTextEncoding finds);
// always written as text, CR LF, in the encoding the text file had (RTF and
// new documents: GBK).
#pragma once

#include "app/ScenarioFile.h"

#include <QByteArray>
#include <QString>
#include <QTextOption>

class QTextBlockFormat;
class QTextCharFormat;
class QTextDocument;

// Replaces the document's content with the file's. Plain text takes the given
// formats. Returns the encoding to write it back in. Throws VelmoraError when
// the file cannot be read; the document is then unchanged.
TextEncoding LoadScenarioDocument(const QString &path, QTextDocument *document,
                          const QTextCharFormat &charFormat, const QTextBlockFormat &blockFormat);
// The same for bytes already read; a text file in the encoding remembered
// for it while its bytes are valid in it.
TextEncoding SetScenarioContent(const QByteArray &bytes, QTextDocument *document,
                                const QTextCharFormat &charFormat, const QTextBlockFormat &blockFormat,
                                std::optional<TextEncoding> remembered = std::nullopt);
// Replaces the content with text in the given formats (also used by New, with
// an empty text, to keep the formats in use).
void SetPlainContent(const QString &text, QTextDocument *document,
                     const QTextCharFormat &charFormat, const QTextBlockFormat &blockFormat);

// How the editor wraps the document's lines: at word boundaries, or anywhere
// when a paragraph holds a run of letters so long that no word boundary breaks
// it within a few lines (laying such a run out word by word takes time that
// grows with the square of its length).
QTextOption::WrapMode ScenarioWrapMode(const QTextDocument &document);

// The document's text without formats, one line per paragraph, CR LF.
QString ScenarioFileText(const QTextDocument &document);
// That text in the encoding; a character GBK cannot hold becomes '?'.
QByteArray ScenarioFileBytes(const QTextDocument &document,
                             TextEncoding encoding = TextEncoding::Gbk);
// False when the file would not give the text back (a character GBK cannot hold).
bool ScenarioFileKeepsText(const QTextDocument &document,
                           TextEncoding encoding = TextEncoding::Gbk);
// The text the editor would save for the file at path, read as the editor
// reads it (RTF or text, by content). Throws VelmoraError when it cannot be read.
QString ScenarioFileTextOf(const QString &path);
// Writes ScenarioFileBytes safely. Throws VelmoraError.
void SaveScenarioDocument(const QString &path, const QTextDocument &document,
                          TextEncoding encoding = TextEncoding::Gbk);
