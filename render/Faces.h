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
// A face whose letters are symbols ("Hello" drawn as ★❋●●□): its writing
// systems say Symbol, or its PANOSE kind does.
bool IsSymbolFace(const QString &family);
// A family without the foundry the font system appends when several make it.
QString PlainFamilyName(const QString &family);
// The font system's generic names ("Sans Serif", "Serif", "Monospace") and its
// private families: not faces of their own.
bool IsGenericFamily(const QString &family);
// The face names the font lists offer, in three groups: the Windows names of
// the Chinese faces as operators know them (宋体, 黑体, 楷体, 微软雅黑, 新宋体),
// then the other names of faces that draw Chinese, then the faces that draw
// Latin letters, each group sorted by name without regard to case. Each
// installed family appears once under its plain name, the regional variants
// of a family (AR PL UKai CN, HK, TW) as one entry; generic names, the
// vertical-writing ("@") faces, which the renderer selects by itself, and
// faces that draw neither ideographs nor letters (symbol, math, decorative
// faces) are left out. A stored face that the list leaves out but that is
// installed is added at the end, so that a project keeps its face.
QStringList ScreenFontNames(const QString &storedFace = QString());
