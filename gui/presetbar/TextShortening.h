// Shortening of preset and group names to a width, by a fixed table of character widths rather
// than the font, so that the bar and the browser cut the same names the same way. Counts and cuts
// whole UTF-8 characters. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace qrv::presetbar {

// Texts are considered up to this many characters.
inline constexpr int kShortenMaxCharacters = 63;

// The table width in points of the UTF-8 character at the start of ch (7 outside the table).
int ShortenCharacterWidth(std::string_view ch);
// The table width of a whole text.
int ShortenTextWidth(std::string_view text);
// The text as it fits width points: unchanged when it fits, else its head with the last three
// kept characters turned into "...", followed by a tail of up to nine characters.
std::string ShortenText(std::string_view text, double width);

}  // namespace qrv::presetbar
