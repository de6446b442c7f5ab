// A small RTF reader for scenario files made by word processors: text with
// face, size, colour, bold, italic, underline, alignment and line spacing.
// Anything else is skipped; malformed input is read as far as it goes.
#pragma once

#include <QByteArray>

class QTextDocument;

// True when the content starts as RTF ("{\rtf", blanks before it allowed).
bool IsRtf(const QByteArray &bytes);

// Replaces the document's content with the RTF text. Never fails: unknown
// control words and destinations are skipped, a missing closing brace ends
// the text where the bytes end.
void ReadRtf(const QByteArray &bytes, QTextDocument *document);
