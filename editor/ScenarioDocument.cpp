#include "editor/ScenarioDocument.h"

#include "app/ProjectFile.h"
#include "app/ScenarioEncodings.h"
#include "editor/RtfReader.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

TextEncoding LoadScenarioDocument(const QString &path, QTextDocument *document,
                                  const QTextCharFormat &charFormat, const QTextBlockFormat &blockFormat)
{
    const QByteArray bytes = ReadScenarioFile(path);
    return SetScenarioContent(bytes, document, charFormat, blockFormat, RememberedEncoding(path));
}

// Text files are read as the page list reads them: GBK with the bytes that
// are no GBK character kept, so that they are written back as they were, or
// UTF-8.
TextEncoding SetScenarioContent(const QByteArray &bytes, QTextDocument *document,
                                const QTextCharFormat &charFormat, const QTextBlockFormat &blockFormat,
                                std::optional<TextEncoding> remembered)
{
    if (IsRtf(bytes)) {
        ReadRtf(bytes, document);
        return TextEncoding::Gbk;
    }
    const TextEncoding encoding = ChooseTextEncoding(bytes, remembered);
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

    // One edit block from the clearing on: a layout attached to the document
    // then lays the new text out step by step in the background.
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    document->clear();
    cursor.setBlockFormat(blockFormat);
    cursor.setBlockCharFormat(charFormat);
    cursor.insertText(lines, charFormat);
    cursor.endEditBlock();
    document->setUndoRedoEnabled(undo);
}

QTextOption::WrapMode ScenarioWrapMode(const QTextDocument &document)
{
    constexpr int LongRun = 1000;
    int run = 0;
    for (const QChar c : document.toPlainText()) {
        // Blanks and CJK characters (and everything after U+2E80) allow a break.
        if (c.isSpace() || c.unicode() >= 0x2E80)
            run = 0;
        else if (++run > LongRun)
            return QTextOption::WrapAnywhere;
    }
    return QTextOption::WrapAtWordBoundaryOrAnywhere;
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

QString ScenarioFileTextOf(const QString &path)
{
    QTextDocument document;
    LoadScenarioDocument(path, &document, QTextCharFormat(), QTextBlockFormat());
    return ScenarioFileText(document);
}

void SaveScenarioDocument(const QString &path, const QTextDocument &document, TextEncoding encoding)
{
    WriteFileSafely(path, ScenarioFileBytes(document, encoding));
}
