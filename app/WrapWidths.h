// The widths of the characters the pages were wrapped with, remembered
// between starts beside the settings (Velmora.widths): a big show's pages
// are then wrapped at start-up without measuring its thousands of
// characters again. The file is only a cache: missing, damaged or written
// under another Qt or platform it is ignored, and the widths it gives are
// measured again once the pages are shown (fonts may have changed since).
#pragma once

#include "app/PageStore.h"

#include <vector>

QString WrapWidthsFile();
// The remembered widths; none when the file is missing, damaged or of
// another setup.
std::vector<CharWidth> ReadWrapWidths();
// Best effort: a cache that cannot be written only costs the next start time.
void WriteWrapWidths(const std::vector<CharWidth> &widths);
// The widths that measure otherwise now, with their measured width.
std::vector<CharWidth> CheckWrapWidths(const std::vector<CharWidth> &widths);
