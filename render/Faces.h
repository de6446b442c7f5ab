// Windows face names that projects carry, mapped onto installed free faces.
#pragma once

#include <QStringList>

// Installs the substitutions once; safe to call before every font is made.
void EnsureFaceSubstitutions();
// The Windows names that the substitutions make available.
QStringList SubstitutedFaceNames();
