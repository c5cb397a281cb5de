// Counting and cutting UTF-8 text by characters, so that no cut splits a character and pango
// and the preset files only ever see whole characters. A stray continuation byte counts as a
// character of its own. Pure functions; any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace qrv::utf8 {

constexpr bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The index just after the character that starts at i (at most 4 bytes on).
constexpr std::size_t NextChar(std::string_view text, std::size_t i) {
  if (i >= text.size()) return text.size();
  std::size_t j = i + 1;
  while (j < text.size() && j < i + 4 && IsContinuation(static_cast<unsigned char>(text[j]))) ++j;
  return j;
}

constexpr std::size_t CountChars(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); i = NextChar(text, i)) ++n;
  return n;
}

// Bytes of the longest prefix with at most maxChars characters and maxBytes bytes that ends
// between characters.
constexpr std::size_t PrefixBytes(std::string_view text, std::size_t maxChars, std::size_t maxBytes) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < maxChars && i < text.size(); ++n) {
    std::size_t next = NextChar(text, i);
    if (next > maxBytes) break;
    i = next;
  }
  return i;
}

}  // namespace qrv::utf8
