// Windows face names that projects carry, mapped onto installed free faces.
#pragma once

#include <QStringList>

// Installs the substitutions once; safe to call before every font is made.
void EnsureFaceSubstitutions();
// The Windows names that the substitutions make available.
QStringList SubstitutedFaceNames();
// The installed faces behind the substitutions, each once, CJK faces first:
// where a face lacks a character the renderer takes it from the first of these
// that has it.
QStringList FallbackFaceNames();
// The character height in pixels below which the family's glyphs are drawn
// from their outlines without hinting, since hinting merges their strokes
// there; 0 for a family drawn hinted at every size.
int UnhintedBelow(const QString &family);
// A family without the foundry the font system appends when several make it.
QString PlainFamilyName(const QString &family);
// The font system's generic names ("Sans Serif", "Serif", "Monospace") and its
// private families: not faces of their own.
bool IsGenericFamily(const QString &family);
// The face names the font lists offer: installed families, each once under
// its plain name, and the Windows names above, sorted by name without regard
// to case, without generic names and without the vertical-writing ("@")
// faces, which the renderer selects by itself.
QStringList ScreenFontNames();
