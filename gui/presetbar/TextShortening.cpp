#include "gui/presetbar/TextShortening.h"

#include <algorithm>
#include <vector>

#include "platform/Utf8.h"

namespace qrv::presetbar {

namespace {

struct WidthClass {
  int width;
  std::string_view characters;
};

constexpr WidthClass kWidths[] = {
    {3, "il"},
    {4, " .Ifj"},
    {5, "!()-[]rt"},
    {6, "*"},
    {8, "0123456789<>?_bghopuz"},
    {9, "BCEFNSTXZa"},
    {10, "ADHKOPQRUVY"},
    {11, "Gmw"},
    {12, "M"},
    {14, "W"},
    {15, "@"},
};
constexpr int kOtherWidth = 7;
// "..." stands for the cut part: 14 points of room per character means no cut is needed.
constexpr int kWidestCharacter = 14;
constexpr int kDotWidth = 4;
constexpr std::size_t kTailCharacters = 9;

}  // namespace

int ShortenCharacterWidth(std::string_view ch) {
  if (ch.empty()) return 0;
  const char c = ch.front();
  // Multi-byte characters are outside the table.
  if (static_cast<unsigned char>(c) >= 0x80) return kOtherWidth;
  for (const WidthClass& w : kWidths)
    if (w.characters.find(c) != std::string_view::npos) return w.width;
  return kOtherWidth;
}

int ShortenTextWidth(std::string_view text) {
  int sum = 0;
  for (std::size_t i = 0; i < text.size(); i = utf8::NextChar(text, i)) sum += ShortenCharacterWidth(text.substr(i));
  return sum;
}

std::string ShortenText(std::string_view text, double width) {
  // Character starts of the first 63 characters, and the end of the last one.
  std::vector<std::size_t> starts;
  std::size_t i = 0;
  while (i < text.size() && starts.size() < static_cast<std::size_t>(kShortenMaxCharacters)) {
    starts.push_back(i);
    i = utf8::NextChar(text, i);
  }
  text = text.substr(0, i);
  starts.push_back(i);
  const std::size_t n = starts.size() - 1;
  auto piece = [&](std::size_t from, std::size_t to) { return text.substr(starts[from], starts[to] - starts[from]); };

  int available = static_cast<int>(width + 0.5);
  if (static_cast<long>(kWidestCharacter) * static_cast<long>(n) <= available) return std::string(text);
  const std::size_t tail = std::min(kTailCharacters, n / 2);
  available -= ShortenTextWidth(piece(n - tail, n));
  int sum = 0;
  std::size_t cut = n - tail;
  for (std::size_t k = 0; k < n - tail; ++k) {
    sum += ShortenCharacterWidth(piece(k, k + 1));
    if (sum >= available + kDotWidth) {
      cut = k;
      break;
    }
  }
  if (cut == n - tail) return std::string(text);
  std::string out(piece(0, cut));
  if (cut > 3) out = std::string(piece(0, cut - 3)) + "...";
  out += piece(n - tail, n);
  return out;
}

}  // namespace qrv::presetbar
