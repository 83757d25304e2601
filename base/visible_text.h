#pragma once

#include <string>
#include <string_view>

namespace vaxo {

// Whether a character changes how the text around it reads or is laid out
// while showing nothing itself: controls (C0, C1), bidirectional embeddings,
// overrides and isolates (U+202A-U+202E, U+2066-U+2069), line and paragraph
// separators, zero-width and other format characters (Unicode's Cf).
bool IsInvisible(char32_t character);

// UTF-8 text with each invisible character written out: "\x1B" for a
// control (tabs and line breaks too), "\u{202E}" for the others; a byte that
// is no UTF-8 as "\xFF". A line a client sent then reads in the log and on
// the page as it was sent, and stays one line.
std::string WithInvisiblesShown(std::string_view utf8);

}  // namespace vaxo
