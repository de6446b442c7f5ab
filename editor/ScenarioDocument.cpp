#include "editor/ScenarioDocument.h"

#include "app/ProjectFile.h"
#include "editor/RtfReader.h"

#include <QTextCursor>
#include <QTextDocument>

TextEncoding LoadScenarioDocument(const QString &path, QTextDocument *document,
                                  const QTextCharFormat &charFormat, const QTextBlockFormat &blockFormat)
{
    return SetScenarioContent(ReadWholeFile(path), document, charFormat, blockFormat);
}

// Text files are read as the page list reads them: GBK with the bytes that
// are no GBK character kept, so that they are written back as they were, or
// UTF-8.
TextEncoding SetScenarioContent(const QByteArray &bytes, QTextDocument *document,
                                const QTextCharFormat &charFormat, const QTextBlockFormat &blockFormat)
{
    if (IsRtf(bytes)) {
        ReadRtf(bytes, document);
        return TextEncoding::Gbk;
    }
    const TextEncoding encoding = DetectTextEncoding(bytes);
    SetPlainContent(DecodeTextFile(bytes, encoding), document, charFormat, blockFormat);
    return encoding;
}

void SetPlainContent(const QString &text, QTextDocument *document,
                     const QTextCharFormat &charFormat, const QTextBlockFormat &blockFormat)
{
    QString lines = text;
    lines.remove(QChar(0));
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));

    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    document->clear();
    QTextCursor cursor(document);
    cursor.setBlockFormat(blockFormat);
    cursor.setBlockCharFormat(charFormat);
    cursor.insertText(lines, charFormat);
    document->setUndoRedoEnabled(undo);
}

QString ScenarioFileText(const QTextDocument &document)
{
    // toPlainText ends every paragraph, line break and table cell with "\n"
    // and leaves U+FFFC where a pasted picture stood.
    QString text = document.toPlainText();
    text.remove(QChar(QChar::ObjectReplacementCharacter));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

QByteArray ScenarioFileBytes(const QTextDocument &document, TextEncoding encoding)
{
    return EncodeTextFile(ScenarioFileText(document), encoding);
}

bool ScenarioFileKeepsText(const QTextDocument &document, TextEncoding encoding)
{
    return EncodingKeepsText(ScenarioFileText(document), encoding);
}

void SaveScenarioDocument(const QString &path, const QTextDocument &document, TextEncoding encoding)
{
    WriteFileSafely(path, ScenarioFileBytes(document, encoding));
}
