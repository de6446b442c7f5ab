// The encoding each scenario was last read or written in, remembered between
// starts beside the settings (Velmora.encodings): a file is read in it again
// while its bytes are valid in it, so that a save never changes what the
// file's text reads as. Missing or damaged, the file only costs a guess.
#pragma once

#include "app/ScenarioFile.h"

#include <optional>

QString ScenarioEncodingsFile();
std::optional<TextEncoding> RememberedEncoding(const QString &scenario);
// Best effort, as for the widths cache: a failure only costs a guess later.
void RememberEncoding(const QString &scenario, TextEncoding encoding);
// The encoding to read the scenario's bytes in (ChooseTextEncoding with the
// remembered one).
TextEncoding ScenarioEncoding(const QString &scenario, const QByteArray &bytes);
